#include "simtesthelpers.h"

#include <sim/controller/simulatedcontroller.h>
#include <sim/kinematics/cartesianpose.h>
#include <sim/kinematics/dhchain.h>

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using sim::SimulatedController;
using Kind = mirel::ControllerMessage::Kind;

namespace {

const QString kGetRobPos = QStringLiteral("rl_program.get_rob_pos");
const QString kLastError = QStringLiteral("move.last_error_with_setting");
const QString kPathCheck = QStringLiteral("move.path.check");
const QString kEnough = QStringLiteral("move.opr.enough");
const QString kStop = QStringLiteral("move.stop");
const QString kReset = QStringLiteral("move.reset");
constexpr int kUnreachable = -50001;
constexpr int kLineUnreachable = -50002;
constexpr int kNotPrepared = -50006;

using simtest::command;

int errorOf(const QJsonValue &answer)
{
    return answer.toObject().value(QStringLiteral("error")).toInt(0);
}

QVector<double> numbers(const QJsonValue &array)
{
    QVector<double> out;
    for (const QJsonValue &v : array.toArray())
        out.append(v.toDouble());
    return out;
}

// The pendant's request for a flange pose in mm and degrees at `speed`.
QJsonObject moveRequest(const sim::CartesianPose &pose, double speed)
{
    const Eigen::Vector3d p = pose.positionMm / 1000.0;
    const QJsonObject point{
        {QStringLiteral("trans"), QJsonArray{p.x(), p.y(), p.z()}},
        {QStringLiteral("rot"),
         QJsonArray{pose.aDeg / 1000.0, pose.bDeg / 1000.0, pose.cDeg / 1000.0}}};
    return QJsonObject{{QStringLiteral("point"), point},
                       {QStringLiteral("traj"),
                        QJsonObject{{QStringLiteral("speed"), speed / 1000.0}}}};
}

sim::CartesianPose flangeDown(double x, double y, double z)
{
    sim::CartesianPose pose;
    pose.positionMm = Eigen::Vector3d(x, y, z);
    pose.cDeg = 180;
    return pose;
}

Eigen::Isometry3d flangeOf(const SimulatedController &c)
{
    return sim::DhChain(c.dhParams(), c.axisCount()).forward(c.jointPositions());
}

QString lastState(const SimulatedController &c)
{
    return c.value(kLastError).toObject().value(QStringLiteral("state")).toString();
}

// Puts the robot where its flange is at `pose`, as a teach-in by hand would.
bool placeAt(SimulatedController &c, const sim::CartesianPose &pose)
{
    const sim::RobotModel m = c.model();
    const sim::IkResult ik =
        sim::DhChain(m.dh, m.axes).inverse(pose.toIsometry(), m.homeDeg, m.limits);
    return ik.ok() && c.setJointPositions(ik.jointsDeg);
}

void addPoint(const QString &name, const QVector<double> &values, bool joint)
{
    nabu::ModuleObject *list = nabu::m(QStringLiteral("rovan.project.point._list"));
    nabu::ModuleObject *point = list->append(nullptr);
    point->set(nullptr, QStringLiteral("name"), name);
    point->set(nullptr, QStringLiteral("property"), joint ? "joint" : "cart");
    nabu::ModuleObject *position = point->r(QStringLiteral("value.[0][0][0]"));
    const QStringList cart = {"pose.frame.pos.x",       "pose.frame.pos.y",
                              "pose.frame.pos.z",       "pose.frame.ori.euler.a",
                              "pose.frame.ori.euler.b", "pose.frame.ori.euler.c"};
    for (int i = 0; i < values.size(); ++i) {
        const QString key = joint ? QStringLiteral("inner_pos.#%1").arg(i) : cart.at(i);
        position->set(nullptr, key, values.at(i));
    }
}

} // namespace

