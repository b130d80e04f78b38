#include "recordedtracker.h"

namespace sim {

RecordedTracker::RecordedTracker(const QVector<PoseMeasurement> &readings)
{
    for (const PoseMeasurement &r : readings)
        m_byPose[r.pose].append(r);
}

bool RecordedTracker::measure(int pose, const QVector<double> &jointsDeg,
                              QVector<PoseMeasurement> *readings, QString *error)
{
    Q_UNUSED(jointsDeg)
    const auto found = m_byPose.constFind(pose);
    if (found == m_byPose.constEnd()) {
        *error = QStringLiteral("no recorded readings of pose %1").arg(pose);
        return false;
    }
    *readings += *found;
    return true;
}

} // namespace sim
