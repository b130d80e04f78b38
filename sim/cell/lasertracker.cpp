#include "lasertracker.h"

#include <cmath>

namespace sim {

LaserTracker::LaserTracker(std::uint64_t seed)
    : m_random(seed)
{
}

void LaserTracker::setNoise(double sigmaMm)
{
    // A negative or undefined spread would make no sense of a reading; it measures exactly.
    m_sigmaMm = std::isfinite(sigmaMm) && sigmaMm > 0 ? sigmaMm : 0.0;
}

double LaserTracker::noise() const
{
    return m_sigmaMm;
}

void LaserTracker::reseed(std::uint64_t seed)
{
    m_random = SeededRandom(seed);
}

Eigen::Vector3d LaserTracker::measure(const Eigen::Vector3d &truePositionMm)
{
    if (m_sigmaMm == 0.0)
        return truePositionMm;
    const double dx = m_random.gaussian();
    const double dy = m_random.gaussian();
    const double dz = m_random.gaussian();
    return truePositionMm + m_sigmaMm * Eigen::Vector3d(dx, dy, dz);
}

} // namespace sim
