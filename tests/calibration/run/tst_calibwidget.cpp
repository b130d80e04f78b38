#include "runtesthelpers.h"

#include "common/common.h"
#include "iso/displayisowidget.h"
#include "pages/calibwidget.h"
#include "pages/dhparameterwidget.h"

#include <support/fakeprogram.h>
#include <support/guitestmain.h>
#include <support/modaldialogwatcher.h>
#include <support/temporarycurrentdir.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>

#include <memory>

using support::FakeProgram;
using support::ModalDialogWatcher;

namespace {

// Joint j of the test result: the controller's values moved a little.
QJsonObject resultJoint(int j, double scale = 1.0)
{
    const QVector<double> dh = runtest::sixAxisDH();
    const int k = 4 * (j - 1);
    return {{"alpha", dh[k] + 0.01 * scale},
            {"a", dh[k + 1] + 0.1 * scale},
            {"d", dh[k + 2] - 0.1 * scale},
            {"theta_offset", dh[k + 3] + 0.02 * scale}};
}

QVector<double> resultJoints(double scale = 1.0, int skip = 0)
{
    QVector<double> values;
    for (int j = 1; j <= 6; ++j) {
        if (j == skip)
            continue;
        const QJsonObject o = resultJoint(j, scale);
        values << o["alpha"].toDouble() << o["a"].toDouble() << o["d"].toDouble()
               << o["theta_offset"].toDouble();
    }
    return values;
}

QJsonObject jointsObject(double scale = 1.0)
{
    QJsonObject joints;
    for (int j = 1; j <= 6; ++j)
        joints["joint_" + QString::number(j)] = resultJoint(j, scale);
    return joints;
}

// A complete, passing result for the six-axis robot.
QJsonObject goodResult()
{
    return {{"status", 1},
            {"dh_parameters", jointsObject()},
            {"zero_points", QJsonArray{0.5, -0.25, 1, 0, 0.125, -2}},
            {"avg_valid_position_error", 0.1},
            {"max_valid_position_error", 2.5},
            {"threshold", QJsonArray{0.5, 3.0, 1.0, 0.5}}};
}

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson();
}

} // namespace

class tst_calibWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void construction();
    void refusedStarts_data();
    void refusedStarts();
    void discovery_data();
    void discovery();
    void outputLines_data();
    void outputLines();
    void cancelSkipsTheFinish();
    void collectorFailures_data();
    void collectorFailures();
    void collectorThatCannotStart();
    void readFailures_data();
    void readFailures();
    void success_data();
    void success();
    void qualityGate_data();
    void qualityGate();
    void gatePassedSchedulesTheAutomaticApply();
    void resetAllReturnsToIdle();
    void runsApartFromTheIsoTest();
    void earlierRunsResultIsNotTaken();
    void destroyingTheCardStopsTheCollector();

private:
    QPushButton *runButton() const
    {
        return page->findChild<QPushButton *>(QStringLiteral("runCalibrationBtn"));
    }
    QString status() const
    {
        return page->findChild<QLabel *>(QStringLiteral("calibrationLabel"))->text();
    }
    QString progress() const
    {
        return page->findChild<QLabel *>(QStringLiteral("connectionLabel"))->text();
    }
    QString collectorDir() const { return common::workFolder + "/calib/collectcalibposes"; }
    QString resultFile() const { return common::workFolder + "/optimized_dh.json"; }
    FakeProgram collector(const QString &name = "collectCalibPoses_v1.2.exe") const
    {
        return FakeProgram(collectorDir(), name);
    }
    bool collectorGone() const { return page->findChildren<QProcess *>().isEmpty(); }
    QString newLog() const { return runtest::pluginLogText().mid(m_logStart); }
    // Starts a collector that leaves `result` and exits 0, and waits for the end.
    bool runToEnd(const QByteArray &result, ModalDialogWatcher &watcher, int dialogs);

    std::unique_ptr<support::TemporaryCurrentDir> m_dir;
    QPointer<calibWidget> page;
    dhparameterWidget *result = nullptr;
    bool m_selected = true;
    bool m_written = true;
    QString m_sn;
    int m_requests = 0;
    bool m_requestBeforeCollector = false;
    int m_logStart = 0;
};

