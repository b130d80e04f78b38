#pragma once

#include <string>

namespace common {

// One row of the ISO results, in the order of the test points.
struct IsoResult
{
    std::string name;
    double accuracy = 0.0;
    double repeatability = 0.0;
    double rms = 0.0;
    double stdDev = 0.0;
};

} // namespace common
