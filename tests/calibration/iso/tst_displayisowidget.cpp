#include "isotesthelpers.h"

#include "common/common.h"
#include "iso/displayisowidget.h"
#include "iso/setupisowidget.h"

#include <support/fakeprogram.h>
#include <support/guitestmain.h>
#include <support/modaldialogwatcher.h>
#include <support/temporarycurrentdir.h>

#include <QProcess>
#include <QPushButton>

#include <memory>

using support::DialogAnswer;
using support::FakeProgram;
using support::ModalDialogWatcher;

namespace {

const QByteArray kResults = R"({"status": 1, "iso_results": [
    {"name": "P3", "Accuracy": 3.5, "Repeatability": 0.03, "RMS": 3.25, "StdDev": 0.003},
    {"name": "P1", "Accuracy": 1.5, "Repeatability": 0.01, "RMS": 1.25, "StdDev": 0.001},
    "not a row",
    {"name": "P5", "Accuracy": 5.5, "Repeatability": 0.05, "RMS": 5.25, "StdDev": 0.005}
]})";

} // namespace

class tst_displayisowidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void construction();
    void collectorDiscovery_data();
    void collectorDiscovery();
    void roundLines_data();
    void roundLines();
    void collectorFails();
    void choiceBoxClickWhileRunning();
    void abortStopsTheCollector();
    void report_data();
    void report();
    void saveReport_data();
    void saveReport();
    void giveUp_data();
    void giveUp();
    void missingScripts_data();
    void missingScripts();
    void cleanupTestCase();

private:
    QPushButton *button(const char *name) const { return page->findChild<QPushButton *>(name); }
    QString text(const char *name) const { return page->findChild<QLabel *>(name)->text(); }
    QString collectorDir() const { return common::workFolder + "/iso/collectisoposes"; }
    QString scriptsDir() const { return common::workFolder + "/iso/scripts"; }
    QString value(int row, int column) const
    {
        return isotest::labelText(page, "gridLayout", row, column);
    }
    bool processesGone() const { return page->findChildren<QProcess *>().isEmpty(); }
    bool nothingRunning() const
    {
        const QList<QProcess *> processes = page->findChildren<QProcess *>();
        for (QProcess *process : processes)
            if (process->state() != QProcess::NotRunning)
                return false;
        return true;
    }
    // The card as after a successful collection and report.
    void reachReport();

    std::unique_ptr<support::TemporaryCurrentDir> m_dir;
    displayisowidget *page = nullptr;
};

void tst_displayisowidget::initTestCase()
{
    m_dir.reset(new support::TemporaryCurrentDir);
    QVERIFY(m_dir->isValid());
    page = displayisowidget::instance();
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
}

void tst_displayisowidget::init()
{
    QTRY_VERIFY(nothingRunning());
    common::workFolder = m_dir->filePath("work");
    QDir(common::workFolder).removeRecursively();
    QVERIFY(QDir().mkpath(collectorDir()));
    QVERIFY(QDir().mkpath(scriptsDir()));
    button("startISO")->setText("启动ISO");
    page->btnsDisable();
    page->startBtnEnable();
}

void tst_displayisowidget::construction()
{
    page->btnsDisable();
    for (const char *name : {"startISO", "saveReport", "giveupBtn"})
        QVERIFY2(!button(name)->isEnabled(), name);
    QCOMPARE(button("startISO")->text(), QStringLiteral("启动ISO"));
    const QStringList headers = {"Point", "Accuracy", "Repeatabillity", "RMS", "StdDev"};
    for (int c = 0; c < headers.size(); ++c)
        QCOMPARE(value(0, c), headers.at(c));
    QCOMPARE(value(5, 0), QStringLiteral("P5(中心点)"));
    QCOMPARE(value(1, 1), QString());
    QVERIFY(!isotest::cell(page, "gridLayout", 1, 1)->isEnabled());
}

