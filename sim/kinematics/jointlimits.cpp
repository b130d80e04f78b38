#include "jointlimits.h"

#include <QtGlobal>

#include <cmath>

namespace sim {

bool JointLimits::isValid() const
{
    if (lowerDeg.size() != upperDeg.size())
        return false;
    for (int i = 0; i < lowerDeg.size(); ++i) {
        if (!(lowerDeg.at(i) <= upperDeg.at(i)))
            return false;
    }
    return true;
}

bool JointLimits::contains(const QVector<double> &jointsDeg, double toleranceDeg) const
{
    return firstViolation(jointsDeg, toleranceDeg) < 0;
}

int JointLimits::firstViolation(const QVector<double> &jointsDeg, double toleranceDeg) const
{
    // A vector of the wrong length fits no robot: its first joint is reported.
    if (jointsDeg.size() != size())
        return 0;
    for (int i = 0; i < size(); ++i) {
        const double q = jointsDeg.at(i);
        if (!std::isfinite(q) || q < lowerDeg.at(i) - toleranceDeg
            || q > upperDeg.at(i) + toleranceDeg)
            return i;
    }
    return -1;
}

QVector<double> JointLimits::clamped(const QVector<double> &jointsDeg) const
{
    Q_ASSERT(jointsDeg.size() == size());
    QVector<double> result = jointsDeg;
    for (int i = 0; i < size() && i < result.size(); ++i)
        result[i] = qBound(lowerDeg.at(i), result.at(i), upperDeg.at(i));
    return result;
}

} // namespace sim
