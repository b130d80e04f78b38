#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <mirel/tasknetworkmanager.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <sim/controller/simulatedcontroller.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

using sim::SimulatedController;

namespace {

const QString kGetParams = QStringLiteral("system.controller.get_params");
const QString kReboot = QStringLiteral("system.controller.reboot");
const QString kGetDhLink = QStringLiteral("factory.get_DH_params_link");
const QString kSetDhAll = QStringLiteral("factory.set_DH_params_all");
const QString kEcho = QStringLiteral("test.echo");

mirel::ControllerManager *manager()
{
    return mirel::ManagerHelper::instance()->controllerManager();
}

mirel::TaskNetworkManager *tasks()
{
    return mirel::ManagerHelper::instance()->taskNetworkManager();
}

QByteArray text(const QJsonValue &value)
{
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
}

QJsonArray numbers(int count, double first)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i)
        array.append(first + i);
    return array;
}

QJsonObject echoed(const QJsonValue &payload)
{
    return QJsonObject{{QStringLiteral("echo"), payload}};
}

// A link that answers from within send(), as a plain in-process link may.
class SynchronousLink : public mirel::ControllerLink
{
    Q_OBJECT

public:
    using mirel::ControllerLink::ControllerLink;

    bool isUp() const override { return m_up; }
    QString address() const override { return QStringLiteral("local"); }
    void send(const mirel::ControllerMessage &message) override
    {
        if (message.name == kGetParams)
            emit answered(message.id,
                          QJsonObject{{QStringLiteral("version"), QStringLiteral("s1")}});
        else
            emit answered(message.id, echoed(message.payload));
    }
    void bringUp()
    {
        m_up = true;
        emit up();
    }

private:
    bool m_up = false;
};

} // namespace

class tst_ControllerManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void linkStateFollowsTheLink();
    void linkGoneCountsAsDown();
    void linkUpReadsControllerParams_data();
    void linkUpReadsControllerParams();
    void linkLostWhileReadingParams();
    void linkBackWhileReadingParamsIsAnnouncedOnce();

    void requestKeepsRequestAndResponse();
    void requestWithoutLinkSendsNothing();
    void lateAnswerAfterRequestTimeOutIsNotKept();
    void execRequestForms_data();
    void execRequestForms();
    void execRequestResendsKeptRequest();
    void execRequestTimesOut();
    void droppedLinkEndsWaitEarly();
    void showErrorReportsRefusals_data();
    void showErrorReportsRefusals();
    void rebootReconnectsWithStoredParams();
    void answersFromWithinSendAreKept();

    void tasksRunOnLinkEventsInOrder();
    void registerAndUnregisterTasks();
    void ownerDestructionRemovesTasks();
    void taskRemovedDuringRunDoesNotRun();

private:
    void plugAndConnect();

    std::unique_ptr<SimulatedController> m_sim;
    // Owner of the tasks a test registers; its end takes them away.
    std::unique_ptr<QObject> m_owner;
};

void tst_ControllerManager::initTestCase()
{
    QVERIFY(!manager()->link());
    QVERIFY(!manager()->isLinkUp());
}

void tst_ControllerManager::init()
{
    nabu::m(QStringLiteral("mirel.r"))->importFromJson(this, QJsonValue(), true, false);
    nabu::m(QStringLiteral("mirel.setting"))->importFromJson(this, QJsonValue(), true, false);
    mirel::ManagerHelper::instance()->clearMessages();
    m_owner = std::make_unique<QObject>();
    m_sim = std::make_unique<SimulatedController>();
    m_sim->setRebootDelay(40);
    m_sim->setHandler(kEcho, [](const QJsonValue &payload) { return echoed(payload); });
    manager()->setLink(m_sim.get());
}

void tst_ControllerManager::cleanup()
{
    m_owner.reset();
    manager()->setLink(nullptr);
    m_sim.reset();
    QVERIFY(!manager()->isLinkUp());
    QVERIFY(tasks()->taskKeys(mirel::TaskNetworkManager::OnConnect).isEmpty());
    QVERIFY(tasks()->taskKeys(mirel::TaskNetworkManager::OnDisconnect).isEmpty());
}

