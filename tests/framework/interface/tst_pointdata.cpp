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

namespace {

const QString kRobPos = QStringLiteral("rl_program.get_rob_pos");
const QString kPathCheck = QStringLiteral("move.path.check");

nabu::ModuleObject *pointList()
{
    return nabu::m(QStringLiteral("rovan.project.point._list"));
}

QJsonArray hotPoints()
{
    return nabu::m(QStringLiteral("rovan.project.point.hot_update.points"))
        ->exportToJson()
        .toArray();
}

QString hotOperate()
{
    return nabu::m(QStringLiteral("rovan.project.point.hot_update.operate"))->getString();
}

// A Cartesian point as the host would hold it after loading a project.
void seedPoint(const QString &name, const QVector<double> &pose)
{
    QJsonObject point = mirel::ProjectData::pointTemplate();
    point.insert(QStringLiteral("name"), name);
    point.insert(QStringLiteral("property"), QStringLiteral("cart"));
    nabu::ModuleObject *node = pointList()->append(nullptr);
    node->importFromJson(nullptr, point, true, false);
    const QStringList keys
        = {"pos.x", "pos.y", "pos.z", "ori.euler.a", "ori.euler.b", "ori.euler.c"};
    for (int i = 0; i < keys.size(); ++i)
        node->r(QStringLiteral("value.[0][0][0].pose.frame.") + keys.at(i))
            ->set(nullptr, pose.at(i));
}

QJsonObject position(const QJsonObject &point)
{
    return point[QStringLiteral("value")][QStringLiteral("[0][0][0]")].toObject();
}

QJsonObject robPosAnswer()
{
    const QJsonObject joint{{"inner_pos", QJsonArray{1, 2, 3, 4, 5, 6, 7}},
                            {"extern_pos", QJsonArray{11, 12, 13, 14, 15, 16}}};
    QJsonObject pose{
        {"frame",
         QJsonObject{
             {"pos", QJsonObject{{"x", 500}, {"y", -20}, {"z", 300}}},
             {"ori",
              QJsonObject{{"euler", QJsonObject{{"a", 10}, {"b", 20}, {"c", 30}}},
                          {"quaternion",
                           QJsonObject{{"q1", 0.5}, {"q2", 0.5}, {"q3", 0.5}, {"q4", 0.5}}}}}}},
        {"elb", 0.25}};
    const QJsonObject cartesian{{"pose", pose},
                                {"conf", QJsonObject{{"cf1", 1}, {"cf6", 2}, {"cfx", 3}}}};
    return QJsonObject{{"joint", joint}, {"cartesian", cartesian}};
}

} // namespace

class tst_PointData : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void addReplacesEveryCaseVariantAndAnnounces();
    void addCopiesTheControllersPosition_data();
    void addCopiesTheControllersPosition();
    void addWithoutUsableAnswerChangesNothing_data();
    void addWithoutUsableAnswerChangesNothing();
    void lookUpsDifferInCaseSensitivity();
    void changeCartPointEditsOnlyThePose();
    void changeCartPointWithShortPoseChangesNothing();
    void pathCheckVerdicts_data();
    void pathCheckVerdicts();
    void pathCheckOfOnePointAsksNobody();

private:
    sim::SimulatedController *sim() const { return m_host->controller(); }
    support::SimHost *m_host = nullptr;
};

void tst_PointData::initTestCase()
{
    tesselInterface();
    m_host = new support::SimHost(this);
}

void tst_PointData::init()
{
    QVERIFY(m_host->start(QStringLiteral("SR6-900")));
    sim()->resetScript();
    sim()->clearCalls();
    sim()->setAnswer(kRobPos, robPosAnswer());
    mirel::ProjectData::clearPoints(nullptr);
}

