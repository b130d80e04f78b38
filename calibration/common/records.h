#pragma once

#include <QMetaType>

#include <map>
#include <string>

namespace common {

// One link of a DH set: angles in degrees, lengths in mm.
struct DHParam
{
    double alpha = 0.0;
    double a = 0.0;
    double d = 0.0;
    double theta = 0.0; // "theta_offset"
};

using DHMap = std::map<std::string, DHParam>;

// The verdict on an optimised result. status: 0 passed, 1 failed, 2 not evaluated.
struct QualityGateResult
{
    int status = 2;
    double avgError = 0.0;
    double maxError = 0.0;
    double avgErrorLimit = 0.0;
    double maxErrorLimit = 0.0;
    double lengthDeltaLimit = 0.0;
    double angleDeltaLimit = 0.0;
    double maxLengthDelta = 0.0;
    double maxAngleDelta = 0.0;
};

// One row of the ISO results.
struct IsoResult
{
    std::string name;
    double accuracy = 0.0;
    double repeatability = 0.0;
    double rms = 0.0;
    double stdDev = 0.0;
};

} // namespace common

Q_DECLARE_METATYPE(common::QualityGateResult)