void tst_ControllerManager::plugAndConnect()
{
    m_sim->bringUp();
    QVERIFY(manager()->isLinkUp());
    m_sim->clearCalls();
}

void tst_ControllerManager::linkStateFollowsTheLink()
{
    QSignalSpy connected(manager(), &mirel::ControllerManager::rcConnected);
    QSignalSpy disconnected(manager(), &mirel::ControllerManager::rcDisconnected);
    QCOMPARE(manager()->link(), m_sim.get());
    QVERIFY(!manager()->isLinkUp());

    m_sim->bringUp();
    QVERIFY(manager()->isLinkUp());
    QCOMPARE(connected.count(), 1);

    m_sim->bringDown(false);
    QVERIFY(!manager()->isLinkUp());
    QCOMPARE(disconnected.count(), 1);
    QCOMPARE(disconnected.at(0).at(0).toBool(), false);

    m_sim->bringUp();
    QCOMPARE(connected.count(), 2);
    m_sim->bringDown(true);
    QCOMPARE(disconnected.count(), 2);
    QCOMPARE(disconnected.at(1).at(0).toBool(), true);

    // Unplugging an up link is a link loss; plugging an up link connects at once.
    m_sim->bringUp();
    manager()->setLink(nullptr);
    QVERIFY(!manager()->link());
    QVERIFY(!manager()->isLinkUp());
    QCOMPARE(disconnected.count(), 3);
    QCOMPARE(disconnected.at(2).at(0).toBool(), false);
    // An unplugged link is not listened to any more.
    m_sim->bringDown();
    QCOMPARE(disconnected.count(), 3);
    QVERIFY(!manager()->post(mirel::ControllerMessage::Command, kGetParams, QJsonValue()));

    m_sim->bringUp();
    manager()->setLink(m_sim.get());
    QVERIFY(manager()->isLinkUp());
    QCOMPARE(connected.count(), 4);
}

void tst_ControllerManager::linkGoneCountsAsDown()
{
    plugAndConnect();
    QSignalSpy disconnected(manager(), &mirel::ControllerManager::rcDisconnected);
    m_sim.reset();
    QVERIFY(!manager()->link());
    QVERIFY(!manager()->isLinkUp());
    QCOMPARE(disconnected.count(), 1);
    QCOMPARE(disconnected.at(0).at(0).toBool(), false);
}

void tst_ControllerManager::linkUpReadsControllerParams_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("robotId");
    QTest::addColumn<int>("templateId");

    QTest::newRow("6-axis") << QStringLiteral("SR6-900") << QStringLiteral("3.1.2")
                            << QStringLiteral("SIM-0001") << 1;
    QTest::newRow("7-axis") << QStringLiteral("SR7-800") << QStringLiteral("3.2.0")
                            << QStringLiteral("SIM-7007") << 2;
}

void tst_ControllerManager::linkUpReadsControllerParams()
{
    QFETCH(QString, model);
    QFETCH(QString, version);
    QFETCH(QString, robotId);
    QFETCH(int, templateId);

    QVERIFY(m_sim->setModel(model));
    m_sim->setVersion(version);
    m_sim->setRobotId(robotId);

    // Whoever hears of the link already finds the robot's parameters.
    QString versionSeen;
    int requestsSeen = -1;
    connect(manager(), &mirel::ControllerManager::rcConnected, m_owner.get(), [&] {
        versionSeen = nabu::m(QStringLiteral("mirel.r.version"))->getString();
        requestsSeen = m_sim->callsOf(kGetParams).size();
    });
    m_sim->bringUp();
    QCOMPARE(requestsSeen, 1);
    QCOMPARE(versionSeen, version);

    // The parameters come first; the robot's IO data is read after them.
    QCOMPARE(m_sim->callsOf(kGetParams).size(), 1);
    QCOMPARE(m_sim->calls().at(0).name, kGetParams);
    QCOMPARE(m_sim->calls().at(0).kind, mirel::ControllerMessage::Command);
    QCOMPARE(nabu::m(QStringLiteral("mirel.r.version"))->getString(), version);
    QCOMPARE(nabu::m(QStringLiteral("mirel.r.id"))->getString(), robotId);
    QCOMPARE(nabu::m(QStringLiteral("mirel.r.robot_template"))->getInt(-1), templateId);
    QCOMPARE(nabu::m(QStringLiteral("mirel.r.state"))->getString(), QStringLiteral("idle"));
    QCOMPARE(nabu::m(QStringLiteral("mirel.r.power"))->getString(), QStringLiteral("off"));
    QCOMPARE(nabu::m(QStringLiteral("mirel.r.level"))->getInt(-1), 1);
    QCOMPARE(nabu::m(QStringLiteral("mirel.setting.robot"))->getString(), model);
    QCOMPARE(nabu::m(QStringLiteral("mirel.setting.server.ip"))->getString(), m_sim->address());
    QCOMPARE(manager()->responseMobj(kGetParams)->r(QStringLiteral("axis_num"))->getInt(),
             m_sim->axisCount());
}

