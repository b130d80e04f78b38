#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <nabuCore/moduleobject.h>
#include <nabusrv/vantor.h>
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
using Kind = mirel::ControllerMessage::Kind;

namespace {

const QString kReboot = QStringLiteral("system.controller.reboot");
const QString kGetParams = QStringLiteral("system.controller.get_params");
const QString kGetDhLink = QStringLiteral("factory.get_DH_params_link");
const QString kSetDhAll = QStringLiteral("factory.set_DH_params_all");
const QString kDhSupport = QStringLiteral("factory.get_dh_params_support");

mirel::ControllerManager *manager()
{
    return mirel::ManagerHelper::instance()->controllerManager();
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

nabu::ModuleObject *connectedNode()
{
    return sv::vantor()->mobj()->c(QStringLiteral("connected"));
}

} // namespace

class tst_Vantor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void connectedFollowsTheLink();
    void get_data();
    void get();
    void set_data();
    void set();
    void setWithPayloadNode();
    void command();
    void execCommand();
    void execCommandWithoutAnswer();
    void execPluginCommand();
    void watchDeliversUpdates();
    void rewatchAfterReconnect();
    void nothingGoesOutWhileDown();

private:
    std::unique_ptr<SimulatedController> m_sim;
};

void tst_Vantor::initTestCase()
{
    // Made before any link, it starts disconnected.
    QVERIFY(sv::vantor());
    QCOMPARE(connectedNode()->getBool(true), false);
    QCOMPARE(sv::vantor()->name(), QStringLiteral("vantor"));
}

void tst_Vantor::init()
{
    m_sim = std::make_unique<SimulatedController>();
    m_sim->setRebootDelay(40);
    manager()->setLink(m_sim.get());
    m_sim->bringUp();
    QVERIFY(manager()->isLinkUp());
    m_sim->clearCalls();
}

void tst_Vantor::cleanup()
{
    const QStringList watched = sv::vantor()->watchedKeys();
    for (const QString &key : watched)
        sv::vantor()->watch(this, key, false);
    manager()->setLink(nullptr);
    m_sim.reset();
    QCOMPARE(connectedNode()->getBool(true), false);
    QVERIFY(sv::vantor()->watchedKeys().isEmpty());
}

void tst_Vantor::connectedFollowsTheLink()
{
    QCOMPARE(connectedNode()->getBool(false), true);
    QSignalSpy changed(connectedNode(), &nabu::ModuleObject::changed);

    m_sim->bringDown(false);
    QCOMPARE(connectedNode()->getBool(true), false);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toBool(), false);
    QCOMPARE(changed.at(0).at(2).value<QObject *>(), static_cast<QObject *>(sv::vantor()));

    m_sim->bringUp();
    QCOMPARE(connectedNode()->getBool(false), true);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(1).at(0).toBool(), true);

    // A reboot asked for through the service drops the link and brings it back.
    m_sim->clearCalls();
    nabu::ModuleObject *result = sv::vantor()->execCommand(this, kReboot, QVariant());
    QCOMPARE(result->c(QStringLiteral("success"))->getBool(), true);
    // On a loaded machine the link may be down and up again before the first look.
    QTRY_VERIFY(changed.count() >= 3);
    QCOMPARE(changed.at(2).at(0).toBool(), false);
    QTRY_COMPARE(changed.count(), 4);
    QCOMPARE(changed.at(3).at(0).toBool(), true);
    QCOMPARE(connectedNode()->getBool(false), true);
    QCOMPARE(m_sim->callsOf(kGetParams).size(), 1);
}

void tst_Vantor::get_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("sub");
    QTest::addColumn<QJsonValue>("stored");
    QTest::addColumn<QJsonValue>("expected");

    const QJsonObject io{{QStringLiteral("di"), QJsonArray{0, 1, 1}},
                         {QStringLiteral("name"), QStringLiteral("gripper")}};
    QTest::newRow("whole value") << QStringLiteral("io.board1") << QString() << QJsonValue(io)
                                 << QJsonValue(io);
    QTest::newRow("member") << QStringLiteral("io.board1") << QStringLiteral("name")
                            << QJsonValue(io) << QJsonValue(QStringLiteral("gripper"));
    QTest::newRow("element") << QStringLiteral("io.board1") << QStringLiteral("di.2")
                             << QJsonValue(io) << QJsonValue(1);
    QTest::newRow("missing member")
        << QStringLiteral("io.board1") << QStringLiteral("do") << QJsonValue(io) << QJsonValue();
    QTest::newRow("unknown key") << QStringLiteral("io.none") << QString() << QJsonValue()
                                 << QJsonValue();
    QTest::newRow("built-in value") << kDhSupport << QString() << QJsonValue()
                                    << QJsonValue(QJsonObject{{QStringLiteral("data"), true}});
}

