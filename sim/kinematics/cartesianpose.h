#pragma once

#include <Eigen/Geometry>

namespace sim {

// A pose as the controller reports and takes it: a position in millimetres and the Euler
// angles a, b, c in degrees, turning about z, then the new y, then the new x:
//     R = Rz(a) * Ry(b) * Rx(c).
struct CartesianPose
{
    Eigen::Vector3d positionMm = Eigen::Vector3d::Zero();
    double aDeg = 0;
    double bDeg = 0;
    double cDeg = 0;

    static CartesianPose fromIsometry(const Eigen::Isometry3d &t);
    static Eigen::Matrix3d rotationFromEuler(double aDeg, double bDeg, double cDeg);
    Eigen::Isometry3d toIsometry() const;
    // Unit quaternion with a non-negative scalar part.
    Eigen::Quaterniond quaternion() const;
};

} // namespace sim