void tst_ControllerManager::linkLostWhileReadingParams()
{
    QSignalSpy connected(manager(), &mirel::ControllerManager::rcConnected);
    QSignalSpy disconnected(manager(), &mirel::ControllerManager::rcDisconnected);
    m_sim->setSilent(kGetParams);
    connect(m_sim.get(), &SimulatedController::received, m_owner.get(),
            [this](const QString &name) {
                if (name == kGetParams)
                    QTimer::singleShot(10, m_sim.get(), [this] { m_sim->bringDown(false); });
            });
    QElapsedTimer clock;
    clock.start();
    m_sim->bringUp();
    QVERIFY2(clock.elapsed() < mirel::ControllerManager::DefaultTimeoutMs / 2,
             "the lost link ends the wait for the parameters");
    QVERIFY(!manager()->isLinkUp());
    QCOMPARE(connected.count(), 0);
    QCOMPARE(disconnected.count(), 0);
}

void tst_ControllerManager::linkBackWhileReadingParamsIsAnnouncedOnce()
{
    QSignalSpy connected(manager(), &mirel::ControllerManager::rcConnected);
    m_sim->setSilent(kGetParams);
    connect(m_sim.get(), &SimulatedController::received, m_owner.get(),
            [this](const QString &name) {
                if (name != kGetParams || m_sim->callsOf(kGetParams).size() != 1)
                    return;
                QTimer::singleShot(10, m_sim.get(), [this] {
                    m_sim->setSilent(kGetParams, false);
                    m_sim->bringDown(false);
                    m_sim->bringUp();
                });
            });
    m_sim->bringUp();
    QVERIFY(manager()->isLinkUp());
    QCOMPARE(connected.count(), 1);
    QCOMPARE(m_sim->callsOf(kGetParams).size(), 2);
}

void tst_ControllerManager::requestKeepsRequestAndResponse()
{
    plugAndConnect();
    QSignalSpy responded(manager(), &mirel::ControllerManager::responded);
    nabu::ModuleObject payload;
    payload.set(this, QStringLiteral("speed"), 30);
    payload.set(this, QStringLiteral("mode"), QStringLiteral("fine"));

    QVERIFY(manager()->request(kEcho, &payload, 500));
    QCOMPARE(text(m_sim->calls().at(0).payload), text(payload.exportToJson()));
    QCOMPARE(text(manager()->requestMobj(kEcho)->exportToJson()), text(payload.exportToJson()));
    QTRY_COMPARE(responded.count(), 1);
    QCOMPARE(responded.at(0).at(0).toString(), kEcho);
    QCOMPARE(text(manager()->responseMobj(kEcho)->exportToJson()),
             text(echoed(payload.exportToJson())));

    // The module form keeps the value as the request of the command.
    const QJsonObject value{{QStringLiteral("axis"), 3}};
    QVERIFY(manager()->request(QStringLiteral("tester"), kEcho, value, 500));
    QCOMPARE(text(m_sim->calls().at(1).payload), text(value));
    QCOMPARE(text(manager()->requestMobj(kEcho)->exportToJson()), text(value));
    QTRY_COMPARE(responded.count(), 2);
    QCOMPARE(text(manager()->responseMobj(kEcho)->exportToJson()), text(echoed(value)));

    // No payload: the kept request goes again.
    QVERIFY(manager()->request(kEcho, nullptr, 500));
    QCOMPARE(text(m_sim->calls().at(2).payload), text(value));
    QTRY_COMPARE(responded.count(), 3);

    // Requests are kept per command.
    QVERIFY(manager()->request(QStringLiteral("tester"), QStringLiteral("test.other"), 5, 500));
    QTRY_COMPARE(responded.count(), 4);
    QCOMPARE(text(manager()->requestMobj(kEcho)->exportToJson()), text(value));
    QCOMPARE(manager()->requestMobj(QStringLiteral("test.other"))->getInt(), 5);
    QCOMPARE(manager()
                 ->responseMobj(QStringLiteral("test.other"))
                 ->r(QStringLiteral("error"))
                 ->getInt(),
             -1);
    QCOMPARE(text(manager()->responseMobj(kEcho)->exportToJson()), text(echoed(value)));
}