class tst_SimulatedRobot : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void robotPositionIsConsistent_data();
    void robotPositionIsConsistent();
    void setJointPositionsKeepsToTheLimits();
    void moveEndsAtItsTarget_data();
    void moveEndsAtItsTarget();
    void otherGenerationsMoveIsUnknown();
    void stopHaltsAMove_data();
    void stopHaltsAMove();
    void unreachableTargetIsAnError();
    void configurationPicksTheSolution();
    void lineThroughUnreachableSpaceIsAnError();
    void pathCheck_data();
    void pathCheck();
};

void tst_SimulatedRobot::init()
{
    nabu::m(QStringLiteral("rovan.project.point._list"))->clear(nullptr);
}

void tst_SimulatedRobot::cleanup()
{
    nabu::m(QStringLiteral("rovan.project.point._list"))->clear(nullptr);
}

void tst_SimulatedRobot::robotPositionIsConsistent_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QVector<double>>("joints");
    QTest::newRow("SR6") << "SR6-900" << QVector<double>{10, -20, 30, -40, 50, -60};
    QTest::newRow("SR7") << "SR7-800" << QVector<double>{10, -20, 30, -40, 50, -60, 70};
}

void tst_SimulatedRobot::robotPositionIsConsistent()
{
    QFETCH(QString, model);
    QFETCH(QVector<double>, joints);
    SimulatedController c;
    QVERIFY(c.setModel(model));
    c.bringUp();
    QVERIFY(c.setJointPositions(joints));
    const QJsonObject answer =
        command(c, kGetRobPos, QJsonObject{{QStringLiteral("tool"), QStringLiteral("tool0")},
                                           {QStringLiteral("wobj"), QStringLiteral("wobj0")}})
            .toObject();
    const QJsonObject joint = answer.value(QStringLiteral("joint")).toObject();
    QVector<double> inner = numbers(joint.value(QStringLiteral("inner_pos")));
    QCOMPARE(inner.size(), 7);
    QCOMPARE(inner.mid(0, joints.size()), joints);
    QCOMPARE(numbers(joint.value(QStringLiteral("extern_pos"))), QVector<double>(6, 0.0));

    const QJsonObject pose = answer.value(QStringLiteral("cartesian")).toObject()
                                 .value(QStringLiteral("pose")).toObject();
    const QJsonObject frame = pose.value(QStringLiteral("frame")).toObject();
    const QJsonObject pos = frame.value(QStringLiteral("pos")).toObject();
    const QJsonObject ori = frame.value(QStringLiteral("ori")).toObject();
    const QJsonObject euler = ori.value(QStringLiteral("euler")).toObject();
    const QJsonObject quat = ori.value(QStringLiteral("quaternion")).toObject();
    sim::CartesianPose reported;
    reported.positionMm = Eigen::Vector3d(pos.value("x").toDouble(), pos.value("y").toDouble(),
                                          pos.value("z").toDouble());
    reported.aDeg = euler.value("a").toDouble();
    reported.bDeg = euler.value("b").toDouble();
    reported.cDeg = euler.value("c").toDouble();
    const Eigen::Quaterniond q(quat.value("q1").toDouble(), quat.value("q2").toDouble(),
                               quat.value("q3").toDouble(), quat.value("q4").toDouble());
    // Joints, Euler pose and quaternion describe the same flange.
    const Eigen::Isometry3d flange = flangeOf(c);
    QVERIFY(reported.toIsometry().isApprox(flange, 1e-9));
    QVERIFY(q.toRotationMatrix().isApprox(flange.linear(), 1e-9));
    QVERIFY(pose.contains(QStringLiteral("elb")));
    const QJsonObject conf = answer.value(QStringLiteral("cartesian")).toObject()
                                 .value(QStringLiteral("conf")).toObject();
    QCOMPARE(conf.value(QStringLiteral("cf2")).toDouble(), -1.0);
    QCOMPARE(conf.value(QStringLiteral("cf3")).toDouble(), 0.0);

    const QVector<QVector3D> links = c.linkPositions();
    QCOMPARE(links.size(), c.axisCount() + 2);
    QCOMPARE(links.constFirst(), QVector3D());
    QVERIFY((links.constLast() - QVector3D(float(flange.translation().x()),
                                          float(flange.translation().y()),
                                          float(flange.translation().z()))).length() < 1e-3f);
}

