#pragma once

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
    double uniform();

    int m_axes;
    std::uint64_t m_state;
};

} // namespace sim