void tst_ControllerManager::requestWithoutLinkSendsNothing()
{
    nabu::ModuleObject payload;
    payload.set(this, 1);
    QVERIFY(!manager()->request(kEcho, &payload, 100));
    QVERIFY(!manager()->request(QStringLiteral("tester"), kEcho, 2, 100));
    nabu::ModuleObject *response = manager()->execRequest(kEcho, &payload, false, 100);
    QVERIFY(response->exportToJson().isNull());
    QCOMPARE(response, manager()->responseMobj(kEcho));
    QVERIFY(m_sim->calls().isEmpty());
}

void tst_ControllerManager::lateAnswerAfterRequestTimeOutIsNotKept()
{
    const QString command = QStringLiteral("test.slow");
    plugAndConnect();
    m_sim->setHandler(command, [](const QJsonValue &payload) { return echoed(payload); });
    m_sim->setLatency(60);
    QSignalSpy answered(m_sim.get(), &mirel::ControllerLink::answered);
    QSignalSpy responded(manager(), &mirel::ControllerManager::responded);

    QVERIFY(manager()->request(QStringLiteral("tester"), command, 1, 10));
    QTRY_COMPARE(answered.count(), 1);
    QCOMPARE(responded.count(), 0);
    QVERIFY(manager()->responseMobj(command)->exportToJson().isNull());

    // Within its time the same answer is kept.
    QVERIFY(manager()->request(QStringLiteral("tester"), command, 2, 1000));
    QTRY_COMPARE(responded.count(), 1);
    QCOMPARE(text(manager()->responseMobj(command)->exportToJson()), text(echoed(2)));
}

void tst_ControllerManager::execRequestForms_data()
{
    QTest::addColumn<bool>("moduleForm");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QJsonValue>("payload");
    QTest::addColumn<QJsonValue>("expected");

    const QJsonObject object{{QStringLiteral("a"), 1}, {QStringLiteral("b"), QStringLiteral("x")}};
    const QJsonArray list{1, 2, 3};
    QTest::newRow("node, object") << false << kEcho << QJsonValue(object)
                                  << QJsonValue(echoed(object));
    QTest::newRow("node, list") << false << kEcho << QJsonValue(list) << QJsonValue(echoed(list));
    QTest::newRow("module, object")
        << true << kEcho << QJsonValue(object) << QJsonValue(echoed(object));
    QTest::newRow("module, text") << true << kEcho << QJsonValue(QStringLiteral("t"))
                                  << QJsonValue(echoed(QStringLiteral("t")));
    QTest::newRow("built-in command")
        << true << kSetDhAll
        << QJsonValue(QJsonObject{{QStringLiteral("DH_params_all"), numbers(28, 1)}})
        << QJsonValue(QJsonObject{{QStringLiteral("success"), true}, {QStringLiteral("code"), 0}});
    QTest::newRow("refused payload")
        << false << kSetDhAll
        << QJsonValue(QJsonObject{{QStringLiteral("DH_params_all"), numbers(3, 1)}})
        << QJsonValue(
               QJsonObject{{QStringLiteral("success"), false}, {QStringLiteral("code"), -2}});
}