void tst_SimulatedRobot::setJointPositionsKeepsToTheLimits()
{
    SimulatedController c;
    QSignalSpy changed(&c, &SimulatedController::jointsChanged);
    const QVector<double> home = c.jointPositions();
    QCOMPARE(home, c.model().homeDeg);
    QVector<double> beyond = home;
    beyond[1] = c.model().limits.upperDeg.at(1) + 1;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("outside the joint limits"));
    QVERIFY(!c.setJointPositions(beyond));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("outside the joint limits"));
    QVERIFY(!c.setJointPositions({1, 2, 3}));
    QCOMPARE(c.jointPositions(), home);
    QCOMPARE(changed.count(), 0);
    QVector<double> inside = home;
    inside[0] = 45;
    QVERIFY(c.setJointPositions(inside));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QVector<double>>(), inside);
}

void tst_SimulatedRobot::moveEndsAtItsTarget_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("move");
    QTest::newRow("SR6 3.1 joint") << "SR6-900" << "3.1.2" << "move.move_to.jc";
    QTest::newRow("SR6 3.0 line") << "SR6-900" << "3.0.2" << "move.move_to.l";
    QTest::newRow("SR6 4.0 joint") << "SR6-900" << "4.0" << "move.j";
    QTest::newRow("SR7 2.3 line") << "SR7-800" << "2.3.9" << "move.move_to.l";
    QTest::newRow("SR7 4.1 line") << "SR7-800" << "4.1.0" << "move.l";
}

void tst_SimulatedRobot::moveEndsAtItsTarget()
{
    QFETCH(QString, model);
    QFETCH(QString, version);
    QFETCH(QString, move);
    SimulatedController c;
    QVERIFY(c.setModel(model));
    c.setVersion(version);
    c.setMotionPace(5);
    c.bringUp();
    const sim::CartesianPose start = flangeDown(400, -150, 350);
    const sim::CartesianPose target = flangeDown(450, 150, 300);
    QVERIFY(placeAt(c, start));
    QSignalSpy changed(&c, &SimulatedController::jointsChanged);
    // How far the flange strays from the straight line on its way.
    double offLine = 0;
    const Eigen::Vector3d along = (target.positionMm - start.positionMm).normalized();
    connect(&c, &SimulatedController::jointsChanged, this, [&] {
        const Eigen::Vector3d p = flangeOf(c).translation() - start.positionMm;
        offLine = std::max(offLine, (p - p.dot(along) * along).norm());
    });
    QSignalSpy updates(&c, &mirel::ControllerLink::valueChanged);

    QCOMPARE(errorOf(command(c, kReset)), 0);
    QCOMPARE(lastState(c), QStringLiteral("idle"));
    QCOMPARE(errorOf(command(c, move, moveRequest(target, 50))), 0);
    QCOMPARE(lastState(c), QStringLiteral("ready"));
    QVERIFY(!c.isMoving());
    QCOMPARE(errorOf(command(c, kEnough)), 0);
    QVERIFY(c.isMoving());
    QCOMPARE(lastState(c), QStringLiteral("moving"));
    // Some 300 mm at 50 mm/s or 40 degrees at 50 deg/s, five times as fast: many ticks.
    QTRY_COMPARE_WITH_TIMEOUT(lastState(c), QStringLiteral("done"), 5000);
    QVERIFY(!c.isMoving());
    QVERIFY(changed.count() >= 4);
    if (move.endsWith(QLatin1String(".l")))
        QVERIFY2(offLine < 0.1, qPrintable(QString::number(offLine)));
    else
        QVERIFY2(offLine > 1, qPrintable(QString::number(offLine)));

    const Eigen::Isometry3d flange = flangeOf(c);
    QVERIFY((flange.translation() - target.positionMm).norm() < 0.01);
    QVERIFY(flange.linear().isApprox(target.toIsometry().linear(), 1e-6));
    const QJsonObject last = c.value(kLastError).toObject();
    QCOMPARE(last.value(QStringLiteral("error")).toInt(), 0);
    QCOMPARE(last.value(QStringLiteral("command")).toString(), move);
    QCOMPARE(numbers(last.value(QStringLiteral("joint"))), c.jointPositions());
    QCOMPARE(numbers(last.value(QStringLiteral("target"))), c.jointPositions());
    // Nobody watched the key, so nothing was pushed.
    QCOMPARE(updates.count(), 0);
}

