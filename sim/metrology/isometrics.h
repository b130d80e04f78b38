#pragma once

#include <Eigen/Core>

#include <QString>

#include <vector>

namespace sim {

// The ISO 9283 figures of one test pose over its cycles, in mm.
struct IsoPoseResult
{
    bool valid = false;
    QString error;
    int cycles = 0;
    Eigen::Vector3d barycentreMm = Eigen::Vector3d::Zero();
    // Position accuracy AP: barycentre minus commanded position, per axis and its length.
    Eigen::Vector3d accuracyAxesMm = Eigen::Vector3d::Zero();
    double accuracyMm = 0;
    // Distances of the attained positions to the barycentre: their mean and sample standard
    // deviation S_l (n - 1); repeatability RP = mean + 3 S_l.
    double meanDistanceMm = 0;
    double stdDevMm = 0;
    double repeatabilityMm = 0;
    // Root mean square of the distances of the attained positions to the commanded one.
    double rmsMm = 0;
};

// Fewer than two cycles give no spread to speak of: an invalid result with the reason.
IsoPoseResult computeIsoPose(const Eigen::Vector3d &commandedMm,
                             const std::vector<Eigen::Vector3d> &attainedMm);

} // namespace sim
