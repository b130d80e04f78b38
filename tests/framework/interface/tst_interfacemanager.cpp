#include "interface/interfacemanager.h"

#include <support/simhost.h>

#include <mirel/controllermanager.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <nabusrv/vantor.h>
#include <sim/controller/simulatedcontroller.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include <stdexcept>

using tessel::tesselInterface;
using Kind = mirel::ControllerMessage::Kind;

class tst_InterfaceManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void linkDownGuardsTheCommandService();
    void connectedOperationsReachTheController();
    void linkSignalsFollowTheHost();
    void subscriptionsDeliverInOrderAndStopWithTheLast();
    void dottedOwnersAndNamesStayApart();
    void subscriptionRefusalsAndFailingCallbacks();
    void resubscribingAfterTheLastDeliversOnce();
    void networkTasksGetGeneratedKeysAndRun();
    void customCommandsCycleTheirIdsAndShapes();
    void controllerRequestsPassThrough();
    void robotInformationComesFromTheHost();

private:
    sim::SimulatedController *sim() const { return m_host->controller(); }
    support::SimHost *m_host = nullptr;
};

void tst_InterfaceManager::initTestCase()
{
    // Made before the link exists, as a plug-in makes it while the host starts.
    tesselInterface();
    m_host = new support::SimHost(this);
}

void tst_InterfaceManager::init()
{
    QVERIFY(m_host->start(QStringLiteral("SR6-900")));
    sim()->resetScript();
    sim()->clearCalls();
}

void tst_InterfaceManager::cleanup()
{
    sim()->setLatency(0);
}

void tst_InterfaceManager::linkDownGuardsTheCommandService()
{
    QVERIFY(m_host->stop());
    sim()->clearCalls();
    QVERIFY(!tesselInterface().getRobotConnected());
    QCOMPARE(tesselInterface().getVantorData(QStringLiteral("factory.get_dh_params_support")),
             QJsonValue(QJsonValue::Null));
    QCOMPARE(tesselInterface().getVantorData(QStringLiteral("a"), QStringLiteral("b")),
             QJsonValue(QJsonValue::Null));
    QVERIFY(!tesselInterface().setVantorData(QStringLiteral("a"), 1));
    QVERIFY(!tesselInterface().setVantorData(QStringLiteral("a"), QStringLiteral("b"), 1));
    QVERIFY(!tesselInterface().commandVantorData(QStringLiteral("a"), 1));
    const QJsonValue answer =
        tesselInterface().execCommandVantorData(QStringLiteral("factory.get_DH_params_link"),
                                                QStringLiteral(""));
    QVERIFY(answer.isBool());
    QCOMPARE(answer.toBool(), false);
    QVERIFY(sim()->calls().isEmpty());
}

void tst_InterfaceManager::connectedOperationsReachTheController()
{
    QVERIFY(tesselInterface().getRobotConnected());
    QCOMPARE(tesselInterface().getVantorData(QStringLiteral("factory.get_dh_params_support")),
             QJsonValue(QJsonObject{{QStringLiteral("data"), true}}));
    sim()->setValue(QStringLiteral("demo.value"), QJsonObject{{"a", QJsonObject{{"b", 7}}}});
    QCOMPARE(tesselInterface().getVantorData(QStringLiteral("demo.value"), QStringLiteral("a.b")),
             QJsonValue(7));
    QVERIFY(tesselInterface().setVantorData(QStringLiteral("demo.set"), 5));
    QVERIFY(tesselInterface().setVantorData(QStringLiteral("demo.set"), QStringLiteral("x"), 6));
    QVERIFY(tesselInterface().commandVantorData(QStringLiteral("demo.command"), 3));
    const QJsonValue dh = tesselInterface().execCommandVantorData(
        QStringLiteral("factory.get_DH_params_link"), QStringLiteral(""));
    QCOMPARE(dh[QStringLiteral("data")][QStringLiteral("DH_PARAMS_LINK")].toArray().size(), 28);

    const QList<sim::SimulatedController::Call> calls = sim()->calls();
    QCOMPARE(calls.size(), 6);
    QCOMPARE(calls.at(0).kind, Kind::Get);
    QCOMPARE(calls.at(0).name, QStringLiteral("factory.get_dh_params_support"));
    QVERIFY(calls.at(0).payload.isNull());
    QCOMPARE(calls.at(1).kind, Kind::Get);
    QCOMPARE(calls.at(1).payload, QJsonValue(QStringLiteral("a.b")));
    QCOMPARE(calls.at(2).kind, Kind::Set);
    QCOMPARE(calls.at(2).payload, QJsonValue(QJsonObject{{"sub", ""}, {"value", 5}}));
    QCOMPARE(calls.at(3).payload, QJsonValue(QJsonObject{{"sub", "x"}, {"value", 6}}));
    QCOMPARE(calls.at(4).kind, Kind::Command);
    QCOMPARE(calls.at(4).name, QStringLiteral("demo.command"));
    QCOMPARE(calls.at(4).payload, QJsonValue(3));
    QCOMPARE(calls.at(5).name, QStringLiteral("factory.get_DH_params_link"));
    QCOMPARE(calls.at(5).payload, QJsonValue(QStringLiteral("")));
    QCOMPARE(sim()->value(QStringLiteral("demo.set")), QJsonValue(QJsonObject{{"x", 6}}));

    // The host's data tree, unguarded.
    QCOMPARE(tesselInterface().getNodeData(QStringLiteral("mirel.setting.robot")),
             QJsonValue(QStringLiteral("SR6-900")));
}