void tst_SimulatedRobot::otherGenerationsMoveIsUnknown()
{
    SimulatedController c;
    c.bringUp();
    const QJsonObject request = moveRequest(flangeDown(450, 0, 300), 250);
    c.setVersion(QStringLiteral("3.1.2"));
    QCOMPARE(errorOf(command(c, QStringLiteral("move.j"), request)), -1);
    QCOMPARE(errorOf(command(c, QStringLiteral("move.l"), request)), -1);
    c.setVersion(QStringLiteral("4.0"));
    QCOMPARE(errorOf(command(c, QStringLiteral("move.move_to.jc"), request)), -1);
    QCOMPARE(lastState(c), QStringLiteral("idle"));
    QCOMPARE(errorOf(command(c, kEnough)), kNotPrepared);
    QVERIFY(!c.isMoving());
}

void tst_SimulatedRobot::stopHaltsAMove_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QJsonValue>("payload");
    QTest::addColumn<bool>("dropLink");
    QTest::newRow("task space") << "3.1.2" << QJsonValue(QJsonObject{{"task_space", 1}}) << false;
    QTest::newRow("plain") << "4.0" << QJsonValue() << false;
    QTest::newRow("link lost") << "4.0" << QJsonValue() << true;
}

void tst_SimulatedRobot::stopHaltsAMove()
{
    QFETCH(QString, version);
    QFETCH(QJsonValue, payload);
    QFETCH(bool, dropLink);
    SimulatedController c;
    c.setVersion(version);
    c.bringUp();
    QVERIFY(placeAt(c, flangeDown(400, -200, 350)));
    const QString line = SimulatedController::usesMoveTo(version) ? "move.move_to.l" : "move.l";
    // 400 mm at 100 mm/s in real time: four seconds, stopped long before.
    QCOMPARE(errorOf(command(c, line, moveRequest(flangeDown(400, 200, 350), 100))), 0);
    QSignalSpy changed(&c, &SimulatedController::jointsChanged);
    QCOMPARE(errorOf(command(c, kEnough)), 0);
    QTRY_VERIFY(changed.count() >= 3);
    if (dropLink) {
        c.bringDown();
        c.bringUp();
    } else {
        QCOMPARE(errorOf(command(c, kStop, payload)), 0);
    }
    QVERIFY(!c.isMoving());
    QCOMPARE(lastState(c), QStringLiteral("stopped"));
    const QVector<double> halted = c.jointPositions();
    const double y = flangeOf(c).translation().y();
    QVERIFY2(y > -200 && y < 100, qPrintable(QString::number(y)));
    QTest::qWait(100);
    QCOMPARE(c.jointPositions(), halted);
    // A stopped move does not resume on the operator's go.
    QCOMPARE(errorOf(command(c, kEnough)), kNotPrepared);
}

void tst_SimulatedRobot::unreachableTargetIsAnError()
{
    SimulatedController c;
    c.bringUp();
    const QVector<double> before = c.jointPositions();
    command(c, kReset);
    const QJsonValue answer =
        command(c, "move.move_to.jc", moveRequest(flangeDown(3000, 0, 300), 250));
    QCOMPARE(errorOf(answer), kUnreachable);
    const QJsonObject last = c.value(kLastError).toObject();
    QCOMPARE(last.value(QStringLiteral("state")).toString(), QStringLiteral("error"));
    QCOMPARE(last.value(QStringLiteral("error")).toInt(), kUnreachable);
    // Nothing to start, and the error stays what the watcher reads.
    QCOMPARE(errorOf(command(c, kEnough)), kNotPrepared);
    QCOMPARE(c.value(kLastError).toObject(), last);
    QCOMPARE(c.jointPositions(), before);

    QJsonObject noTarget = moveRequest(flangeDown(400, 0, 300), 250);
    noTarget.insert(QStringLiteral("point"), QJsonObject());
    QCOMPARE(errorOf(command(c, "move.move_to.l", noTarget)), -50004);
    QJsonObject noSpeed = moveRequest(flangeDown(400, 0, 300), 0);
    QCOMPARE(errorOf(command(c, "move.move_to.l", noSpeed)), -50004);
    QCOMPARE(c.jointPositions(), before);
}

