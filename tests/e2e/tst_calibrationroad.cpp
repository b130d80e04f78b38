#include "../calibration/veltratesthelpers.h"
#include "calibrationtab.h"
#include "common/common.h"
#include "interface/interfacemanager.h"
#include "pages/calibwidget.h"
#include "pages/dhparameterwidget.h"
#include "pages/setupwidget.h"

#include <sim/controller/simulatedcontroller.h>
#include <support/guitestmain.h>
#include <support/modaldialogwatcher.h>
#include <support/simhost.h>
#include <support/temporarycurrentdir.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractButton>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QSignalSpy>
#include <QVBoxLayout>

#include <memory>

using tessel::tesselInterface;

namespace {

const QString kSetAll = QStringLiteral("factory.set_DH_params_all");
const QString kSetZero = QStringLiteral("ethercat.set_precision_compensation_zero");
const QString kReboot = QStringLiteral("system.controller.reboot");

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// The label shown last at a cell of the result card's table.
QString cellText(QWidget *page, int row, int column)
{
    auto *grid = page->findChild<QGridLayout *>(QStringLiteral("tableLayout"));
    QString text = QStringLiteral("<no label>");
    for (int i = 0; grid && i < grid->count(); ++i) {
        int r = 0, c = 0, rs = 0, cs = 0;
        grid->getItemPosition(i, &r, &c, &rs, &cs);
        if (r == row && c == column)
            if (auto *label = qobject_cast<QLabel *>(grid->itemAt(i)->widget()))
                text = label->text();
    }
    return text;
}

QString figure(double value)
{
    return QString::number(value, 'f', 4);
}

// The setup page's table: the value shown in a parameter cell, and a row's button.
QString setupValue(QWidget *page, int row, int column)
{
    auto *grid = page->findChild<QGridLayout *>(QStringLiteral("tableLayout"));
    QLayoutItem *item = grid ? grid->itemAtPosition(row, column) : nullptr;
    QLabel *label = item && item->widget() ? item->widget()->findChild<QLabel *>() : nullptr;
    return label ? label->text() : QStringLiteral("<no value>");
}

QString setupFigure(double value)
{
    return QString::number(value, 'g', 6);
}

QPushButton *setupRowButton(QWidget *page, int row)
{
    auto *grid = page->findChild<QGridLayout *>(QStringLiteral("tableLayout"));
    QLayoutItem *item = grid ? grid->itemAtPosition(row, 5) : nullptr;
    return item ? qobject_cast<QPushButton *>(item->widget()) : nullptr;
}

using veltratest::pluginLogText;

} // namespace

class tst_CalibrationRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void wholeCalibration();
    void giveUpAndStartWaitWhileTheWriteRuns();
    void cleanupTestCase();

private:
    std::unique_ptr<support::TemporaryCurrentDir> m_dir;
    std::unique_ptr<QWidget> m_tab;
    support::SimHost *m_host = nullptr;
};

// The calibration tab as the main page lays it out and wires it, made before the controller
// link comes up, as at the pendant's start.
void tst_CalibrationRoad::initTestCase()
{
    m_dir.reset(new support::TemporaryCurrentDir);
    QVERIFY(m_dir->isValid());
    common::workFolder = m_dir->filePath("work");
    const QString collectorDir = common::workFolder + "/calib/collectcalibposes";
    QVERIFY(QDir().mkpath(collectorDir));
    const QString collector = collectorDir + "/collectCalibPoses-1.3.0.exe";
    QVERIFY(QFile::copy(CALIB_COLLECTOR, collector));
    QVERIFY(QFile::setPermissions(collector, QFile::permissions(CALIB_COLLECTOR)));

    tesselInterface();
    m_host = new support::SimHost(this);
    m_host->controller()->setRebootDelay(300);

    m_tab = makeCalibrationTab();
    m_tab->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tab.get()));
}

