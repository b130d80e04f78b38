#include "cartesianpose.h"

#include <cmath>

namespace sim {

Eigen::Matrix3d CartesianPose::rotationFromEuler(double aDeg, double bDeg, double cDeg)
{
    const double toRad = double(EIGEN_PI) / 180.0;
    return (Eigen::AngleAxisd(aDeg * toRad, Eigen::Vector3d::UnitZ())
            * Eigen::AngleAxisd(bDeg * toRad, Eigen::Vector3d::UnitY())
            * Eigen::AngleAxisd(cDeg * toRad, Eigen::Vector3d::UnitX()))
        .toRotationMatrix();
}

CartesianPose CartesianPose::fromIsometry(const Eigen::Isometry3d &t)
{
    const Eigen::Matrix3d r = t.linear();
    const double toDeg = 180.0 / double(EIGEN_PI);
    CartesianPose pose;
    pose.positionMm = t.translation();
    pose.bDeg = std::atan2(-r(2, 0), std::hypot(r(0, 0), r(1, 0))) * toDeg;
    // At b = +-90 degrees only a - c (or a + c) is defined; c is then taken as 0.
    if (std::hypot(r(0, 0), r(1, 0)) < 1e-9) {
        pose.aDeg = std::atan2(-r(0, 1), r(1, 1)) * toDeg;
        pose.cDeg = 0;
    } else {
        pose.aDeg = std::atan2(r(1, 0), r(0, 0)) * toDeg;
        pose.cDeg = std::atan2(r(2, 1), r(2, 2)) * toDeg;
    }
    return pose;
}

Eigen::Isometry3d CartesianPose::toIsometry() const
{
    Eigen::Isometry3d t = Eigen::Isometry3d::Identity();
    t.linear() = rotationFromEuler(aDeg, bDeg, cDeg);
    t.translation() = positionMm;
    return t;
}

Eigen::Quaterniond CartesianPose::quaternion() const
{
    Eigen::Quaterniond q(rotationFromEuler(aDeg, bDeg, cDeg));
    q.normalize();
    if (q.w() < 0)
        q.coeffs() *= -1.0;
    return q;
}

} // namespace sim
