#pragma once

#include "tracker.h"

#include <QHash>

namespace sim {

// Readings recorded before, by a collector run or a real tracker's export: a pose's readings are
// the file's, whatever the controller reads now.
class RecordedTracker : public Tracker
{
public:
    explicit RecordedTracker(const QVector<PoseMeasurement> &readings);

    bool measure(int pose, const QVector<double> &jointsDeg, QVector<PoseMeasurement> *readings,
                 QString *error) override;

private:
    QHash<int, QVector<PoseMeasurement>> m_byPose;
};

} // namespace sim