void tst_CalibrationRoad::wholeCalibration()
{
    sim::SimulatedController *controller = m_host->controller();
    const QVector<double> factory = controller->dhParams();
    calibWidget *run = calibWidget::instance();
    dhparameterWidget *result = dhparameterWidget::instance();
    setupWidget *setup = setupWidget::instance();
    auto *sn = setup->findChild<QLineEdit *>("snLineEdit");
    QVERIFY(sn);
    support::ModalDialogWatcher watcher;
    watcher.setDefaultAnswer(support::DialogAnswer::reject());

    // Connect: the setup page reads the controller's set and the result card shows it.
    QVERIFY(m_host->start("SR6-900"));
    QTRY_COMPARE(common::axisNum, 6);
    QTRY_COMPARE(cellText(result, 3, 1), figure(factory[4]));
    QCOMPARE(cellText(result, 7, 0), QStringLiteral("J6"));
    QCOMPARE(setupValue(setup, 3, 2), setupFigure(factory[5]));
    QCOMPARE(common::robotType, QStringLiteral("SR6-900"));
    controller->clearCalls();

    // Choose: unlock the table, take every parameter but those of J1; type the SN.
    watcher.addAnswer(support::DialogAnswer::type("sorvik"));
    QTest::mouseClick(setup->findChild<QPushButton *>("lockBtn"), Qt::LeftButton);
    QCOMPARE(setup->findChild<QPushButton *>("lockBtn")->text(), QStringLiteral("🔓 锁定"));
    auto *range = setup->findChild<QPushButton *>("rangeBtn");
    QCOMPARE(range->text(), QStringLiteral("全参"));
    watcher.addAnswer(support::DialogAnswer::press("确认"));
    QTest::mouseClick(range, Qt::LeftButton);
    QCOMPARE(range->text(), QStringLiteral("中轴"));
    QTest::mouseClick(setupRowButton(setup, 2), Qt::LeftButton);
    QCOMPARE(setupRowButton(setup, 2)->text(), QStringLiteral("全选"));
    QCOMPARE(watcher.count(), 2);
    QTest::keyClicks(sn, "SN-E2E-001");

    // Start: the stand-in collector reads the request file and leaves its result.
    auto *start = run->findChild<QPushButton *>("runCalibrationBtn");
    auto *status = run->findChild<QLabel *>("calibrationLabel");
    // The automatic apply is timed from the moment the run card shows the result, not from
    // whenever the test next looks: a busy machine must not shorten the measured delay.
    QElapsedTimer sinceResult;
    QObject probe;
    connect(run, &calibWidget::changeBtnsStatus, &probe, [&sinceResult](bool enable) {
        if (enable && !sinceResult.isValid())
            sinceResult.start();
    });
    QTest::mouseClick(start, Qt::LeftButton);
    QCOMPARE(start->text(), QStringLiteral("取消标定"));
    const QJsonObject request = readJson(common::workFolder + "/calibInfo.json");
    const QJsonObject profile = request["robot_profile"].toObject();
    QCOMPARE(profile["serial_number"].toString(), QStringLiteral("SN-E2E-001"));
    QCOMPARE(profile["robot_name"].toString(), QStringLiteral("SR6-900"));
    QCOMPARE(request["mode"].toString(), QStringLiteral("normal"));
    const QJsonObject lockedJ1{
        {"joint_index", 0},
        {"locked_params", QJsonArray{"alpha", "a", "d", "theta"}}};
    QCOMPARE(request["algorithm_constraints"].toArray(), QJsonArray{lockedJ1});
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("请检查右侧数据并应用参数"), 15000);
    QVERIFY(sinceResult.isValid());
    QCOMPARE(watcher.count(), 2);
    const QString log = pluginLogText();
    QVERIFY(log.contains("Progress: 8/8"));
    QVERIFY(log.indexOf("Progress: 8/8") < log.indexOf("Enter optimization phase"));
    QVERIFY(QFile::exists(common::workFolder + "/results/calib_results/SN-E2E-001.xlsx"));

    // The result shows next to the controller's set.
    const QJsonObject file = readJson(common::workFolder + "/optimized_dh.json");
    const QJsonObject joint1 = file["dh_parameters"].toObject()["joint_1"].toObject();
    QTRY_COMPARE(cellText(result, 2, 6), figure(joint1["a"].toDouble()));
    QCOMPARE(result->findChild<QLineEdit *>("averagePosErrorText")->text(),
             QStringLiteral("0.1234"));
    QCOMPARE(result->findChild<QLineEdit *>("averagePoseErrorText")->text(),
             QStringLiteral("0.3456"));
    const QVector<double> optimized = common::optimizedDHParamsVec;
    QCOMPARE(optimized.size(), 24);

    // Automatic apply, 2000 ms after the result: DH set, zero offsets, reboot.
    QSignalSpy down(&tesselInterface(), &tessel::InterfaceManager::sigNetworkDisConnect);
    QSignalSpy up(&tesselInterface(), &tessel::InterfaceManager::sigNetworkConnect);
    QTRY_COMPARE_WITH_TIMEOUT(controller->callsOf(kReboot).size(), 1, 6000);
    QVERIFY(sinceResult.elapsed() >= 1900);
    QStringList writes;
    for (const auto &call : controller->calls())
        if (call.name == kSetAll || call.name == kSetZero || call.name == kReboot)
            writes << call.name;
    QCOMPARE(writes, (QStringList{kSetAll, kSetZero, kReboot}));
    QVector<double> sent;
    for (const QJsonValue &value : controller->callsOf(kSetAll).first().payload["DH_params_all"]
                                       .toArray())
        sent << value.toDouble();
    QCOMPARE(sent.size(), 24);
    for (int j = 0; j < 24; ++j)
        QCOMPARE(sent[j], j % 4 == 3 ? factory[j] : optimized[j]);
    QCOMPARE(controller->callsOf(kSetZero).first().payload["joint_angle_A"].toArray(),
             file["zero_points"].toArray());
    QCOMPARE(start->text(), QStringLiteral("启动标定"));
    QVERIFY(start->isEnabled());
    QCOMPARE(sn->text(), QString());

    // The controller reboots; the link goes and comes back, and the table shows the new set.
    QTRY_COMPARE_WITH_TIMEOUT(down.count(), 1, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(up.count() >= 1, 5000);
    QCOMPARE(controller->rebootCount(), 1);
    QTRY_COMPARE(cellText(result, 2, 2), figure(joint1["a"].toDouble()));
    QCOMPARE(cellText(result, 3, 1), figure(optimized[4]));
    QCOMPARE(cellText(result, 4, 4), figure(factory[11])); // theta stays the controller's
    QCOMPARE(controller->dhParams().mid(0, 24), sent);
    QCOMPARE(common::originalDHParamsVec.mid(0, 24), sent);
    // The setup page too: the new set, the default selection, still unlocked.
    QCOMPARE(setupValue(setup, 2, 2), setupFigure(sent[1]));
    QCOMPARE(setupRowButton(setup, 2)->text(), QStringLiteral("全选"));
    QCOMPARE(setupRowButton(setup, 3)->text(), QStringLiteral("全不选"));
    QCOMPARE(range->text(), QStringLiteral("全参"));
    QVERIFY(setupRowButton(setup, 2)->isEnabled());
    QCOMPARE(watcher.count(), 2);
}

