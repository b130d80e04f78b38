#include "calibposeplanner.h"

namespace sim {

CalibPosePlanner::CalibPosePlanner(int axes, std::uint64_t seed)
    : m_axes(axes)
    , m_state(seed)
{
}

// splitmix64: the same numbers with every compiler and standard library.
double CalibPosePlanner::uniform()
{
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return double(z >> 11) * (1.0 / 9007199254740992.0);
}

QVector<double> CalibPosePlanner::next()
{
    QVector<double> joints;
    joints.reserve(m_axes);
    for (int k = 0; k < m_axes; ++k)
        joints.append((2.0 * uniform() - 1.0) * kTravelDeg);
    return joints;
}

} // namespace sim
