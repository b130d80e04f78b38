#include "simtesthelpers.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <sim/controller/simulatedcontroller.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using sim::SimulatedController;
using Kind = mirel::ControllerMessage::Kind;

namespace {

const QString kGetParams = QStringLiteral("system.controller.get_params");
const QString kReboot = QStringLiteral("system.controller.reboot");
const QString kGetDhLink = QStringLiteral("factory.get_DH_params_link");
const QString kSetDhAll = QStringLiteral("factory.set_DH_params_all");
const QString kSetDhLink = QStringLiteral("factory.set_DH_params_link");
const QString kSetZero = QStringLiteral("ethercat.set_precision_compensation_zero");
const QString kDhSupport = QStringLiteral("factory.get_dh_params_support");

// QCOMPARE prints byte arrays, not JSON values.
QByteArray text(const QJsonValue &value)
{
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
}

QJsonArray toJson(const QVector<double> &numbers)
{
    QJsonArray array;
    for (double n : numbers)
        array.append(n);
    return array;
}

QByteArray text(const QVector<double> &numbers)
{
    return text(toJson(numbers));
}

// count numbers first, first + 1, ...
QVector<double> sequence(int count, double first)
{
    QVector<double> numbers;
    for (int i = 0; i < count; ++i)
        numbers.append(first + i);
    return numbers;
}

QVector<double> withLeading(QVector<double> base, const QVector<double> &leading)
{
    for (int i = 0; i < leading.size(); ++i)
        base[i] = leading.at(i);
    return base;
}

using simtest::modelNamed;

quint64 nextId()
{
    static quint64 id = 1;
    return id++;
}

quint64 post(SimulatedController &c, Kind kind, const QString &name,
             const QJsonValue &payload = QJsonValue())
{
    mirel::ControllerMessage message;
    message.id = nextId();
    message.kind = kind;
    message.name = name;
    message.payload = payload;
    c.send(message);
    return message.id;
}

// Sends one message and waits up to a second for its answer; `answered` tells whether one came.
QJsonValue ask(SimulatedController &c, Kind kind, const QString &name,
               const QJsonValue &payload = QJsonValue(), bool *answered = nullptr)
{
    mirel::ControllerMessage message;
    message.id = nextId();
    message.kind = kind;
    message.name = name;
    message.payload = payload;
    bool got = false;
    QJsonValue answer;
    QEventLoop loop;
    QObject::connect(&c, &mirel::ControllerLink::answered, &loop,
                     [&](quint64 id, const QJsonValue &v) {
                         if (id != message.id)
                             return;
                         got = true;
                         answer = v;
                         loop.quit();
                     });
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    c.send(message);
    if (!got)
        loop.exec();
    if (answered)
        *answered = got;
    return answer;
}

QJsonValue command(SimulatedController &c, const QString &name,
                   const QJsonValue &payload = QJsonValue())
{
    return ask(c, Kind::Command, name, payload);
}

QList<quint64> answeredIds(const QSignalSpy &spy)
{
    QList<quint64> ids;
    for (const QList<QVariant> &args : spy)
        ids.append(args.at(0).value<quint64>());
    return ids;
}

const QJsonObject kAccepted{{QStringLiteral("success"), true}, {QStringLiteral("code"), 0}};
const QJsonObject kRefused{{QStringLiteral("success"), false}, {QStringLiteral("code"), -2}};

} // namespace

class tst_SimulatedController : public QObject
{
    Q_OBJECT

private slots:
    void models_data();
    void models();
    void setModelSelectsFactoryState();
    void linkUpAndDown();
    void messagesWhileDownAreIgnored();
    void answersComeOnALaterTurn();
    void recordsEveryMessage();
    void recordKeepsTheLatestOnly();
    void emptyPointListIsAListWithoutPoints();

    void getParams_data();
    void getParams();
    void getDhParamsLink_data();
    void getDhParamsLink();
    void setDhParamsAll_data();
    void setDhParamsAll();
    void setDhParamsLink_data();
    void setDhParamsLink();
    void setZeroOffsets_data();
    void setZeroOffsets();
    void unknownCommand();

    void getValue_data();
    void getValue();
    void dhRowsFollowStoredSet();
    void setValueMessage_data();
    void setValueMessage();
    void watchPublishes();
    void watchesEndWithTheLink();

    void latencyDelaysAnswersAndUpdates();
    void silentMessagesAreRecordedButNotAnswered();
    void scriptOverridesBuiltIns();
    void pendingAnswersAreDroppedOnLinkLoss();
    void rebootKeepsStateAndReconnects_data();
    void rebootKeepsStateAndReconnects();
    void rebootByCallDropsAtOnce();
};

void tst_SimulatedController::models_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("axes");
    QTest::addColumn<int>("templateId");
    QTest::addColumn<int>("dhCount");

    QTest::newRow("6-axis") << QStringLiteral("SR6-900") << 6 << 1 << 28;
    QTest::newRow("7-axis") << QStringLiteral("SR7-800") << 7 << 2 << 32;
}

void tst_SimulatedController::models()
{
    QFETCH(QString, name);
    QFETCH(int, axes);
    QFETCH(int, templateId);
    QFETCH(int, dhCount);

    QVERIFY(SimulatedController::modelNames().contains(name));
    const sim::RobotModel m = modelNamed(name);
    QCOMPARE(m.name, name);
    QCOMPARE(m.axes, axes);
    QCOMPARE(m.templateId, templateId);
    QCOMPARE(m.dh.size(), dhCount);
    for (int i = 0; i < m.dh.size(); i += 4)
        QVERIFY2(qAbs(m.dh.at(i)) <= 180.0, "alpha is an angle in degrees");

    SimulatedController c;
    QVERIFY(c.setModel(name));
    QCOMPARE(c.model().name, name);
    QCOMPARE(c.axisCount(), axes);
    QCOMPARE(text(c.dhParams()), text(m.dh));
    QCOMPARE(text(c.productDhParams()), text(m.dh));
    QCOMPARE(text(c.zeroOffsets()), text(QVector<double>(axes, 0.0)));
    QCOMPARE(text(c.productZeroOffsets()), text(QVector<double>(axes, 0.0)));
}

