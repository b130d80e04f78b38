#pragma once

#include <QVector>

namespace sim {

enum class IkStatus {
    Converged,     // the flange reaches the target within the tolerances
    NoConvergence, // no joint set within the limits was found that reaches it
    InvalidInput,  // the chain or the limits do not fit the robot
};

struct IkResult
{
    IkStatus status = IkStatus::InvalidInput;
    QVector<double> jointsDeg;   // the best joint set found, within the limits
    int iterations = 0;          // over every attempt
    double positionErrorMm = 0;  // what remains of the distance to the target
    double rotationErrorDeg = 0; // and of the angle between the orientations

    bool ok() const { return status == IkStatus::Converged; }
};

} // namespace sim
