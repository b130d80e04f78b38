#pragma once

#include <QMetaType>

namespace common {

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

} // namespace common

Q_DECLARE_METATYPE(common::QualityGateResult)