void tst_SimulatedController::setModelSelectsFactoryState()
{
    SimulatedController c;
    // The emulator offers the first name as its default: it is the default model.
    QCOMPARE(SimulatedController::modelNames().value(0), QStringLiteral("SR6-900"));
    QCOMPARE(c.model().name, QStringLiteral("SR6-900"));
    QCOMPARE(c.version(), QStringLiteral("3.1.2"));
    QCOMPARE(c.robotId(), QStringLiteral("SIM-0001"));
    QCOMPARE(c.address().isEmpty(), false);

    c.setDhParams(sequence(28, 1.0));
    QCOMPARE(text(c.dhParams()), text(sequence(28, 1.0)));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("do not fit")));
    c.setDhParams(sequence(27, 5.0));
    QCOMPARE(text(c.dhParams()), text(sequence(28, 1.0)));

    QVERIFY(!c.setModel(QStringLiteral("SR9-000")));
    QCOMPARE(c.model().name, QStringLiteral("SR6-900"));
    QCOMPARE(text(c.dhParams()), text(sequence(28, 1.0)));

    // A new model starts from its own factory set, whatever was stored before.
    QVERIFY(c.setModel(QStringLiteral("SR7-800")));
    QCOMPARE(text(c.dhParams()), text(modelNamed(QStringLiteral("SR7-800")).dh));
    QCOMPARE(c.zeroOffsets().size(), 7);
}

void tst_SimulatedController::linkUpAndDown()
{
    SimulatedController c;
    QSignalSpy up(&c, &mirel::ControllerLink::up);
    QSignalSpy down(&c, &mirel::ControllerLink::down);
    QVERIFY(!c.isUp());

    c.bringUp();
    QVERIFY(c.isUp());
    QCOMPARE(up.count(), 1);
    c.bringUp();
    QCOMPARE(up.count(), 1);

    c.bringDown(true);
    QVERIFY(!c.isUp());
    QCOMPARE(down.count(), 1);
    QCOMPARE(down.at(0).at(0).toBool(), true);
    c.bringDown(false);
    QCOMPARE(down.count(), 1);

    c.bringUp();
    c.bringDown();
    QCOMPARE(down.count(), 2);
    QCOMPARE(down.at(1).at(0).toBool(), false);
    QCOMPARE(up.count(), 2);
}

void tst_SimulatedController::messagesWhileDownAreIgnored()
{
    SimulatedController c;
    QSignalSpy received(&c, &SimulatedController::received);
    QSignalSpy answered(&c, &mirel::ControllerLink::answered);
    const quint64 lost = post(c, Kind::Command, kGetParams);
    QVERIFY(c.calls().isEmpty());
    QCOMPARE(received.count(), 0);

    c.bringUp();
    bool ok = false;
    ask(c, Kind::Get, kDhSupport, QJsonValue(), &ok);
    QVERIFY(ok);
    QVERIFY(!answeredIds(answered).contains(lost));
    QCOMPARE(c.calls().size(), 1);
}

void tst_SimulatedController::answersComeOnALaterTurn()
{
    SimulatedController c;
    c.bringUp();
    QSignalSpy answered(&c, &mirel::ControllerLink::answered);
    const quint64 first = post(c, Kind::Command, kGetParams);
    const quint64 second = post(c, Kind::Get, kDhSupport);
    const quint64 third = post(c, Kind::Watch, QStringLiteral("k"), true);
    QCOMPARE(answered.count(), 0);
    QTRY_COMPARE(answered.count(), 3);
    QCOMPARE(answeredIds(answered), (QList<quint64>{first, second, third}));
}

void tst_SimulatedController::recordsEveryMessage()
{
    SimulatedController c;
    c.bringUp();
    QSignalSpy received(&c, &SimulatedController::received);
    const QJsonObject setPayload{{QStringLiteral("sub"), QString()}, {QStringLiteral("value"), 3}};
    post(c, Kind::Command, kGetDhLink, QString());
    post(c, Kind::Get, QStringLiteral("io.di"), QStringLiteral("a.b"));
    post(c, Kind::Set, QStringLiteral("io.do"), setPayload);
    post(c, Kind::Watch, QStringLiteral("io.do"), true);
    post(c, Kind::Command, kGetDhLink, QStringLiteral("again"));

    const QList<SimulatedController::Call> calls = c.calls();
    QCOMPARE(calls.size(), 5);
    QCOMPARE(calls.at(0).kind, Kind::Command);
    QCOMPARE(calls.at(0).name, kGetDhLink);
    QCOMPARE(calls.at(0).payload, QJsonValue(QString()));
    QCOMPARE(calls.at(1).kind, Kind::Get);
    QCOMPARE(calls.at(1).payload, QJsonValue(QStringLiteral("a.b")));
    QCOMPARE(calls.at(2).kind, Kind::Set);
    QCOMPARE(text(calls.at(2).payload), text(setPayload));
    QCOMPARE(calls.at(3).kind, Kind::Watch);
    QCOMPARE(calls.at(3).payload, QJsonValue(true));

    const QList<SimulatedController::Call> dh = c.callsOf(kGetDhLink);
    QCOMPARE(dh.size(), 2);
    QCOMPARE(dh.at(1).payload, QJsonValue(QStringLiteral("again")));
    QCOMPARE(c.callsOf(QStringLiteral("io.do")).size(), 2);
    QCOMPARE(received.count(), 5);
    QCOMPARE(received.at(1).at(0).toString(), QStringLiteral("io.di"));

    c.clearCalls();
    QVERIFY(c.calls().isEmpty());
    QVERIFY(c.callsOf(kGetDhLink).isEmpty());
}