void tst_PointData::addReplacesEveryCaseVariantAndAnnounces()
{
    seedPoint(QStringLiteral("p1"), {1, 2, 3, 4, 5, 6});
    seedPoint(QStringLiteral("Q"), {1, 2, 3, 4, 5, 6});
    seedPoint(QStringLiteral("P1"), {1, 2, 3, 4, 5, 6});
    QVERIFY(tesselInterface().addCurrentPoint(QStringLiteral("P1"), true, QStringLiteral("tool1"),
                                              QStringLiteral("wobj2")));
    QCOMPARE(tesselInterface().getPointNameList(), (QStringList{"Q", "P1"}));
    const QJsonObject added = tesselInterface().getPointObjDataByName(QStringLiteral("P1"));
    QCOMPARE(added[QStringLiteral("id")].toInt(), 1);
    QCOMPARE(added[QStringLiteral("func")].toString(), QStringLiteral("main"));
    QCOMPARE(added[QStringLiteral("task")].toString(), QStringLiteral("T_ROB1"));
    QVERIFY(added[QStringLiteral("description")].toString().startsWith(
        QStringLiteral("Auto generate at: ")));
    QCOMPARE(hotPoints(), (QJsonArray{1}));
    QCOMPARE(hotOperate(), QStringLiteral("add"));

    const auto calls = sim()->callsOf(kRobPos);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.at(0).payload, QJsonValue(QJsonObject{{"tool", "tool1"}, {"wobj", "wobj2"}}));
}

void tst_PointData::addCopiesTheControllersPosition_data()
{
    QTest::addColumn<bool>("joint");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("expected");
    QTest::newRow("joint inner") << true << "inner_pos"
                                 << QJsonValue(QJsonArray{1, 2, 3, 4, 5, 6, 7});
    QTest::newRow("joint extern") << true << "extern_pos"
                                  << QJsonValue(QJsonArray{11, 12, 13, 14, 15, 16});
    QTest::newRow("joint tool") << true << "coord.tool" << QJsonValue("tool1");
    // A move to a joint point is sent as its pose, so the pose is kept as well.
    QTest::newRow("joint pose") << true << "pose.frame.pos"
                                << QJsonValue(QJsonObject{{"x", 500}, {"y", -20}, {"z", 300}});
    QTest::newRow("cart pos") << false << "pose.frame.pos"
                              << QJsonValue(QJsonObject{{"x", 500}, {"y", -20}, {"z", 300}});
    QTest::newRow("cart euler") << false << "pose.frame.ori.euler"
                                << QJsonValue(QJsonObject{{"a", 10}, {"b", 20}, {"c", 30}});
    QTest::newRow("cart q4") << false << "pose.frame.ori.quaternion.q4" << QJsonValue(0.5);
    QTest::newRow("cart elb") << false << "pose.elb" << QJsonValue(0.25);
    QTest::newRow("cart conf absent reads 0") << false << "conf.cf2" << QJsonValue(0);
    QTest::newRow("cart cfx") << false << "conf.cfx" << QJsonValue(3);
    QTest::newRow("cart external") << false << "external_joint"
                                   << QJsonValue(QJsonArray{11, 12, 13, 14, 15, 16});
    QTest::newRow("cart wobj") << false << "coord.wobj" << QJsonValue("wobj2");
}

void tst_PointData::addCopiesTheControllersPosition()
{
    QFETCH(bool, joint);
    QFETCH(QString, path);
    QFETCH(QJsonValue, expected);
    QVERIFY(tesselInterface().addCurrentPoint(QStringLiteral("T"), joint, QStringLiteral("tool1"),
                                              QStringLiteral("wobj2")));
    const QJsonObject point = tesselInterface().getPointObjDataByName(QStringLiteral("T"));
    QCOMPARE(point[QStringLiteral("property")].toString(),
             joint ? QStringLiteral("joint") : QStringLiteral("cart"));
    QJsonValue value = position(point);
    for (const QString &segment : path.split(QLatin1Char('.')))
        value = value[segment];
    QCOMPARE(value, expected);
}