void tst_calibWidget::initTestCase()
{
    m_dir.reset(new support::TemporaryCurrentDir);
    QVERIFY(m_dir->isValid());
    page = calibWidget::instance();
    result = dhparameterWidget::instance();
    // The test answers for the setup page; its own answers come first and are overridden.
    connect(page, &calibWidget::isAllOptionsSelect, this,
            [this](bool &selected) { selected = m_selected; });
    connect(page, &calibWidget::isSNEmpty, this, [this] { common::serialNumber = m_sn; });
    connect(page, &calibWidget::isRequestFileWritten, this,
            [this](bool &written) { written = m_written; });
    connect(page, &calibWidget::writeIntoJson, this, [this] {
        ++m_requests;
        m_requestBeforeCollector = collectorGone();
    });
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
}

void tst_calibWidget::init()
{
    QTRY_VERIFY(collectorGone());
    QTRY_VERIFY(!runtest::autoCloseBox(page) && !runtest::autoCloseBox(result));
    common::workFolder = m_dir->filePath("work");
    QDir(common::workFolder).removeRecursively();
    QVERIFY(QDir().mkpath(collectorDir()));
    common::axisNum = 6;
    common::originalDHParamsVec = runtest::sixAxisDH();
    common::optimizedDHParamsVec.clear();
    common::productDHParamsVec.clear();
    common::productZeroPointsVec.clear();
    common::zeroPointsVec.clear();
    common::calibMode = "normal";
    m_selected = true;
    m_written = true;
    m_sn = "SN-0042";
    m_requests = 0;
    m_requestBeforeCollector = false;
    page->resetAll();
    result->onAutoApplyToggled(false);
    result->changeBtnsStatus(false);
    m_logStart = runtest::pluginLogText().size();
}

void tst_calibWidget::cleanup()
{
    common::serialNumber.clear();
}

bool tst_calibWidget::runToEnd(const QByteArray &contents, ModalDialogWatcher &watcher,
                               int dialogs)
{
    if (collector().writeFile(resultFile(), contents).write().isEmpty())
        return false;
    QTest::mouseClick(runButton(), Qt::LeftButton);
    if (!QTest::qWaitFor([this] { return collectorGone(); }, 5000))
        return false;
    return watcher.waitForDialogs(dialogs) && watcher.count() == dialogs;
}

void tst_calibWidget::construction()
{
    QCOMPARE(page->objectName(), QStringLiteral("calibWidget"));
    QCOMPARE(page->windowTitle(), QStringLiteral("Form"));
    QCOMPARE(runButton()->text(), QStringLiteral("启动标定"));
    QVERIFY(runButton()->isEnabled());
    QCOMPARE(runButton()->minimumWidth(), 200);
    QCOMPARE(runButton()->maximumWidth(), 300);
    QCOMPARE(runButton()->minimumHeight(), 25);
    QCOMPARE(runButton()->maximumHeight(), 75);
    QCOMPARE(status(), QString());
    QCOMPARE(progress(), QString());
    QVERIFY(page->testAttribute(Qt::WA_StyledBackground));
}

void tst_calibWidget::refusedStarts_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QString>("sn");
    QTest::addColumn<QString>("text");

    QTest::newRow("nothing chosen") << false << "SN-1" << "请选择标定参数";
    QTest::newRow("no SN") << true << "" << "请输入SN号";
    const QString unsafe = "SN号包含非法字符";
    QTest::newRow("parent folder") << true << "../../outside" << unsafe;
    QTest::newRow("dot dot") << true << ".." << unsafe;
    QTest::newRow("slash") << true << "line/SN-1" << unsafe;
    QTest::newRow("backslash") << true << "line\\SN-1" << unsafe;
    QTest::newRow("drive") << true << "C:SN" << unsafe;
    QTest::newRow("wildcard") << true << "SN*" << unsafe;
    QTest::newRow("line feed") << true << "SN\n1" << unsafe;
    QTest::newRow("device name") << true << "con" << unsafe;
    QTest::newRow("device name with extension") << true << "NUL.backup" << unsafe;
}

// A refused start changes nothing: no request file, no collector, the last result kept.
void tst_calibWidget::refusedStarts()
{
    QFETCH(bool, selected);
    QFETCH(QString, sn);
    QFETCH(QString, text);
    m_selected = selected;
    m_sn = sn;
    const QString arguments = m_dir->filePath("arguments");
    QFile::remove(arguments);
    QVERIFY(!collector().recordArguments(arguments).write().isEmpty());
    common::optimizedDHParamsVec = {1, 2, 3, 4};
    QSignalSpy buttons(page, &calibWidget::changeBtnsStatus);

    ModalDialogWatcher watcher;
    QTest::mouseClick(runButton(), Qt::LeftButton);
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(watcher.last().windowTitle, QStringLiteral("Warning"));
    QCOMPARE(watcher.last().text, text);
    QCOMPARE(watcher.last().icon, QMessageBox::Warning);
    QCOMPARE(m_requests, 0);
    QVERIFY(collectorGone());
    QVERIFY(!QFile::exists(arguments));
    QCOMPARE(buttons.count(), 0);
    QCOMPARE(common::optimizedDHParamsVec, (QVector<double>{1, 2, 3, 4}));
    QCOMPARE(runButton()->text(), QStringLiteral("启动标定"));
    QCOMPARE(status(), QString());
}