// A controller that runs for days keeps a recent history, not every payload it was ever sent.
void tst_SimulatedController::recordKeepsTheLatestOnly()
{
    SimulatedController c;
    c.bringUp();
    const int sent = 3 * SimulatedController::RecentCalls;
    for (int i = 0; i < sent; ++i)
        post(c, Kind::Get, QStringLiteral("k%1").arg(i), QString(1000, QLatin1Char('x')));
    const QList<SimulatedController::Call> calls = c.calls();
    QCOMPARE(calls.size(), SimulatedController::RecentCalls);
    QCOMPARE(calls.constFirst().name, QStringLiteral("k%1").arg(sent - SimulatedController::RecentCalls));
    QCOMPARE(calls.constLast().name, QStringLiteral("k%1").arg(sent - 1));

    // The tests' switch: everything since the last clearCalls().
    c.clearCalls();
    c.setCallLogUnbounded(true);
    for (int i = 0; i < sent; ++i)
        post(c, Kind::Get, QStringLiteral("k%1").arg(i), QString());
    QCOMPARE(c.calls().size(), sent);
}

// The points a pendant elsewhere sent are the project's, also when there are none; only while
// nothing was sent does the controller look at a pendant in its own process.
void tst_SimulatedController::emptyPointListIsAListWithoutPoints()
{
    const QString key = QStringLiteral("rovan.project.point._list");
    const QJsonArray points{QJsonObject{
        {QStringLiteral("name"), QStringLiteral("P1")},
        {QStringLiteral("property"), QStringLiteral("joint")},
        {QStringLiteral("value"),
         QJsonObject{{QStringLiteral("[0][0][0]"),
                      QJsonObject{{QStringLiteral("inner_pos"),
                                   QJsonArray{0.0, 0.0, 0.0, 0.0, 90.0, 0.0}}}}}}}};
    nabu::m(key)->importFromJson(this, points, true, true);
    SimulatedController c;
    c.bringUp();
    const auto pathCheck = [&c] {
        return command(c, QStringLiteral("move.path.check"), QJsonArray{QStringLiteral("P1")})
            .toObject()
            .value(QStringLiteral("error"))
            .toInt();
    };
    QCOMPARE(pathCheck(), 0);
    const auto set = [&c, &key](const QJsonValue &value) {
        ask(c, Kind::Set, key,
            QJsonObject{{QStringLiteral("sub"), QString()}, {QStringLiteral("value"), value}});
    };
    set(QJsonArray());
    QCOMPARE(pathCheck(), -50005);
    set(QJsonValue());
    QCOMPARE(pathCheck(), 0);
    nabu::m(key)->clear(this, true, true);
}

void tst_SimulatedController::getParams_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("robotId");
    QTest::addColumn<int>("templateId");
    QTest::addColumn<int>("axes");

    QTest::newRow("default") << QString() << QString() << QString() << 1 << 6;
    QTest::newRow("7-axis, own version and id")
        << QStringLiteral("SR7-800") << QStringLiteral("4.0.0") << QStringLiteral("R-77") << 2
        << 7;
}

void tst_SimulatedController::getParams()
{
    QFETCH(QString, model);
    QFETCH(QString, version);
    QFETCH(QString, robotId);
    QFETCH(int, templateId);
    QFETCH(int, axes);

    SimulatedController c;
    if (!model.isEmpty())
        QVERIFY(c.setModel(model));
    if (!version.isEmpty())
        c.setVersion(version);
    if (!robotId.isEmpty())
        c.setRobotId(robotId);
    c.bringUp();

    const QJsonObject params = command(c, kGetParams).toObject();
    QCOMPARE(params.value(QStringLiteral("robot_template")).toInt(), templateId);
    QCOMPARE(params.value(QStringLiteral("robot_type")).toString(), c.model().name);
    QCOMPARE(params.value(QStringLiteral("version")).toString(),
             version.isEmpty() ? QStringLiteral("3.1.2") : version);
    QCOMPARE(params.value(QStringLiteral("id")).toString(),
             robotId.isEmpty() ? QStringLiteral("SIM-0001") : robotId);
    QCOMPARE(params.value(QStringLiteral("state")).toString(), QStringLiteral("idle"));
    QCOMPARE(params.value(QStringLiteral("power")).toString(), QStringLiteral("off"));
    QCOMPARE(params.value(QStringLiteral("level")).toInt(), 1);
    QCOMPARE(params.value(QStringLiteral("axis_num")).toInt(), axes);
}

void tst_SimulatedController::getDhParamsLink_data()
{
    QTest::addColumn<QString>("model");
    QTest::newRow("6-axis") << QStringLiteral("SR6-900");
    QTest::newRow("7-axis") << QStringLiteral("SR7-800");
}

void tst_SimulatedController::getDhParamsLink()
{
    QFETCH(QString, model);
    SimulatedController c;
    QVERIFY(c.setModel(model));
    c.bringUp();
    const QJsonValue link = command(c, kGetDhLink, QString())
                                .toObject()
                                .value(QStringLiteral("data"))
                                .toObject()
                                .value(QStringLiteral("DH_PARAMS_LINK"));
    QCOMPARE(text(link), text(modelNamed(model).dh));
    QCOMPARE(link.toArray().size(), 4 * (c.axisCount() + 1));
}

