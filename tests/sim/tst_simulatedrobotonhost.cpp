#include <support/guitestmain.h>
#include <support/simhost.h>

#include <mirel/controllermanager.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <nabusrv/vantor.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/kinematics/dhchain.h>

#include <QJsonObject>
#include <QtTest>

// The simulated robot as the pendant reaches it: requests and commands go through the host's
// controller manager and command service, with payloads built as data-tree nodes.
namespace {

const QString kLastError = QStringLiteral("move.last_error_with_setting");

double at(nabu::ModuleObject *node, const QString &path)
{
    return node->r(path)->getDouble(-1e9);
}

Eigen::Vector3d flangeOf(const sim::SimulatedController *c)
{
    return sim::DhChain(c->dhParams(), c->axisCount()).forward(c->jointPositions()).translation();
}

} // namespace

class tst_SimulatedRobotOnHost : public QObject
{
    Q_OBJECT

private slots:
    void robotPositionReachesTheDataTree();
    void moveAsThePendantSendsIt_data();
    void moveAsThePendantSendsIt();
    void pathCheckOfTwoNamedChildren();
};

void tst_SimulatedRobotOnHost::robotPositionReachesTheDataTree()
{
    support::SimHost host;
    QVERIFY(host.start(QStringLiteral("SR7-800")));
    const QVector<double> joints{5, 10, 15, 20, 25, 30, 35};
    QVERIFY(host.controller()->setJointPositions(joints));
    nabu::ModuleObject *answer = host.manager()->execRequest(
        QStringLiteral("project"), QStringLiteral("rl_program.get_rob_pos"),
        QJsonObject{{QStringLiteral("tool"), QStringLiteral("tool0")},
                    {QStringLiteral("wobj"), QStringLiteral("wobj0")}},
        true, 1600);
    nabu::ModuleObject *joint = answer->c(QStringLiteral("joint"));
    for (int k = 0; k < 7; ++k)
        QCOMPARE(joint->c(QStringLiteral("inner_pos"))->c(k)->getDouble(), joints.at(k));
    QCOMPARE(joint->c(QStringLiteral("extern_pos"))->c(5)->getDouble(-1), 0.0);
    nabu::ModuleObject *cartesian = answer->c(QStringLiteral("cartesian"));
    const Eigen::Vector3d flange = flangeOf(host.controller());
    QCOMPARE(at(cartesian, QStringLiteral("pose.frame.pos.x")), flange.x());
    QCOMPARE(at(cartesian, QStringLiteral("pose.frame.pos.z")), flange.z());
    QVERIFY(at(cartesian, QStringLiteral("pose.frame.ori.quaternion.q1")) > -1e9);
    QVERIFY(at(cartesian, QStringLiteral("conf.cfx")) > -1e9);
}

void tst_SimulatedRobotOnHost::moveAsThePendantSendsIt_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("move");
    QTest::newRow("3.1 line") << "3.1.2" << "move.move_to.l";
    QTest::newRow("4.0 joint") << "4.0" << "move.j";
}

void tst_SimulatedRobotOnHost::moveAsThePendantSendsIt()
{
    QFETCH(QString, version);
    QFETCH(QString, move);
    support::SimHost host;
    host.controller()->setVersion(version);
    host.controller()->setMotionPace(10);
    QVERIFY(host.start(QStringLiteral("SR6-900")));
    sv::Vantor *service = sv::vantor();

    service->execCommand(this, QStringLiteral("move.reset"), QVariant());
    service->watch(this, kLastError, true);
    QTRY_COMPARE(service->watchNode(kLastError)->c(QStringLiteral("state"))->getString(),
                 QStringLiteral("idle"));

    // x 450, y 150, z 300 mm, flange down (c 180 degrees), 100 mm/s, each divided by 1000.
    nabu::ModuleObject request(QStringLiteral("tmp"));
    nabu::ModuleObject *point = request.append(this, QStringLiteral("point"));
    point->append(this, QStringLiteral("rot"))->setList(this, {0.0, 0.0, 0.18});
    point->append(this, QStringLiteral("trans"))->setList(this, {0.45, 0.15, 0.3});
    request.set(this, QStringLiteral("traj.speed"), 0.1);
    QVERIFY(service->command(this, move, &request));
    QVERIFY(service->command(this, QStringLiteral("move.opr.enough"), QVariant()));

    nabu::ModuleObject *last = service->watchNode(kLastError);
    QTRY_COMPARE_WITH_TIMEOUT(last->c(QStringLiteral("state"))->getString(),
                              QStringLiteral("done"), 5000);
    QCOMPARE(last->c(QStringLiteral("error"))->getInt(-1), 0);
    QCOMPARE(last->c(QStringLiteral("command"))->getString(), move);
    QVERIFY((flangeOf(host.controller()) - Eigen::Vector3d(450, 150, 300)).norm() < 0.01);
    service->watch(this, kLastError, false);
}

void tst_SimulatedRobotOnHost::pathCheckOfTwoNamedChildren()
{
    nabu::ModuleObject *list = nabu::m(QStringLiteral("rovan.project.point._list"));
    list->clear(nullptr);
    const QList<QPair<QString, double>> points{{QStringLiteral("P1"), 400},
                                               {QStringLiteral("P2"), 2500}};
    for (const auto &p : points) {
        nabu::ModuleObject *node = list->append(nullptr);
        node->set(nullptr, QStringLiteral("name"), p.first);
        node->set(nullptr, QStringLiteral("property"), QStringLiteral("cart"));
        const QString pose = QStringLiteral("value.[0][0][0].pose.frame.");
        node->set(nullptr, pose + QStringLiteral("pos.x"), p.second);
        node->set(nullptr, pose + QStringLiteral("pos.y"), 0.0);
        node->set(nullptr, pose + QStringLiteral("pos.z"), 400.0);
        node->set(nullptr, pose + QStringLiteral("ori.euler.a"), 0.0);
        node->set(nullptr, pose + QStringLiteral("ori.euler.b"), 0.0);
        node->set(nullptr, pose + QStringLiteral("ori.euler.c"), 180.0);
    }
    support::SimHost host;
    QVERIFY(host.start(QStringLiteral("SR6-900")));
    auto check = [&](const QString &from, const QString &to) {
        nabu::ModuleObject pair;
        pair.append(nullptr, from);
        pair.append(nullptr, to);
        return sv::vantor()->execCommand(this, QStringLiteral("move.path.check"), &pair);
    };
    QVERIFY(!check(QStringLiteral("P1"), QStringLiteral("P1"))->hasCmobj(QStringLiteral("error")));
    nabu::ModuleObject *refused = check(QStringLiteral("P1"), QStringLiteral("P2"));
    QVERIFY(refused->hasCmobj(QStringLiteral("error")));
    QCOMPARE(refused->c(QStringLiteral("error"))->getInt(), -50001);
    list->clear(nullptr);
}

SUPPORT_GUI_TEST_MAIN(tst_SimulatedRobotOnHost)
#include "tst_simulatedrobotonhost.moc"