void tst_displayisowidget::collectorDiscovery_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("box"); // empty: the collector starts

    QTest::newRow("missing folder") << QStringList() << false << "未匹配到ISO程序";
    QTest::newRow("empty folder") << QStringList() << true << "未匹配到ISO程序";
    QTest::newRow("other program") << QStringList{"collectCalibPoses.exe"} << true
                                   << "未匹配到ISO程序";
    QTest::newRow("two") << QStringList{"collectIsoPoses_v1.exe", "collectIsoPoses_v2.exe"}
                         << true << "匹配到多个ISO程序";
    QTest::newRow("other letter case") << QStringList{"COLLECTISOPOSES_v3.exe"} << true
                                       << QString();
}

void tst_displayisowidget::collectorDiscovery()
{
    QFETCH(QStringList, files);
    QFETCH(bool, folder);
    QFETCH(QString, box);
    if (!folder)
        QVERIFY(QDir(collectorDir()).removeRecursively());
    const QString arguments = m_dir->filePath("arguments");
    for (const QString &name : files)
        QVERIFY(!FakeProgram(collectorDir(), name).recordArguments(arguments).write().isEmpty());

    ModalDialogWatcher watcher;
    QTest::mouseClick(button("startISO"), Qt::LeftButton);
    if (!box.isEmpty()) {
        QCOMPARE(watcher.count(), 1);
        QCOMPARE(watcher.last().windowTitle, QStringLiteral("错误"));
        QCOMPARE(watcher.last().text, box);
        QCOMPARE(button("startISO")->text(), QStringLiteral("启动ISO"));
        QVERIFY(nothingRunning());
        return;
    }
    QCOMPARE(button("startISO")->text(), QStringLiteral("中止运行ISO"));
    QVERIFY(watcher.waitForDialogs(1));
    QCOMPARE(watcher.last().text, QStringLiteral("ISO校准完成"));
    QCOMPARE(button("startISO")->text(), QStringLiteral("生成报告"));
    QCOMPARE(FakeProgram::readArguments(arguments),
             (QStringList{"--path", common::workFolder}));
}

void tst_displayisowidget::roundLines_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("numbers");

    QTest::newRow("blanks") << QStringList{"   [ROUND]  3 / 10  "} << "采集进度：" << "3 / 10";
    QTest::newRow("no blanks") << QStringList{"[ROUND]4/12"} << "采集进度：" << "4 / 12";
    QTest::newRow("inside a line") << QStringList{"info [ROUND] 5/6 done"} << "采集进度："
                                   << "5 / 6";
    QTest::newRow("word for the slash") << QStringList{"[ROUND] 5 of 12"} << "" << "";
    QTest::newRow("progress of the calibration") << QStringList{"[PROGRESS] 1/2"} << "" << "";
    QTest::newRow("two in one chunk") << QStringList{"[ROUND] 1/5\n\n[ROUND] 2/5"}
                                      << "采集进度：" << "2 / 5";
}

void tst_displayisowidget::roundLines()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, caption);
    QFETCH(QString, numbers);
    // A round shown by an earlier run goes when a collection starts.
    QVERIFY(!FakeProgram(collectorDir(), "collectIsoPoses.exe")
                 .printLines(lines)
                 .pause(300)
                 .write()
                 .isEmpty());
    ModalDialogWatcher watcher;
    QTest::mouseClick(button("startISO"), Qt::LeftButton);
    QCOMPARE(text("label"), QString());
    QVERIFY(watcher.waitForDialogs(1));
    QCOMPARE(text("label"), caption);
    QCOMPARE(text("label_2"), numbers);
    if (!numbers.isEmpty())
        QVERIFY(isotest::pluginLogText().contains(
            "ISO Round: " + QString(numbers).remove(' ')));
}

