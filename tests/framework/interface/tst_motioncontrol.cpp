#include "interface/interfacemanager.h"

#include <support/simhost.h>

#include <mirel/projectdata.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <sim/controller/simulatedcontroller.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

using tessel::tesselInterface;
using Kind = mirel::ControllerMessage::Kind;

namespace {

const QString kLastError = QStringLiteral("move.last_error_with_setting");

nabu::ModuleObject *seedPoint(const QString &name, double x, double y, double z)
{
    QJsonObject point = mirel::ProjectData::pointTemplate();
    point.insert(QStringLiteral("name"), name);
    nabu::ModuleObject *node
        = nabu::m(QStringLiteral("rovan.project.point._list"))->append(nullptr);
    node->importFromJson(nullptr, point, true, false);
    nabu::ModuleObject *frame = node->r(QStringLiteral("value.[0][0][0].pose.frame"));
    frame->r(QStringLiteral("pos.x"))->set(nullptr, x);
    frame->r(QStringLiteral("pos.y"))->set(nullptr, y);
    frame->r(QStringLiteral("pos.z"))->set(nullptr, z);
    frame->r(QStringLiteral("ori.euler.a"))->set(nullptr, 180.0);
    frame->r(QStringLiteral("ori.euler.b"))->set(nullptr, -90.0);
    frame->r(QStringLiteral("ori.euler.c"))->set(nullptr, 45.0);
    nabu::ModuleObject *conf = node->r(QStringLiteral("value.[0][0][0].conf"));
    for (int i = 0; i < conf->cmobjCount(); ++i)
        conf->c(i)->set(nullptr, double(i + 1));
    return node;
}

QStringList names(const QList<sim::SimulatedController::Call> &calls)
{
    QStringList result;
    for (const auto &call : calls)
        result.append(call.name);
    return result;
}

} // namespace

class tst_MotionControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void commandFollowsTheControllerVersion_data();
    void commandFollowsTheControllerVersion();
    void requestCarriesThePointInControllerUnits();
    void configurationOnlyWhenAsked();
    void pointWithoutOrientationHasNoRot();
    void unknownPointSendsNothing();
    void pointGoneDuringTheResetFails();
    void stopFollowsTheControllerVersion_data();
    void stopFollowsTheControllerVersion();

private:
    bool startWithVersion(const QString &version);
    sim::SimulatedController *sim() const { return m_host->controller(); }
    support::SimHost *m_host = nullptr;
};

void tst_MotionControl::initTestCase()
{
    tesselInterface();
    m_host = new support::SimHost(this);
}

void tst_MotionControl::init()
{
    QVERIFY(startWithVersion(QStringLiteral("3.1.2")));
    mirel::ProjectData::clearPoints(nullptr);
    seedPoint(QStringLiteral("P1"), 500, 0, 300);
}

bool tst_MotionControl::startWithVersion(const QString &version)
{
    sim()->setVersion(version);
    const bool up = m_host->start(QStringLiteral("SR6-900"));
    sim()->resetScript();
    sim()->clearCalls();
    return up;
}

void tst_MotionControl::commandFollowsTheControllerVersion_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("joint");
    QTest::addColumn<QString>("command");
    QTest::newRow("3.0.2 joint") << "3.0.2" << true << "move.move_to.jc";
    QTest::newRow("3.0.2 linear") << "3.0.2" << false << "move.move_to.l";
    QTest::newRow("2.3 joint") << "2.3" << true << "move.move_to.jc";
    QTest::newRow("3.1.9 joint") << "3.1.9" << true << "move.move_to.jc";
    QTest::newRow("4.0 joint") << "4.0" << true << "move.j";
    QTest::newRow("4.0 linear") << "4.0" << false << "move.l";
    QTest::newRow("3.2.0 joint") << "3.2.0" << true << "move.j";
    QTest::newRow("13.0 joint") << "13.0" << true << "move.j";
}

void tst_MotionControl::commandFollowsTheControllerVersion()
{
    QFETCH(QString, version);
    QFETCH(bool, joint);
    QFETCH(QString, command);
    QVERIFY(startWithVersion(version));
    int result = 7;
    tesselInterface().moveToStart(result, QStringLiteral("P1"), 250, joint);
    QCOMPARE(result, 7);
    QTRY_COMPARE(names(sim()->calls()),
                 (QStringList{"move.reset", kLastError, command, "move.opr.enough"}));
    const auto calls = sim()->calls();
    QCOMPARE(calls.at(0).kind, Kind::Command);
    QCOMPARE(calls.at(1).kind, Kind::Watch);
    QCOMPARE(calls.at(1).payload, QJsonValue(true));
    QCOMPARE(calls.at(2).kind, Kind::Command);
    QVERIFY(calls.at(3).payload.isNull());
}

