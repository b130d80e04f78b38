#pragma once

#include <sim/metrology/identificationproblem.h>

#include <QString>
#include <QVector>

namespace sim {

// Where the measuring programs get their readings: every target the tracker sees on the flange
// at one pose of the robot. The simulator's tracker measures the cell over the controller's
// protocol (`SessionTracker`); a recorded file gives a real tracker's readings
// (`RecordedTracker`).
class Tracker
{
public:
    virtual ~Tracker() = default;

    // The readings of pose number `pose`, at which the controller reads `jointsDeg`; they carry
    // the pose number and the joints the identification is to use. A target the tracker cannot
    // see there is left out, and may be all of them. False with the reason.
    virtual bool measure(int pose, const QVector<double> &jointsDeg,
                         QVector<PoseMeasurement> *readings, QString *error) = 0;
};

} // namespace sim
