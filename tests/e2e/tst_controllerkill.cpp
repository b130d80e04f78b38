// The calibration's apply against a separate simcontroller process that is killed on the way:
// during the DH write, between the DH and the zero write, and during the reboot wait.
#include "../calibration/veltratesthelpers.h"
#include "calibrationtab.h"
#include "common/common.h"
#include "interface/interfacemanager.h"
#include "pages/calibwidget.h"
#include "pages/dhparameterwidget.h"
#include "pages/setupwidget.h"

#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <mirel/networkcontrollerlink.h>
#include <support/guitestmain.h>
#include <support/modaldialogwatcher.h>
#include <support/temporarycurrentdir.h>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

using tessel::tesselInterface;

namespace {

// Each answer comes this late, so that the kills land between the writes.
constexpr int kLatencyMs = 800;
constexpr int kRebootDelayMs = 1500;

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QVector<double> numbers(const QJsonValue &array)
{
    QVector<double> out;
    for (const QJsonValue &v : array.toArray())
        out << v.toDouble();
    return out;
}

using veltratest::pluginLogText;

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class tst_ControllerKill : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killDuringApply_data();
    void killDuringApply();
    void cleanupTestCase();

private:
    bool startController();
    void killController();

    std::unique_ptr<support::TemporaryCurrentDir> m_dir;
    std::unique_ptr<QWidget> m_tab;
    std::unique_ptr<QProcess> m_process;
    mirel::NetworkControllerLink *m_link = nullptr;
    QString m_address;
    QString m_stateFile;
};

bool tst_ControllerKill::startController()
{
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(SIMCONTROLLER,
                     {QStringLiteral("--listen"), m_address, QStringLiteral("--state"),
                      m_stateFile, QStringLiteral("--latency"), QString::number(kLatencyMs),
                      QStringLiteral("--reboot-delay"), QString::number(kRebootDelayMs)});
    if (!m_process->waitForStarted(5000))
        return false;
    // It says where it listens once it does.
    return m_process->waitForReadyRead(5000)
           && m_process->readAllStandardOutput().contains("loopback only");
}

void tst_ControllerKill::killController()
{
    m_process->kill();
    m_process->waitForFinished(3000);
}

void tst_ControllerKill::initTestCase()
{
    m_dir.reset(new support::TemporaryCurrentDir);
    QVERIFY(m_dir->isValid());
    common::workFolder = m_dir->filePath("work");
    const QString collectorDir = common::workFolder + "/calib/collectcalibposes";
    QVERIFY(QDir().mkpath(collectorDir));
    const QString collector = collectorDir + "/collectCalibPoses-1.3.0.exe";
    QVERIFY(QFile::copy(CALIB_COLLECTOR, collector));
    QVERIFY(QFile::setPermissions(collector, QFile::permissions(CALIB_COLLECTOR)));
    m_stateFile = m_dir->filePath("controller-state.json");
    m_address = QStringLiteral("127.0.0.1:%1").arg(freeLoopbackPort());

    tesselInterface();
    m_link = new mirel::NetworkControllerLink(m_address, this);
    mirel::ManagerHelper::instance()->controllerManager()->setLink(m_link);

    m_tab = makeCalibrationTab();
    m_tab->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tab.get()));
}

void tst_ControllerKill::killDuringApply_data()
{
    QTest::addColumn<int>("killAfterMs");
    QTest::addColumn<bool>("dhWritten");
    QTest::addColumn<bool>("zeroWritten");
    // Answers at 1x, 2x and 3x the latency; the reboot drops the link just after the third.
    QTest::newRow("during the DH write") << kLatencyMs / 2 << false << false;
    QTest::newRow("between DH and zero write") << kLatencyMs * 3 / 2 << true << false;
    QTest::newRow("during the reboot wait") << kLatencyMs * 3 + kRebootDelayMs / 2 << true
                                            << true;
}

