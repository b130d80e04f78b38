#include <support/guitestmain.h>
#include <support/simhost.h>

#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <nabusrv/vantor.h>
#include <sim/controller/simulatedcontroller.h>

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString kGetParams = QStringLiteral("system.controller.get_params");

bool serviceConnected()
{
    return sv::vantor()->mobj()->c(QStringLiteral("connected"))->getBool(false);
}

QString settingRobot()
{
    return nabu::m(QStringLiteral("mirel.setting.robot"))->getString();
}

} // namespace

class tst_SimHost : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void startsAndStops_data();
    void startsAndStops();
    void restartReadsNewModel();
    void refusesUnknownModel();
    void destructionUnplugs();
    void leavesOtherControllerPlugged();
};

// The host's data tree is process-wide; every case must fill it itself.
void tst_SimHost::init()
{
    nabu::m(QStringLiteral("mirel.setting.robot"))->set(this, QVariant());
    nabu::m(QStringLiteral("mirel.r.robot_template"))->set(this, QVariant());
}

void tst_SimHost::startsAndStops_data()
{
    QTest::addColumn<QString>("model");

    QTest::newRow("default model") << QString();
    const QStringList names = sim::SimulatedController::modelNames();
    QVERIFY(names.size() >= 2);
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << name;
}

void tst_SimHost::startsAndStops()
{
    QFETCH(QString, model);

    support::SimHost host;
    mirel::ControllerManager *manager = host.manager();
    QCOMPARE(manager->link(), host.controller());
    QVERIFY(!host.isConnected());
    QVERIFY(!manager->isLinkUp());
    QVERIFY(!serviceConnected());
    QVERIFY(settingRobot().isEmpty());

    QSignalSpy connected(manager, &mirel::ControllerManager::rcConnected);
    QVERIFY(host.start(model));
    QVERIFY(host.isConnected());
    QVERIFY(host.controller()->isUp());
    QVERIFY(manager->isLinkUp());
    QVERIFY(serviceConnected());
    QCOMPARE(connected.count(), 1);
    if (!model.isEmpty())
        QCOMPARE(host.controller()->model().name, model);
    QVERIFY(!settingRobot().isEmpty());
    QCOMPARE(settingRobot(), host.controller()->model().name);
    QCOMPARE(nabu::m(QStringLiteral("mirel.r.robot_template"))->getInt(),
             host.controller()->model().templateId);
    QCOMPARE(host.controller()->callsOf(kGetParams).size(), 1);

    QSignalSpy disconnected(manager, &mirel::ControllerManager::rcDisconnected);
    QVERIFY(host.stop());
    QCOMPARE(disconnected.count(), 1);
    QVERIFY(!host.isConnected());
    QVERIFY(!host.controller()->isUp());
    QVERIFY(!manager->isLinkUp());
    QVERIFY(!serviceConnected());
    // Stopped is not unplugged: the controller can come back.
    QCOMPARE(manager->link(), host.controller());
    QVERIFY(host.start());
    QVERIFY(serviceConnected());
}

void tst_SimHost::restartReadsNewModel()
{
    const QStringList names = sim::SimulatedController::modelNames();
    QVERIFY(names.size() >= 2);
    support::SimHost host;
    QVERIFY(host.start(names.at(0)));
    QCOMPARE(settingRobot(), names.at(0));
    QVERIFY(host.start(names.at(1)));
    QVERIFY(host.isConnected());
    QCOMPARE(settingRobot(), names.at(1));
    QCOMPARE(host.controller()->callsOf(kGetParams).size(), 2);
}

void tst_SimHost::refusesUnknownModel()
{
    support::SimHost host;
    QTest::ignoreMessage(QtWarningMsg, "SimHost: unknown robot model XR-1");
    QVERIFY(!host.start(QStringLiteral("XR-1")));
    QVERIFY(!host.isConnected());
    QVERIFY(!host.controller()->isUp());
    QVERIFY(!serviceConnected());
    QVERIFY(host.controller()->calls().isEmpty());
}

void tst_SimHost::destructionUnplugs()
{
    auto *host = new support::SimHost;
    mirel::ControllerManager *manager = host->manager();
    QVERIFY(host->start());
    QVERIFY(serviceConnected());
    QSignalSpy disconnected(manager, &mirel::ControllerManager::rcDisconnected);
    // Unplugged before the controller goes: who handles the disconnect still finds it whole.
    const QPointer<sim::SimulatedController> controller = host->controller();
    bool aliveAtDisconnect = false;
    QObject listener;
    connect(manager, &mirel::ControllerManager::rcDisconnected, &listener,
            [&] { aliveAtDisconnect = !controller.isNull(); });
    delete host;
    QVERIFY(controller.isNull());
    QCOMPARE(disconnected.count(), 1);
    QVERIFY(aliveAtDisconnect);
    QCOMPARE(manager->link(), nullptr);
    QVERIFY(!manager->isLinkUp());
    QVERIFY(!serviceConnected());
}

void tst_SimHost::leavesOtherControllerPlugged()
{
    auto *first = new support::SimHost;
    QVERIFY(first->start());
    QTest::ignoreMessage(QtWarningMsg, "SimHost: replaces the controller plugged in before");
    auto *second = new support::SimHost;
    QCOMPARE(second->manager()->link(), second->controller());
    QVERIFY(!serviceConnected());

    QTest::ignoreMessage(QtWarningMsg, "SimHost: another controller was plugged in meanwhile");
    QVERIFY(!first->start());
    QCOMPARE(second->manager()->link(), second->controller());

    QVERIFY(second->start());
    delete first;
    QCOMPARE(second->manager()->link(), second->controller());
    QVERIFY(second->isConnected());
    delete second;
    QCOMPARE(mirel::ManagerHelper::instance()->controllerManager()->link(), nullptr);
}

SUPPORT_GUI_TEST_MAIN(tst_SimHost)

#include "tst_simhost.moc"
