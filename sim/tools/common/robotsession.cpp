#include "robotsession.h"

#include "toolmain.h"

#include <sim/server/controllerclient.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>

#include <cmath>

namespace sim {

namespace {

// Lengths, angles and speeds go to the controller divided by this (its motion units).
constexpr double kUnitScale = 1000.0;
constexpr int kAnswerTimeoutMs = 10000;
constexpr int kPollMs = 5;
// A move of the slowest pace the programs expect; a robot still moving then is stuck.
constexpr int kMoveTimeoutMs = 120000;
constexpr int kUnknownCommand = -1;
constexpr int kRobotBusy = -50007;
constexpr int kUnreachable = -50001;
constexpr int kBeamNotSeen = -50008;

const QString kJointMoveNew = QStringLiteral("move.move_to.jc");
const QString kJointMoveOld = QStringLiteral("move.j");
const QString kLastMove = QStringLiteral("move.last_error_with_setting");

// An answer that is an error carries a non-zero "error" code and a "msg".
bool isError(const QJsonValue &answer, int *code, QString *message)
{
    const QJsonObject object = answer.toObject();
    const int error = object.value(QStringLiteral("error")).toInt(0);
    const bool refused = error != 0
                         || (object.contains(QStringLiteral("success"))
                             && !object.value(QStringLiteral("success")).toBool());
    if (code)
        *code = error;
    if (message)
        *message = object.value(QStringLiteral("msg")).toString();
    return refused;
}

bool readVector(const QJsonObject &xyz, Eigen::Vector3d *out)
{
    const char *const names[] = {"x", "y", "z"};
    for (int i = 0; i < 3; ++i) {
        const QJsonValue v = xyz.value(QLatin1String(names[i]));
        if (!v.isDouble())
            return false;
        (*out)(i) = v.toDouble();
    }
    return true;
}

// The controller's answers and updates keep flowing meanwhile.
void pause(int ms)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms);
    loop.exec();
}

} // namespace

RobotSession::RobotSession(QObject *parent)
    : QObject(parent)
    , m_client(new ControllerClient(this))
    , m_jointMove(kJointMoveNew)
{
}

bool RobotSession::open(const QString &address, QString *error)
{
    if (!m_client->connectTo(address)) {
        *error = QStringLiteral("cannot reach the controller at %1").arg(address);
        return false;
    }
    QJsonValue answer;
    if (!command(QStringLiteral("system.controller.get_params"), QJsonValue(), &answer, error))
        return false;
    const QJsonObject params = answer.toObject();
    m_axes = params.value(QStringLiteral("axis_num")).toInt();
    m_robotType = params.value(QStringLiteral("robot_type")).toString();
    if (!command(QStringLiteral("factory.get_DH_params_link"), QJsonValue(), &answer, error))
        return false;
    const QJsonArray dh = answer.toObject()
                              .value(QStringLiteral("data"))
                              .toObject()
                              .value(QStringLiteral("DH_PARAMS_LINK"))
                              .toArray();
    m_dh.clear();
    for (const QJsonValue &v : dh)
        m_dh.append(v.toDouble(std::nan("")));
    bool finite = true;
    for (double v : qAsConst(m_dh))
        finite = finite && std::isfinite(v);
    if (m_axes < 1 || m_dh.size() != 4 * (m_axes + 1) || !finite) {
        *error = QStringLiteral("the controller reports no usable DH set (%1 axes, %2 numbers)")
                     .arg(m_axes)
                     .arg(m_dh.size());
        return false;
    }
    return true;
}

int RobotSession::axisCount() const
{
    return m_axes;
}

QString RobotSession::robotType() const
{
    return m_robotType;
}

QVector<double> RobotSession::dhParams() const
{
    return m_dh;
}

void RobotSession::setJointSpeed(double degPerSecond)
{
    if (std::isfinite(degPerSecond) && degPerSecond > 0)
        m_speedDegPerS = degPerSecond;
}

bool RobotSession::command(const QString &name, const QJsonValue &payload, QJsonValue *answer,
                           QString *error)
{
    if (!m_client->call(ControllerClient::Kind::Command, name, payload, answer,
                        kAnswerTimeoutMs)) {
        *error = QStringLiteral("the controller did not answer \"%1\"").arg(name);
        return false;
    }
    return true;
}

void RobotSession::setBeamTries(int tries)
{
    m_beamTries = qMax(1, tries);
}

QVector<double> RobotSession::compliance()
{
    QJsonValue answer;
    QString ignored;
    if (!command(QStringLiteral("factory.get_compliance"), QJsonValue(), &answer, &ignored))
        return {};
    const QJsonArray values = answer.toObject()
                                  .value(QStringLiteral("data"))
                                  .toObject()
                                  .value(QStringLiteral("values"))
                                  .toArray();
    QVector<double> found;
    bool any = false;
    for (const QJsonValue &v : values) {
        found.append(v.toDouble());
        any = any || v.toDouble() != 0.0;
    }
    return any ? found : QVector<double>();
}

