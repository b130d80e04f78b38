#pragma once

#include "dhchain.h"

#include <Eigen/Geometry>

#include <QVector>

namespace sim {

// The nominal mass distribution of a robot model, as its catalogue gives it: the mass and centre
// of mass of every link and of the tool plate on the flange. Link k (0-based) is the body joint
// k + 1 turns, up to the next joint; its centre of mass is in mm in the frame at the end of its
// DH group k + 2, which `DhChain::frames` returns at index k + 2 (the next joint's frame, or the
// flange's for the last link). The tool plate's centre of mass is in the flange frame.
class MassModel
{
public:
    struct Body
    {
        double massKg = 0.0;
        Eigen::Vector3d comMm = Eigen::Vector3d::Zero();
    };

    static constexpr double kStandardGravity = 9.80665;

    MassModel();
    MassModel(const QVector<Body> &links, const Body &toolPlate);

    // One body per joint, finite numbers, no negative mass.
    bool isValid() const;
    int axisCount() const;
    QVector<Body> links() const;
    Body toolPlate() const;

    // The torque gravity exerts on every joint, about the joint's z axis, in N m, for the joint
    // readings `jointsDeg` of `chain` (whose axis count must match), with the tool plate and
    // `payloadKg` at the flange origin. `gravityBase` is the acceleration in the base frame,
    // m/s^2; straight down the base's z axis by default. Positive torque turns the joint
    // positively. Empty for a chain or joint vector that does not fit.
    QVector<double> gravityTorqueNm(const DhChain &chain, const QVector<double> &jointsDeg,
                                    double payloadKg = 0.0,
                                    const Eigen::Vector3d &gravityBase
                                    = Eigen::Vector3d(0.0, 0.0, -kStandardGravity)) const;
    // The whole moment gravity exerts on every joint about its origin, in N m in the base frame:
    // along the joint's axis it is the torque above, across it the moment its bearing carries.
    QVector<Eigen::Vector3d> gravityMomentNm(const DhChain &chain, const QVector<double> &jointsDeg,
                                             double payloadKg = 0.0,
                                             const Eigen::Vector3d &gravityBase
                                             = Eigen::Vector3d(0.0, 0.0,
                                                               -kStandardGravity)) const;

private:
    bool fits(const DhChain &chain, const QVector<double> &jointsDeg, double payloadKg,
              const Eigen::Vector3d &gravityBase) const;
    QVector<Eigen::Vector3d> momentsAt(const QVector<Eigen::Isometry3d> &frames,
                                       double payloadKg, const Eigen::Vector3d &gravityBase) const;

    QVector<Body> m_links;
    Body m_toolPlate;
};

} // namespace sim