void tst_ControllerKill::killDuringApply()
{
    QFETCH(int, killAfterMs);
    QFETCH(bool, dhWritten);
    QFETCH(bool, zeroWritten);
    QFile::remove(m_stateFile);
    QVERIFY(startController());
    QSignalSpy connected(&tesselInterface(), &tessel::InterfaceManager::sigNetworkConnect);
    QVERIFY(m_link->open());
    QTRY_VERIFY_WITH_TIMEOUT(!connected.isEmpty(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(common::axisNum, 6, 10000);
    const QVector<double> factory = common::originalDHParamsVec;

    calibWidget *run = calibWidget::instance();
    dhparameterWidget *result = dhparameterWidget::instance();
    setupWidget *setup = setupWidget::instance();
    support::ModalDialogWatcher watcher;
    watcher.setDefaultAnswer(support::DialogAnswer::reject());
    auto *autoApply = setup->findChild<QAbstractButton *>("autoApplySwitch");
    if (autoApply->isChecked())
        QTest::mouseClick(autoApply, Qt::LeftButton);
    auto *confirm = result->findChild<QPushButton *>("confirmBtn");
    auto *sn = setup->findChild<QLineEdit *>("snLineEdit");
    sn->clear();
    QTest::keyClicks(sn, "SN-KILL");
    QTest::mouseClick(run->findChild<QPushButton *>("runCalibrationBtn"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(confirm->isEnabled(), 20000);
    const QJsonObject file = readJson(common::workFolder + "/optimized_dh.json");
    const QVector<double> optimized = common::optimizedDHParamsVec;
    const QVector<double> zero = numbers(file["zero_points"]);
    QCOMPARE(zero.size(), 6);

    const int logBefore = pluginLogText().size();
    QSignalSpy confirmed(result, &dhparameterWidget::confirmBtnSingals);
    QSignalSpy down(&tesselInterface(), &tessel::InterfaceManager::sigNetworkDisConnect);
    QTimer::singleShot(killAfterMs, this, [this] { killController(); });
    QTest::mouseClick(confirm, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(m_process->state(), QProcess::NotRunning, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!down.isEmpty(), 5000);

    // The plug-in says what failed and claims nothing it did not get confirmed.
    const QString log = pluginLogText().mid(logBefore);
    QCOMPARE(log.contains("[APPLY][DH_WRITE] SUCCESS"), dhWritten);
    QCOMPARE(log.contains("[APPLY][ZERO_WRITE] SUCCESS"), zeroWritten);
    // The self-closing box of a failed write, shown without blocking.
    bool failureShown = false;
    for (const QMessageBox *box :
         result->findChildren<QMessageBox *>(QStringLiteral("autoCloseMessageBox")))
        failureShown = failureShown || (box->isVisible() && box->text() == "写入控制器失败");
    QCOMPARE(failureShown, !zeroWritten);
    QCOMPARE(confirmed.count(), zeroWritten ? 1 : 0);
    if (!zeroWritten)
        QVERIFY(confirm->isEnabled()); // the result stays pending, to be applied again

    // What the controller confirmed survives it; the next connect reads it again.
    const QJsonObject state = readJson(m_stateFile);
    connected.clear();
    QVERIFY(startController());
    QTRY_VERIFY_WITH_TIMEOUT(!connected.isEmpty(), 10000);
    QVector<double> expected = factory;
    if (dhWritten) {
        for (int j = 0; j < optimized.size(); ++j)
            if (j % 4 != 3)
                expected[j] = optimized[j];
    }
    QTRY_COMPARE(common::originalDHParamsVec, expected);
    if (!state.isEmpty())
        QCOMPARE(numbers(state["zero"]) == zero, zeroWritten);

    // Leave the next row a controller of its own.
    m_link->close();
    killController();
    if (!zeroWritten)
        QMetaObject::invokeMethod(result, "giveupBtnClicked");
}

void tst_ControllerKill::cleanupTestCase()
{
    mirel::ManagerHelper::instance()->controllerManager()->setLink(nullptr);
    if (m_process)
        killController();
    m_tab.reset();
}

SUPPORT_GUI_TEST_MAIN(tst_ControllerKill)
#include "tst_controllerkill.moc"