void tst_calibWidget::discovery_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("box"); // empty: the collector starts

    QTest::newRow("missing folder") << QStringList() << false << true << "未匹配到采点程序";
    QTest::newRow("other program") << QStringList{"collectIsoPoses.exe"} << true << true
                                   << "未匹配到采点程序";
    QTest::newRow("two") << QStringList{"collectCalibPoses_v1.exe", "old_collectCalibPoses.exe"}
                         << true << true << "匹配到多个采点程序";
    QTest::newRow("other letter case") << QStringList{"COLLECTCALIBPOSES-2.exe"} << true << true
                                       << QString();
    QTest::newRow("request file not written") << QStringList{"collectCalibPoses-1.exe"} << true
                                              << false << "写入标定请求文件失败";
}

void tst_calibWidget::discovery()
{
    QFETCH(QStringList, files);
    QFETCH(bool, folder);
    QFETCH(bool, written);
    QFETCH(QString, box);
    m_written = written;
    if (!folder)
        QVERIFY(QDir(collectorDir()).removeRecursively());
    const QString arguments = m_dir->filePath("arguments");
    QFile::remove(arguments);
    for (const QString &name : files)
        QVERIFY(!collector(name).recordArguments(arguments).write().isEmpty());
    QSignalSpy buttons(page, &calibWidget::changeBtnsStatus);
    QSignalSpy vec(page, &calibWidget::calibrationDoneVec);

    ModalDialogWatcher watcher;
    QTest::mouseClick(runButton(), Qt::LeftButton);
    QCOMPARE(m_requests, 1);
    QVERIFY(m_requestBeforeCollector);
    QCOMPARE(vec.count(), 1);
    QCOMPARE(vec.first().first().toBool(), true);
    QCOMPARE(buttons.count(), 1);
    QCOMPARE(buttons.first().first().toBool(), false);
    if (!box.isEmpty()) {
        QCOMPARE(watcher.count(), 1);
        QCOMPARE(watcher.last().windowTitle, QStringLiteral("ERROR"));
        QCOMPARE(watcher.last().icon, QMessageBox::Critical);
        QCOMPARE(watcher.last().text, box);
        QCOMPARE(status(), QStringLiteral("启动失败"));
        QCOMPARE(progress(), QStringLiteral("初始化中..."));
        QCOMPARE(runButton()->text(), QStringLiteral("启动标定"));
        QVERIFY(runButton()->isEnabled());
        QVERIFY(collectorGone());
        return;
    }
    QCOMPARE(status(), QStringLiteral("标定运行中"));
    QCOMPARE(runButton()->text(), QStringLiteral("取消标定"));
    QVERIFY(runButton()->isEnabled());
    QTRY_VERIFY(collectorGone());
    QCOMPARE(FakeProgram::readArguments(arguments),
             (QStringList{"--path", common::workFolder}));
    QCOMPARE(status(), QStringLiteral("读取结果失败"));
}

void tst_calibWidget::outputLines_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("logged"); // in this order

    QTest::newRow("progress then phase in one chunk")
        << QStringList{"[PROGRESS] 3/10\n[PHASE] OPTIMIZATION"} << "优化中..."
        << QStringList{"Progress: 3/10", "Enter optimization phase"};
    QTest::newRow("phase with blanks") << QStringList{"   [PHASE] OPTIMIZATION  \r"}
                                       << "优化中..."
                                       << QStringList{"Enter optimization phase"};
    QTest::newRow("phase with a trailing word") << QStringList{"[PHASE] OPTIMIZATION DONE"}
                                                << "初始化中..." << QStringList();
    QTest::newRow("progress inside other text")
        << QStringList{"pose [PROGRESS]12/40 reached"} << "采集进度：12 / 40"
        << QStringList{"Progress: 12/40"};
    QTest::newRow("progress with blanks") << QStringList{"[PROGRESS]  5 /  9"}
                                          << "采集进度：5 / 9" << QStringList{"Progress: 5/9"};
    QTest::newRow("progress after the phase")
        << QStringList{"[PHASE] OPTIMIZATION", "[PROGRESS] 2/4"} << "采集进度：2 / 4"
        << QStringList{"Enter optimization phase", "Progress: 2/4"};
    QTest::newRow("no numbers") << QStringList{"[PROGRESS] a/b"} << "初始化中..."
                                << QStringList();
}