void tst_ControllerManager::execRequestForms()
{
    QFETCH(bool, moduleForm);
    QFETCH(QString, command);
    QFETCH(QJsonValue, payload);
    QFETCH(QJsonValue, expected);

    plugAndConnect();
    nabu::ModuleObject node;
    node.importFromJson(this, payload, true, false);
    nabu::ModuleObject *response =
        moduleForm
            ? manager()->execRequest(QStringLiteral("tester"), command, payload, false, 1000)
            : manager()->execRequest(command, &node, false, 1000);
    QCOMPARE(response, manager()->responseMobj(command));
    QCOMPARE(text(response->exportToJson()), text(expected));
    QCOMPARE(m_sim->callsOf(command).size(), 1);
    QCOMPARE(text(m_sim->callsOf(command).at(0).payload), text(payload));
    QCOMPARE(text(manager()->requestMobj(command)->exportToJson()), text(payload));
}

void tst_ControllerManager::execRequestResendsKeptRequest()
{
    plugAndConnect();
    const QJsonObject first{{QStringLiteral("n"), 1}};
    manager()->execRequest(QStringLiteral("tester"), kEcho, first, false, 1000);
    manager()->responseMobj(kEcho)->importFromJson(this, QJsonValue(), true, false);

    nabu::ModuleObject *response = manager()->execRequest(kEcho, nullptr, false, 1000);
    QCOMPARE(m_sim->callsOf(kEcho).size(), 2);
    QCOMPARE(text(m_sim->callsOf(kEcho).at(1).payload), text(first));
    QCOMPARE(text(response->exportToJson()), text(echoed(first)));

    // The kept node itself may be edited and sent.
    manager()->requestMobj(kEcho)->set(this, QStringLiteral("n"), 2);
    manager()->execRequest(kEcho, manager()->requestMobj(kEcho), false, 1000);
    QCOMPARE(text(m_sim->callsOf(kEcho).at(2).payload),
             text(QJsonObject{{QStringLiteral("n"), 2}}));
}

