#pragma once

#include <QString>

#include <cstdint>
#include <random>

namespace sim {

// Random numbers that come out the same for the same seed with every compiler and library: the
// engine is fully specified by the standard, the distributions (which are not) are our own.
class SeededRandom
{
public:
    explicit SeededRandom(std::uint64_t seed);

    // A seed from a text such as a serial number (FNV-1a over its UTF-8 bytes).
    static std::uint64_t seedFromText(const QString &text);

    // Uniform in [0, 1).
    double uniform();
    double uniform(double low, double high);
    // A magnitude in [low, high] with a random sign.
    double signedMagnitude(double low, double high);
    // Standard normal (Box-Muller).
    double gaussian();

private:
    std::mt19937_64 m_engine;
};

} // namespace sim