void tst_InterfaceManager::linkSignalsFollowTheHost()
{
    QSignalSpy up(&tesselInterface(), &tessel::InterfaceManager::sigNetworkConnect);
    QSignalSpy down(&tesselInterface(), &tessel::InterfaceManager::sigNetworkDisConnect);

    QVERIFY(m_host->stop());
    QCOMPARE(down.count(), 1);
    QCOMPARE(down.at(0).at(0).toBool(), false);
    QCOMPARE(up.count(), 0);
    QVERIFY(m_host->start());
    QVERIFY(up.count() >= 1);

    // A reboot is a link that goes on purpose and comes back.
    sim()->setRebootDelay(50);
    up.clear();
    down.clear();
    sim()->reboot();
    QTRY_COMPARE(down.count(), 1);
    QCOMPARE(down.at(0).at(0).toBool(), true);
    QTRY_VERIFY(up.count() >= 1);

    // The flag alone: its fall says nothing, its rise with the link up says connected.
    up.clear();
    down.clear();
    nabu::ModuleObject *connected = sv::vantor()->mobj()->c(QStringLiteral("connected"));
    connected->set(nullptr, false);
    QCOMPARE(up.count(), 0);
    QCOMPARE(down.count(), 0);
    connected->set(nullptr, true);
    QCOMPARE(up.count(), 1);
}

void tst_InterfaceManager::subscriptionsDeliverInOrderAndStopWithTheLast()
{
    const QString key = QStringLiteral("io.signal_value");
    QStringList heard;
    QVERIFY(tesselInterface().connectVantorData(
        QStringLiteral("A"), key, [&heard](const QVariant &v) { heard << "A" + v.toString(); },
        QStringLiteral("one")));
    QVERIFY(tesselInterface().connectVantorData(
        QStringLiteral("B"), key, [&heard](const QVariant &v) { heard << "B" + v.toString(); },
        QStringLiteral("two")));
    QVERIFY(tesselInterface().connectVantorData(
        QStringLiteral("A"), QStringLiteral("other.key"), [](const QVariant &) {},
        QStringLiteral("three")));
    QCOMPARE(tesselInterface().getConnectVantorKeyList(QStringLiteral("A")),
             (QStringList{QStringLiteral("one"), QStringLiteral("three")}));
    QCOMPARE(tesselInterface().getConnectVantorKeyList(QStringLiteral("B")),
             QStringList{QStringLiteral("two")});
    QTRY_VERIFY(sim()->isWatched(key));
    QCOMPARE(sim()->callsOf(key).first().kind, Kind::Watch);

    heard.clear();
    sim()->setValue(key, 1);
    QTRY_COMPARE(heard, (QStringList{QStringLiteral("A1"), QStringLiteral("B1")}));
    // Removing it under a key it does not have is refused, and it stays.
    QVERIFY(!tesselInterface().disconnectVantorData(
        QStringLiteral("A"), QStringLiteral("other.key"), QStringLiteral("one")));
    QCOMPARE(tesselInterface().getConnectVantorKeyList(QStringLiteral("A")),
             (QStringList{QStringLiteral("one"), QStringLiteral("three")}));

    QVERIFY(tesselInterface().disconnectVantorData(QStringLiteral("A"), key, QStringLiteral("one")));
    QVERIFY(sim()->isWatched(key));
    heard.clear();
    sim()->setValue(key, 2);
    QTRY_COMPARE(heard, QStringList{QStringLiteral("B2")});

    QVERIFY(tesselInterface().disconnectVantorData(QStringLiteral("B"), key, QStringLiteral("two")));
    QTRY_VERIFY(!sim()->isWatched(key));
    // Removing what is not there is harmless.
    QVERIFY(tesselInterface().disconnectVantorData(QStringLiteral("B"), key, QStringLiteral("two")));
    QVERIFY(tesselInterface().disconnectVantorData(QStringLiteral("A"), QStringLiteral("other.key"),
                                                   QStringLiteral("three")));
    QVERIFY(tesselInterface().getConnectVantorKeyList(QStringLiteral("A")).isEmpty());
}