void tst_SimulatedController::setDhParamsAll_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QJsonValue>("payload");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QVector<double>>("expected");

    const auto dhAll = [](const QJsonValue &v) {
        return QJsonValue(QJsonObject{{QStringLiteral("DH_params_all"), v}});
    };
    const QVector<double> six = modelNamed(QStringLiteral("SR6-900")).dh;
    const QVector<double> seven = modelNamed(QStringLiteral("SR7-800")).dh;

    QTest::newRow("6-axis, every group")
        << QStringLiteral("SR6-900") << dhAll(toJson(sequence(28, 100))) << true
        << sequence(28, 100);
    QTest::newRow("6-axis, all but the flange")
        << QStringLiteral("SR6-900") << dhAll(toJson(sequence(24, 100))) << true
        << withLeading(six, sequence(24, 100));
    QTest::newRow("7-axis, every group")
        << QStringLiteral("SR7-800") << dhAll(toJson(sequence(32, -5))) << true
        << sequence(32, -5);
    QTest::newRow("7-axis, all but the flange")
        << QStringLiteral("SR7-800") << dhAll(toJson(sequence(28, 7))) << true
        << withLeading(seven, sequence(28, 7));

    QTest::newRow("one number short")
        << QStringLiteral("SR6-900") << dhAll(toJson(sequence(27, 1))) << false << six;
    QTest::newRow("one number over")
        << QStringLiteral("SR6-900") << dhAll(toJson(sequence(29, 1))) << false << six;
    QTest::newRow("7-axis set on a 6-axis robot")
        << QStringLiteral("SR6-900") << dhAll(toJson(sequence(32, 1))) << false << six;
    QTest::newRow("6-axis set on a 7-axis robot")
        << QStringLiteral("SR7-800") << dhAll(toJson(sequence(24, 1))) << false << seven;
    QJsonArray withText = toJson(sequence(28, 1));
    withText.replace(5, QStringLiteral("5"));
    QTest::newRow("a number as text")
        << QStringLiteral("SR6-900") << dhAll(withText) << false << six;
    QJsonArray withNull = toJson(sequence(28, 1));
    withNull.replace(27, QJsonValue());
    QTest::newRow("a null") << QStringLiteral("SR6-900") << dhAll(withNull) << false << six;
    QTest::newRow("a length no robot has")
        << QStringLiteral("SR6-900") << dhAll(toJson(withLeading(six, {0, 0, 9e15}))) << false
        << six;
    QTest::newRow("object instead of array")
        << QStringLiteral("SR6-900") << dhAll(QJsonObject{{QStringLiteral("0"), 1}}) << false
        << six;
    QTest::newRow("member missing")
        << QStringLiteral("SR6-900")
        << QJsonValue(QJsonObject{{QStringLiteral("DH_params"), toJson(sequence(28, 1))}}) << false
        << six;
    QTest::newRow("bare array") << QStringLiteral("SR6-900") << QJsonValue(toJson(sequence(28, 1)))
                                << false << six;
    QTest::newRow("no payload") << QStringLiteral("SR6-900") << QJsonValue() << false << six;
}

void tst_SimulatedController::setDhParamsAll()
{
    QFETCH(QString, model);
    QFETCH(QJsonValue, payload);
    QFETCH(bool, accepted);
    QFETCH(QVector<double>, expected);

    SimulatedController c;
    QVERIFY(c.setModel(model));
    const QVector<double> product = c.productDhParams();
    c.bringUp();
    QCOMPARE(text(command(c, kSetDhAll, payload)), text(accepted ? kAccepted : kRefused));
    QCOMPARE(text(c.dhParams()), text(expected));
    QCOMPARE(text(c.productDhParams()), text(product));
}

void tst_SimulatedController::setDhParamsLink_data()
{
    QTest::addColumn<QJsonValue>("dhA");
    QTest::addColumn<QJsonValue>("dhL");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QVector<double>>("expectedA");
    QTest::addColumn<QVector<double>>("expectedL");

    const QVector<double> six = modelNamed(QStringLiteral("SR6-900")).dh;
    const QJsonValue absent(QJsonValue::Undefined);

    QTest::newRow("both whole") << QJsonValue(toJson(sequence(28, 10)))
                                << QJsonValue(toJson(sequence(28, 50))) << true << sequence(28, 10)
                                << sequence(28, 50);
    QTest::newRow("both without the flange")
        << QJsonValue(toJson(sequence(24, 10))) << QJsonValue(toJson(sequence(24, 50))) << true
        << withLeading(six, sequence(24, 10)) << withLeading(six, sequence(24, 50));
    QTest::newRow("whole and without the flange")
        << QJsonValue(toJson(sequence(28, 10))) << QJsonValue(toJson(sequence(24, 50))) << true
        << sequence(28, 10) << withLeading(six, sequence(24, 50));
    QTest::newRow("production set missing")
        << QJsonValue(toJson(sequence(28, 10))) << absent << false << six << six;
    QTest::newRow("working set missing")
        << absent << QJsonValue(toJson(sequence(28, 10))) << false << six << six;
    QTest::newRow("production set too short")
        << QJsonValue(toJson(sequence(28, 10))) << QJsonValue(toJson(sequence(20, 10))) << false
        << six << six;
    QTest::newRow("working set as text")
        << QJsonValue(QStringLiteral("1,2,3")) << QJsonValue(toJson(sequence(28, 10))) << false
        << six << six;
}

void tst_SimulatedController::setDhParamsLink()
{
    QFETCH(QJsonValue, dhA);
    QFETCH(QJsonValue, dhL);
    QFETCH(bool, accepted);
    QFETCH(QVector<double>, expectedA);
    QFETCH(QVector<double>, expectedL);

    SimulatedController c;
    c.bringUp();
    QJsonObject payload;
    if (!dhA.isUndefined())
        payload.insert(QStringLiteral("DH_A"), dhA);
    if (!dhL.isUndefined())
        payload.insert(QStringLiteral("DH_L"), dhL);
    QCOMPARE(text(command(c, kSetDhLink, payload)), text(accepted ? kAccepted : kRefused));
    QCOMPARE(text(c.dhParams()), text(expectedA));
    QCOMPARE(text(c.productDhParams()), text(expectedL));
}