void tst_calibWidget::outputLines()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, shown);
    QFETCH(QStringList, logged);
    QVERIFY(!collector().printLines(lines).pause(200).write().isEmpty());

    ModalDialogWatcher watcher;
    QTest::mouseClick(runButton(), Qt::LeftButton);
    QCOMPARE(progress(), QStringLiteral("初始化中..."));
    QTRY_VERIFY(collectorGone());
    // No result file: the end changes the status only.
    QCOMPARE(status(), QStringLiteral("读取结果失败"));
    QCOMPARE(progress(), shown);
    QCOMPARE(watcher.count(), 0);
    const QString log = newLog();
    int at = 0;
    for (const QString &line : logged) {
        const int found = log.indexOf(line, at);
        QVERIFY2(found >= 0, qPrintable(line));
        at = found + line.size();
    }
    if (logged.isEmpty())
        QVERIFY(!log.contains("Progress: ") && !log.contains("Enter optimization phase"));
}

void tst_calibWidget::cancelSkipsTheFinish()
{
    QVERIFY(!collector()
                 .printLine("[PROGRESS] 1/20")
                 .pause(10000)
                 .writeFile(resultFile(), json(goodResult()))
                 .write()
                 .isEmpty());
    QSignalSpy buttons(page, &calibWidget::changeBtnsStatus);
    QSignalSpy str(page, &calibWidget::calibrationDoneStr);

    ModalDialogWatcher watcher;
    QTest::mouseClick(runButton(), Qt::LeftButton);
    QTRY_COMPARE(progress(), QStringLiteral("采集进度：1 / 20"));
    QPointer<QProcess> running = page->findChild<QProcess *>();
    QVERIFY(running);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(runButton(), Qt::LeftButton);
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(watcher.last().windowTitle, QStringLiteral("Notice"));
    QCOMPARE(watcher.last().text, QStringLiteral("已取消"));
    QCOMPARE(watcher.last().icon, QMessageBox::Information);
    QVERIFY(!running || running->state() == QProcess::NotRunning);
    QCOMPARE(status(), QStringLiteral("标定已取消"));
    QCOMPARE(progress(), QString());
    QCOMPARE(runButton()->text(), QStringLiteral("启动标定"));
    QVERIFY(runButton()->isEnabled());
    QCOMPARE(buttons.count(), 2);
    QCOMPARE(buttons.last().first().toBool(), true);
    QTRY_VERIFY(!running);
    // The killed collector's end ran no finish handling.
    QCOMPARE(str.count(), 1);
    QVERIFY(!QFile::exists(resultFile()));
    QVERIFY(common::optimizedDHParamsVec.isEmpty());
    QCOMPARE(watcher.count(), 1);
    QVERIFY(newLog().contains("User manually canceled calibration"));
}

void tst_calibWidget::collectorFailures_data()
{
    QTest::addColumn<QStringList>("stderrLines");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    QTest::newRow("exit 3 with one stderr line")
        << QStringList{"  servo fault on J3  "} << 3 << "采点程序执行失败\nservo fault on J3";
    QTest::newRow("nothing said") << QStringList() << 1 << "采点程序执行失败";
    const QString longLine = QString("0123456789").repeated(150);
    QTest::newRow("stderr over 1000 characters")
        << QStringList{"  " + longLine} << 2 << "采点程序执行失败\n" + longLine.left(1000);
    // 2 MiB: more than the card keeps; the box still shows the start.
    const QString flood = QString("abcdefgh").repeated(256 * 1024);
    QTest::newRow("flood") << QStringList{flood, "last words"} << 4
                           << "采点程序执行失败\n" + flood.left(1000);
}

