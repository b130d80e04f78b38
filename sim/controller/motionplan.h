#pragma once

#include <QVector>

namespace sim {

// Joint samples of a move and the time at which the robot passes each, from 0 to the
// duration; between two samples the joints are interpolated linearly.
struct MotionPlan
{
    QVector<QVector<double>> jointsDeg;
    QVector<double> timesS;

    bool isEmpty() const { return jointsDeg.isEmpty(); }
    double durationS() const { return timesS.isEmpty() ? 0.0 : timesS.constLast(); }
    QVector<double> target() const
    {
        return jointsDeg.isEmpty() ? QVector<double>() : jointsDeg.constLast();
    }
    // The joints at time `s`, held at the ends.
    QVector<double> at(double s) const;
};

} // namespace sim
