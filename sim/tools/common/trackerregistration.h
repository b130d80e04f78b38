#pragma once

#include <sim/kinematics/robotcatalogue.h>
#include <sim/metrology/circlefit.h>

#include <Eigen/Geometry>

#include <QString>
#include <QVector>

namespace sim {

// Registers the tracker to the robot's base the way a cell does before an ISO test, without
// the model under test: the base's z axis and the first joint's line from a circle measured
// while joint 1 turns alone, the second joint's axis from one while joint 2 turns alone (both
// from the same start joints), the origin's height below the second axis and the x direction
// from the catalogue's nominal DH set at those joints.
class TrackerRegistration
{
public:
    // Joint 1 turns by these steps (deg) around the home joints, joint 2 around
    // `joint2Start`. They ascend: a circle starts RobotSession::kLeadInDeg below the first, so
    // that every step is reached turning the same way, on the same flank of the gear's play.
    static QVector<double> joint1StepsDeg();
    static QVector<double> joint2StepsDeg();
    // The home joints with joint 2 turned so that reflector A stands level with joint 2's axis:
    // a short arc's centre is uncertain mostly towards the arc, and that direction is then
    // horizontal, where it does not touch the origin's height.
    static QVector<double> joint2Start(const CatalogueModel &model, const QVector<double> &homeDeg);
    // Less than this many degrees between the circles' axes means the second is no joint 2.
    static constexpr double kMinAxisAngleDeg = 45.0;

    // The base's pose in the tracker frame from the two circles' points (tracker frame, mm, in
    // the order of their steps) for a robot of `model` whose joint 1 stood at `startDeg`. False, with
    // the reason, when a circle cannot be fitted or the axes are not as the catalogue has them.
    static bool registerBase(const CatalogueModel &model, const QVector<double> &startDeg,
                             const std::vector<Eigen::Vector3d> &joint1Circle,
                             const std::vector<Eigen::Vector3d> &joint2Circle,
                             Eigen::Isometry3d *trackerFromBase, QString *error);
};

} // namespace sim
