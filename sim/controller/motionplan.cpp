#include "motionplan.h"

#include <algorithm>

namespace sim {

QVector<double> MotionPlan::at(double s) const
{
    if (jointsDeg.isEmpty())
        return {};
    if (s <= timesS.constFirst())
        return jointsDeg.constFirst();
    if (s >= timesS.constLast())
        return jointsDeg.constLast();
    const auto next = std::upper_bound(timesS.cbegin(), timesS.cend(), s);
    const int i = int(next - timesS.cbegin());
    const double t0 = timesS.at(i - 1);
    const double t1 = timesS.at(i);
    const double f = t1 > t0 ? (s - t0) / (t1 - t0) : 1.0;
    const QVector<double> &a = jointsDeg.at(i - 1);
    const QVector<double> &b = jointsDeg.at(i);
    QVector<double> q(a.size());
    for (int k = 0; k < a.size(); ++k)
        q[k] = a.at(k) + f * (b.at(k) - a.at(k));
    return q;
}

} // namespace sim