void tst_calibWidget::collectorFailures()
{
    QFETCH(QStringList, stderrLines);
    QFETCH(int, code);
    QFETCH(QString, text);
    FakeProgram program = collector();
    program.printLine("[PROGRESS] 1/2");
    for (const QString &line : stderrLines)
        program.printErrorLine(line);
    QVERIFY(!program.exitCode(code).write().isEmpty());
    QSignalSpy str(page, &calibWidget::calibrationDoneStr);

    ModalDialogWatcher watcher;
    QTest::mouseClick(runButton(), Qt::LeftButton);
    QVERIFY(watcher.waitForDialogs(1));
    QCOMPARE(watcher.last().windowTitle, QStringLiteral("ERROR"));
    QCOMPARE(watcher.last().icon, QMessageBox::Critical);
    QCOMPARE(watcher.last().text, text);
    QCOMPARE(status(), QStringLiteral("优化失败"));
    QCOMPARE(runButton()->text(), QStringLiteral("启动标定"));
    QVERIFY(runButton()->isEnabled());
    QCOMPARE(str.count(), 2);
    QCOMPARE(str.last(), (QList<QVariant>{QString(), QString()}));
    QTRY_VERIFY(collectorGone());
    if (code == 3)
        QVERIFY(newLog().contains("[COLLECTOR_STDERR] servo fault on J3"));
}

// A collector the system cannot start (not executable) ends the run as a failure; the card
// does not wait for an end that never comes.
void tst_calibWidget::collectorThatCannotStart()
{
#ifdef Q_OS_WIN
    QSKIP("a file's permissions do not keep it from running here");
#endif
    const QString path = collector().write();
    QVERIFY(!path.isEmpty());
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    QSignalSpy str(page, &calibWidget::calibrationDoneStr);

    ModalDialogWatcher watcher;
    QTest::mouseClick(runButton(), Qt::LeftButton);
    QVERIFY(watcher.waitForDialogs(1));
    QCOMPARE(watcher.last().icon, QMessageBox::Critical);
    QVERIFY2(watcher.last().text.startsWith(QStringLiteral("采点程序执行失败\n")),
             qPrintable(watcher.last().text));
    QCOMPARE(status(), QStringLiteral("启动失败"));
    QCOMPARE(runButton()->text(), QStringLiteral("启动标定"));
    QVERIFY(runButton()->isEnabled());
    QCOMPARE(str.last(), (QList<QVariant>{QString(), QString()}));
    // Idle again: the next press would start a run rather than cancel one.
    QVERIFY(!page->isRunning());
    QTRY_VERIFY(collectorGone());
    QCOMPARE(watcher.count(), 1);
}

void tst_calibWidget::readFailures_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("title"); // empty: no box
    QTest::addColumn<QString>("text");

    QJsonObject statusZero = goodResult();
    statusZero["status"] = 0;
    QTest::newRow("exit 0 with status 0") << json(statusZero) << QString() << QString();
    QTest::newRow("not JSON") << QByteArray("{\"status\": 1,") << QString() << QString();
    QJsonObject noAvg = goodResult();
    noAvg.remove("avg_valid_position_error");
    QTest::newRow("no average error") << json(noAvg) << "Error" << "读取误差数据失败";
    QJsonObject noMax = goodResult();
    noMax.remove("max_valid_position_error");
    QTest::newRow("no maximum error") << json(noMax) << "Error" << "读取误差数据失败";
    QJsonObject noZero = goodResult();
    noZero.remove("zero_points");
    QTest::newRow("no zero points") << json(noZero) << "Error" << "读取零点数据失败";
    QJsonObject zeroObject = goodResult();
    zeroObject["zero_points"] = QJsonObject{{"j1", 1}};
    QTest::newRow("zero points not a list") << json(zeroObject) << "Error" << "读取零点数据失败";
}

void tst_calibWidget::readFailures()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QSignalSpy buttons(page, &calibWidget::changeBtnsStatus);
    QSignalSpy str(page, &calibWidget::calibrationDoneStr);

    ModalDialogWatcher watcher;
    QVERIFY(runToEnd(contents, watcher, title.isEmpty() ? 0 : 1));
    if (!title.isEmpty()) {
        QCOMPARE(watcher.last().windowTitle, title);
        QCOMPARE(watcher.last().icon, QMessageBox::Critical);
        QCOMPARE(watcher.last().text, text);
    }
    QCOMPARE(status(), QStringLiteral("读取结果失败"));
    QCOMPARE(runButton()->text(), QStringLiteral("启动标定"));
    QVERIFY(runButton()->isEnabled());
    QCOMPARE(str.count(), 2);
    QCOMPARE(str.last(), (QList<QVariant>{QString(), QString()}));
    QCOMPARE(buttons.count(), 1);
    QVERIFY(common::optimizedDHParamsVec.isEmpty());
}

