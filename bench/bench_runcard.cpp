// The run card under a flood: a fake collector prints 1,000,000 progress lines as fast as it
// can. Reported: the longest stall of the GUI event loop (the largest gap of a 1 ms timer), the
// growth of the resident memory, and whether the label ends on the last line.
//     bench_runcard [--lines=N] [benchmark flags]
#include "common/calibrationstate.h"
#include "pages/calibwidget.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace {

long g_lines = 1000000;

// The card's log lines also go to the console; what is measured is the card, not a terminal.
void discard(QtMsgType, const QMessageLogContext &, const QString &) {}

// Resident memory in bytes, from /proc.
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

void flood(benchmark::State &state)
{
    QTemporaryDir home;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(home.path()); // the card logs below ./log
    common::workFolder = home.filePath(QStringLiteral("work"));
    const QString collectorDir = common::workFolder + QStringLiteral("/calib/collectcalibposes");
    QDir().mkpath(collectorDir);
    if (!QFile::copy(QStringLiteral(FLOODCOLLECTOR_PATH),
                     collectorDir + QStringLiteral("/collectCalibPoses_flood.exe"))) {
        state.SkipWithError("cannot place the collector");
        return;
    }
    qputenv("FLOOD_LINES", QByteArray::number(qlonglong(g_lines)));

    calibWidget *card = calibWidget::instance();
    QObject answers;
    QObject::connect(card, &calibWidget::isAllOptionsSelect, &answers,
                     [](bool &selected) { selected = true; });
    QObject::connect(card, &calibWidget::isSNEmpty, &answers,
                     [] { common::serialNumber = QStringLiteral("SN-BENCH"); });
    QObject::connect(card, &calibWidget::isRequestFileWritten, &answers,
                     [](bool &written) { written = true; });
    card->show();
    auto *progress = card->findChild<QLabel *>(QStringLiteral("connectionLabel"));
    auto *button = card->findChild<QPushButton *>(QStringLiteral("runCalibrationBtn"));
    const QString last = QStringLiteral("采集进度：%1 / %1").arg(g_lines);

    for (auto _ : state) {
        QCoreApplication::processEvents();
        const qint64 before = residentBytes();
        qint64 peak = before;
        qint64 longest = 0;
        QElapsedTimer clock;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        qint64 previousTick = 0;
        int ticks = 0;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - previousTick);
            previousTick = now;
            if (++ticks % 64 == 0)
                peak = std::max(peak, residentBytes());
        });
        clock.start();
        tick.start();
        button->click();
        // Ends when the label shows the last line, or after two minutes.
        while (progress->text() != last && clock.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const qint64 wall = clock.nsecsElapsed();
        tick.stop();
        peak = std::max(peak, residentBytes());
        state.SetIterationTime(double(wall) / 1e9);
        state.counters["stall_ms"] = double(longest) / 1e6;
        state.counters["memory_mb"] = double(peak - before) / 1e6;
        state.counters["label_last"] = progress->text() == last ? 1 : 0;
        if (progress->text() != last)
            state.SkipWithError(qPrintable(QStringLiteral("label ends on \"%1\"").arg(progress->text())));
    }
    delete card; // stops the collector; a cancel would open a message box

    QDir::setCurrent(previous);
}

} // namespace

int main(int argc, char **argv)
{
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--lines=", 8) == 0)
            g_lines = std::atol(argv[i] + 8);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    QApplication app(argc, argv);
    qInstallMessageHandler(discard);
    benchmark::RegisterBenchmark("runcard/flood", flood)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