bool RobotSession::moveTo(const CartesianPose &pose, QString *error,
                          const QVector<double> &configurationOf)
{
    QJsonObject point{
        {QStringLiteral("trans"),
         QJsonArray{pose.positionMm.x() / kUnitScale, pose.positionMm.y() / kUnitScale,
                    pose.positionMm.z() / kUnitScale}},
        {QStringLiteral("rot"),
         QJsonArray{pose.aDeg / kUnitScale, pose.bDeg / kUnitScale, pose.cDeg / kUnitScale}}};
    if (!configurationOf.isEmpty()) {
        QJsonObject conf;
        for (int k = 0; k < configurationOf.size(); ++k)
            conf.insert(QStringLiteral("cf%1").arg(k + 1), std::floor(configurationOf.at(k) / 90.0));
        point.insert(QStringLiteral("conf"), conf);
    }
    const QJsonObject request{
        {QStringLiteral("point"), point},
        {QStringLiteral("traj"), QJsonObject{{QStringLiteral("speed"),
                                              m_speedDegPerS / kUnitScale}}}};
    QJsonValue answer;
    if (!command(m_jointMove, request, &answer, error))
        return false;
    int code = 0;
    QString message;
    if (isError(answer, &code, &message) && code == kUnknownCommand) {
        m_jointMove = m_jointMove == kJointMoveNew ? kJointMoveOld : kJointMoveNew;
        if (!command(m_jointMove, request, &answer, error))
            return false;
    }
    // A move someone else started runs to its end first.
    if (isError(answer, &code, &message) && code == kRobotBusy) {
        if (!waitForMoveEnd(false, error) || !command(m_jointMove, request, &answer, error))
            return false;
    }
    // A redundant arm may reach the pose only with its elbow swivelled out of those quarter
    // turns: then the solution nearest where it stands will do.
    if (isError(answer, &code, &message) && code == kUnreachable && !configurationOf.isEmpty())
        return moveTo(pose, error);
    if (isError(answer, &code, &message)) {
        *error = QStringLiteral("the controller refuses the move (%1): %2").arg(code).arg(message);
        return false;
    }
    if (!command(QStringLiteral("move.opr.enough"), QJsonValue(), &answer, error))
        return false;
    if (isError(answer, &code, &message)) {
        *error = QStringLiteral("the controller does not start the move (%1): %2")
                     .arg(code)
                     .arg(message);
        return false;
    }
    return waitForMoveEnd(true, error);
}

bool RobotSession::waitForMoveEnd(bool ownMove, QString *error)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kMoveTimeoutMs) {
        QJsonValue value;
        if (!m_client->call(ControllerClient::Kind::Get, kLastMove, QJsonValue(), &value,
                            kAnswerTimeoutMs)) {
            *error = QStringLiteral("the controller did not report the move");
            return false;
        }
        const QJsonObject move = value.toObject();
        const QString state = move.value(QStringLiteral("state")).toString();
        const bool running = state == QLatin1String("moving") || state == QLatin1String("ready");
        if (state == QLatin1String("done") || (!ownMove && !running))
            return true;
        if (!running) {
            *error = QStringLiteral("the move ended as \"%1\": %2")
                         .arg(state, move.value(QStringLiteral("msg")).toString());
            return false;
        }
        pause(kPollMs);
    }
    *error = QStringLiteral("the move did not end within %1 s").arg(kMoveTimeoutMs / 1000);
    return false;
}

bool RobotSession::moveToFromBelow(const DhChain &model, const QVector<double> &jointsDeg,
                                   QString *error)
{
    QVector<double> leadIn = jointsDeg;
    for (double &q : leadIn)
        q -= kLeadInDeg;
    QString refused;
    if (!moveTo(CartesianPose::fromIsometry(model.forward(leadIn)), &refused, leadIn)
        && !m_client->isConnected()) {
        *error = refused;
        return false;
    }
    return moveTo(CartesianPose::fromIsometry(model.forward(jointsDeg)), error, jointsDeg);
}

bool RobotSession::moveToJoints(const DhChain &model, const QVector<double> &jointsDeg,
                                QVector<double> *reached, QString *error)
{
    constexpr double kToleranceDeg = 1e-3;
    constexpr int kCorrections = 3;
    constexpr double kCorrectableDeg = 1.0;
    QVector<double> target = jointsDeg;
    for (int attempt = 0; attempt <= kCorrections; ++attempt) {
        Eigen::Vector3d flange;
        if (!moveTo(CartesianPose::fromIsometry(model.forward(target)), error, target)
            || !readPosition(reached, &flange, error)) {
            reached->clear();
            return false;
        }
        double largest = 0;
        for (int k = 0; k < jointsDeg.size() && k < reached->size(); ++k) {
            // A whole turn apart is the same place.
            const double off = std::remainder(reached->at(k) - jointsDeg.at(k), 360.0);
            largest = std::max(largest, std::abs(off));
            target[k] -= off;
        }
        if (largest <= kToleranceDeg)
            return true;
        // Another solution (a redundant arm's swivelled elbow) is no offset to correct.
        if (largest > kCorrectableDeg)
            break;
    }
    *error = QStringLiteral("the controller does not reach the joints asked for");
    return false;
}

