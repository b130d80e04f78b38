#pragma once

#include <sim/kinematics/cartesianpose.h>

#include <QJsonArray>
#include <QString>
#include <QVector>

namespace sim {

// A teach point as the controller moves to it: its joints, or its flange pose.
struct TeachPointTarget
{
    bool isJoint = false;
    QVector<double> jointsDeg;
    CartesianPose pose;
};

// The current project's teach points, read from the host's data tree ("rovan.project.point"),
// where the pendant keeps them and from which it announces changes to the controller.
class TeachPointBook
{
public:
    // The first point whose "name" equals `name` exactly; false when there is none or when its
    // position cannot be read. `axes` joint values are taken from a joint point.
    // `sentPoints` are the points a pendant elsewhere sent, an empty list among them; while it
    // sent none (null), those of a pendant in the same process are read.
    static bool find(const QString &name, int axes, TeachPointTarget *target,
                     const QJsonArray *sentPoints = nullptr);
    static QJsonArray pendantPoints();
};

} // namespace sim