void tst_calibWidget::success_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QVector<double>>("optimized");
    QTest::addColumn<QVector<double>>("product");
    QTest::addColumn<std::vector<double>>("productZero");

    // The switch is off, so "threshold" is never asked for.
    QJsonObject plain = goodResult();
    plain.remove("threshold");
    QTest::newRow("no threshold") << json(plain) << resultJoints() << QVector<double>()
                                  << std::vector<double>();
    QJsonObject missing = goodResult();
    QJsonObject joints = jointsObject();
    joints.remove("joint_4");
    joints["joint_7"] = resultJoint(1);
    joints["base"] = resultJoint(2);
    missing["dh_parameters"] = joints;
    QTest::newRow("joint missing") << json(missing) << resultJoints(1.0, 4) << QVector<double>()
                                   << std::vector<double>();
    QJsonObject product = goodResult();
    product["product_result"] =
        QJsonObject{{"dh_parameters", jointsObject(2.0)}, {"zero_points", QJsonArray{7, 8}}};
    QTest::newRow("production set") << json(product) << resultJoints() << resultJoints(2.0)
                                    << std::vector<double>{7, 8};
    QJsonObject badProduct = product;
    QJsonObject badJoints = jointsObject(2.0);
    badJoints["joint_2"] = QJsonObject{{"alpha", 0}, {"a", "x"}, {"d", 0}, {"theta_offset", 0}};
    badProduct["product_result"] =
        QJsonObject{{"dh_parameters", badJoints}, {"zero_points", QJsonArray{7, 8}}};
    QTest::newRow("production set broken") << json(badProduct) << resultJoints()
                                           << QVector<double>() << std::vector<double>();
}

void tst_calibWidget::success()
{
    QFETCH(QByteArray, contents);
    QFETCH(QVector<double>, optimized);
    QFETCH(QVector<double>, product);
    QFETCH(std::vector<double>, productZero);
    QSignalSpy buttons(page, &calibWidget::changeBtnsStatus);
    QSignalSpy vec(page, &calibWidget::calibrationDoneVec);
    QSignalSpy str(page, &calibWidget::calibrationDoneStr);

    ModalDialogWatcher watcher;
    QVERIFY(runToEnd(contents, watcher, 0));
    QCOMPARE(status(), QStringLiteral("请检查右侧数据并应用参数"));
    QCOMPARE(progress(), QStringLiteral("优化完成"));
    QCOMPARE(runButton()->text(), QStringLiteral("标定完成"));
    QVERIFY(!runButton()->isEnabled());
    QCOMPARE(common::optimizedDHParamsVec, optimized);
    QCOMPARE(common::productDHParamsVec, product);
    QCOMPARE(common::productZeroPointsVec, productZero);
    QCOMPARE(common::zeroPointsVec, (std::vector<double>{0.5, -0.25, 1, 0, 0.125, -2}));
    QCOMPARE(vec.last().first().toBool(), false);
    QCOMPARE(str.last(), (QList<QVariant>{QStringLiteral("0.1000"), QStringLiteral("2.5000")}));
    QCOMPARE(buttons.last().first().toBool(), true);
    // The result card got the values.
    QCOMPARE(result->findChild<QLineEdit *>("averagePosErrorText")->text(),
             QStringLiteral("0.1000"));
    QCOMPARE(runtest::cellText(result, 2, 6), QString::number(optimized[1], 'f', 4));
    QVERIFY(!runtest::autoCloseBox(page));
    QVERIFY(!newLog().contains("[AUTO_APPLY]"));
}

void tst_calibWidget::qualityGate_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("evaluable");
    QTest::addColumn<bool>("avgRed");
    QTest::addColumn<bool>("newReport"); // the collector left this run's report

    QJsonObject noThreshold = goodResult();
    noThreshold.remove("threshold");
    QTest::newRow("no threshold") << json(noThreshold) << false << false << true;
    QJsonObject three = goodResult();
    three["threshold"] = QJsonArray{0.5, 3.0, 1.0};
    QTest::newRow("three limits") << json(three) << false << false << true;
    QJsonObject tooFar = goodResult();
    tooFar["avg_valid_position_error"] = 0.75;
    QTest::newRow("average error above its limit") << json(tooFar) << true << true << true;
    QTest::newRow("rejected without a report of its own")
        << json(tooFar) << true << true << false;
    QJsonObject moved = goodResult();
    moved["threshold"] = QJsonArray{0.5, 3.0, 0.05, 0.5};
    QTest::newRow("a moved too far") << json(moved) << true << false << true;
}