void tst_PointData::addWithoutUsableAnswerChangesNothing_data()
{
    QTest::addColumn<bool>("joint");
    QTest::addColumn<QJsonValue>("answer");
    QTest::addColumn<bool>("silent");
    const QJsonObject full = robPosAnswer();
    QTest::newRow("no answer") << true << QJsonValue() << true;
    QTest::newRow("refused") << true << QJsonValue(QJsonObject{{"error", -1}}) << false;
    QTest::newRow("joint point, cartesian only")
        << true << QJsonValue(QJsonObject{{"cartesian", full["cartesian"]}}) << false;
    QTest::newRow("joint point, inner_pos not a list")
        << true << QJsonValue(QJsonObject{{"joint", QJsonObject{{"inner_pos", "1,2"}}}}) << false;
    QTest::newRow("cartesian point, joint only")
        << false << QJsonValue(QJsonObject{{"joint", full["joint"]}}) << false;
    QTest::newRow("cartesian point, no orientation")
        << false
        << QJsonValue(QJsonObject{
               {"cartesian",
                QJsonObject{
                    {"pose",
                     QJsonObject{
                         {"frame",
                          QJsonObject{{"pos", QJsonObject{{"x", 1}, {"y", 2}, {"z", 3}}}}}}}}}})
        << false;
}

void tst_PointData::addWithoutUsableAnswerChangesNothing()
{
    QFETCH(bool, joint);
    QFETCH(QJsonValue, answer);
    QFETCH(bool, silent);
    seedPoint(QStringLiteral("P1"), {1, 2, 3, 4, 5, 6});
    const QJsonValue before = pointList()->exportToJson();
    if (silent)
        sim()->setSilent(kRobPos);
    else
        sim()->setAnswer(kRobPos, answer);
    QVERIFY(!tesselInterface().addCurrentPoint(QStringLiteral("p1"), joint,
                                               QStringLiteral("tool0"), QStringLiteral("wobj0")));
    QCOMPARE(pointList()->exportToJson(), before);
    QCOMPARE(hotOperate(), QString());
    QCOMPARE(sim()->callsOf(kRobPos).size(), 1);

    // Link down: nothing is asked either.
    QVERIFY(m_host->stop());
    QVERIFY(!tesselInterface().addCurrentPoint(QStringLiteral("X"), joint, QString(), QString()));
    QCOMPARE(sim()->callsOf(kRobPos).size(), 1);
    QCOMPARE(pointList()->exportToJson(), before);
}

void tst_PointData::lookUpsDifferInCaseSensitivity()
{
    seedPoint(QStringLiteral("P1"), {500, 0, 300, 10, 20, 30});
    QCOMPARE(tesselInterface().getPointDataByName(QStringLiteral("P1")),
             (QVector<double>{500, 0, 300, 10, 20, 30}));
    QVERIFY(tesselInterface().getPointDataByName(QStringLiteral("p1")).isEmpty());
    QVERIFY(tesselInterface().getPointObjDataByName(QStringLiteral("p1")).isEmpty());
    QCOMPARE(tesselInterface().checkPointSame(QStringLiteral("P1"), QStringLiteral("p1")), 0);
    QCOMPARE(tesselInterface().checkPointSame(QStringLiteral("P1"), QStringLiteral("P1")), 1);

    // Editing finds it all the same.
    tesselInterface().changeCartPoint(QStringLiteral("p1"), {1, 2, 3, 4, 5, 6, 99});
    QCOMPARE(tesselInterface().getPointDataByName(QStringLiteral("P1")),
             (QVector<double>{1, 2, 3, 4, 5, 6}));
    tesselInterface().changeCartPoint(QStringLiteral("nobody"), {1, 2, 3, 4, 5, 6});
    QCOMPARE(tesselInterface().getPointNameList(), QStringList{"P1"});
}

