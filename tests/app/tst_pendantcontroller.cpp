#include "pendantsession.h"

#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <nabusrv/vantor.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/server/controllerclient.h>
#include <sim/server/controllerserver.h>

#include <QDir>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool linkConnected()
{
    return sv::vantor()->mobj()->c(QStringLiteral("connected"))->getBool(false);
}

QString serverIp()
{
    return nabu::m(QStringLiteral("mirel.setting.server.ip"))->getString();
}

} // namespace

// The pendant on its embedded controller, served on loopback, and on a separate one.
class tst_PendantController : public QObject
{
    Q_OBJECT

private slots:
    void embeddedControllerIsServedOnLoopback();
    void separateControllerThroughItsAddress();

private:
    QString m_previous = QDir::currentPath();
};

void tst_PendantController::embeddedControllerIsServedOnLoopback()
{
    QTemporaryDir home;
    PendantOptions options = PendantOptions::fromArguments({QStringLiteral("pendant")});
    options.home = home.filePath(QStringLiteral("home"));
    {
        PendantSession session(options);
        QVERIFY(session.start());
        QTRY_VERIFY(linkConnected());
        // Programs started by plug-ins read this address and reach the same controller.
        QCOMPARE(serverIp(), session.controllerAddress());
        QVERIFY(serverIp().startsWith(QLatin1String("127.0.0.1:")));
        sim::ControllerClient program;
        QVERIFY(program.connectTo(serverIp()));
        const QString key = QStringLiteral("monitor.pers.shared");
        mirel::ControllerManager *manager = mirel::ManagerHelper::instance()->controllerManager();
        QVERIFY(manager->wait(manager->post(mirel::ControllerMessage::Watch, key, true), 2000,
                              nullptr));
        QSignalSpy pendantSees(manager, &mirel::ControllerManager::valueChanged);
        QJsonValue answer;
        QVERIFY(program.call(mirel::ProtocolMessage::Set, key,
                             QJsonObject{{QStringLiteral("value"), 5}}, &answer));
        QTRY_VERIFY(!pendantSees.isEmpty());
        QCOMPARE(session.controller()->value(key).toInt(), 5);
    }
    QDir::setCurrent(m_previous);
}

void tst_PendantController::separateControllerThroughItsAddress()
{
    sim::SimulatedController controller;
    controller.setModel(QStringLiteral("SR7-800"));
    controller.setRebootDelay(200);
    controller.bringUp();
    sim::ControllerServer server(&controller);
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QTemporaryDir home;
    PendantOptions options = PendantOptions::fromArguments(
        {QStringLiteral("pendant"), QStringLiteral("--controller"), server.addressText()});
    QVERIFY(options.ok);
    options.home = home.filePath(QStringLiteral("home"));
    {
        PendantSession session(options);
        QVERIFY(session.start());
        QVERIFY(!session.controller());
        QTRY_VERIFY(linkConnected());
        QCOMPARE(nabu::m(QStringLiteral("mirel.setting.robot"))->getString(),
                 QStringLiteral("SR7-800"));
        QCOMPARE(serverIp(), server.addressText());
        // The link follows the controller through a reboot.
        controller.reboot();
        QTRY_VERIFY(!linkConnected());
        QTRY_VERIFY_WITH_TIMEOUT(linkConnected(), 5000);
    }
    QDir::setCurrent(m_previous);
}

QTEST_MAIN(tst_PendantController)
#include "tst_pendantcontroller.moc"
