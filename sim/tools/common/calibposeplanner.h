#pragma once

#include <sim/cell/seededrandom.h>

#include <QVector>

#include <cstdint>

namespace sim {

// Joint sets for the identification and validation poses: spread over the travel every robot
// of the cell has (a margin inside each model's limits), the same sequence on every run.
class CalibPosePlanner
{
public:
    static constexpr double kTravelDeg = 100.0;

    explicit CalibPosePlanner(int axes, std::uint64_t seed = 2026);

    QVector<double> next();

private:
    int m_axes;
    SeededRandom m_random;
};

} // namespace sim
