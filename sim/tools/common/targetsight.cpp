#include "targetsight.h"

#include <sim/metrology/identifier.h>

namespace sim {

TargetSight::TargetSight(const DhChain &model, const RobotBody &body,
                         const Eigen::Isometry3d &trackerFromBase,
                         const QMap<QString, Eigen::Vector3d> &targetsMm)
    : m_model(model)
    , m_body(body.grown(kMarginMm))
    , m_trackerInBase(trackerFromBase.inverse().translation())
    , m_targetsMm(targetsMm)
{
}

bool TargetSight::isKnown() const
{
    return m_model.isValid() && !m_body.isEmpty();
}

QStringList TargetSight::seen(const QVector<double> &jointsDeg, const QStringList &targets) const
{
    if (!isKnown() || jointsDeg.size() != m_model.axisCount())
        return targets;
    const QVector<Eigen::Isometry3d> frames = m_model.frames(jointsDeg);
    QStringList seen;
    for (const QString &target : targets) {
        const Eigen::Vector3d reflector = frames.constLast() * m_targetsMm.value(target);
        if (!m_body.hidesBeam(frames, m_trackerInBase, reflector))
            seen.append(target);
    }
    return seen;
}

bool TargetSight::seesAny(const QVector<double> &jointsDeg) const
{
    return !isKnown() || m_targetsMm.isEmpty() || !seen(jointsDeg, m_targetsMm.keys()).isEmpty();
}

QVector<QVector<double>> TargetSight::roughPoses(const QVector<double> &homeDeg)
{
    QVector<QVector<double>> poses(4, homeDeg);
    if (homeDeg.size() < 2)
        return poses.mid(0, 1);
    poses[1][0] -= 30.0;
    poses[2][0] += 30.0;
    poses[3][1] += 15.0;
    return poses;
}

bool TargetSight::roughTrackerPose(const DhChain &model,
                                   const QMap<QString, Eigen::Vector3d> &targetsMm,
                                   const QVector<PoseMeasurement> &readings,
                                   Eigen::Isometry3d *trackerFromBase, QString *error)
{
    const Eigen::Index n = readings.size();
    Eigen::Matrix3Xd predicted(3, n);
    Eigen::Matrix3Xd measured(3, n);
    for (Eigen::Index m = 0; m < n; ++m) {
        const PoseMeasurement &r = readings.at(int(m));
        if (!model.isValid() || r.jointsDeg.size() != model.axisCount()) {
            *error = QStringLiteral("no model of %1 joints").arg(r.jointsDeg.size());
            return false;
        }
        predicted.col(m) = model.forward(r.jointsDeg) * targetsMm.value(r.target);
        measured.col(m) = r.positionMm;
    }
    if (!Identifier::rigidFit(predicted, measured, trackerFromBase)) {
        *error = QStringLiteral("%1 readings do not fix where the tracker stands").arg(n);
        return false;
    }
    return true;
}

} // namespace sim
