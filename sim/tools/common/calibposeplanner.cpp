#include "calibposeplanner.h"

namespace sim {

CalibPosePlanner::CalibPosePlanner(int axes, std::uint64_t seed)
    : m_axes(axes)
    , m_random(seed)
{
}

JointLimits CalibPosePlanner::travel(int axes)
{
    JointLimits limits;
    limits.lowerDeg = QVector<double>(axes, -kTravelDeg);
    limits.upperDeg = QVector<double>(axes, kTravelDeg);
    if (axes >= 2)
        limits.lowerDeg[axes - 2] = kLeastWristBendDeg;
    return limits;
}

bool CalibPosePlanner::withinReach(const Eigen::Vector3d &flangeInBaseMm)
{
    return flangeInBaseMm.z() >= kMinHeightMm && flangeInBaseMm.head<2>().norm() >= kMinRadiusMm;
}

void CalibPosePlanner::setModel(const DhChain &model)
{
    m_model = model;
}

void CalibPosePlanner::setSight(const TargetSight &sight)
{
    m_sight = sight;
}

void CalibPosePlanner::queue(const QVector<QVector<double>> &jointSets)
{
    m_queued = jointSets;
}

QVector<double> CalibPosePlanner::next()
{
    if (!m_queued.isEmpty())
        return m_queued.takeFirst();
    const JointLimits limits = travel(m_axes);
    const bool judged = m_model.isValid() && m_model.axisCount() == m_axes;
    for (int draw = 0; draw < kMaxDraws; ++draw) {
        QVector<double> joints;
        joints.reserve(m_axes);
        for (int k = 0; k < m_axes; ++k)
            joints.append(m_random.uniform(limits.lowerDeg.at(k), limits.upperDeg.at(k)));
        if (judged && !withinReach(m_model.forward(joints).translation()))
            continue;
        if (m_sight.seesAny(joints))
            return joints;
    }
    return {};
}

} // namespace sim
