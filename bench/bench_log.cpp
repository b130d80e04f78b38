// A log statement against what it is made of: the raw open(O_APPEND)/write/close floor, a QFile
// loop, spdlog's rotating file sink flushing each line, tessel::FLog and tessel::QFLog; one and
// two threads; a run that crosses the 10 MiB roll-over. Every run's lines are checked after it.
//     bench_log [--lines=N] [benchmark flags]
#include "benchlines.h"

#include "log/flog.h"
#include "log/logline.h"
#include "log/pluginlogfilemanager.h"
#include "log/qflog.h"

#include <benchmark/benchmark.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <QDate>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

long long g_lines = 100000; // per run, all threads together
constexpr int kTagBytes = 22; // "[I|MM/dd hh:mm:ss.zzz]"
const QString kExt = QStringLiteral("log");

// Set by thread 0 before the loop; the other threads read it inside, after the start barrier.
QString g_base;
std::shared_ptr<spdlog::logger> g_spdlog;
// A run with a line lost, torn or doubled also fails the process: a skipped benchmark alone exits
// with 0, and the brief CTest run must catch it.
bool g_linesBroken = false;

void discard(QtMsgType, const QMessageLogContext &, const QString &) {}

// The file of a run writing straight to a file rather than through the log file manager.
QString plainFile()
{
    return g_base + QStringLiteral(".log");
}

void check(benchmark::State &state, int prefix, const QString &skipFile = QString(),
           qint64 skip = 0)
{
    if (state.thread_index() != 0)
        return;
    state.SetItemsProcessed(state.iterations() * state.threads());
    if (!benchlines::verify(QFileInfo(g_base).path(), prefix, state.threads(), state.iterations(),
                            skipFile, skip)) {
        g_linesBroken = true;
        state.SkipWithError("lines lost, torn or doubled");
    }
}

void rawAppend(benchmark::State &state)
{
    if (state.thread_index() == 0)
        g_base = benchlines::runBase("raw");
    QByteArray path;
    char line[benchlines::kLineBytes];
    long long i = 0;
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state) {
        if (path.isEmpty())
            path = QFile::encodeName(plainFile());
        benchlines::format(line, benchlines::kLineBytes - 1, state.thread_index(), i++);
        line[benchlines::kLineBytes - 1] = '\n';
        const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (::write(fd, line, sizeof line) != ssize_t(sizeof line))
            state.SkipWithError("write failed");
        ::close(fd);
    }
    check(state, 0);
}

void qfileAppend(benchmark::State &state)
{
    if (state.thread_index() == 0)
        g_base = benchlines::runBase("qfile");
    QString path;
    char line[benchlines::kLineBytes];
    long long i = 0;
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state) {
        if (path.isEmpty())
            path = plainFile();
        benchlines::format(line, benchlines::kLineBytes - 1, state.thread_index(), i++);
        line[benchlines::kLineBytes - 1] = '\n';
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Append);
        file.write(line, sizeof line);
        file.flush();
        file.close();
    }
    check(state, 0);
}

void spdlogRotating(benchmark::State &state)
{
    if (state.thread_index() == 0) {
        g_base = benchlines::runBase("spdlog");
        auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
            plainFile().toStdString(), 10 * 1024 * 1024, 1000);
        g_spdlog = std::make_shared<spdlog::logger>("bench", sink);
        g_spdlog->set_pattern("%v");
        g_spdlog->flush_on(spdlog::level::trace);
    }
    char line[benchlines::kLineBytes];
    long long i = 0;
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state) {
        const int n = benchlines::format(line, benchlines::kLineBytes - 1, state.thread_index(), i++);
        g_spdlog->info(spdlog::string_view_t(line, size_t(n)));
    }
    if (state.thread_index() == 0)
        g_spdlog.reset();
    check(state, 0);
}

template <typename Statement>
void logStatements(benchmark::State &state, const char *name, qint64 presized = 0)
{
    QString skipFile;
    if (state.thread_index() == 0) {
        g_base = benchlines::runBase(name);
        if (presized > 0) {
            // The first file is nearly full, so that the run crosses the roll-over halfway.
            skipFile = tessel::PluginLogFileManager::buildFileName(
                g_base, QDate::currentDate().toString(QStringLiteral("yyyyMMdd")), 0, kExt);
            QFile file(skipFile);
            if (!file.open(QIODevice::WriteOnly) || !file.resize(presized))
                state.SkipWithError("cannot make the nearly full file");
        }
    }
    char line[benchlines::kLineBytes];
    long long i = 0;
    for (auto _ : state) {
        const int n = benchlines::format(line, benchlines::kLineBytes - 1 - kTagBytes,
                                         state.thread_index(), i++);
        Statement::write(g_base, QLatin1String(line, n));
    }
    check(state, kTagBytes, skipFile, presized);
    if (state.thread_index() == 0) {
        // What this run counted in its current file is given back, so that the runs after it
        // stay far from the clean-up (a run crossing the roll-over leaves 10 MiB counted).
        auto &manager = tessel::PluginLogFileManager::instance();
        manager.updateFileSize(manager.getProperLogFileName(g_base, kExt), 0);
    }
}

struct FLogStatement
{
    static void write(const QString &base, QLatin1String text)
    {
        tessel::FLog(tessel::logTag(tessel::LogKind::Info), QString(), base, kExt) << text;
    }
};

struct QFLogStatement
{
    static void write(const QString &base, QLatin1String text)
    {
        tessel::QFLog(tessel::logColour(tessel::LogKind::Info),
                      tessel::logTag(tessel::LogKind::Info), QString(), base, kExt)
            << text;
    }
};

void flog(benchmark::State &state)
{
    logStatements<FLogStatement>(state, "flog");
}

void qflog(benchmark::State &state)
{
    logStatements<QFLogStatement>(state, "qflog");
}

void flogRollOver(benchmark::State &state)
{
    constexpr qint64 kRollOver = 10 * 1024 * 1024;
    logStatements<FLogStatement>(state, "rollover",
                                 kRollOver - g_lines * benchlines::kLineBytes / 2);
}

// "--lines=N" is ours; the rest goes to the benchmark library.
void takeLines(int *argc, char **argv)
{
    int kept = 1;
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp(argv[i], "--lines=", 8) == 0)
            g_lines = std::strtoll(argv[i] + 8, nullptr, 10);
        else
            argv[kept++] = argv[i];
    }
    *argc = kept;
}

} // namespace

int main(int argc, char **argv)
{
    takeLines(&argc, argv);
    // The console part of QFLog goes to a handler that drops it: what is measured is the
    // statement, not a terminal.
    qInstallMessageHandler(discard);
    const struct
    {
        const char *name;
        void (*function)(benchmark::State &);
        bool twoThreads;
    } cases[] = {
        {"log/raw_floor", rawAppend, true},     {"log/qfile_loop", qfileAppend, true},
        {"log/spdlog_rotating", spdlogRotating, true}, {"log/flog", flog, true},
        {"log/qflog", qflog, true},             {"log/flog_rollover", flogRollOver, false},
    };
    for (const auto &c : cases) {
        for (int threads = 1; threads <= (c.twoThreads ? 2 : 1); ++threads) {
            benchmark::RegisterBenchmark(c.name, c.function)
                ->Threads(threads)
                ->Iterations(g_lines / threads)
                ->UseRealTime()
                ->Unit(benchmark::kMicrosecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return g_linesBroken ? 1 : 0;
}
