#include "sessiontracker.h"

#include "robotsession.h"

namespace sim {

SessionTracker::SessionTracker(RobotSession *session, const QStringList &targets, bool fullPose)
    : m_session(session)
    , m_targets(targets)
    , m_fullPose(fullPose)
{
}

bool SessionTracker::measure(int pose, const QVector<double> &jointsDeg,
                             QVector<PoseMeasurement> *readings, QString *error)
{
    for (const QString &target : m_targets) {
        PoseMeasurement reading;
        reading.pose = pose;
        reading.jointsDeg = jointsDeg;
        reading.target = target;
        reading.hasOrientation = m_fullPose;
        if (!m_session->measure(target, m_fullPose, &reading.positionMm, &reading.orientationDeg,
                                error))
            return false;
        readings->append(reading);
    }
    return true;
}

} // namespace sim