void tst_calibWidget::qualityGate()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, evaluable);
    QFETCH(bool, avgRed);
    QFETCH(bool, newReport);
    result->onAutoApplyToggled(true);
    const QString reports = common::workFolder + "/results/calib_results/";
    if (newReport)
        QVERIFY(runtest::writeFile(reports + "SN-0042.xlsx", "this run"));
    QVERIFY(runtest::writeFile(reports + "failed/SN-0042.xlsx", "an older run"));
    QVERIFY(runtest::writeFile(reports + "failed/SN-0041.xlsx", "another robot"));
    QSignalSpy buttons(page, &calibWidget::changeBtnsStatus);
    QSignalSpy gate(page, &calibWidget::qualityGateFailed);

    ModalDialogWatcher watcher;
    QVERIFY(runToEnd(contents, watcher, evaluable ? 0 : 1));
    QCOMPARE(progress(), QStringLiteral("优化完成"));
    QCOMPARE(runButton()->text(), QStringLiteral("启动标定"));
    QVERIFY(runButton()->isEnabled());
    QCOMPARE(buttons.last().first().toBool(), false);
    QVERIFY(common::optimizedDHParamsVec.isEmpty());
    QVERIFY(common::productDHParamsVec.isEmpty());
    QVERIFY(common::productZeroPointsVec.empty());
    QCOMPARE(runtest::readFile(reports + "failed/SN-0041.xlsx"), QByteArray("another robot"));
    if (!evaluable) {
        QCOMPARE(watcher.last().windowTitle, QStringLiteral("Error"));
        QCOMPARE(watcher.last().text, QStringLiteral("读取质量门禁数据失败"));
        QCOMPARE(status(), QStringLiteral("读取结果失败"));
        QCOMPARE(gate.count(), 0);
        QCOMPARE(runtest::cellText(result, 2, 5), QString());
        QCOMPARE(runtest::readFile(reports + "failed/SN-0042.xlsx"), QByteArray("an older run"));
        return;
    }
    QCOMPARE(status(), QStringLiteral("优化结果不达标"));
    QCOMPARE(gate.count(), 1);
    QCOMPARE(gate.first().first().value<common::QualityGateResult>().status, 1);
    QMessageBox *box = runtest::autoCloseBox(page);
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QStringLiteral("提示"));
    QCOMPARE(box->text(), QStringLiteral("优化结果不达标"));
    QCOMPARE(box->icon(), QMessageBox::Warning);
    QVERIFY(box->buttons().isEmpty());
    QVERIFY(!box->isModal());
    // The rejected values stay on show, marked.
    QCOMPARE(runtest::cellText(result, 2, 5), QString::number(resultJoints()[0], 'f', 4));
    const QString red = "color: red;";
    QCOMPARE(result->findChild<QLineEdit *>("averagePosErrorText")->styleSheet() == red, avgRed);
    QCOMPARE(runtest::cellLabel(result, 2, 6)->styleSheet() == red, !avgRed);
    // An older rejected report is replaced only by a newer one.
    QCOMPARE(runtest::readFile(reports + "failed/SN-0042.xlsx"),
             QByteArray(newReport ? "this run" : "an older run"));
    QPointer<QMessageBox> closing = box;
    QTRY_VERIFY_WITH_TIMEOUT(!closing, 4000);
}

void tst_calibWidget::gatePassedSchedulesTheAutomaticApply()
{
    result->onAutoApplyToggled(true);
    ModalDialogWatcher watcher;
    QVERIFY(runToEnd(json(goodResult()), watcher, 0));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(status(), QStringLiteral("请检查右侧数据并应用参数"));
    QCOMPARE(common::optimizedDHParamsVec, resultJoints());
    QMessageBox *box = runtest::autoCloseBox(page);
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QStringLiteral("提示"));
    QCOMPARE(box->text(), QStringLiteral("结果合规，即将写入控制器"));
    QCOMPARE(box->icon(), QMessageBox::Information);
    QVERIFY(newLog().contains("[AUTO_APPLY] schedule after result display"));
    QVERIFY(!newLog().contains("[AUTO_APPLY] start"));
    QTRY_VERIFY_WITH_TIMEOUT(newLog().contains("[AUTO_APPLY] end"), 5000);
    QVERIFY(clock.elapsed() >= 1500);
    const QString log = newLog();
    QVERIFY(log.indexOf("[AUTO_APPLY] start") < log.indexOf("enter autoApply"));
    // No controller here: the write fails and the result stays pending.
    QVERIFY(log.contains("[APPLY][DH_WRITE] FAILED"));
    QTRY_VERIFY(!runtest::autoCloseBox(result));
}

