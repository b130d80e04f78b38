#pragma once

#include "seededrandom.h"

#include <Eigen/Core>

namespace sim {

// A laser tracker standing in the robot's base frame: it reports a true position with gaussian
// noise of a settable standard deviation per axis (0 measures exactly).
class LaserTracker
{
public:
    static constexpr double kDefaultNoiseMm = 0.01;

    explicit LaserTracker(std::uint64_t seed = 1);

    void setNoise(double sigmaMm);
    double noise() const;
    // Restarts the noise sequence, so a test gets the same readings again.
    void reseed(std::uint64_t seed);

    Eigen::Vector3d measure(const Eigen::Vector3d &truePositionMm);

private:
    SeededRandom m_random;
    double m_sigmaMm = kDefaultNoiseMm;
};

} // namespace sim
