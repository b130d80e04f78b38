#pragma once

#include <sim/kinematics/cartesianpose.h>
#include <sim/kinematics/dhchain.h>

#include <Eigen/Core>

#include <QObject>
#include <QString>
#include <QVector>

namespace sim {

class ControllerClient;

// What a measuring program does with the robot cell over the controller's network protocol:
// reads the robot's model, moves the flange to a pose and waits for the move's end, reads the
// joints and the controller's idea of the flange position, and takes the simulator's tracker
// readings.
// Every call blocks (running a nested event loop) and returns false with the reason on failure.
class RobotSession : public QObject
{
    Q_OBJECT

public:
    explicit RobotSession(QObject *parent = nullptr);

    // "HOST" or "HOST:PORT"; then reads the robot's axes and configured DH set.
    bool open(const QString &address, QString *error);

    int axisCount() const;
    QString robotType() const;
    // 4 * (axes + 1) numbers: alpha (deg), a (mm), d (mm), theta (deg) per link group.
    QVector<double> dhParams() const;

    // A joint move to the flange pose; false when the controller refuses it or it does not end
    // at the target. With `configurationOf`, the joints take the quarter turns these joints are
    // in (the controller's "conf"), rather than the solution nearest where the robot stands.
    bool moveTo(const CartesianPose &pose, QString *error,
                const QVector<double> &configurationOf = QVector<double>());
    // The same move to the flange pose of the joints `jointsDeg` in their quarter turns, after a
    // lead-in kLeadInDeg below every joint: each joint then arrives turning upwards, on the same
    // flank of its gear's play at every pose, where the zero offsets take the play up, rather
    // than on the side the last move came from. A lead-in the controller refuses is left out.
    bool moveToFromBelow(const DhChain &model, const QVector<double> &jointsDeg, QString *error);
    static constexpr double kLeadInDeg = 1.0;
    // A move to the joints `jointsDeg` through the controller's Cartesian move: the flange pose
    // `model` gives for them is the target. The controller's own model may differ from `model`
    // (its zero offsets cannot be read), so the joints it reached are read and the target
    // corrected until they are the ones asked, within a thousandth of a degree; `reached` gets
    // them. False when the move fails or the joints are still off after the corrections or by
    // more than a degree (the controller took another solution), with the reason.
    bool moveToJoints(const DhChain &model, const QVector<double> &jointsDeg,
                      QVector<double> *reached, QString *error);
    // Where the robot stands: the joint readings (deg) and the flange position the controller
    // computes from them with its configured model (mm).
    // `flangeRotation`, when given, gets the orientation the controller reports with the
    // position, or stays untouched (the result false) when there is none.
    bool readPosition(QVector<double> *jointsDeg, Eigen::Vector3d *commandedMm, QString *error,
                      Eigen::Quaterniond *flangeRotation = nullptr, bool *rotationRead = nullptr);
    // The simulator's tracker reads a target on the flange (tracker frame, mm), and with
    // `fullPose` the flange's orientation (fixed-axis X-Y-Z angles, deg). A beam that does not
    // reach the target (someone in its way) is waited for and asked again, kBeamTries times in
    // all unless set otherwise; then false with `beamLost` set.
    bool measure(const QString &target, bool fullPose, Eigen::Vector3d *positionMm,
                 Eigen::Vector3d *orientationDeg, QString *error, bool *beamLost = nullptr);
    static constexpr int kBeamTries = 4;
    static constexpr int kBeamWaitMs = 250;
    // A program that cannot go on without a reading waits longer for the beam.
    void setBeamTries(int tries);

    // The joint compliance the controller compensates (rad/(N*m), one per joint); empty when it
    // compensates none or knows no such command.
    QVector<double> compliance();

    // Joint speed of the moves in degrees per second (of the joint with the longest way).
    void setJointSpeed(double degPerSecond);

private:
    bool command(const QString &name, const QJsonValue &payload, QJsonValue *answer,
                 QString *error);
    // Our own move must reach its target; another's only has to end.
    bool waitForMoveEnd(bool ownMove, QString *error);

    ControllerClient *m_client = nullptr;
    int m_axes = 0;
    QString m_robotType;
    QVector<double> m_dh;
    double m_speedDegPerS = 120.0;
    int m_beamTries = kBeamTries;
    // The two controller families name their joint move differently; the first refusal as an
    // unknown command switches to the other name.
    QString m_jointMove;
};

} // namespace sim
