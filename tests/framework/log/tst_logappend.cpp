#include "log/logline.h"
#include "log/qflog.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

// Appends to one log file from many threads and from a second process, each statement opening
// and closing the file as it does in use.
class tst_LogAppend : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void threadsAndProcessesLoseNoLineAndTearNone_data();
    void threadsAndProcessesLoseNoLineAndTearNone();
    void threadLoggingDuringExitEndsCleanly();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previous;
};

namespace {

const QString kPadding(100, QLatin1Char('x'));
const QString kLog = QStringLiteral("log");

void discard(QtMsgType, const QMessageLogContext &, const QString &) {}

// All lines of every file of the stem in `folder`, in name order.
QList<QByteArray> linesOf(const QString &folder, const QString &stem)
{
    QByteArray written;
    for (const QString &name :
         QDir(folder).entryList({stem + QStringLiteral("*.log")}, QDir::Files, QDir::Name)) {
        QFile file(QDir(folder).filePath(name));
        if (file.open(QIODevice::ReadOnly))
            written += file.readAll();
    }
    return written.split('\n');
}

} // namespace

void tst_LogAppend::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void tst_LogAppend::cleanup()
{
    QDir::setCurrent(m_previous);
    m_dir.reset();
}

void tst_LogAppend::threadsAndProcessesLoseNoLineAndTearNone_data()
{
    QTest::addColumn<int>("threads");
    QTest::addColumn<int>("childThreads");
    QTest::addColumn<int>("lines");
    QTest::newRow("threads") << 8 << 0 << 500;
    QTest::newRow("threads and a second process") << 4 << 4 << 500;
    // Each row runs in a folder of its own, while the manager has met the stem before: every
    // thread's first open finds no log folder, and all of them race to make it.
    QTest::newRow("threads, the log folder gone") << 8 << 0 << 500;
}

void tst_LogAppend::threadsAndProcessesLoseNoLineAndTearNone()
{
    QFETCH(int, threads);
    QFETCH(int, childThreads);
    QFETCH(int, lines);
    const QString base = QStringLiteral("./log/append");
    const QtMessageHandler previous = qInstallMessageHandler(discard);

    QProcess child;
    if (childThreads > 0) {
        child.start(QStringLiteral(LOGWRITER_PATH),
                    {QStringLiteral("append"), base, QStringLiteral("P"),
                     QString::number(childThreads), QString::number(lines)});
        QVERIFY(child.waitForStarted());
    }
    // Standard threads: their start and join are hand-overs the thread sanitizer sees, unlike
    // those inside Qt's uninstrumented code.
    std::atomic<bool> go{false};
    std::vector<std::thread> running;
    for (int t = 0; t < threads; ++t) {
        running.emplace_back([&, t] {
            while (!go.load())
                std::this_thread::yield();
            for (int i = 0; i < lines; ++i) {
                tessel::QFLog(tessel::logColour(tessel::LogKind::Info),
                              tessel::logTag(tessel::LogKind::Info), QString(), base, kLog)
                    << QStringLiteral("T%1-%2-").arg(t).arg(i) << kPadding;
            }
        });
    }
    go.store(true);
    for (std::thread &thread : running)
        thread.join();
    qInstallMessageHandler(previous);
    if (childThreads > 0) {
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
    }

    const QList<QByteArray> written = linesOf(QStringLiteral("./log"), QStringLiteral("append"));
    QCOMPARE(written.last(), QByteArray()); // every line ended
    const QRegularExpression pattern(QStringLiteral(
        "^\\[I\\|\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]([TP]\\d+-\\d+)-x{100}$"));
    QSet<QString> seen;
    for (int i = 0; i < written.size() - 1; ++i) {
        const QString line = QString::fromUtf8(written.at(i));
        const QRegularExpressionMatch match = pattern.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line.left(200)));
        QVERIFY2(!seen.contains(match.captured(1)), qPrintable(line));
        seen.insert(match.captured(1));
    }
    QCOMPARE(seen.size(), (threads + childThreads) * lines);
}

// Static objects go while the thread is mid-statement; the sanitizer builds turn any use of
// what is gone into a failed exit.
void tst_LogAppend::threadLoggingDuringExitEndsCleanly()
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral(LOGWRITER_PATH), {QStringLiteral("exit"), QStringLiteral("./log/exit")});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QVERIFY(linesOf(QStringLiteral("./log"), QStringLiteral("exit")).size() > 200);
}

QTEST_GUILESS_MAIN(tst_LogAppend)
#include "tst_logappend.moc"
