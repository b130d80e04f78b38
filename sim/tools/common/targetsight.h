#pragma once

#include <sim/kinematics/dhchain.h>
#include <sim/kinematics/robotbody.h>
#include <sim/metrology/identificationproblem.h>

#include <Eigen/Geometry>

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

namespace sim {

// Which reflectors of the tool plate the tracker sees at a pose, predicted before the robot goes
// there: from the programs' model of the arm, the catalogue's body and where the tracker roughly
// stands. A beam that passes within kMarginMm of the body counts as hidden, since model and
// tracker pose are only roughly right. Without a body or a tracker pose every target counts as
// seen, as before anything was known.
class TargetSight
{
public:
    static constexpr double kMarginMm = 5.0;

    TargetSight() = default;
    TargetSight(const DhChain &model, const RobotBody &body,
                const Eigen::Isometry3d &trackerFromBase,
                const QMap<QString, Eigen::Vector3d> &targetsMm);

    bool isKnown() const;
    // Of `targets`, in their order, those seen at the joints.
    QStringList seen(const QVector<double> &jointsDeg, const QStringList &targets) const;
    // Whether it sees any of the plate's reflectors (always, when nothing is known).
    bool seesAny(const QVector<double> &jointsDeg) const;

    // The joints at which the collector reads every reflector to find the tracker: home, joint 1
    // turned either way from there, and joint 2 turned.
    static QVector<QVector<double>> roughPoses(const QVector<double> &homeDeg);
    // Where the tracker stands, roughly: the rigid turn and shift that best carry the model's
    // reflectors at the readings' joints onto the readings (at least three readings, not on one
    // line). False with the reason.
    static bool roughTrackerPose(const DhChain &model,
                                 const QMap<QString, Eigen::Vector3d> &targetsMm,
                                 const QVector<PoseMeasurement> &readings,
                                 Eigen::Isometry3d *trackerFromBase, QString *error);

private:
    DhChain m_model;
    RobotBody m_body;
    Eigen::Vector3d m_trackerInBase = Eigen::Vector3d::Zero();
    QMap<QString, Eigen::Vector3d> m_targetsMm;
};

} // namespace sim