void tst_PointData::changeCartPointEditsOnlyThePose()
{
    seedPoint(QStringLiteral("A"), {1, 1, 1, 1, 1, 1});
    seedPoint(QStringLiteral("B"), {2, 2, 2, 2, 2, 2});
    seedPoint(QStringLiteral("C"), {3, 3, 3, 3, 3, 3});
    pointList()
        ->r(QStringLiteral("#1.value.[0][0][0].pose.frame.ori.quaternion.q1"))
        ->set(nullptr, 0.7);
    tesselInterface().changeCartPoint(QStringLiteral("B"), {10, 20, 30, 40, 50, 60});
    QCOMPARE(tesselInterface().getPointDataByName(QStringLiteral("B")),
             (QVector<double>{10, 20, 30, 40, 50, 60}));
    QCOMPARE(tesselInterface().getPointDataByName(QStringLiteral("C")),
             (QVector<double>{3, 3, 3, 3, 3, 3}));
    const QJsonObject b = tesselInterface().getPointObjDataByName(QStringLiteral("B"));
    QCOMPARE(QJsonValue(position(b))["pose"]["frame"]["ori"]["quaternion"]["q1"].toDouble(), 0.7);
    // The edited point's own position, not the last one's.
    QCOMPARE(hotPoints(), (QJsonArray{1}));
    QCOMPARE(hotOperate(), QStringLiteral("edit"));
}

void tst_PointData::changeCartPointWithShortPoseChangesNothing()
{
    seedPoint(QStringLiteral("A"), {1, 1, 1, 1, 1, 1});
    const QJsonValue before = pointList()->exportToJson();
    tesselInterface().changeCartPoint(QStringLiteral("A"), {9, 9, 9, 9, 9});
    tesselInterface().changeCartPoint(QStringLiteral("A"), {});
    QCOMPARE(pointList()->exportToJson(), before);
    QCOMPARE(hotOperate(), QString());
}

void tst_PointData::pathCheckVerdicts_data()
{
    QTest::addColumn<QJsonValue>("answer");
    QTest::addColumn<bool>("linkUp");
    QTest::addColumn<int>("expected");
    QTest::newRow("no error") << QJsonValue(QJsonObject{{"success", true}}) << true << 0;
    QTest::newRow("tolerated -50003") << QJsonValue(QJsonObject{{"error", -50003}}) << true << 0;
    QTest::newRow("refused") << QJsonValue(QJsonObject{{"error", -50001}}) << true << -2;
    QTest::newRow("link down, no answer") << QJsonValue() << false << -2;
}

void tst_PointData::pathCheckVerdicts()
{
    QFETCH(QJsonValue, answer);
    QFETCH(bool, linkUp);
    QFETCH(int, expected);
    sim()->setAnswer(kPathCheck, answer);
    if (!linkUp)
        QVERIFY(m_host->stop());
    QCOMPARE(tesselInterface().checkPointMoveTo(QStringLiteral("A"), QStringLiteral("B")),
             expected);
    const auto calls = sim()->callsOf(kPathCheck);
    QCOMPARE(calls.size(), linkUp ? 1 : 0);
    if (linkUp)
        QCOMPARE(calls.at(0).payload, QJsonValue(QJsonArray{"A", "B"}));
}

void tst_PointData::pathCheckOfOnePointAsksNobody()
{
    QCOMPARE(tesselInterface().checkPointMoveTo(QStringLiteral("A"), QStringLiteral("A")), 1);
    QVERIFY(sim()->callsOf(kPathCheck).isEmpty());
    // Names are compared exactly: "a" to "A" is a move.
    sim()->setAnswer(kPathCheck, QJsonObject{{"error", -1}});
    QCOMPARE(tesselInterface().checkPointMoveTo(QStringLiteral("a"), QStringLiteral("A")), -2);
}

QTEST_MAIN(tst_PointData)
#include "tst_pointdata.moc"
