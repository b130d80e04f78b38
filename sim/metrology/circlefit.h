#pragma once

#include <Eigen/Core>

#include <vector>

namespace sim {

// A circle through points measured while one joint turns alone: the plane's normal is the
// joint's axis, the centre lies on it.
struct CircleFit
{
    bool valid = false;
    Eigen::Vector3d centreMm = Eigen::Vector3d::Zero();
    // Unit normal, turned so that the points, in their order, go round it counter-clockwise.
    Eigen::Vector3d normal = Eigen::Vector3d::UnitZ();
    double radiusMm = 0;
    // Root mean square distance of the points from the circle.
    double rmsMm = 0;
};

// Least-squares plane (smallest singular vector of the centred points), then the circle in it
// (linear in centre and radius). Invalid for fewer than three points or points on a line.
CircleFit fitCircle(const std::vector<Eigen::Vector3d> &pointsMm);

} // namespace sim
