#pragma once

#include <QVector>

namespace sim {

// Travel of each joint in degrees, lower[i] <= upper[i].
struct JointLimits
{
    QVector<double> lowerDeg;
    QVector<double> upperDeg;

    int size() const { return int(lowerDeg.size()); }
    bool isValid() const;
    // True when every joint lies within its travel, `toleranceDeg` beyond the ends allowed.
    bool contains(const QVector<double> &jointsDeg, double toleranceDeg = 1e-9) const;
    QVector<double> clamped(const QVector<double> &jointsDeg) const;
    // The first joint outside its travel, or -1.
    int firstViolation(const QVector<double> &jointsDeg, double toleranceDeg = 1e-9) const;
};

} // namespace sim