void tst_displayisowidget::collectorFails()
{
    QVERIFY(!FakeProgram(collectorDir(), "collectIsoPoses.exe").exitCode(3).write().isEmpty());
    ModalDialogWatcher watcher;
    QTest::mouseClick(button("startISO"), Qt::LeftButton);
    QVERIFY(watcher.waitForDialogs(1));
    QCOMPARE(watcher.last().windowTitle, QStringLiteral("错误"));
    QCOMPARE(watcher.last().text, QStringLiteral("ISO校准失败"));
    QCOMPARE(button("startISO")->text(), QStringLiteral("启动ISO"));
    QVERIFY(button("startISO")->isEnabled());
}

void tst_displayisowidget::choiceBoxClickWhileRunning()
{
    setupisowidget *settings = setupisowidget::instance();
    settings->show();
    QVERIFY(QTest::qWaitForWindowExposed(settings));
    QVERIFY(!FakeProgram(collectorDir(), "collectIsoPoses.exe")
                 .printLine("[ROUND] 1/2")
                 .pause(400)
                 .printLine("[ROUND] 2/2")
                 .write()
                 .isEmpty());
    ModalDialogWatcher watcher;
    QTest::mouseClick(button("startISO"), Qt::LeftButton);
    QCOMPARE(button("startISO")->text(), QStringLiteral("中止运行ISO"));
    isotest::clickCheckBox(settings->findChild<QCheckBox *>("customCheckBox"));
    QVERIFY(!button("startISO")->isEnabled());
    QVERIFY(!page->findChildren<QProcess *>().isEmpty());
    QVERIFY(watcher.waitForDialogs(1));
    QCOMPARE(watcher.last().text, QStringLiteral("ISO校准完成"));
    QCOMPARE(text("label_2"), QStringLiteral("2 / 2"));
    QCOMPARE(button("startISO")->text(), QStringLiteral("生成报告"));
    QVERIFY(!button("startISO")->isEnabled());
    settings->resetAll();
    settings->hide();
}

void tst_displayisowidget::abortStopsTheCollector()
{
    const QString pidFile = m_dir->filePath("collector.pid");
    QVERIFY(!FakeProgram(collectorDir(), "collectIsoPoses.exe")
                 .printLine("[ROUND] 1/9")
                 .pause(20000)
                 .write()
                 .isEmpty());
    ModalDialogWatcher watcher;
    QTest::mouseClick(button("startISO"), Qt::LeftButton);
    QTRY_COMPARE(text("label_2"), QStringLiteral("1 / 9"));
    QProcess *running = page->findChild<QProcess *>();
    QVERIFY(running);
    QCOMPARE(running->state(), QProcess::Running);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(button("startISO"), Qt::LeftButton);
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(button("startISO")->text(), QStringLiteral("启动ISO"));
    // The end of the stopped process reached the handlers like any other end.
    QVERIFY(watcher.waitForDialogs(1));
    bool failed = false;
    for (const support::DialogRecord &record : watcher.dialogs())
        failed = failed || record.text == QStringLiteral("ISO校准失败");
    QVERIFY(failed);
    QTRY_VERIFY(processesGone());
    QCOMPARE(button("startISO")->text(), QStringLiteral("启动ISO"));
}

void tst_displayisowidget::reachReport()
{
    QVERIFY(!FakeProgram(collectorDir(), "collectIsoPoses.exe").write().isEmpty());
    QVERIFY(!FakeProgram(scriptsDir(), "isoReportGener.exe")
                 .writeFile(common::workFolder + "/optimized_dh.json", kResults)
                 .write()
                 .isEmpty());
    ModalDialogWatcher watcher;
    QTest::mouseClick(button("startISO"), Qt::LeftButton);
    QVERIFY(watcher.waitForDialogs(1));
    QCOMPARE(button("startISO")->text(), QStringLiteral("生成报告"));
    QTest::mouseClick(button("startISO"), Qt::LeftButton);
    QVERIFY(watcher.waitForDialogs(2));
    QCOMPARE(watcher.last().text, QStringLiteral("报告已生成"));
}