void tst_Vantor::get()
{
    QFETCH(QString, key);
    QFETCH(QString, sub);
    QFETCH(QJsonValue, stored);
    QFETCH(QJsonValue, expected);

    m_sim->setValue(key, stored);
    nabu::ModuleObject *value =
        sub.isEmpty() ? sv::vantor()->get(this, key) : sv::vantor()->get(this, key, sub);
    QCOMPARE(text(value->exportToJson()), text(expected));

    const QList<SimulatedController::Call> calls = m_sim->calls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.at(0).kind, Kind::Get);
    QCOMPARE(calls.at(0).name, key);
    QCOMPARE(text(calls.at(0).payload), text(sub.isEmpty() ? QJsonValue() : QJsonValue(sub)));
}

void tst_Vantor::set_data()
{
    QTest::addColumn<QString>("sub");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QJsonValue>("expected");

    QTest::newRow("whole value") << QString() << QVariant(7) << QJsonValue(7);
    QTest::newRow("text") << QString() << QVariant(QStringLiteral("on"))
                          << QJsonValue(QStringLiteral("on"));
    QTest::newRow("member") << QStringLiteral("speed") << QVariant(0.5)
                            << QJsonValue(QJsonObject{{QStringLiteral("speed"), 0.5}});
    QTest::newRow("list") << QString() << QVariant(QVariantList{1, 2})
                          << QJsonValue(QJsonArray{1, 2});
}

void tst_Vantor::set()
{
    QFETCH(QString, sub);
    QFETCH(QVariant, value);
    QFETCH(QJsonValue, expected);

    const QString key = QStringLiteral("motion.config");
    QVERIFY(sv::vantor()->set(this, key, sub, value));
    const QList<SimulatedController::Call> calls = m_sim->calls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.at(0).kind, Kind::Set);
    QCOMPARE(calls.at(0).name, key);
    QCOMPARE(text(calls.at(0).payload),
             text(QJsonObject{{QStringLiteral("sub"), sub},
                              {QStringLiteral("value"), QJsonValue::fromVariant(value)}}));
    QTRY_COMPARE(text(m_sim->value(key)), text(expected));
    QCOMPARE(text(sv::vantor()->get(this, key)->exportToJson()), text(expected));
}

void tst_Vantor::setWithPayloadNode()
{
    const QString key = QStringLiteral("tool.current");
    nabu::ModuleObject payload;
    payload.set(this, QStringLiteral("name"), QStringLiteral("tool1"));
    payload.set(this, QStringLiteral("frame.z"), 120);
    QVERIFY(sv::vantor()->set(this, key, &payload));
    QCOMPARE(m_sim->calls().size(), 1);
    QCOMPARE(text(m_sim->calls().at(0).payload),
             text(QJsonObject{{QStringLiteral("sub"), QString()},
                              {QStringLiteral("value"), payload.exportToJson()}}));
    QTRY_COMPARE(text(m_sim->value(key)), text(payload.exportToJson()));
}

void tst_Vantor::command()
{
    QSignalSpy received(m_sim.get(), &SimulatedController::received);
    QVERIFY(sv::vantor()->command(this, QStringLiteral("motion.stop"), QVariant(2)));
    nabu::ModuleObject payload;
    payload.c(QStringLiteral("DH_params_all"))->importFromJson(this, numbers(28, 9), true, false);
    QVERIFY(sv::vantor()->command(this, kSetDhAll, &payload));
    QVERIFY(sv::vantor()->command(this, QStringLiteral("motion.home"),
                                  static_cast<nabu::ModuleObject *>(nullptr)));

    const QList<SimulatedController::Call> calls = m_sim->calls();
    QCOMPARE(calls.size(), 3);
    QCOMPARE(calls.at(0).kind, Kind::Command);
    QCOMPARE(calls.at(0).name, QStringLiteral("motion.stop"));
    QCOMPARE(text(calls.at(0).payload), text(2));
    QCOMPARE(calls.at(1).name, kSetDhAll);
    QCOMPARE(text(calls.at(1).payload),
             text(QJsonObject{{QStringLiteral("DH_params_all"), numbers(28, 9)}}));
    QCOMPARE(text(calls.at(2).payload), text(QJsonValue()));
    QCOMPARE(received.count(), 3);
    // Sent and forgotten, but carried out.
    QCOMPARE(m_sim->dhParams().value(27), 36.0);
}