void tst_SimulatedController::setZeroOffsets_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QJsonValue>("payload");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QVector<double>>("expectedA");
    QTest::addColumn<QVector<double>>("expectedL");

    const auto zero = [](const QVector<double> &a) {
        return QJsonValue(QJsonObject{{QStringLiteral("joint_angle_A"), toJson(a)}});
    };
    const auto zeroBoth = [](const QJsonValue &a, const QJsonValue &l) {
        return QJsonValue(QJsonObject{{QStringLiteral("joint_angle_A"), a},
                                      {QStringLiteral("joint_angle_L"), l}});
    };
    const QVector<double> six(6, 0.0);
    const QVector<double> offsets{0.1, -0.2, 0.3, -0.4, 0.5, -0.6};

    QTest::newRow("working offsets only")
        << QStringLiteral("SR6-900") << zero(offsets) << true << offsets << six;
    QTest::newRow("both") << QStringLiteral("SR6-900")
                          << zeroBoth(toJson(offsets), toJson(sequence(6, 1))) << true << offsets
                          << sequence(6, 1);
    QTest::newRow("7-axis") << QStringLiteral("SR7-800") << zero(sequence(7, 0.5)) << true
                            << sequence(7, 0.5) << QVector<double>(7, 0.0);
    QTest::newRow("one offset short")
        << QStringLiteral("SR6-900") << zero(sequence(5, 1)) << false << six << six;
    QTest::newRow("seven on a 6-axis robot")
        << QStringLiteral("SR6-900") << zero(sequence(7, 1)) << false << six << six;
    QTest::newRow("production offsets too long")
        << QStringLiteral("SR6-900") << zeroBoth(toJson(offsets), toJson(sequence(7, 1))) << false
        << six << six;
    QTest::newRow("production offsets as object")
        << QStringLiteral("SR6-900") << zeroBoth(toJson(offsets), QJsonObject()) << false << six
        << six;
    QTest::newRow("offsets as text")
        << QStringLiteral("SR6-900")
        << zeroBoth(QJsonArray{QStringLiteral("0"), 0, 0, 0, 0, 0}, toJson(offsets)) << false
        << six << six;
    QTest::newRow("an offset no robot has")
        << QStringLiteral("SR6-900") << zero({0, 0, 0, 0, 0, 2e6}) << false << six << six;
    QTest::newRow("working offsets missing")
        << QStringLiteral("SR6-900")
        << QJsonValue(QJsonObject{{QStringLiteral("joint_angle_L"), toJson(offsets)}}) << false
        << six << six;
}

void tst_SimulatedController::setZeroOffsets()
{
    QFETCH(QString, model);
    QFETCH(QJsonValue, payload);
    QFETCH(bool, accepted);
    QFETCH(QVector<double>, expectedA);
    QFETCH(QVector<double>, expectedL);

    SimulatedController c;
    QVERIFY(c.setModel(model));
    c.bringUp();
    const QVector<double> dh = c.dhParams();
    QCOMPARE(text(command(c, kSetZero, payload)), text(accepted ? kAccepted : kRefused));
    QCOMPARE(text(c.zeroOffsets()), text(expectedA));
    QCOMPARE(text(c.productZeroOffsets()), text(expectedL));
    QCOMPARE(text(c.dhParams()), text(dh));
}

void tst_SimulatedController::unknownCommand()
{
    SimulatedController c;
    c.bringUp();
    const QJsonObject expected{
        {QStringLiteral("error"), -1},
        {QStringLiteral("msg"), QStringLiteral("unknown command: no.such")}};
    QCOMPARE(text(command(c, QStringLiteral("no.such"), 1)), text(expected));
}

void tst_SimulatedController::getValue_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("sub");
    QTest::addColumn<QJsonValue>("expected");

    const QJsonArray list{10, 20, QJsonObject{{QStringLiteral("c"), QStringLiteral("x")}}};
    const QJsonObject io{{QStringLiteral("a"), QJsonObject{{QStringLiteral("b"), list}}}};

    QTest::newRow("whole value, null sub")
        << QStringLiteral("io") << QJsonValue() << QJsonValue(io);
    QTest::newRow("whole value, empty sub")
        << QStringLiteral("io") << QJsonValue(QString()) << QJsonValue(io);
    QTest::newRow("member") << QStringLiteral("io") << QJsonValue(QStringLiteral("a.b"))
                            << QJsonValue(list);
    QTest::newRow("element by number")
        << QStringLiteral("io") << QJsonValue(QStringLiteral("a.b.1")) << QJsonValue(20);
    QTest::newRow("element by #k")
        << QStringLiteral("io") << QJsonValue(QStringLiteral("a.b.#2.c"))
        << QJsonValue(QStringLiteral("x"));
    QTest::newRow("element past the end")
        << QStringLiteral("io") << QJsonValue(QStringLiteral("a.b.3")) << QJsonValue();
    QTest::newRow("missing member")
        << QStringLiteral("io") << QJsonValue(QStringLiteral("a.zz")) << QJsonValue();
    QTest::newRow("below a leaf") << QStringLiteral("io") << QJsonValue(QStringLiteral("a.b.0.x"))
                                  << QJsonValue();
    QTest::newRow("unknown key") << QStringLiteral("no.such") << QJsonValue() << QJsonValue();
    QTest::newRow("DH support") << kDhSupport << QJsonValue()
                                << QJsonValue(QJsonObject{{QStringLiteral("data"), true}});
    QTest::newRow("DH support, sub")
        << kDhSupport << QJsonValue(QStringLiteral("data")) << QJsonValue(true);
    QTest::newRow("DH rows, one row")
        << kSetDhLink << QJsonValue(QStringLiteral("1"))
        << QJsonValue(toJson(modelNamed(QStringLiteral("SR6-900")).dh.mid(4, 4)));
}