void tst_displayisowidget::report_data()
{
    QTest::addColumn<bool>("program");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("results");
    QTest::addColumn<QString>("box");

    QTest::newRow("list order") << true << 0 << kResults << "报告已生成";
    // A generator that ends well without results of this run has failed.
    QTest::newRow("no iso_results") << true << 0 << QByteArray("{\"status\": 1}") << "报告生成失败";
    QTest::newRow("not JSON") << true << 0 << QByteArray("{") << "报告生成失败";
    QTest::newRow("only an earlier run's") << true << 0 << QByteArray() << "报告生成失败";
    QTest::newRow("generator fails") << true << 2 << kResults << "报告生成失败";
    QTest::newRow("generator missing") << false << 0 << kResults << "ISO检测程序不存在";
}

void tst_displayisowidget::report()
{
    QFETCH(bool, program);
    QFETCH(int, code);
    QFETCH(QByteArray, results);
    QFETCH(QString, box);
    button("startISO")->setText("生成报告");
    const QString resultFile = common::workFolder + "/optimized_dh.json";
    FakeProgram generator(scriptsDir(), "isoReportGener.exe");
    if (results.isNull()) {
        // Yesterday's results, and a generator that writes none.
        QFile earlier(resultFile);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write(kResults);
        QVERIFY(earlier.flush());
        QVERIFY(earlier.setFileTime(QDateTime::currentDateTime().addDays(-1),
                                    QFileDevice::FileModificationTime));
        earlier.close();
    } else {
        generator.writeFile(resultFile, results);
    }
    if (program)
        QVERIFY(!generator.exitCode(code).write().isEmpty());
    ModalDialogWatcher watcher;
    QTest::mouseClick(button("startISO"), Qt::LeftButton);
    if (program)
        QVERIFY(!button("startISO")->isEnabled());
    QVERIFY(watcher.waitForDialogs(1));
    QCOMPARE(watcher.last().text, box);
    QTRY_COMPARE(button("startISO")->text(), QStringLiteral("启动ISO"));
    const bool ok = box == QStringLiteral("报告已生成");
    QCOMPARE(button("startISO")->isEnabled(), !ok);
    QCOMPARE(button("saveReport")->isEnabled(), ok);
    QCOMPARE(button("giveupBtn")->isEnabled(), ok);
    if (ok && results == kResults) {
        // Row k shows element k, whatever its name.
        const QStringList row1 = {"3.500000", "0.030000", "3.250000", "0.003000"};
        const QStringList row3 = {"5.500000", "0.050000", "5.250000", "0.005000"};
        for (int c = 1; c <= 4; ++c) {
            QCOMPARE(value(1, c), row1.at(c - 1));
            QCOMPARE(value(2, c), QString::number(c == 1 ? 1.5 : c == 2 ? 0.01 : c == 3 ? 1.25
                                                                                    : 0.001,
                                                  'f', 6));
            QCOMPARE(value(3, c), row3.at(c - 1));
            QCOMPARE(value(4, c), QString());
            QCOMPARE(value(5, c), QString());
        }
    } else {
        for (int c = 1; c <= 4; ++c)
            QCOMPARE(value(1, c), QString());
    }
}

void tst_displayisowidget::saveReport_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("box");
    QTest::newRow("saved") << 0 << "报告已保存";
    QTest::newRow("copier fails") << 1 << "报告保存失败";
}

void tst_displayisowidget::saveReport()
{
    QFETCH(int, code);
    QFETCH(QString, box);
    reachReport();
    QCOMPARE(value(1, 1), QStringLiteral("3.500000"));
    QVERIFY(!FakeProgram(scriptsDir(), "copyResults.exe").pause(200).exitCode(code).write().isEmpty());
    ModalDialogWatcher watcher;
    QTest::mouseClick(button("saveReport"), Qt::LeftButton);
    QCOMPARE(value(1, 1), QString());
    QVERIFY(!button("saveReport")->isEnabled());
    QVERIFY(!button("giveupBtn")->isEnabled());
    QVERIFY(watcher.waitForDialogs(1));
    QCOMPARE(watcher.last().text, box);
    QCOMPARE(value(1, 1), QString());
    QCOMPARE(button("saveReport")->isEnabled(), code != 0);
    QCOMPARE(button("giveupBtn")->isEnabled(), code != 0);
    QVERIFY(!button("startISO")->isEnabled());
}