// A flange pose has several solutions: without "conf" the one nearest the current joints is
// taken, with it the one in the quarter turns asked for (here the wrist turned over).
void tst_SimulatedRobot::configurationPicksTheSolution()
{
    SimulatedController c;
    c.setMotionPace(50);
    c.bringUp();
    const QVector<double> home{10, 20, -10, 30, 60, 15};
    QVector<double> flipped = home;
    flipped[3] -= 180;
    flipped[4] = -home.at(4);
    flipped[5] -= 180;
    const sim::DhChain chain(c.dhParams(), c.axisCount());
    QVERIFY(chain.forward(home).isApprox(chain.forward(flipped), 1e-9));
    const auto moveTo = [&c, &chain](const QVector<double> &joints, const QJsonValue &conf) {
        command(c, kReset);
        QJsonObject request = moveRequest(sim::CartesianPose::fromIsometry(chain.forward(joints)),
                                          250);
        if (!conf.isUndefined()) {
            QJsonObject point = request.value(QStringLiteral("point")).toObject();
            point.insert(QStringLiteral("conf"), conf);
            request.insert(QStringLiteral("point"), point);
        }
        int error = errorOf(command(c, "move.move_to.jc", request));
        if (error == 0 && errorOf(command(c, kEnough)) == 0)
            error = QTest::qWaitFor([&c] { return lastState(c) == QLatin1String("done"); }, 5000)
                        ? 0
                        : 1;
        return error;
    };
    const auto confOf = [](const QVector<double> &joints) {
        QJsonObject conf;
        for (int k = 0; k < joints.size(); ++k)
            conf.insert(QStringLiteral("cf%1").arg(k + 1), std::floor(joints.at(k) / 90.0));
        return conf;
    };
    const auto near = [](const QVector<double> &a, const QVector<double> &b) {
        for (int k = 0; k < a.size(); ++k) {
            if (std::abs(std::remainder(a.at(k) - b.at(k), 360.0)) > 1e-3)
                return false;
        }
        return true;
    };
    QCOMPARE(moveTo(home, QJsonValue()), 0);
    QVERIFY(near(c.jointPositions(), home));
    // The same pose again: no configuration keeps the wrist as it is, a list is no configuration.
    QCOMPARE(moveTo(flipped, QJsonValue()), 0);
    QVERIFY(near(c.jointPositions(), home));
    QCOMPARE(moveTo(flipped, QJsonArray{0, 0, 0, -2, -1, -1, 0, 0}), 0);
    QVERIFY(near(c.jointPositions(), home));
    QCOMPARE(moveTo(flipped, confOf(flipped)), 0);
    QVERIFY2(near(c.jointPositions(), flipped), qPrintable(QStringLiteral("%1 %2 %3")
                                                               .arg(c.jointPositions().at(3))
                                                               .arg(c.jointPositions().at(4))
                                                               .arg(c.jointPositions().at(5))));
    QCOMPARE(moveTo(home, confOf(home)), 0);
    QVERIFY(near(c.jointPositions(), home));
    // A configuration that is no whole quarter turn, or that no solution lies in, moves nothing.
    QJsonObject half = confOf(home);
    half.insert(QStringLiteral("cf2"), 0.5);
    QCOMPARE(moveTo(flipped, half), -50004);
    QJsonObject elbowDown = confOf(home);
    elbowDown.insert(QStringLiteral("cf3"), 2);
    QCOMPARE(moveTo(flipped, elbowDown), kUnreachable);
    QVERIFY(near(c.jointPositions(), home));
}

