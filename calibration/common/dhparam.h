#pragma once

#include <map>
#include <string>

namespace common {

// One link of a DH set: angles in degrees, lengths in mm, never converted.
struct DHParam
{
    double alpha = 0.0;
    double a = 0.0;
    double d = 0.0;
    double theta = 0.0; // "theta_offset"
};

// Joint name to link, ordered by name.
using DHMap = std::map<std::string, DHParam>;

} // namespace common