void tst_displayisowidget::giveUp_data()
{
    QTest::addColumn<DialogAnswer>("answer");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("box"); // empty: nothing runs

    QTest::newRow("cancel") << DialogAnswer::press(QMessageBox::Cancel) << 0 << QString();
    QTest::newRow("escape") << DialogAnswer::reject() << 0 << QString();
    QTest::newRow("default") << DialogAnswer::byDefault() << 0 << QString();
    QTest::newRow("removed") << DialogAnswer::press(QStringLiteral("放弃")) << 0 << "结果已删除";
    QTest::newRow("remover fails") << DialogAnswer::press(QStringLiteral("放弃")) << 4
                                   << "结果删除失败";
}

void tst_displayisowidget::giveUp()
{
    QFETCH(DialogAnswer, answer);
    QFETCH(int, code);
    QFETCH(QString, box);
    reachReport();
    const QString ran = m_dir->filePath("remover-ran");
    QFile::remove(ran);
    QVERIFY(!FakeProgram(scriptsDir(), "delResults.exe")
                 .recordArguments(ran)
                 .exitCode(code)
                 .write()
                 .isEmpty());
    ModalDialogWatcher watcher;
    watcher.addAnswer(answer);
    QTest::mouseClick(button("giveupBtn"), Qt::LeftButton);
    QVERIFY(watcher.waitForDialogs(1));
    QCOMPARE(watcher.dialogs().first().windowTitle, QStringLiteral("提示"));
    QCOMPARE(watcher.dialogs().first().text, QStringLiteral("是否放弃iso结果？"));
    QCOMPARE(watcher.dialogs().first().buttonTexts.size(), 2);
    if (box.isEmpty()) {
        QVERIFY(nothingRunning());
        QCOMPARE(value(1, 1), QStringLiteral("3.500000"));
        QVERIFY(button("saveReport")->isEnabled());
        QVERIFY(button("giveupBtn")->isEnabled());
        QVERIFY(!QFile::exists(ran));
        return;
    }
    QCOMPARE(value(1, 1), QString());
    QVERIFY(watcher.waitForDialogs(2));
    QCOMPARE(watcher.last().text, box);
    QVERIFY(QFile::exists(ran));
    QVERIFY(button("giveupBtn")->isEnabled());
    QCOMPARE(button("saveReport")->isEnabled(), code != 0);
    QVERIFY(!button("startISO")->isEnabled());
}

void tst_displayisowidget::missingScripts_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::newRow("copier") << "saveReport";
    QTest::newRow("remover") << "giveupBtn";
}

void tst_displayisowidget::missingScripts()
{
    QFETCH(QString, buttonName);
    reachReport();
    ModalDialogWatcher watcher;
    if (buttonName == "giveupBtn")
        watcher.addAnswer(DialogAnswer::press(QStringLiteral("放弃")));
    QTest::mouseClick(button(qPrintable(buttonName)), Qt::LeftButton);
    QVERIFY(watcher.waitForDialogs(buttonName == "giveupBtn" ? 2 : 1));
    QCOMPARE(watcher.last().windowTitle, QStringLiteral("错误"));
    QCOMPARE(watcher.last().text, QStringLiteral("ISO检测程序不存在"));
    QCOMPARE(value(1, 1), QString());
    QVERIFY(!button("saveReport")->isEnabled());
    QVERIFY(!button("giveupBtn")->isEnabled());
    QVERIFY(!button("startISO")->isEnabled());
}

void tst_displayisowidget::cleanupTestCase()
{
    delete setupisowidget::instance();
    delete page;
    m_dir.reset();
}

SUPPORT_GUI_TEST_MAIN(tst_displayisowidget)
#include "tst_displayisowidget.moc"
