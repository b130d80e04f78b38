// A second process for the logging tests:
//   logwriter append <base> <prefix> <threads> <lines>   lines "<prefix><thread>-<i>-x...x"
//   logwriter exit <base>                                 returns from main while a thread logs
#include "log/flog.h"
#include "log/logline.h"
#include "log/qflog.h"

#include <QCoreApplication>
#include <QString>

#include <atomic>
#include <thread>
#include <vector>

namespace {

const QString kPadding(100, QLatin1Char('x'));

void appendLines(const QString &base, const QString &prefix, int thread, int lines)
{
    for (int i = 0; i < lines; ++i) {
        tessel::FLog(tessel::logTag(tessel::LogKind::Info), QString(), base, QStringLiteral("log"))
            << prefix << thread << '-' << i << '-' << kPadding;
    }
}

void discard(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 6 && args.at(1) == QLatin1String("append")) {
        std::vector<std::thread> threads;
        for (int t = 0; t < args.at(4).toInt(); ++t)
            threads.emplace_back(appendLines, args.at(2), args.at(3), t, args.at(5).toInt());
        for (std::thread &thread : threads)
            thread.join();
        return 0;
    }
    if (args.size() == 3 && args.at(1) == QLatin1String("exit")) {
        qInstallMessageHandler(discard);
        static std::atomic<int> written{0};
        const QString base = args.at(2);
        // Detached on purpose: it is still logging while main returns and static objects go.
        std::thread([base, padding = kPadding] {
            for (;;) {
                tessel::QFLog(tessel::logColour(tessel::LogKind::Info),
                              tessel::logTag(tessel::LogKind::Info), QString(), base,
                              QStringLiteral("log"))
                    << "exiting " << padding;
                ++written;
            }
        }).detach();
        while (written.load() < 200)
            std::this_thread::yield();
        return 0;
    }
    return 2;
}
