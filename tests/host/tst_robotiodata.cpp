#include <support/simhost.h>

#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <mirel/robotiodata.h>
#include <mirel/tasknetworkmanager.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <sim/controller/simulatedcontroller.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

namespace {

nabu::ModuleObject *io(const QString &child)
{
    return nabu::m(QStringLiteral("rovan.robot.io"))->c(child);
}

QStringList names(nabu::ModuleObject *node)
{
    QStringList all;
    for (nabu::ModuleObject *child : node->cmobjs())
        all.append(child->name());
    return all;
}

mirel::RobotIoData *hostData()
{
    return mirel::ManagerHelper::instance()->findChild<mirel::RobotIoData *>();
}

} // namespace

class tst_RobotIoData : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void linkUpFillsTheTree();
    void updatesKeepTheSignalNodes();
    void signalNamesThatWouldBePathsAreSkipped();
    void anUnansweredReadIsNotRepeatedForEveryKey();
    void linkLostDuringTheReadsIsNotAnnounced();

private:
    support::SimHost *m_host = nullptr;
};

void tst_RobotIoData::initTestCase()
{
    m_host = new support::SimHost(this);
    QVERIFY(hostData());
}

void tst_RobotIoData::linkUpFillsTheTree()
{
    QVERIFY(names(io(QStringLiteral("signal_detail"))).isEmpty());
    // The host's own link-up tasks, which run plug-in tasks, find the data there already.
    bool filled = false;
    mirel::TaskNetworkManager *tasks = mirel::ManagerHelper::instance()->taskNetworkManager();
    const QString key = QStringLiteral("ioCheck");
    tasks->registerTask(
        mirel::TaskNetworkManager::OnConnect, this, key,
        [&filled](const mirel::TaskNetworkManager::Done &done) {
            filled = io(QStringLiteral("signal_value"))->cmobjCount() == 9;
            done(true, QVariant());
        },
        {});
    QVERIFY(m_host->start(QStringLiteral("SR6-900")));
    tasks->unRegisterTask(mirel::TaskNetworkManager::OnConnect, key);
    QVERIFY(filled);
    nabu::ModuleObject *detail = io(QStringLiteral("signal_detail"));
    QCOMPARE(names(detail), names(io(QStringLiteral("signal_value"))));
    QCOMPARE(detail->r(QStringLiteral("go_program.signal_type"))->getInt(), 4);
    QCOMPARE(io(QStringLiteral("signal_value"))->c(QStringLiteral("go_program"))->getInt(), 3);
    const QJsonValue registers =
        nabu::m(QStringLiteral("rovan.robot.register._list"))->exportToJson();
    QCOMPARE(registers.toArray().size(), 3);
    QCOMPARE(nabu::m(QStringLiteral("rovan.project.tool._list"))->exportToJson(),
             QJsonValue(QJsonArray{QJsonObject{{"name", "gripper"}},
                                   QJsonObject{{"name", "welder"}}}));
    QCOMPARE(nabu::m(QStringLiteral("rovan.setting.g_wobj.g_wobjs"))->exportToJson(),
             QJsonValue(QJsonArray{QJsonObject{{"name", "g_fixture"}}}));
    QCOMPARE(nabu::m(QStringLiteral("rovan.toolpage.wobj"))->getString(), QStringLiteral("wobj0"));
    QVERIFY(m_host->controller()->isWatched(mirel::RobotIoData::SignalsKey));
}

void tst_RobotIoData::updatesKeepTheSignalNodes()
{
    QVERIFY(m_host->start());
    nabu::ModuleObject *start = io(QStringLiteral("signal_value"))->c(QStringLiteral("di_start"));
    nabu::ModuleObject *stop = io(QStringLiteral("signal_value"))->c(QStringLiteral("di_stop"));
    QSignalSpy startChanged(start, &nabu::ModuleObject::changed);
    QSignalSpy stopChanged(stop, &nabu::ModuleObject::changed);
    QVERIFY(m_host->controller()->setInput(QStringLiteral("di_start"), 1));
    QTRY_COMPARE(startChanged.count(), 1);
    QCOMPARE(start->getInt(), 1);
    QCOMPARE(stopChanged.count(), 0);
    QCOMPARE(io(QStringLiteral("signal_value"))->c(QStringLiteral("di_start")), start);
}

void tst_RobotIoData::signalNamesThatWouldBePathsAreSkipped()
{
    const QJsonArray list{QJsonObject{{"name", "a"}, {"type", 1}, {"value", 1}},
                          QJsonObject{{"name", "b.c"}, {"type", 1}, {"value", 1}},
                          QJsonObject{{"name", "#0"}, {"type", 2}, {"value", 1}},
                          QJsonObject{{"name", ""}, {"type", 2}, {"value", 1}},
                          QJsonObject{{"name", "a"}, {"type", 3}, {"value", 5}},
                          QJsonObject{{"name", "d"}, {"type", 6}, {"value", 0.5}}};
    hostData()->apply(mirel::RobotIoData::SignalsKey, list);
    QCOMPARE(names(io(QStringLiteral("signal_detail"))), (QStringList{"a", "d"}));
    QCOMPARE(names(io(QStringLiteral("signal_value"))), (QStringList{"a", "d"}));
    QCOMPARE(io(QStringLiteral("signal_detail"))->r(QStringLiteral("a.signal_type"))->getInt(), 1);
    QCOMPARE(io(QStringLiteral("signal_value"))->c(QStringLiteral("d"))->getDouble(), 0.5);
}

void tst_RobotIoData::anUnansweredReadIsNotRepeatedForEveryKey()
{
    QVERIFY(m_host->stop());
    sim::SimulatedController *controller = m_host->controller();
    controller->setSilent(mirel::RobotIoData::SignalsKey);
    controller->clearCalls();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(m_host->start());
    QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
    for (const QString &key : {mirel::RobotIoData::RegistersKey, mirel::RobotIoData::CurrentKey}) {
        const auto calls = controller->callsOf(key);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.at(0).kind, mirel::ControllerMessage::Watch);
        QVERIFY(controller->isWatched(key));
    }
    controller->resetScript();
}

// The reads wait for answers; a link that drops meanwhile must not be announced as up to the
// listeners that come after.
void tst_RobotIoData::linkLostDuringTheReadsIsNotAnnounced()
{
    QVERIFY(m_host->stop());
    sim::SimulatedController *controller = m_host->controller();
    mirel::ControllerManager *manager = mirel::ManagerHelper::instance()->controllerManager();
    controller->setSilent(mirel::RobotIoData::RegistersKey);
    QSignalSpy connected(manager, &mirel::ControllerManager::rcConnected);
    QSignalSpy disconnected(manager, &mirel::ControllerManager::rcDisconnected);
    connect(controller, &sim::SimulatedController::received, this,
            [controller](const QString &name) {
                if (name == mirel::RobotIoData::RegistersKey)
                    QTimer::singleShot(50, controller, [controller] { controller->bringDown(); });
            });
    controller->bringUp();
    QTRY_VERIFY_WITH_TIMEOUT(!controller->isUp(), 3000);
    QTest::qWait(2500);
    QCOMPARE(connected.count(), 0);
    QCOMPARE(disconnected.count(), 0);
    QVERIFY(!manager->isLinkUp());
    controller->disconnect(this);
    controller->resetScript();
    QVERIFY(m_host->start());
}

QTEST_MAIN(tst_RobotIoData)
#include "tst_robotiodata.moc"