void tst_Vantor::execCommand()
{
    nabu::ModuleObject *result = sv::vantor()->execCommand(this, kGetDhLink, QString());
    QCOMPARE(m_sim->callsOf(kGetDhLink).size(), 1);
    QCOMPARE(text(m_sim->callsOf(kGetDhLink).at(0).payload), text(QString()));
    nabu::ModuleObject *link = result->r(QStringLiteral("data.DH_PARAMS_LINK"));
    QVERIFY(link->isList());
    QCOMPARE(link->cmobjCount(), 28);
    QCOMPARE(link->c(2)->getDouble(-1.0), m_sim->dhParams().at(2));

    nabu::ModuleObject payload;
    payload.c(QStringLiteral("DH_params_all"))->importFromJson(this, numbers(28, 1), true, false);
    nabu::ModuleObject *accepted = sv::vantor()->execCommand(this, kSetDhAll, &payload);
    QCOMPARE(accepted->c(QStringLiteral("success"))->getBool(false), true);
    QCOMPARE(accepted->c(QStringLiteral("code"))->getInt(-9), 0);
    QCOMPARE(text(m_sim->callsOf(kSetDhAll).at(0).payload), text(payload.exportToJson()));
    QCOMPARE(m_sim->dhParams().at(27), 28.0);

    // One result node per command, refilled by every call.
    QCOMPARE(sv::vantor()->execCommand(this, kGetDhLink, QString()), result);
    QCOMPARE(result->r(QStringLiteral("data.DH_PARAMS_LINK"))->c(2)->getDouble(-1.0), 3.0);

    nabu::ModuleObject *unknown = sv::vantor()->execCommand(this, QStringLiteral("no.such"), 1);
    QCOMPARE(unknown->c(QStringLiteral("error"))->getInt(), -1);
    QCOMPARE(unknown->c(QStringLiteral("msg"))->getString(),
             QStringLiteral("unknown command: no.such"));
}

void tst_Vantor::execCommandWithoutAnswer()
{
    const QString move = QStringLiteral("motion.move_to");
    m_sim->setAnswer(move, QJsonObject{{QStringLiteral("success"), true}});
    QCOMPARE(sv::vantor()->execCommand(this, move, 1)->c(QStringLiteral("success"))->getBool(),
             true);

    m_sim->setSilent(move);
    QTimer::singleShot(20, m_sim.get(), [this] { m_sim->bringDown(false); });
    QElapsedTimer clock;
    clock.start();
    nabu::ModuleObject *result = sv::vantor()->execCommand(this, move, 2);
    QVERIFY2(clock.elapsed() < sv::Vantor::TimeoutMs / 2,
             qPrintable(QString::number(clock.elapsed())));
    // Nothing of the earlier answer is left to be taken for this one's.
    QVERIFY(result->exportToJson().isNull());
    QCOMPARE(result->cmobjCount(), 0);
    QCOMPARE(m_sim->callsOf(move).size(), 2);

    // Down: nothing goes out and the result is empty at once.
    clock.restart();
    QVERIFY(sv::vantor()->execCommand(this, move, 3)->exportToJson().isNull());
    QVERIFY(sv::vantor()->get(this, QStringLiteral("io.x"))->exportToJson().isNull());
    QVERIFY(clock.elapsed() < sv::Vantor::TimeoutMs / 2);
    QCOMPARE(m_sim->callsOf(move).size(), 2);
}

void tst_Vantor::execPluginCommand()
{
    const QString service = QStringLiteral("plugin.service.run");
    m_sim->setHandler(service, [](const QJsonValue &payload) {
        const QJsonObject p = payload.toObject();
        return QJsonValue(QJsonObject{{QStringLiteral("from"), p.value(QStringLiteral("id"))},
                                      {QStringLiteral("got"), p.value(QStringLiteral("data"))}});
    });
    const QVariantMap value{{QStringLiteral("step"), 4}};
    nabu::ModuleObject *result =
        sv::vantor()->execPluginCommand(this, QStringLiteral("calib"), service, value);

    const QList<SimulatedController::Call> calls = m_sim->callsOf(service);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.at(0).kind, Kind::Command);
    QCOMPARE(text(calls.at(0).payload),
             text(QJsonObject{{QStringLiteral("id"), QStringLiteral("calib")},
                              {QStringLiteral("data"), QJsonObject::fromVariantMap(value)}}));
    QCOMPARE(text(result->c(QStringLiteral("data"))->exportToJson()),
             text(QJsonObject{{QStringLiteral("from"), QStringLiteral("calib")},
                              {QStringLiteral("got"), QJsonObject::fromVariantMap(value)}}));
    QCOMPARE(result->cmobjCount(), 1);

    m_sim->setSilent(service);
    QTimer::singleShot(20, m_sim.get(), [this] { m_sim->bringDown(false); });
    result = sv::vantor()->execPluginCommand(this, QStringLiteral("calib"), service, value);
    QVERIFY(result->c(QStringLiteral("data"))->exportToJson().isNull());
}