void tst_ControllerManager::execRequestTimesOut()
{
    plugAndConnect();
    QCOMPARE(manager()
                 ->execRequest(QStringLiteral("tester"), kEcho, 1, false, 1000)
                 ->exportToJson()
                 .toObject()
                 .value(QStringLiteral("echo")),
             QJsonValue(1));

    m_sim->setSilent(kEcho);
    QElapsedTimer clock;
    clock.start();
    nabu::ModuleObject *response =
        manager()->execRequest(QStringLiteral("tester"), kEcho, 2, false, 100);
    // The wait's timer is a coarse one, which may end up to 5% early.
    QVERIFY2(clock.elapsed() >= 95, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    // The answer of the earlier call does not pass for this one's.
    QVERIFY(response->exportToJson().isNull());
    QCOMPARE(response->cmobjCount(), 0);
    QCOMPARE(m_sim->callsOf(kEcho).size(), 2);
    QVERIFY(manager()->isLinkUp());
}

void tst_ControllerManager::droppedLinkEndsWaitEarly()
{
    plugAndConnect();
    QSignalSpy disconnected(manager(), &mirel::ControllerManager::rcDisconnected);
    m_sim->setSilent(kEcho);
    QTimer::singleShot(20, m_sim.get(), [this] { m_sim->bringDown(false); });
    QElapsedTimer clock;
    clock.start();
    nabu::ModuleObject *response =
        manager()->execRequest(QStringLiteral("tester"), kEcho, 1, false, 5000);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(response->exportToJson().isNull());
    QCOMPARE(disconnected.count(), 1);
    QVERIFY(!manager()->isLinkUp());

    // A wait on a message that never went out ends at once.
    QVERIFY(!manager()->wait(0, 5000, nullptr));
}

void tst_ControllerManager::showErrorReportsRefusals_data()
{
    QTest::addColumn<QJsonValue>("answer");
    QTest::addColumn<bool>("showError");
    QTest::addColumn<bool>("reported");

    const QJsonObject refused{{QStringLiteral("error"), 3}};
    QTest::newRow("refused, shown") << QJsonValue(refused) << true << true;
    QTest::newRow("refused, not shown") << QJsonValue(refused) << false << false;
    QTest::newRow("error 0") << QJsonValue(QJsonObject{{QStringLiteral("error"), 0}}) << true
                             << false;
    QTest::newRow("no error member")
        << QJsonValue(QJsonObject{{QStringLiteral("success"), true}}) << true << false;
}

void tst_ControllerManager::showErrorReportsRefusals()
{
    QFETCH(QJsonValue, answer);
    QFETCH(bool, showError);
    QFETCH(bool, reported);

    const QString command = QStringLiteral("test.refused");
    m_sim->setAnswer(command, answer);
    plugAndConnect();
    manager()->execRequest(QStringLiteral("tester"), command, 1, showError, 1000);
    const QList<mirel::ManagerHelper::Message> messages =
        mirel::ManagerHelper::instance()->messages();
    QCOMPARE(messages.size(), reported ? 1 : 0);
    if (reported) {
        QCOMPARE(messages.at(0).level, QStringLiteral("error"));
        QVERIFY2(messages.at(0).text.contains(command), qPrintable(messages.at(0).text));
    }
}

void tst_ControllerManager::rebootReconnectsWithStoredParams()
{
    plugAndConnect();
    QSignalSpy connected(manager(), &mirel::ControllerManager::rcConnected);
    QSignalSpy disconnected(manager(), &mirel::ControllerManager::rcDisconnected);
    const QJsonObject dh{{QStringLiteral("DH_params_all"), numbers(28, 2)}};
    manager()->execRequest(QStringLiteral("tester"), kSetDhAll, dh, false, 1000);

    const QJsonValue answer =
        manager()
            ->execRequest(QStringLiteral("tester"), kReboot, QJsonValue(), false, 1000)
            ->exportToJson();
    QCOMPARE(text(answer), text(QJsonObject{{QStringLiteral("success"), true}}));
    QTRY_COMPARE(disconnected.count(), 1);
    QCOMPARE(disconnected.at(0).at(0).toBool(), true);
    QVERIFY(!manager()->isLinkUp());
    QTRY_COMPARE(connected.count(), 1);
    QVERIFY(manager()->isLinkUp());
    QCOMPARE(m_sim->callsOf(kGetParams).size(), 1);

    const QJsonValue link =
        manager()
            ->execRequest(QStringLiteral("tester"), kGetDhLink, QString(), false, 1000)
            ->exportToJson();
    QCOMPARE(text(link.toObject()
                      .value(QStringLiteral("data"))
                      .toObject()
                      .value(QStringLiteral("DH_PARAMS_LINK"))),
             text(numbers(28, 2)));
}

void tst_ControllerManager::answersFromWithinSendAreKept()
{
    SynchronousLink link;
    manager()->setLink(&link);
    QSignalSpy responded(manager(), &mirel::ControllerManager::responded);
    QElapsedTimer clock;
    clock.start();
    link.bringUp();
    QVERIFY(manager()->isLinkUp());
    QCOMPARE(nabu::m(QStringLiteral("mirel.r.version"))->getString(), QStringLiteral("s1"));
    QCOMPARE(nabu::m(QStringLiteral("mirel.setting.server.ip"))->getString(),
             QStringLiteral("local"));

    nabu::ModuleObject *response =
        manager()->execRequest(QStringLiteral("tester"), kEcho, 4, false, 1000);
    QCOMPARE(text(response->exportToJson()), text(echoed(4)));

    QVERIFY(manager()->request(QStringLiteral("tester"), kEcho, 5, 1000));
    QCOMPARE(responded.count(), 3);
    QCOMPARE(text(manager()->responseMobj(kEcho)->exportToJson()), text(echoed(5)));

    QJsonValue answer;
    const quint64 id = manager()->post(mirel::ControllerMessage::Get, QStringLiteral("k"), 6);
    QVERIFY(manager()->wait(id, 1000, &answer));
    QCOMPARE(text(answer), text(echoed(6)));
    // Kept for the one who waits, once.
    QVERIFY(!manager()->wait(id, 10, &answer));
    QVERIFY2(clock.elapsed() < 900, "no call waited for its time-out");

    manager()->setLink(nullptr);
}

void tst_ControllerManager::tasksRunOnLinkEventsInOrder()
{
    using mirel::TaskNetworkManager;
    QStringList ran;
    bool paramsKnown = false;
    const auto task = [&ran](const QString &key) {
        return [&ran, key](const TaskNetworkManager::Done &done) {
            ran << key;
            done(true, key);
        };
    };
    QVERIFY(tasks()->registerTask(
        TaskNetworkManager::OnConnect, m_owner.get(), QStringLiteral("c1"),
        [&](const TaskNetworkManager::Done &done) {
            paramsKnown = manager()->isLinkUp()
                          && !nabu::m(QStringLiteral("mirel.r.id"))->getString().isEmpty();
            ran << QStringLiteral("c1");
            done(true, QVariant());
        },
        {}));
    QVERIFY(tasks()->registerTask(TaskNetworkManager::OnDisconnect, m_owner.get(),
                                  QStringLiteral("d1"), task(QStringLiteral("d1")), {}));
    QVERIFY(tasks()->registerTask(TaskNetworkManager::OnConnect, m_owner.get(),
                                  QStringLiteral("c2"), task(QStringLiteral("c2")), {}));
    QVERIFY(tasks()->registerTask(TaskNetworkManager::OnDisconnect, m_owner.get(),
                                  QStringLiteral("d2"), task(QStringLiteral("d2")), {}));
    QCOMPARE(tasks()->taskKeys(TaskNetworkManager::OnConnect),
             (QStringList{QStringLiteral("c1"), QStringLiteral("c2")}));
    QCOMPARE(tasks()->taskKeys(TaskNetworkManager::OnDisconnect),
             (QStringList{QStringLiteral("d1"), QStringLiteral("d2")}));

    QSignalSpy finished(tasks(), &TaskNetworkManager::taskFinished);
    m_sim->bringUp();
    QCOMPARE(ran, (QStringList{QStringLiteral("c1"), QStringLiteral("c2")}));
    QVERIFY(paramsKnown);
    QCOMPARE(finished.count(), 2);
    QCOMPARE(finished.at(1).at(0).toInt(), int(TaskNetworkManager::OnConnect));
    QCOMPARE(finished.at(1).at(1).toString(), QStringLiteral("c2"));
    QCOMPARE(finished.at(1).at(2).toBool(), true);
    QCOMPARE(finished.at(1).at(3).toString(), QStringLiteral("c2"));

    ran.clear();
    m_sim->bringDown(true);
    QCOMPARE(ran, (QStringList{QStringLiteral("d1"), QStringLiteral("d2")}));
    QCOMPARE(finished.at(3).at(0).toInt(), int(TaskNetworkManager::OnDisconnect));

    // Each link event runs its tasks again.
    ran.clear();
    m_sim->bringUp();
    QCOMPARE(ran, (QStringList{QStringLiteral("c1"), QStringLiteral("c2")}));
}

void tst_ControllerManager::registerAndUnregisterTasks()
{
    using mirel::TaskNetworkManager;
    QStringList ran;
    const auto task = [&ran](const QString &tag) {
        return [&ran, tag](const TaskNetworkManager::Done &done) {
            ran << tag;
            done(true, QVariant());
        };
    };
    const int up = TaskNetworkManager::OnConnect;
    QVERIFY(!tasks()->registerTask(up, m_owner.get(), QString(), task(QStringLiteral("x")), {}));
    QVERIFY(!tasks()->registerTask(up, m_owner.get(), QStringLiteral("x"),
                                   TaskNetworkManager::Task(), {}));
    QVERIFY(tasks()->taskKeys(up).isEmpty());

    QVERIFY(tasks()->registerTask(up, m_owner.get(), QStringLiteral("a"),
                                  task(QStringLiteral("a")), {}));
    QVERIFY(tasks()->registerTask(up, m_owner.get(), QStringLiteral("b"),
                                  task(QStringLiteral("b")), {}));
    // The same key again replaces the task instead of adding one.
    QVERIFY(tasks()->registerTask(up, m_owner.get(), QStringLiteral("a"),
                                  task(QStringLiteral("a again")), {}));
    QCOMPARE(tasks()->taskKeys(up).count(QStringLiteral("a")), 1);
    QCOMPARE(tasks()->taskKeys(up).size(), 2);

    QVERIFY(!tasks()->unRegisterTask(TaskNetworkManager::OnDisconnect, QStringLiteral("b")));
    QVERIFY(tasks()->unRegisterTask(up, QStringLiteral("b")));
    QVERIFY(!tasks()->unRegisterTask(up, QStringLiteral("b")));
    QCOMPARE(tasks()->taskKeys(up), QStringList{QStringLiteral("a")});

    m_sim->bringUp();
    QCOMPARE(ran, QStringList{QStringLiteral("a again")});
}

void tst_ControllerManager::ownerDestructionRemovesTasks()
{
    using mirel::TaskNetworkManager;
    QStringList ran;
    const auto task = [&ran](const QString &tag) {
        return [&ran, tag](const TaskNetworkManager::Done &done) {
            ran << tag;
            done(true, QVariant());
        };
    };
    auto *leaving = new QObject(m_owner.get());
    for (int i = 0; i < 3; ++i) {
        QVERIFY(tasks()->registerTask(TaskNetworkManager::OnConnect, leaving,
                                      QStringLiteral("leaving"), task(QStringLiteral("leaving")),
                                      {}));
    }
    QVERIFY(tasks()->registerTask(TaskNetworkManager::OnDisconnect, leaving,
                                  QStringLiteral("leaving down"), task(QStringLiteral("x")), {}));
    QVERIFY(tasks()->registerTask(TaskNetworkManager::OnConnect, m_owner.get(),
                                  QStringLiteral("staying"), task(QStringLiteral("staying")), {}));
    delete leaving;
    QCOMPARE(tasks()->taskKeys(TaskNetworkManager::OnConnect),
             QStringList{QStringLiteral("staying")});
    QVERIFY(tasks()->taskKeys(TaskNetworkManager::OnDisconnect).isEmpty());

    m_sim->bringUp();
    m_sim->bringDown();
    QCOMPARE(ran, QStringList{QStringLiteral("staying")});
}

void tst_ControllerManager::taskRemovedDuringRunDoesNotRun()
{
    using mirel::TaskNetworkManager;
    QStringList ran;
    const int up = TaskNetworkManager::OnConnect;
    auto *second = new QObject(m_owner.get());
    QVERIFY(tasks()->registerTask(up, m_owner.get(), QStringLiteral("first"),
                                  [&, second](const TaskNetworkManager::Done &done) {
                                      ran << QStringLiteral("first");
                                      delete second;
                                      tasks()->unRegisterTask(up, QStringLiteral("third"));
                                      tasks()->registerTask(
                                          up, m_owner.get(), QStringLiteral("late"),
                                          [&](const TaskNetworkManager::Done &lateDone) {
                                              ran << QStringLiteral("late");
                                              lateDone(true, QVariant());
                                          },
                                          {});
                                      done(true, QVariant());
                                  },
                                  {}));
    QVERIFY(tasks()->registerTask(up, second, QStringLiteral("second"),
                                  [&](const TaskNetworkManager::Done &done) {
                                      ran << QStringLiteral("second");
                                      done(true, QVariant());
                                  },
                                  {}));
    QVERIFY(tasks()->registerTask(up, m_owner.get(), QStringLiteral("third"),
                                  [&](const TaskNetworkManager::Done &done) {
                                      ran << QStringLiteral("third");
                                      done(true, QVariant());
                                  },
                                  {}));
    m_sim->bringUp();
    // Neither the removed tasks nor the one added meanwhile run in this round.
    QCOMPARE(ran, QStringList{QStringLiteral("first")});
    QCOMPARE(tasks()->taskKeys(up),
             (QStringList{QStringLiteral("first"), QStringLiteral("late")}));

    tasks()->unRegisterTask(up, QStringLiteral("first"));
    ran.clear();
    m_sim->bringDown();
    m_sim->bringUp();
    QCOMPARE(ran, QStringList{QStringLiteral("late")});
}

QTEST_MAIN(tst_ControllerManager)

#include "tst_controllermanager.moc"