// Behind the robot the first joint would have to pass its limit: both ends are reachable, the
// straight line between them is not, while a joint move takes the way round.
void tst_SimulatedRobot::lineThroughUnreachableSpaceIsAnError()
{
    SimulatedController c;
    c.setMotionPace(50);
    c.bringUp();
    QVERIFY(placeAt(c, flangeDown(-300, 300, 600)));
    const QVector<double> before = c.jointPositions();
    const QJsonObject request = moveRequest(flangeDown(-300, -300, 600), 250);
    QCOMPARE(errorOf(command(c, "move.move_to.l", request)), kLineUnreachable);
    QCOMPARE(c.value(kLastError).toObject().value(QStringLiteral("error")).toInt(),
             kLineUnreachable);
    QCOMPARE(c.jointPositions(), before);

    QCOMPARE(errorOf(command(c, "move.move_to.jc", request)), 0);
    QCOMPARE(errorOf(command(c, kEnough)), 0);
    QTRY_COMPARE_WITH_TIMEOUT(lastState(c), QStringLiteral("done"), 5000);
    QVERIFY((flangeOf(c).translation() - Eigen::Vector3d(-300, -300, 600)).norm() < 0.01);
}

void tst_SimulatedRobot::pathCheck_data()
{
    QTest::addColumn<QJsonValue>("payload");
    QTest::addColumn<int>("error");
    const QJsonValue none;
    QTest::newRow("to a joint point") << QJsonValue(QJsonArray{"near", "joints"}) << 0;
    QTest::newRow("keys of a node")
        << QJsonValue(QJsonObject{{"near", none}, {"other", none}}) << 0;
    QTest::newRow("values of a node")
        << QJsonValue(QJsonObject{{"#0", "near"}, {"#1", "other"}}) << 0;
    QTest::newRow("to out of reach") << QJsonValue(QJsonArray{"near", "far"}) << kUnreachable;
    QTest::newRow("from out of reach") << QJsonValue(QJsonArray{"far", "near"}) << kUnreachable;
    QTest::newRow("joint point beyond its travel")
        << QJsonValue(QJsonArray{"near", "bent"}) << kUnreachable;
    QTest::newRow("line behind the robot")
        << QJsonValue(QJsonArray{"left", "right"}) << kLineUnreachable;
    QTest::newRow("names are exact") << QJsonValue(QJsonArray{"NEAR", "other"}) << -50005;
    QTest::newRow("three names")
        << QJsonValue(QJsonArray{"near", "other", "joints"}) << -50004;
}

void tst_SimulatedRobot::pathCheck()
{
    QFETCH(QJsonValue, payload);
    QFETCH(int, error);
    addPoint(QStringLiteral("near"), {400, 0, 400, 0, 0, 180}, false);
    addPoint(QStringLiteral("other"), {450, 200, 300, 0, 0, 180}, false);
    addPoint(QStringLiteral("far"), {3000, 0, 400, 0, 0, 180}, false);
    addPoint(QStringLiteral("left"), {-300, 300, 600, 0, 0, 180}, false);
    addPoint(QStringLiteral("right"), {-300, -300, 600, 0, 0, 180}, false);
    addPoint(QStringLiteral("joints"), {10, 20, 10, 0, 60, 0}, true);
    addPoint(QStringLiteral("bent"), {10, 170, 10, 0, 60, 0}, true);
    SimulatedController c;
    c.bringUp();
    const QVector<double> before = c.jointPositions();
    const QJsonValue answer = command(c, kPathCheck, payload);
    QCOMPARE(errorOf(answer), error);
    QCOMPARE(answer.toObject().contains(QStringLiteral("error")), error != 0);
    // A check never moves the robot.
    QCOMPARE(c.jointPositions(), before);
}

QTEST_MAIN(tst_SimulatedRobot)
#include "tst_simulatedrobot.moc"