// Owners and names hold dots as keys do: each pair is its own subscription, listed by its name.
void tst_InterfaceManager::dottedOwnersAndNamesStayApart()
{
    const QString first = QStringLiteral("dotted.first");
    const QString second = QStringLiteral("dotted.second");
    int heardFirst = 0;
    int heardSecond = 0;
    QVERIFY(tesselInterface().connectVantorData(
        QStringLiteral("a.b"), first, [&heardFirst](const QVariant &) { ++heardFirst; },
        QStringLiteral("c")));
    QVERIFY(tesselInterface().connectVantorData(
        QStringLiteral("a"), second, [&heardSecond](const QVariant &) { ++heardSecond; },
        QStringLiteral("b.c")));
    QCOMPARE(tesselInterface().getConnectVantorKeyList(QStringLiteral("a.b")),
             QStringList{QStringLiteral("c")});
    QCOMPARE(tesselInterface().getConnectVantorKeyList(QStringLiteral("a")),
             QStringList{QStringLiteral("b.c")});
    sim()->setValue(first, 1);
    sim()->setValue(second, 1);
    QTRY_VERIFY(heardFirst == 1 && heardSecond == 1);
    // Removing one leaves the other.
    QVERIFY(tesselInterface().disconnectVantorData(QStringLiteral("a"), second,
                                                   QStringLiteral("b.c")));
    QCOMPARE(tesselInterface().getConnectVantorKeyList(QStringLiteral("a.b")),
             QStringList{QStringLiteral("c")});
    sim()->setValue(first, 2);
    QTRY_COMPARE(heardFirst, 2);
    QVERIFY(tesselInterface().disconnectVantorData(QStringLiteral("a.b"), first,
                                                   QStringLiteral("c")));
}

void tst_InterfaceManager::subscriptionRefusalsAndFailingCallbacks()
{
    const QString key = QStringLiteral("refusal.key");
    QVERIFY(!tesselInterface().connectVantorData(QStringLiteral("C"), key, {}, QStringLiteral("x")));
    QVERIFY(tesselInterface().getConnectVantorKeyList(QStringLiteral("C")).isEmpty());
    QVERIFY(sim()->callsOf(key).isEmpty());

    int first = 0;
    int second = 0;
    QVERIFY(tesselInterface().connectVantorData(
        QStringLiteral("C"), key,
        [&first](const QVariant &) {
            ++first;
            throw std::runtime_error("bad callback");
        },
        QStringLiteral("x")));
    // The same id again is refused and keeps the first callback.
    QVERIFY(!tesselInterface().connectVantorData(
        QStringLiteral("C"), key, [&second](const QVariant &) { second += 100; },
        QStringLiteral("x")));
    QVERIFY(tesselInterface().connectVantorData(
        QStringLiteral("D"), key, [&second](const QVariant &) { ++second; }, QStringLiteral("y")));
    sim()->setValue(key, 5);
    QTRY_COMPARE(second, 1);
    QCOMPARE(first, 1);
    tesselInterface().disconnectVantorData(QStringLiteral("C"), key, QStringLiteral("x"));
    tesselInterface().disconnectVantorData(QStringLiteral("D"), key, QStringLiteral("y"));
}

