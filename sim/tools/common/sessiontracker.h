#pragma once

#include "targetsight.h"
#include "tracker.h"

#include <QStringList>

namespace sim {

class RobotSession;

// The simulator's laser tracker, asked over the controller's protocol for each target it is
// expected to see: one the arm hides would only be waited for and lost.
class SessionTracker : public Tracker
{
public:
    SessionTracker(RobotSession *session, const QStringList &targets, bool fullPose = false);

    void setSight(const TargetSight &sight);

    bool measure(int pose, const QVector<double> &jointsDeg, QVector<PoseMeasurement> *readings,
                 QString *error) override;

private:
    RobotSession *m_session;
    QStringList m_targets;
    bool m_fullPose;
    TargetSight m_sight;
};

} // namespace sim