void tst_SimulatedController::getValue()
{
    QFETCH(QString, key);
    QFETCH(QJsonValue, sub);
    QFETCH(QJsonValue, expected);

    SimulatedController c;
    const QJsonArray list{10, 20, QJsonObject{{QStringLiteral("c"), QStringLiteral("x")}}};
    c.setValue(QStringLiteral("io"),
               QJsonObject{{QStringLiteral("a"), QJsonObject{{QStringLiteral("b"), list}}}});
    c.bringUp();
    bool answered = false;
    const QJsonValue answer = ask(c, Kind::Get, key, sub, &answered);
    QVERIFY(answered);
    QCOMPARE(text(answer), text(expected));
}

void tst_SimulatedController::dhRowsFollowStoredSet()
{
    SimulatedController c;
    QVERIFY(c.setModel(QStringLiteral("SR7-800")));
    c.bringUp();
    QCOMPARE(ask(c, Kind::Get, kSetDhLink).toArray().size(), 8);

    QCOMPARE(
        text(command(c, kSetDhAll,
                     QJsonObject{{QStringLiteral("DH_params_all"), toJson(sequence(32, 1))}})),
        text(kAccepted));
    const QJsonArray rows = ask(c, Kind::Get, kSetDhLink).toArray();
    QCOMPARE(rows.size(), 8);
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(text(rows.at(i)), text(toJson(sequence(4, 1 + 4 * i))));

    // A stored value takes the place of a built-in one until it is forgotten.
    c.setValue(kDhSupport, QJsonObject{{QStringLiteral("data"), false}});
    QCOMPARE(ask(c, Kind::Get, kDhSupport, QStringLiteral("data")), QJsonValue(false));
    c.setValue(kDhSupport, QJsonValue());
    QCOMPARE(ask(c, Kind::Get, kDhSupport, QStringLiteral("data")), QJsonValue(true));
}

void tst_SimulatedController::setValueMessage_data()
{
    QTest::addColumn<QJsonValue>("before");
    QTest::addColumn<QJsonValue>("payload");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QJsonValue>("after");

    const auto set = [](const QString &sub, const QJsonValue &v) {
        return QJsonValue(QJsonObject{{QStringLiteral("sub"), sub}, {QStringLiteral("value"), v}});
    };
    const QJsonObject tree{{QStringLiteral("a"), QJsonObject{{QStringLiteral("x"), 1}}},
                           {QStringLiteral("list"), QJsonArray{1, 2, 3}}};

    QTest::newRow("whole value") << QJsonValue() << set(QString(), 5) << true << QJsonValue(5);
    QTest::newRow("replace whole value") << QJsonValue(tree) << set(QString(), QStringLiteral("s"))
                                         << true << QJsonValue(QStringLiteral("s"));
    QJsonObject added = tree;
    added.insert(QStringLiteral("a"),
                 QJsonObject{{QStringLiteral("x"), 1}, {QStringLiteral("b"), 2}});
    QTest::newRow("new member") << QJsonValue(tree) << set(QStringLiteral("a.b"), 2) << true
                                << QJsonValue(added);
    QJsonObject replaced = tree;
    replaced.insert(QStringLiteral("list"), QJsonArray{1, 9, 3});
    QTest::newRow("list element") << QJsonValue(tree) << set(QStringLiteral("list.1"), 9) << true
                                  << QJsonValue(replaced);
    QTest::newRow("sub path into nothing")
        << QJsonValue() << set(QStringLiteral("p.q"), true) << true
        << QJsonValue(
               QJsonObject{{QStringLiteral("p"), QJsonObject{{QStringLiteral("q"), true}}}});
    QJsonValue deep = 1;
    for (int i = 0; i < 600; ++i)
        deep = QJsonArray{deep};
    QTest::newRow("sub path too deep")
        << QJsonValue(tree) << set(QStringLiteral("a.").repeated(33), 1) << false
        << QJsonValue(tree);
    QTest::newRow("too deep with its sub path")
        << QJsonValue(tree) << set(QStringLiteral("a.b"), deep) << false << QJsonValue(tree);
    QTest::newRow("index far past the list")
        << QJsonValue(tree) << set(QStringLiteral("list.#100000"), 1) << false << QJsonValue(tree);
    QTest::newRow("no value") << QJsonValue(tree)
                              << QJsonValue(QJsonObject{{QStringLiteral("sub"), QString()}})
                              << false << QJsonValue(tree);
    QTest::newRow("not an object")
        << QJsonValue(tree) << QJsonValue(7) << false << QJsonValue(tree);
}

void tst_SimulatedController::setValueMessage()
{
    QFETCH(QJsonValue, before);
    QFETCH(QJsonValue, payload);
    QFETCH(bool, accepted);
    QFETCH(QJsonValue, after);

    const QString key = QStringLiteral("io.state");
    SimulatedController c;
    c.setValue(key, before);
    c.bringUp();
    const QJsonValue answer = ask(c, Kind::Set, key, payload);
    QCOMPARE(text(answer),
             text(accepted ? QJsonObject{{QStringLiteral("success"), true}} : kRefused));
    QCOMPARE(text(c.value(key)), text(after));
}

