#include "motionservice.h"

#include "compliancebook.h"
#include "motionplanner.h"
#include "moveerror.h"
#include "robotmotion.h"
#include "teachpointbook.h"

#include <sim/kinematics/cartesianpose.h>

#include <QJsonArray>

#include <cmath>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The pendant sends lengths, angles and speeds divided by this; see README.md.
constexpr double kUnitScale = 1000.0;
constexpr int kInnerSlots = 7;
constexpr int kExternSlots = 6;
constexpr int kConfSlots = 7;

const QString kGetRobPos = QStringLiteral("rl_program.get_rob_pos");
const QString kMoveReset = QStringLiteral("move.reset");
const QString kMoveToJoint = QStringLiteral("move.move_to.jc");
const QString kMoveToLine = QStringLiteral("move.move_to.l");
const QString kMoveJoint = QStringLiteral("move.j");
const QString kMoveLine = QStringLiteral("move.l");
const QString kMoveOprEnough = QStringLiteral("move.opr.enough");
const QString kMoveStop = QStringLiteral("move.stop");
const QString kMovePathCheck = QStringLiteral("move.path.check");

QJsonArray toArray(const QVector<double> &numbers)
{
    QJsonArray array;
    for (double n : numbers)
        array.append(n);
    return array;
}

QJsonArray padded(const QVector<double> &numbers, int count)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i)
        array.append(i < numbers.size() ? numbers.at(i) : 0.0);
    return array;
}

bool readTriple(const QJsonValue &value, Eigen::Vector3d *out)
{
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.size() != 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        if (!array.at(i).isDouble() || !std::isfinite(array.at(i).toDouble()))
            return false;
        (*out)(i) = array.at(i).toDouble();
    }
    return true;
}

// "traj": {"speed": v} as a data tree exports it, or a flat "traj.speed".
bool readSpeed(const QJsonObject &payload, double *out)
{
    const QJsonObject traj = payload.value(QStringLiteral("traj")).toObject();
    QJsonValue speed = traj.value(QStringLiteral("speed"));
    if (!speed.isDouble())
        speed = payload.value(QStringLiteral("traj.speed"));
    if (!speed.isDouble())
        return false;
    *out = speed.toDouble() * kUnitScale;
    return std::isfinite(*out) && *out > 0;
}

QJsonObject answerOk()
{
    return QJsonObject{{QStringLiteral("success"), true}};
}

QJsonObject answerError(int error, const QString &message)
{
    return QJsonObject{{QStringLiteral("error"), error}, {QStringLiteral("msg"), message}};
}

// The two point names of a path check: an array of names, or a node whose children carry
// the names as values or as keys.
QStringList pointNames(const QJsonValue &payload)
{
    QStringList names;
    if (payload.isArray()) {
        const QJsonArray list = payload.toArray();
        for (const QJsonValue &v : list)
            names.append(v.toString());
        return names;
    }
    const QJsonObject object = payload.toObject();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        names.append(it.value().isString() ? it.value().toString() : it.key());
    return names;
}

// Swivel of the elbow of a 7-axis arm about the shoulder-wrist line, in degrees, 0 when the
// elbow lies in the vertical plane through that line.
double elbowAngle(const QVector<Eigen::Isometry3d> &frames, int axes)
{
    if (axes != 7 || frames.size() < 7)
        return 0.0;
    const Eigen::Vector3d shoulder = frames.at(1).translation();
    const Eigen::Vector3d elbow = frames.at(4).translation();
    const Eigen::Vector3d wrist = frames.at(6).translation();
    const Eigen::Vector3d line = (wrist - shoulder).normalized();
    Eigen::Vector3d reference = line.cross(Eigen::Vector3d::UnitZ());
    if (reference.norm() < 1e-9)
        reference = line.cross(Eigen::Vector3d::UnitX());
    const Eigen::Vector3d arm = line.cross(elbow - shoulder);
    if (arm.norm() < 1e-9)
        return 0.0;
    return std::atan2(reference.cross(arm).dot(line), reference.dot(arm)) * 180.0 / kPi;
}

} // namespace

MotionService::MotionService(QObject *parent)
    : QObject(parent)
    , m_motion(new RobotMotion(this))
{
    connect(m_motion, &RobotMotion::finished, this, &MotionService::onFinished);
    report(QStringLiteral("idle"), MoveError::None, QString());
}