// The operator gives up and starts again while "应用" waits for the controller: neither may
// reach the cards until the write sequence has ended.
void tst_CalibrationRoad::giveUpAndStartWaitWhileTheWriteRuns()
{
    sim::SimulatedController *controller = m_host->controller();
    calibWidget *run = calibWidget::instance();
    dhparameterWidget *result = dhparameterWidget::instance();
    setupWidget *setup = setupWidget::instance();
    support::ModalDialogWatcher watcher;
    watcher.setDefaultAnswer(support::DialogAnswer::reject());
    QTRY_VERIFY(m_host->isConnected());
    QTRY_COMPARE(common::axisNum, 6);
    auto *autoApply = setup->findChild<QAbstractButton *>("autoApplySwitch");
    if (autoApply->isChecked())
        QTest::mouseClick(autoApply, Qt::LeftButton);
    QVERIFY(!result->isAutoApplyEnabled());

    auto *start = run->findChild<QPushButton *>("runCalibrationBtn");
    auto *giveUp = result->findChild<QPushButton *>("giveUpBtn");
    auto *confirm = result->findChild<QPushButton *>("confirmBtn");
    QTest::keyClicks(setup->findChild<QLineEdit *>("snLineEdit"), "SN-E2E-002");
    QTest::mouseClick(start, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(confirm->isEnabled(), 15000);
    QVERIFY(run->findChildren<QProcess *>().isEmpty());
    controller->clearCalls();
    controller->setLatency(100);

    QStringList enabledWhileWaiting;
    int startedWhileWaiting = 0;
    QObject probe;
    connect(controller, &sim::SimulatedController::received, &probe, [&](const QString &name) {
        if (name != kSetAll)
            return;
        QTimer::singleShot(0, &probe, [&] {
            for (QPushButton *button : {start, giveUp, confirm})
                if (button->isEnabled())
                    enabledWhileWaiting << button->objectName();
            QTest::mouseClick(giveUp, Qt::LeftButton);
            QMetaObject::invokeMethod(result, "giveupBtnClicked");
            QTest::mouseClick(start, Qt::LeftButton);
            QMetaObject::invokeMethod(run, "onRunCalibrationBtnClicked");
            startedWhileWaiting = run->findChildren<QProcess *>().size();
        });
    });
    QSignalSpy gaveUp(result, &dhparameterWidget::giveupBtnSignals);
    QSignalSpy confirmed(result, &dhparameterWidget::confirmBtnSingals);
    QTest::mouseClick(confirm, Qt::LeftButton);
    controller->setLatency(0);

    QCOMPARE(enabledWhileWaiting, QStringList());
    QCOMPARE(startedWhileWaiting, 0);
    QCOMPARE(gaveUp.count(), 0);
    QCOMPARE(confirmed.count(), 1);
    QStringList writes;
    for (const auto &call : controller->calls())
        if (call.name == kSetAll || call.name == kSetZero || call.name == kReboot)
            writes << call.name;
    QCOMPARE(writes, (QStringList{kSetAll, kSetZero, kReboot}));
    // Afterwards the cards are idle again, as after any apply.
    QCOMPARE(start->text(), QStringLiteral("启动标定"));
    QVERIFY(start->isEnabled());
    QVERIFY(!giveUp->isEnabled());
    QVERIFY(!confirm->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(m_host->isConnected(), 5000);
}

void tst_CalibrationRoad::cleanupTestCase()
{
    m_tab.reset();
}

SUPPORT_GUI_TEST_MAIN(tst_CalibrationRoad)
#include "tst_calibrationroad.moc"