bool RobotSession::readPosition(QVector<double> *jointsDeg, Eigen::Vector3d *commandedMm,
                                QString *error, Eigen::Quaterniond *flangeRotation,
                                bool *rotationRead)
{
    QJsonValue answer;
    if (!command(QStringLiteral("rl_program.get_rob_pos"), QJsonObject(), &answer, error))
        return false;
    const QJsonObject position = answer.toObject();
    const QJsonArray inner =
        position.value(QStringLiteral("joint")).toObject().value(QStringLiteral("inner_pos")).toArray();
    const QJsonObject frame = position.value(QStringLiteral("cartesian"))
                                  .toObject()
                                  .value(QStringLiteral("pose"))
                                  .toObject()
                                  .value(QStringLiteral("frame"))
                                  .toObject();
    const QJsonObject pos = frame.value(QStringLiteral("pos")).toObject();
    jointsDeg->clear();
    for (int k = 0; k < m_axes && k < inner.size(); ++k)
        jointsDeg->append(inner.at(k).toDouble(std::nan("")));
    bool finite = jointsDeg->size() == m_axes;
    for (double q : qAsConst(*jointsDeg))
        finite = finite && std::isfinite(q);
    if (!finite || !readVector(pos, commandedMm)) {
        *error = QStringLiteral("the controller reports no usable robot position");
        return false;
    }
    if (flangeRotation && rotationRead) {
        const QJsonObject quaternion = frame.value(QStringLiteral("ori"))
                                           .toObject()
                                           .value(QStringLiteral("quaternion"))
                                           .toObject();
        const Eigen::Quaterniond q(quaternion.value(QStringLiteral("q1")).toDouble(std::nan("")),
                                   quaternion.value(QStringLiteral("q2")).toDouble(std::nan("")),
                                   quaternion.value(QStringLiteral("q3")).toDouble(std::nan("")),
                                   quaternion.value(QStringLiteral("q4")).toDouble(std::nan("")));
        *rotationRead = q.coeffs().allFinite() && std::abs(q.norm() - 1.0) < 1e-6;
        if (*rotationRead)
            *flangeRotation = q;
    }
    return true;
}

bool RobotSession::measure(const QString &target, bool fullPose, Eigen::Vector3d *positionMm,
                           Eigen::Vector3d *orientationDeg, QString *error, bool *beamLost)
{
    QJsonObject request{{QStringLiteral("target"), target}};
    if (fullPose)
        request.insert(QStringLiteral("full_pose"), true);
    QJsonValue answer;
    int code = 0;
    for (int tried = 0;;) {
        if (!command(QStringLiteral("sim.tracker.measure"), request, &answer, error))
            return false;
        if (!isError(answer, &code, nullptr) || code != kBeamNotSeen)
            break;
        if (++tried == m_beamTries) {
            *error = QStringLiteral("the tracker lost the beam to target \"%1\" (%2 tries, "
                                    "%3 s apart)")
                         .arg(target)
                         .arg(m_beamTries)
                         .arg(kBeamWaitMs / 1000.0);
            if (beamLost)
                *beamLost = true;
            return false;
        }
        // One cut reading is a passer-by; a second says someone stands in the beam.
        if (tried == 2)
            warnLine(QStringLiteral("[WARN] the tracker does not see target \"%1\": waiting up "
                                    "to %2 s for the beam")
                         .arg(target)
                         .arg((m_beamTries - tried) * kBeamWaitMs / 1000.0));
        pause(kBeamWaitMs);
    }
    const auto read = [&answer](const char *name, Eigen::Vector3d *out) {
        const QJsonArray p = answer.toObject().value(QLatin1String(name)).toArray();
        if (p.size() != 3 || !p.at(0).isDouble() || !p.at(1).isDouble() || !p.at(2).isDouble())
            return false;
        *out = {p.at(0).toDouble(), p.at(1).toDouble(), p.at(2).toDouble()};
        return out->allFinite();
    };
    if (!read("position_mm", positionMm)
        || (fullPose && orientationDeg && !read("orientation_deg", orientationDeg))) {
        *error = QStringLiteral("the tracker gives no reading of target \"%1\"").arg(target);
        return false;
    }
    return true;
}

} // namespace sim
