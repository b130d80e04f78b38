#include "seededrandom.h"

#include <cmath>

namespace sim {

SeededRandom::SeededRandom(std::uint64_t seed)
    : m_engine(seed)
{
}

std::uint64_t SeededRandom::seedFromText(const QString &text)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char byte : text.toUtf8()) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 1099511628211ULL;
    }
    return hash;
}

double SeededRandom::uniform()
{
    // The top 53 bits fill a double's mantissa exactly.
    return static_cast<double>(m_engine() >> 11) * 0x1.0p-53;
}

double SeededRandom::uniform(double low, double high)
{
    return low + (high - low) * uniform();
}

double SeededRandom::signedMagnitude(double low, double high)
{
    const double magnitude = uniform(low, high);
    return uniform() < 0.5 ? -magnitude : magnitude;
}

double SeededRandom::gaussian()
{
    constexpr double kTwoPi = 6.28318530717958647692;
    // 1 - u lies in (0, 1], so the logarithm stays finite.
    const double u1 = 1.0 - uniform();
    const double u2 = uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(kTwoPi * u2);
}

} // namespace sim