void tst_calibWidget::resetAllReturnsToIdle()
{
    ModalDialogWatcher watcher;
    QVERIFY(runToEnd(json(goodResult()), watcher, 0));
    QVERIFY(!runButton()->isEnabled());
    page->resetAll();
    QCOMPARE(runButton()->text(), QStringLiteral("启动标定"));
    QVERIFY(runButton()->isEnabled());
    QCOMPARE(status(), QString());
    QCOMPARE(progress(), QString());
    // Idle again: the button starts, it does not cancel.
    QVERIFY(runToEnd(json(goodResult()), watcher, 0));
    QCOMPARE(status(), QStringLiteral("请检查右侧数据并应用参数"));
}

// Last: the card is gone afterwards.
void tst_calibWidget::destroyingTheCardStopsTheCollector()
{
    QVERIFY(!collector().printLine("[PROGRESS] 1/3").pause(10000).write().isEmpty());
    ModalDialogWatcher watcher;
    QTest::mouseClick(runButton(), Qt::LeftButton);
    QTRY_COMPARE(progress(), QStringLiteral("采集进度：1 / 3"));
    QPointer<QProcess> running = page->findChild<QProcess *>();
    QVERIFY(running);
    QElapsedTimer clock;
    clock.start();
    delete page;
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(!running);
    QCOMPARE(watcher.count(), 0);
}

// The calibration and the ISO test never drive the robot at once, nor does a write to the
// controller, which reboots it, come while the ISO collector moves it.
void tst_calibWidget::runsApartFromTheIsoTest()
{
    displayisowidget *iso = displayisowidget::instance();
    QVERIFY(!collector().printLine("[PROGRESS] 1/20").pause(10000).write().isEmpty());
    ModalDialogWatcher watcher;
    QTest::mouseClick(runButton(), Qt::LeftButton);
    QTRY_COMPARE(progress(), QStringLiteral("采集进度：1 / 20"));
    iso->startIso();
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(watcher.last().text, QStringLiteral("标定或写入控制器进行中，不能启动ISO"));
    QVERIFY(!iso->isRunning());
    QTest::mouseClick(runButton(), Qt::LeftButton); // cancels
    QTRY_VERIFY(collectorGone());
    m_requests = 0;

    const QString isoFolder = common::workFolder + "/iso/collectisoposes";
    QVERIFY(QDir().mkpath(isoFolder));
    QVERIFY(!FakeProgram(isoFolder, "collectIsoPoses.exe").pause(10000).write().isEmpty());
    iso->startIso();
    QVERIFY(iso->isRunning());
    const int before = watcher.count();
    QTest::mouseClick(runButton(), Qt::LeftButton);
    QCOMPARE(watcher.count(), before + 1);
    QCOMPARE(watcher.last().text, QStringLiteral("ISO测试运行中，不能启动标定"));
    QVERIFY(!page->isRunning());
    QCOMPARE(m_requests, 0);
    QVERIFY(QMetaObject::invokeMethod(result, "confirmBtnClicked"));
    QCOMPARE(watcher.count(), before + 2);
    QCOMPARE(watcher.last().text, QStringLiteral("ISO测试运行中，不能写入控制器"));
    iso->startIso(); // stops it
    QTRY_VERIFY(!iso->isRunning());
    delete iso;
}

// A collector that ends well without writing a result leaves the one of the run before.
void tst_calibWidget::earlierRunsResultIsNotTaken()
{
    QFile earlier(resultFile());
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write(json(goodResult()));
    earlier.close();
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QVERIFY(earlier.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                QFileDevice::FileModificationTime));
    earlier.close();
    QVERIFY(!collector().write().isEmpty());
    ModalDialogWatcher watcher;
    QTest::mouseClick(runButton(), Qt::LeftButton);
    QTRY_VERIFY(collectorGone());
    QTRY_COMPARE(status(), QStringLiteral("读取结果失败"));
    QVERIFY(common::optimizedDHParamsVec.isEmpty());
    QCOMPARE(watcher.count(), 0);
}

SUPPORT_GUI_TEST_MAIN(tst_calibWidget)
#include "tst_calibwidget.moc"