MotionService::~MotionService() = default;

void MotionService::setRobot(const QVector<double> &dh, int axes, const JointLimits &limits,
                             const QVector<double> &homeDeg)
{
    const bool sameRobot = m_chain.axisCount() == axes && m_limits.size() == axes;
    m_chain = DhChain(dh, axes);
    m_limits = limits;
    // A move planned with the old set would end somewhere else now.
    m_prepared = MotionPlan();
    if (!sameRobot || m_motion->joints().size() != axes)
        m_motion->setJoints(homeDeg);
}

const DhChain &MotionService::chain() const
{
    return m_chain;
}

void MotionService::setCompliance(const ComplianceBook *compliance)
{
    m_compliance = compliance;
    m_prepared = MotionPlan();
}

RobotMotion *MotionService::motion() const
{
    return m_motion;
}

QVector<double> MotionService::joints() const
{
    return m_motion->joints();
}

bool MotionService::setJoints(const QVector<double> &jointsDeg)
{
    if (!m_limits.contains(jointsDeg))
        return false;
    const bool wasMoving = m_motion->isMoving();
    m_prepared = MotionPlan();
    m_motion->setJoints(jointsDeg);
    if (wasMoving)
        report(QStringLiteral("stopped"), MoveError::None, QStringLiteral("stopped"));
    return true;
}

QVector<QVector3D> MotionService::linkPositions() const
{
    QVector<QVector3D> points;
    for (const Eigen::Isometry3d &frame : m_chain.frames(m_motion->joints())) {
        const Eigen::Vector3d p = frame.translation();
        points.append(QVector3D(float(p.x()), float(p.y()), float(p.z())));
    }
    return points;
}

bool MotionService::handles(const QString &command, bool moveTo)
{
    return command == kGetRobPos || command == kMoveReset || command == kMoveOprEnough
           || command == kMoveStop || command == kMovePathCheck
           || command == (moveTo ? kMoveToJoint : kMoveJoint)
           || command == (moveTo ? kMoveToLine : kMoveLine);
}

bool MotionService::isReading(const QString &command)
{
    return command == kGetRobPos || command == kMovePathCheck;
}

QJsonObject MotionService::runCommand(const QString &command, const QJsonValue &payload,
                                      bool moveTo)
{
    if (command == kGetRobPos)
        return robotPosition(payload.toObject());
    if (command == kMoveReset)
        return reset();
    if (command == (moveTo ? kMoveToJoint : kMoveJoint))
        return prepareMove(command, false, payload);
    if (command == (moveTo ? kMoveToLine : kMoveLine))
        return prepareMove(command, true, payload);
    if (command == kMoveOprEnough)
        return operatorEnough();
    if (command == kMoveStop)
        return stop();
    return checkPath(payload);
}

// Tools and work objects are all the identity for now: the flange in the base frame.
QJsonObject MotionService::robotPosition(const QJsonObject &args) const
{
    Q_UNUSED(args)
    const QVector<double> q = m_motion->joints();
    const QVector<Eigen::Isometry3d> frames = m_chain.frames(q);
    const CartesianPose pose =
        CartesianPose::fromIsometry(frames.isEmpty() ? Eigen::Isometry3d::Identity()
                                                     : frames.constLast());
    const Eigen::Quaterniond quaternion = pose.quaternion();

    const QJsonObject joint{{QStringLiteral("inner_pos"), padded(q, kInnerSlots)},
                            {QStringLiteral("extern_pos"), padded({}, kExternSlots)}};
    // Each joint's quarter turn, as controllers tell one solution from another.
    QJsonObject conf;
    for (int k = 0; k < kConfSlots; ++k)
        conf.insert(QStringLiteral("cf%1").arg(k + 1),
                    k < q.size() ? std::floor(q.at(k) / 90.0) : 0.0);
    conf.insert(QStringLiteral("cfx"), 0.0);
    const QJsonObject position{{QStringLiteral("x"), pose.positionMm.x()},
                               {QStringLiteral("y"), pose.positionMm.y()},
                               {QStringLiteral("z"), pose.positionMm.z()}};
    const QJsonObject euler{{QStringLiteral("a"), pose.aDeg},
                            {QStringLiteral("b"), pose.bDeg},
                            {QStringLiteral("c"), pose.cDeg}};
    const QJsonObject quat{{QStringLiteral("q1"), quaternion.w()},
                           {QStringLiteral("q2"), quaternion.x()},
                           {QStringLiteral("q3"), quaternion.y()},
                           {QStringLiteral("q4"), quaternion.z()}};
    const QJsonObject frame{
        {QStringLiteral("pos"), position},
        {QStringLiteral("ori"),
         QJsonObject{{QStringLiteral("euler"), euler}, {QStringLiteral("quaternion"), quat}}}};
    const QJsonObject cartesian{
        {QStringLiteral("pose"),
         QJsonObject{{QStringLiteral("frame"), frame},
                     {QStringLiteral("elb"), elbowAngle(frames, m_chain.axisCount())}}},
        {QStringLiteral("conf"), conf}};
    return QJsonObject{{QStringLiteral("joint"), joint}, {QStringLiteral("cartesian"), cartesian}};
}