void tst_MotionControl::requestCarriesThePointInControllerUnits()
{
    int result = 0;
    tesselInterface().moveToStart(result, QStringLiteral("P1"), 250, false);
    QTRY_COMPARE(sim()->callsOf(QStringLiteral("move.move_to.l")).size(), 1);
    const QJsonObject request
        = sim()->callsOf(QStringLiteral("move.move_to.l")).at(0).payload.toObject();
    QCOMPARE(request["point"]["trans"], QJsonValue(QJsonArray{0.5, 0.0, 0.3}));
    QCOMPARE(request["point"]["rot"], QJsonValue(QJsonArray{0.18, -0.09, 0.045}));
    QCOMPARE(request["traj"]["speed"], QJsonValue(0.25));
    QVERIFY(!request["point"].toObject().contains(QStringLiteral("conf")));
}

void tst_MotionControl::configurationOnlyWhenAsked()
{
    int result = 0;
    tesselInterface().moveToStart(result, QStringLiteral("P1"), 1000, true, true);
    QTRY_COMPARE(sim()->callsOf(QStringLiteral("move.move_to.jc")).size(), 1);
    const QJsonObject request
        = sim()->callsOf(QStringLiteral("move.move_to.jc")).at(0).payload.toObject();
    QCOMPARE(request["point"]["conf"], QJsonValue(QJsonArray{1, 2, 3, 4, 5, 6, 7, 8}));
    QCOMPARE(request["traj"]["speed"], QJsonValue(1.0));
}

void tst_MotionControl::pointWithoutOrientationHasNoRot()
{
    nabu::ModuleObject *point = seedPoint(QStringLiteral("NoOri"), 100, 200, 300);
    nabu::ModuleObject *frame = point->r(QStringLiteral("value.[0][0][0].pose.frame"));
    frame->remove(nullptr, QStringLiteral("ori"));
    int result = 0;
    tesselInterface().moveToStart(result, QStringLiteral("NoOri"), 100, false);
    QTRY_COMPARE(sim()->callsOf(QStringLiteral("move.move_to.l")).size(), 1);
    const QJsonObject request
        = sim()->callsOf(QStringLiteral("move.move_to.l")).at(0).payload.toObject();
    QCOMPARE(request["point"].toObject().keys(), QStringList{"trans"});
    QCOMPARE(request["point"]["trans"], QJsonValue(QJsonArray{0.1, 0.2, 0.3}));
}

void tst_MotionControl::unknownPointSendsNothing()
{
    int result = 0;
    // Look-ups are exact: "p1" is not "P1".
    tesselInterface().moveToStart(result, QStringLiteral("p1"), 250, true, true);
    QCOMPARE(result, -1);
    result = 0;
    tesselInterface().moveToStart(result, QStringLiteral("missing"), 250, false);
    QCOMPARE(result, -1);
    QTest::qWait(20);
    QVERIFY(sim()->calls().isEmpty());
}

// Recording the point again, for one, deletes it while the reset is under way.
void tst_MotionControl::pointGoneDuringTheResetFails()
{
    QObject context;
    connect(sim(), &sim::SimulatedController::received, &context, [](const QString &name) {
        if (name == QLatin1String("move.reset"))
            mirel::ProjectData::clearPoints(nullptr);
    });
    int result = 0;
    tesselInterface().moveToStart(result, QStringLiteral("P1"), 250, true, true);
    QCOMPARE(result, -1);
    QCOMPARE(names(sim()->calls()), QStringList{"move.reset"});
}

void tst_MotionControl::stopFollowsTheControllerVersion_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QJsonValue>("payload");
    QTest::newRow("3.0.2") << "3.0.2" << QJsonValue(QJsonObject{{"task_space", 1}});
    QTest::newRow("4.0") << "4.0" << QJsonValue();
}

void tst_MotionControl::stopFollowsTheControllerVersion()
{
    QFETCH(QString, version);
    QFETCH(QJsonValue, payload);
    QVERIFY(startWithVersion(version));
    tesselInterface().moveToStop();
    QTRY_COMPARE(names(sim()->calls()), (QStringList{kLastError, "move.stop"}));
    QCOMPARE(sim()->calls().at(0).payload, QJsonValue(false));
    QCOMPARE(sim()->calls().at(1).payload, payload);
}

QTEST_MAIN(tst_MotionControl)
#include "tst_motioncontrol.moc"
