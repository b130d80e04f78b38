#include "sessiontracker.h"

#include "robotsession.h"
#include "toolmain.h"

namespace sim {

SessionTracker::SessionTracker(RobotSession *session, const QStringList &targets, bool fullPose)
    : m_session(session)
    , m_targets(targets)
    , m_fullPose(fullPose)
{
}

void SessionTracker::setSight(const TargetSight &sight)
{
    m_sight = sight;
}

bool SessionTracker::measure(int pose, const QVector<double> &jointsDeg,
                             QVector<PoseMeasurement> *readings, QString *error)
{
    for (const QString &target : m_sight.seen(jointsDeg, m_targets)) {
        PoseMeasurement reading;
        reading.pose = pose;
        reading.jointsDeg = jointsDeg;
        reading.target = target;
        reading.hasOrientation = m_fullPose;
        bool beamLost = false;
        if (!m_session->measure(target, m_fullPose, &reading.positionMm, &reading.orientationDeg,
                                error, &beamLost)) {
            if (!beamLost)
                return false;
            // The pose's other targets still show it; a pose with none is the caller's to skip.
            warnLine(QStringLiteral("[WARN] pose %1 goes without target %2: %3")
                         .arg(pose)
                         .arg(target, *error));
            continue;
        }
        readings->append(reading);
    }
    return true;
}

} // namespace sim