QJsonObject MotionService::reset()
{
    m_motion->stop();
    m_prepared = MotionPlan();
    m_target.clear();
    m_command.clear();
    report(QStringLiteral("idle"), MoveError::None, QString());
    return answerOk();
}

QJsonObject MotionService::prepareMove(const QString &command, bool linear,
                                       const QJsonValue &payload)
{
    if (m_motion->isMoving())
        return answerError(MoveError::Busy, QStringLiteral("the robot is moving"));
    m_command = command;
    m_prepared = MotionPlan();
    m_target.clear();
    const QJsonObject request = payload.toObject();
    const QJsonObject point = request.value(QStringLiteral("point")).toObject();
    const bool hasTrans = point.contains(QStringLiteral("trans"));
    const bool hasRot = point.contains(QStringLiteral("rot"));
    Eigen::Vector3d trans;
    Eigen::Vector3d rot;
    if ((hasTrans && !readTriple(point.value(QStringLiteral("trans")), &trans))
        || (hasRot && !readTriple(point.value(QStringLiteral("rot")), &rot)))
        return refuse(MoveError::BadRequest,
                      QStringLiteral("\"trans\" and \"rot\" take 3 numbers"));
    if (!hasTrans && !hasRot)
        return refuse(MoveError::BadRequest, QStringLiteral("the request has no target"));
    double speed = 0;
    if (!readSpeed(request, &speed))
        return refuse(MoveError::BadRequest, QStringLiteral("\"traj.speed\" must be positive"));
    // A joint move may name the configuration: each joint's quarter turn, "cf1" .. "cfn".
    QVector<int> configuration;
    const QJsonObject conf = point.value(QStringLiteral("conf")).toObject();
    for (int k = 0; !linear && !conf.isEmpty() && k < m_chain.axisCount(); ++k) {
        const QJsonValue cf = conf.value(QStringLiteral("cf%1").arg(k + 1));
        if (!cf.isDouble() || cf.toDouble() != std::floor(cf.toDouble())
            || std::abs(cf.toDouble()) > 8)
            return refuse(MoveError::BadRequest,
                          QStringLiteral("\"conf\" needs a whole \"cf%1\"").arg(k + 1));
        configuration.append(int(cf.toDouble()));
    }

    // What the request leaves out stays as it is now.
    const QVector<double> from =
        m_compliance ? m_compliance->armFor(m_chain, m_motion->joints()) : m_motion->joints();
    CartesianPose goal = CartesianPose::fromIsometry(m_chain.forward(from));
    if (hasTrans)
        goal.positionMm = trans * kUnitScale;
    if (hasRot) {
        goal.aDeg = rot.x() * kUnitScale;
        goal.bDeg = rot.y() * kUnitScale;
        goal.cDeg = rot.z() * kUnitScale;
    }

    MotionPlanner planner(m_chain, m_limits);
    MotionPlan plan;
    QString why;
    int error = MoveError::None;
    if (linear) {
        error = planner.planLinear(from, goal.toIsometry(), speed, &plan, &why);
    } else {
        QVector<double> target;
        error = configuration.isEmpty()
                    ? planner.solve(goal.toIsometry(), from, &target, &why)
                    : planner.solveInConfiguration(goal.toIsometry(), from, configuration,
                                                   &target, &why);
        if (error == MoveError::None)
            error = planner.planJoint(from, target, speed, &plan, &why);
    }
    if (error != MoveError::None)
        return refuse(error, why);
    if (m_compliance) {
        m_compliance->compensate(m_chain, &plan);
        // The turn that takes off the deflection comes after the planner's checks: near a
        // limit, or under a heavy payload, it would drive a joint past its travel.
        for (const QVector<double> &sample : qAsConst(plan.jointsDeg)) {
            if (!m_limits.contains(sample))
                return refuse(MoveError::TargetUnreachable,
                              QStringLiteral("the move leaves the joints' travel once the "
                                             "arm's deflection is taken off"));
        }
    }
    m_prepared = plan;
    m_target = plan.target();
    report(QStringLiteral("ready"), MoveError::None, QString());
    return answerOk();
}