void tst_Vantor::watchDeliversUpdates()
{
    const QString key = QStringLiteral("io.do.gripper");
    m_sim->setValue(key, 1);
    nabu::ModuleObject *node = sv::vantor()->watchNode(key);
    QCOMPARE(sv::vantor()->watchNode(key), node);
    QSignalSpy changed(node, &nabu::ModuleObject::changed);

    QVERIFY(sv::vantor()->watch(this, key, true));
    QCOMPARE(m_sim->calls().size(), 1);
    QCOMPARE(m_sim->calls().at(0).kind, Kind::Watch);
    QCOMPARE(m_sim->calls().at(0).name, key);
    QCOMPARE(m_sim->calls().at(0).payload, QJsonValue(true));
    QVERIFY(m_sim->isWatched(key));
    QCOMPARE(sv::vantor()->watchedKeys(), QStringList{key});
    // The current value comes first.
    QTRY_COMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 1);

    m_sim->setValue(key, 2);
    QTRY_COMPARE(changed.count(), 2);
    QCOMPARE(changed.at(1).at(0).toInt(), 2);
    QCOMPARE(changed.at(1).at(1).toInt(), 1);
    QCOMPARE(node->getInt(), 2);

    // A value written through the service comes back as an update too.
    QVERIFY(sv::vantor()->set(this, key, QString(), 5));
    QTRY_COMPARE(changed.count(), 3);
    QCOMPARE(node->getInt(), 5);

    QVERIFY(sv::vantor()->watch(this, key, false));
    QCOMPARE(m_sim->calls().last().payload, QJsonValue(false));
    QTRY_VERIFY(!m_sim->isWatched(key));
    QVERIFY(sv::vantor()->watchedKeys().isEmpty());
    m_sim->setValue(key, 3);
    // A round trip after the change: any update it caused would have come first.
    QCOMPARE(sv::vantor()->get(this, key)->getInt(), 3);
    QCOMPARE(changed.count(), 3);
    QCOMPARE(node->getInt(), 5);
}

void tst_Vantor::rewatchAfterReconnect()
{
    const QString key = QStringLiteral("robot.joint_position");
    const QString late = QStringLiteral("robot.tool_position");
    QVERIFY(sv::vantor()->watch(this, key, true));
    QTRY_VERIFY(m_sim->isWatched(key));

    m_sim->bringDown(false);
    QVERIFY(!m_sim->isWatched(key));
    // Asked for while down: it cannot go out now, but it is not forgotten.
    QVERIFY(!sv::vantor()->watch(this, late, true));
    QCOMPARE(sv::vantor()->watchedKeys(), (QStringList{key, late}));
    m_sim->clearCalls();

    m_sim->bringUp();
    QTRY_VERIFY(m_sim->isWatched(key));
    QVERIFY(m_sim->isWatched(late));
    for (const QString &k : {key, late}) {
        const QList<SimulatedController::Call> calls = m_sim->callsOf(k);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.at(0).kind, Kind::Watch);
        QCOMPARE(calls.at(0).payload, QJsonValue(true));
    }

    nabu::ModuleObject *node = sv::vantor()->watchNode(late);
    QSignalSpy changed(node, &nabu::ModuleObject::changed);
    const QJsonArray position{100.0, 0.0, 450.0};
    m_sim->setValue(late, position);
    QTRY_COMPARE(changed.count(), 1);
    QCOMPARE(text(node->exportToJson()), text(position));
}

void tst_Vantor::nothingGoesOutWhileDown()
{
    m_sim->bringDown(false);
    QVERIFY(!sv::vantor()->command(this, QStringLiteral("motion.stop"), QVariant(1)));
    QVERIFY(!sv::vantor()->set(this, QStringLiteral("io.x"), QString(), 1));
    QVERIFY(sv::vantor()->get(this, QStringLiteral("io.x"))->exportToJson().isNull());
    QVERIFY(sv::vantor()->execCommand(this, kGetDhLink, QString())->exportToJson().isNull());
    QVERIFY(m_sim->calls().isEmpty());
}

QTEST_MAIN(tst_Vantor)

#include "tst_vantor.moc"
