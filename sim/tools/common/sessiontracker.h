#pragma once

#include "tracker.h"

#include <QStringList>

namespace sim {

class RobotSession;

// The simulator's laser tracker, asked over the controller's protocol for each target.
class SessionTracker : public Tracker
{
public:
    SessionTracker(RobotSession *session, const QStringList &targets, bool fullPose = false);

    bool measure(int pose, const QVector<double> &jointsDeg, QVector<PoseMeasurement> *readings,
                 QString *error) override;

private:
    RobotSession *m_session;
    QStringList m_targets;
    bool m_fullPose;
};

} // namespace sim