QJsonObject MotionService::operatorEnough()
{
    if (m_prepared.isEmpty())
        return answerError(MoveError::NotPrepared, QStringLiteral("no move is waiting"));
    m_motion->start(m_prepared);
    m_prepared = MotionPlan();
    report(QStringLiteral("moving"), MoveError::None, QString());
    return answerOk();
}

QJsonObject MotionService::stop()
{
    const bool wasMoving = m_motion->stop();
    const bool wasWaiting = !m_prepared.isEmpty();
    m_prepared = MotionPlan();
    if (wasMoving || wasWaiting)
        report(QStringLiteral("stopped"), MoveError::None, QStringLiteral("stopped"));
    return answerOk();
}

QJsonObject MotionService::checkPath(const QJsonValue &payload) const
{
    QStringList names = pointNames(payload);
    if (names.size() == 1)
        names.append(names.constFirst());
    if (names.size() != 2)
        return answerError(MoveError::BadRequest, QStringLiteral("a path check takes two points"));

    const int axes = m_chain.axisCount();
    TeachPointTarget ends[2];
    for (int i = 0; i < 2; ++i) {
        if (!TeachPointBook::find(names.at(i), axes, &ends[i],
                                  m_pointsSent ? &m_points : nullptr))
            return answerError(MoveError::UnknownPoint,
                               QStringLiteral("no point \"%1\"").arg(names.at(i)));
        if (ends[i].isJoint && !m_limits.contains(ends[i].jointsDeg))
            return answerError(MoveError::TargetUnreachable,
                               QStringLiteral("point \"%1\" is outside the joint travel")
                                   .arg(names.at(i)));
    }
    MotionPlanner planner(m_chain, m_limits);
    QString why;
    QVector<double> start = ends[0].jointsDeg;
    if (!ends[0].isJoint) {
        const int error =
            planner.solve(ends[0].pose.toIsometry(), m_motion->joints(), &start, &why);
        if (error != MoveError::None)
            return answerError(error, QStringLiteral("point \"%1\": %2").arg(names.at(0), why));
    }
    const Eigen::Isometry3d goal = ends[1].isJoint ? m_chain.forward(ends[1].jointsDeg)
                                                   : ends[1].pose.toIsometry();
    MotionPlan plan;
    // The speed does not matter to whether the line can be followed.
    const int error = planner.planLinear(start, goal, 1.0, &plan, &why);
    if (error != MoveError::None)
        return answerError(error, why);
    return answerOk();
}

void MotionService::setPoints(const QJsonArray &points)
{
    m_points = points;
    m_pointsSent = true;
}

void MotionService::forgetPoints()
{
    m_points = QJsonArray();
    m_pointsSent = false;
}

QJsonObject MotionService::lastError() const
{
    return m_lastError;
}

void MotionService::report(const QString &state, int error, const QString &message)
{
    QJsonObject value{{QStringLiteral("error"), error},
                      {QStringLiteral("msg"), message},
                      {QStringLiteral("state"), state},
                      {QStringLiteral("command"), m_command},
                      {QStringLiteral("joint"), toArray(m_motion->joints())}};
    if (!m_target.isEmpty())
        value.insert(QStringLiteral("target"), toArray(m_target));
    m_lastError = value;
    emit lastErrorChanged();
}

QJsonObject MotionService::refuse(int error, const QString &message)
{
    report(QStringLiteral("error"), error, message);
    return answerError(error, message);
}

void MotionService::onFinished()
{
    report(QStringLiteral("done"), MoveError::None, QStringLiteral("target reached"));
}

} // namespace sim
