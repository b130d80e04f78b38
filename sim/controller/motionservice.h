#pragma once

#include "motionplan.h"

#include <sim/kinematics/dhchain.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QVector3D>

namespace sim {

class ComplianceBook;
class RobotMotion;

// The controller's motion side: where the robot is, the move commands and their outcome as
// "move.last_error_with_setting" shows it. Units at this interface are the controller's (see
// README.md): "trans" in metres, "rot" in thousands of degrees, "traj.speed" in thousands of
// millimetres (linear moves) or degrees (joint moves) per second.
class MotionService : public QObject
{
    Q_OBJECT

public:
    explicit MotionService(QObject *parent = nullptr);
    ~MotionService() override;

    // A new DH set or model; the joints stay where they are when the axis count is kept.
    void setRobot(const QVector<double> &dh, int axes, const JointLimits &limits,
                  const QVector<double> &homeDeg);
    const DhChain &chain() const;
    // Moves are planned for where the arm should stand and turned by its predicted deflection.
    void setCompliance(const ComplianceBook *compliance);
    RobotMotion *motion() const;

    QVector<double> joints() const;
    bool setJoints(const QVector<double> &jointsDeg);
    QVector<QVector3D> linkPositions() const;

    // The motion commands: "rl_program.get_rob_pos", "move.reset", "move.opr.enough",
    // "move.stop", "move.path.check" and the move family of the controller's version
    // (`moveTo`: "move.move_to.jc"/"move.move_to.l", else "move.j"/"move.l"; see
    // SimulatedController::usesMoveTo).
    static bool handles(const QString &command, bool moveTo);
    // Those that neither move the robot nor change a move.
    static bool isReading(const QString &command);
    QJsonObject runCommand(const QString &command, const QJsonValue &payload, bool moveTo);

    // Command answers.
    QJsonObject robotPosition(const QJsonObject &args) const;
    QJsonObject reset();
    QJsonObject prepareMove(const QString &command, bool linear, const QJsonValue &payload);
    QJsonObject operatorEnough();
    QJsonObject stop();
    QJsonObject checkPath(const QJsonValue &payload) const;

    QJsonObject lastError() const;
    // The teach points a pendant sent ("rovan.project.point._list"); an empty list is a project
    // without points. Until some are sent, or once forgotten, a pendant in the same process is
    // asked.
    void setPoints(const QJsonArray &points);
    void forgetPoints();

signals:
    void lastErrorChanged();

private:
    void report(const QString &state, int error, const QString &message);
    QJsonObject refuse(int error, const QString &message);
    void onFinished();

    DhChain m_chain;
    JointLimits m_limits;
    const ComplianceBook *m_compliance = nullptr;
    RobotMotion *m_motion = nullptr;
    MotionPlan m_prepared; // planned, waiting for the operator's go
    QVector<double> m_target;
    QString m_command;
    QJsonObject m_lastError;
    QJsonArray m_points;
    bool m_pointsSent = false;
};

} // namespace sim