void tst_SimulatedController::watchPublishes()
{
    const QString key = QStringLiteral("io.do");
    SimulatedController c;
    c.setValue(key, 1);
    c.bringUp();
    QSignalSpy updates(&c, &mirel::ControllerLink::valueChanged);

    QVERIFY(!c.isWatched(key));
    QCOMPARE(text(ask(c, Kind::Watch, key, true)),
             text(QJsonObject{{QStringLiteral("success"), true}}));
    QVERIFY(c.isWatched(key));
    // The current value comes once when the watch starts.
    QTRY_COMPARE(updates.count(), 1);
    QCOMPARE(updates.at(0).at(0).toString(), key);
    QCOMPARE(updates.at(0).at(1).value<QJsonValue>(), QJsonValue(1));

    c.setValue(key, 2);
    QCOMPARE(updates.count(), 1);
    QTRY_COMPARE(updates.count(), 2);
    QCOMPARE(updates.at(1).at(1).value<QJsonValue>(), QJsonValue(2));

    ask(c, Kind::Set, key,
        QJsonObject{{QStringLiteral("sub"), QString()}, {QStringLiteral("value"), 3}});
    QTRY_COMPARE(updates.count(), 3);
    QCOMPARE(updates.at(2).at(1).value<QJsonValue>(), QJsonValue(3));

    // Other keys stay quiet; a changed DH set reaches whoever watches its rows.
    c.setValue(QStringLiteral("io.di"), 4);
    ask(c, Kind::Watch, kSetDhLink, true);
    QTRY_COMPARE(updates.count(), 4);
    QCOMPARE(updates.at(3).at(0).toString(), kSetDhLink);
    command(c, kSetDhAll, QJsonObject{{QStringLiteral("DH_params_all"), toJson(sequence(28, 0))}});
    QTRY_COMPARE(updates.count(), 5);
    QCOMPARE(updates.at(4).at(0).toString(), kSetDhLink);
    QCOMPARE(text(updates.at(4).at(1).value<QJsonValue>().toArray().at(1)),
             text(QJsonArray{4, 5, 6, 7}));

    ask(c, Kind::Watch, key, false);
    QVERIFY(!c.isWatched(key));
    c.setValue(key, 5);
    // An answer sent after the change comes after any update it would have caused.
    bool answered = false;
    ask(c, Kind::Get, key, QJsonValue(), &answered);
    QVERIFY(answered);
    QCOMPARE(updates.count(), 5);
}

void tst_SimulatedController::watchesEndWithTheLink()
{
    const QString key = QStringLiteral("io.do");
    SimulatedController c;
    c.bringUp();
    ask(c, Kind::Watch, key, true);
    QVERIFY(c.isWatched(key));
    c.bringDown();
    QVERIFY(!c.isWatched(key));
    c.bringUp();

    QSignalSpy updates(&c, &mirel::ControllerLink::valueChanged);
    c.setValue(key, 8);
    bool answered = false;
    ask(c, Kind::Get, key, QJsonValue(), &answered);
    QVERIFY(answered);
    QCOMPARE(updates.count(), 0);
}