void tst_InterfaceManager::resubscribingAfterTheLastDeliversOnce()
{
    const QString key = QStringLiteral("again.key");
    int calls = 0;
    auto count = [&calls](const QVariant &) { ++calls; };
    QVERIFY(tesselInterface().connectVantorData(QStringLiteral("E"), key, count, QStringLiteral("n")));
    tesselInterface().disconnectVantorData(QStringLiteral("E"), key, QStringLiteral("n"));
    QVERIFY(tesselInterface().connectVantorData(QStringLiteral("E"), key, count, QStringLiteral("n")));
    QTRY_VERIFY(sim()->isWatched(key));
    calls = 0;
    sim()->setValue(key, 9);
    QTRY_VERIFY(calls > 0);
    QTest::qWait(50);
    QCOMPARE(calls, 1);
    tesselInterface().disconnectVantorData(QStringLiteral("E"), key, QStringLiteral("n"));
}

void tst_InterfaceManager::networkTasksGetGeneratedKeysAndRun()
{
    QStringList ran;
    QObject receiver;
    const QString first = tesselInterface().connectNetworkStatus(
        true, QStringLiteral("alpha"), &receiver, [&ran] { ran << QStringLiteral("alpha"); });
    const QString second = tesselInterface().connectNetworkStatus(
        false, QStringLiteral("beta"), &receiver, [&ran] { ran << QStringLiteral("beta"); });
    const QString fixed = tesselInterface().connectNetworkStatus(
        true, QStringLiteral("gamma"), &receiver, [&ran] { ran << QStringLiteral("gamma"); },
        QStringLiteral("my.key"));
    QCOMPARE(first, QStringLiteral("alpha_1"));
    QCOMPARE(second, QStringLiteral("beta_2"));
    QCOMPARE(fixed, QStringLiteral("my.key"));

    QVERIFY(m_host->stop());
    QCOMPARE(ran, QStringList{QStringLiteral("beta")});
    QVERIFY(m_host->start());
    QCOMPARE(ran, (QStringList{QStringLiteral("beta"), QStringLiteral("alpha"),
                               QStringLiteral("gamma")}));

    tesselInterface().disconnectNetworkStatus(true, first);
    tesselInterface().disconnectNetworkStatus(true, fixed);
    tesselInterface().disconnectNetworkStatus(false, second);
    ran.clear();
    QVERIFY(m_host->stop());
    QVERIFY(m_host->start());
    QVERIFY(ran.isEmpty());
}

void tst_InterfaceManager::customCommandsCycleTheirIdsAndShapes()
{
    const QString service = QStringLiteral("ServiceAPI.plugin");
    sim()->setAnswer(service, QJsonArray{QJsonObject{{"done", true}}});
    QObject sender;
    const QJsonArray items{QJsonObject{{"job", QJsonObject{{"x", 1}}}}};
    QCOMPARE(tesselInterface().commandCustomData(&sender, items),
             (QJsonArray{QJsonObject{{"done", true}}}));
    QCOMPARE(tesselInterface().commandCustomData(&sender, QJsonObject{{"k", 1}}).size(), 1);
    tesselInterface().commandCustomData(&sender, QStringLiteral("job"), QJsonObject{{"x", 2}});
    tesselInterface().commandCustomData(&sender, QStringLiteral("job"), QStringLiteral("f"),
                                        QStringLiteral("t"));
    tesselInterface().commandCustomData(&sender, QStringLiteral("job"), QStringLiteral("f"));

    QList<sim::SimulatedController::Call> calls = sim()->callsOf(service);
    QCOMPARE(calls.size(), 5);
    const QJsonArray shapes[] = {
        items,
        QJsonArray{QJsonObject{{"k", 1}}},
        QJsonArray{QJsonObject{{"job", QJsonObject{{"x", 2}}}}},
        QJsonArray{QJsonObject{{"job", QJsonObject{{"f", "t"}}}}},
        QJsonArray{QJsonObject{{"job", QJsonObject{{"f", ""}}}}},
    };
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(calls.at(i).payload[QStringLiteral("id")].toString(),
                 QStringLiteral("ServiceAPI.plugin_%1").arg(i));
        QCOMPARE(calls.at(i).payload[QStringLiteral("data")], QJsonValue(shapes[i]));
    }

    // After 0 to 254 the id starts again at 0.
    for (int i = 5; i < 256; ++i)
        tesselInterface().commandCustomData(&sender, QJsonObject{{"n", i}});
    calls = sim()->callsOf(service);
    QCOMPARE(calls.size(), 256);
    QCOMPARE(calls.at(254).payload[QStringLiteral("id")].toString(),
             QStringLiteral("ServiceAPI.plugin_254"));
    QCOMPARE(calls.at(255).payload[QStringLiteral("id")].toString(),
             QStringLiteral("ServiceAPI.plugin_0"));

    // An answer that is not an array gives an empty array.
    sim()->setAnswer(service, QJsonObject{{"data", 1}});
    QVERIFY(tesselInterface().commandCustomData(&sender, QJsonObject{{"n", 0}}).isEmpty());
}

