#include "calibposeplanner.h"

namespace sim {

CalibPosePlanner::CalibPosePlanner(int axes, std::uint64_t seed)
    : m_axes(axes)
    , m_random(seed)
{
}

QVector<double> CalibPosePlanner::next()
{
    QVector<double> joints;
    joints.reserve(m_axes);
    for (int k = 0; k < m_axes; ++k)
        joints.append(m_random.uniform(-kTravelDeg, kTravelDeg));
    return joints;
}

} // namespace sim