void tst_SimulatedController::latencyDelaysAnswersAndUpdates()
{
    const int latency = 40;
    const QString key = QStringLiteral("io.do");
    SimulatedController c;
    c.setLatency(latency);
    c.bringUp();
    QSignalSpy answered(&c, &mirel::ControllerLink::answered);
    QSignalSpy updates(&c, &mirel::ControllerLink::valueChanged);

    QElapsedTimer clock;
    clock.start();
    const quint64 first = post(c, Kind::Watch, key, true);
    const quint64 second = post(c, Kind::Command, kGetParams);
    QTRY_COMPARE(answered.count(), 2);
    QVERIFY2(clock.elapsed() >= latency, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(answeredIds(answered), (QList<quint64>{first, second}));
    QTRY_COMPARE(updates.count(), 1);

    clock.restart();
    c.setValue(key, 9);
    QTRY_COMPARE(updates.count(), 2);
    QVERIFY2(clock.elapsed() >= latency, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(updates.at(1).at(1).value<QJsonValue>(), QJsonValue(9));
}

void tst_SimulatedController::silentMessagesAreRecordedButNotAnswered()
{
    SimulatedController c;
    c.bringUp();
    QSignalSpy answered(&c, &mirel::ControllerLink::answered);
    QSignalSpy received(&c, &SimulatedController::received);
    c.setSilent(kSetDhAll);
    c.setSilent(QStringLiteral("io.do"));

    const QVector<double> dh = c.dhParams();
    const quint64 silent =
        post(c, Kind::Command, kSetDhAll,
             QJsonObject{{QStringLiteral("DH_params_all"), toJson(sequence(28, 1))}});
    const quint64 silentGet = post(c, Kind::Get, QStringLiteral("io.do"));
    bool ok = false;
    ask(c, Kind::Command, kGetParams, QJsonValue(), &ok);
    QVERIFY(ok);
    QVERIFY(!answeredIds(answered).contains(silent));
    QVERIFY(!answeredIds(answered).contains(silentGet));
    QCOMPARE(answered.count(), 1);
    QCOMPARE(c.callsOf(kSetDhAll).size(), 1);
    QCOMPARE(received.at(0).at(0).toString(), kSetDhAll);
    // Not carried out either: the controller never saw it.
    QCOMPARE(text(c.dhParams()), text(dh));

    c.setSilent(QStringLiteral("io.do"), false);
    ask(c, Kind::Get, QStringLiteral("io.do"), QJsonValue(), &ok);
    QVERIFY(ok);

    c.resetScript();
    QCOMPARE(
        text(command(c, kSetDhAll,
                     QJsonObject{{QStringLiteral("DH_params_all"), toJson(sequence(28, 1))}})),
        text(kAccepted));
}

void tst_SimulatedController::scriptOverridesBuiltIns()
{
    SimulatedController c;
    c.bringUp();
    const QJsonObject custom{{QStringLiteral("robot_type"), QStringLiteral("X")}};
    c.setAnswer(kGetParams, custom);
    QCOMPARE(text(command(c, kGetParams)), text(custom));
    QCOMPARE(text(command(c, kGetParams)), text(custom));

    QJsonValue seen;
    c.setHandler(kSetDhAll, [&seen](const QJsonValue &payload) {
        seen = payload;
        return QJsonValue(QJsonObject{{QStringLiteral("code"), 7}});
    });
    const QJsonObject payload{{QStringLiteral("DH_params_all"), toJson(sequence(28, 1))}};
    const QVector<double> dh = c.dhParams();
    QCOMPARE(text(command(c, kSetDhAll, payload)), text(QJsonObject{{QStringLiteral("code"), 7}}));
    QCOMPARE(text(seen), text(payload));
    QCOMPARE(text(c.dhParams()), text(dh));

    // A handler may answer commands the controller does not know.
    c.setHandler(QStringLiteral("plugin.echo"), [](const QJsonValue &p) { return p; });
    QCOMPARE(command(c, QStringLiteral("plugin.echo"), 12), QJsonValue(12));

    // An empty handler hands the command back to the built-in.
    c.setHandler(kSetDhAll, SimulatedController::Handler());
    QCOMPARE(text(command(c, kSetDhAll, payload)), text(kAccepted));

    c.resetScript();
    QCOMPARE(command(c, kGetParams).toObject().value(QStringLiteral("robot_type")).toString(),
             QStringLiteral("SR6-900"));
    QCOMPARE(
        command(c, QStringLiteral("plugin.echo"), 12).toObject().value(QStringLiteral("error")),
        QJsonValue(-1));
}

void tst_SimulatedController::pendingAnswersAreDroppedOnLinkLoss()
{
    const QString key = QStringLiteral("io.do");
    SimulatedController c;
    c.bringUp();
    QSignalSpy updates(&c, &mirel::ControllerLink::valueChanged);
    ask(c, Kind::Watch, key, true);
    QTRY_COMPARE(updates.count(), 1);
    QSignalSpy answered(&c, &mirel::ControllerLink::answered);

    c.setLatency(30);
    const quint64 lost = post(c, Kind::Command, kGetParams);
    c.setValue(key, 5);
    c.bringDown();
    c.bringUp();
    // Later answers come after the dropped ones would have.
    bool ok = false;
    ask(c, Kind::Get, key, QJsonValue(), &ok);
    QVERIFY(ok);
    QVERIFY(!answeredIds(answered).contains(lost));
    QCOMPARE(answered.count(), 1);
    QCOMPARE(updates.count(), 1);
    // The message itself had arrived and is on record.
    QCOMPARE(c.callsOf(kGetParams).size(), 1);
}

void tst_SimulatedController::rebootKeepsStateAndReconnects_data()
{
    QTest::addColumn<int>("latency");
    QTest::newRow("no latency") << 0;
    // Slower than the link drop that follows the answer: the answer still gets out first.
    QTest::newRow("latency over the drop delay") << 40;
}

void tst_SimulatedController::rebootKeepsStateAndReconnects()
{
    QFETCH(int, latency);
    const int delay = 60;
    SimulatedController c;
    c.setRebootDelay(delay);
    QCOMPARE(c.rebootDelay(), delay);
    c.bringUp();

    const QJsonObject dh{{QStringLiteral("DH_params_all"), toJson(sequence(28, 3))}};
    const QJsonObject zero{{QStringLiteral("joint_angle_A"), toJson(sequence(6, 0.25))},
                           {QStringLiteral("joint_angle_L"), toJson(sequence(6, 0.5))}};
    QCOMPARE(text(command(c, kSetDhAll, dh)), text(kAccepted));
    QCOMPARE(text(command(c, kSetZero, zero)), text(kAccepted));
    c.setValue(QStringLiteral("io.do"), 11);
    c.setLatency(latency);

    QStringList events;
    QElapsedTimer downAt;
    qint64 downTime = -1;
    connect(&c, &mirel::ControllerLink::answered, this, [&](quint64, const QJsonValue &answer) {
        events << QStringLiteral("answer %1").arg(QString::fromUtf8(text(answer)));
    });
    connect(&c, &mirel::ControllerLink::down, this, [&](bool expected) {
        events << QStringLiteral("down %1").arg(expected);
        downAt.start();
    });
    connect(&c, &mirel::ControllerLink::up, this, [&] {
        events << QStringLiteral("up");
        downTime = downAt.isValid() ? downAt.elapsed() : -1;
    });

    post(c, Kind::Command, kReboot);
    QTRY_COMPARE(events.size(), 3);
    QCOMPARE(events, (QStringList{QStringLiteral("answer [{\"success\":true}]"),
                                  QStringLiteral("down 1"), QStringLiteral("up")}));
    QVERIFY2(downTime >= delay, qPrintable(QString::number(downTime)));
    QVERIFY(c.isUp());
    QCOMPARE(c.rebootCount(), 1);

    QCOMPARE(text(c.dhParams()), text(sequence(28, 3)));
    QCOMPARE(text(c.zeroOffsets()), text(sequence(6, 0.25)));
    QCOMPARE(text(c.productZeroOffsets()), text(sequence(6, 0.5)));
    QCOMPARE(c.value(QStringLiteral("io.do")), QJsonValue(11));
    const QJsonValue link = command(c, kGetDhLink, QString())
                                .toObject()
                                .value(QStringLiteral("data"))
                                .toObject()
                                .value(QStringLiteral("DH_PARAMS_LINK"));
    QCOMPARE(text(link), text(sequence(28, 3)));
}

void tst_SimulatedController::rebootByCallDropsAtOnce()
{
    SimulatedController c;
    c.setRebootDelay(30);
    c.bringUp();
    QSignalSpy down(&c, &mirel::ControllerLink::down);
    QSignalSpy up(&c, &mirel::ControllerLink::up);
    c.reboot();
    QVERIFY(!c.isUp());
    QCOMPARE(down.count(), 1);
    QCOMPARE(down.at(0).at(0).toBool(), true);
    QTRY_COMPARE(up.count(), 1);
    QCOMPARE(c.rebootCount(), 1);
}

QTEST_GUILESS_MAIN(tst_SimulatedController)

#include "tst_simulatedcontroller.moc"