void tst_InterfaceManager::controllerRequestsPassThrough()
{
    sim()->setAnswer(QStringLiteral("demo.exec"), QJsonObject{{"ok", 1}});
    QCOMPARE(tesselInterface().rcExecRequestFullCommand(QStringLiteral("demo.exec"),
                                                        QJsonObject{{"a", 1}}, false, 1000),
             QJsonValue(QJsonObject{{"ok", 1}}));
    QCOMPARE(tesselInterface().rcExecRequest(QStringLiteral("project"), QStringLiteral("demo.exec"),
                                             QJsonObject{{"b", 2}}, false, 1000),
             QJsonValue(QJsonObject{{"ok", 1}}));
    QVERIFY(tesselInterface().rcRequest(QStringLiteral("project"), QStringLiteral("demo.send"),
                                        QJsonObject{{"c", 3}}, 1000));
    const QList<sim::SimulatedController::Call> exec = sim()->callsOf(QStringLiteral("demo.exec"));
    QCOMPARE(exec.size(), 2);
    QCOMPARE(exec.at(0).payload, QJsonValue(QJsonObject{{"a", 1}}));
    QCOMPARE(exec.at(1).payload, QJsonValue(QJsonObject{{"b", 2}}));
    QCOMPARE(sim()->callsOf(QStringLiteral("demo.send")).value(0).payload,
             QJsonValue(QJsonObject{{"c", 3}}));

    // The reboot request: sent with a null payload, then the link goes and comes back.
    sim()->setRebootDelay(50);
    QSignalSpy down(&tesselInterface(), &tessel::InterfaceManager::sigNetworkDisConnect);
    QVERIFY(tesselInterface().rcRequestFullCommand(QStringLiteral("system.controller.reboot"),
                                                   QJsonValue(), 4800));
    QCOMPARE(sim()->callsOf(QStringLiteral("system.controller.reboot")).size(), 1);
    QVERIFY(sim()->callsOf(QStringLiteral("system.controller.reboot")).at(0).payload.isNull());
    QTRY_COMPARE(down.count(), 1);
    QTRY_VERIFY(tesselInterface().getRobotConnected());

    QVERIFY(m_host->stop());
    QVERIFY(!tesselInterface().rcRequestFullCommand(QStringLiteral("demo.send"), QJsonValue(), 100));
}

void tst_InterfaceManager::robotInformationComesFromTheHost()
{
    sim()->setVersion(QStringLiteral("3.0.2"));
    sim()->setRobotId(QStringLiteral("R-42"));
    QVERIFY(m_host->start(QStringLiteral("SR7-800")));
    QCOMPARE(tesselInterface().getRobotType(), QStringLiteral("SR7-800"));
    QCOMPARE(tesselInterface().getRobotIP(), sim()->address());
    QVERIFY(!tesselInterface().getRobotIP().isEmpty());
    QCOMPARE(tesselInterface().getRobotModelType(), 2);
    QCOMPARE(tesselInterface().getRobotID(), QStringLiteral("R-42"));
    QCOMPARE(tesselInterface().getRobotPhyStatus(), QStringLiteral("idle"));
    QCOMPARE(tesselInterface().getRobotEleStatus(), false);
    QCOMPARE(tesselInterface().getUserOperateLevel(), 1);
    nabu::m(QStringLiteral("mirel.r.power"))->set(nullptr, QStringLiteral("on"));
    QCOMPARE(tesselInterface().getRobotEleStatus(), true);
    QCOMPARE(nabu::m(QStringLiteral("mirel.r.version"))->getString(), QStringLiteral("3.0.2"));
    QVERIFY(m_host->start(QStringLiteral("SR6-900")));
    QCOMPARE(tesselInterface().getRobotModelType(), 1);
}

QTEST_MAIN(tst_InterfaceManager)
#include "tst_interfacemanager.moc"
