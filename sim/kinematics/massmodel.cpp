#include "massmodel.h"

#include <cmath>

namespace sim {

namespace {

bool isSound(const MassModel::Body &b)
{
    return std::isfinite(b.massKg) && b.massKg >= 0.0 && b.comMm.allFinite();
}

} // namespace

MassModel::MassModel() = default;

MassModel::MassModel(const QVector<Body> &links, const Body &toolPlate)
    : m_links(links)
    , m_toolPlate(toolPlate)
{
}

bool MassModel::isValid() const
{
    if (m_links.isEmpty() || !isSound(m_toolPlate))
        return false;
    for (const Body &b : m_links) {
        if (!isSound(b))
            return false;
    }
    return true;
}

int MassModel::axisCount() const
{
    return int(m_links.size());
}

QVector<MassModel::Body> MassModel::links() const
{
    return m_links;
}

MassModel::Body MassModel::toolPlate() const
{
    return m_toolPlate;
}

bool MassModel::fits(const DhChain &chain, const QVector<double> &jointsDeg, double payloadKg,
                     const Eigen::Vector3d &gravityBase) const
{
    const int n = axisCount();
    return isValid() && chain.axisCount() == n && jointsDeg.size() == n
           && std::isfinite(payloadKg) && gravityBase.allFinite();
}

// Every body's weight acts at its centre of mass; joint k carries the moment of all bodies beyond
// it about its origin. Walking from the flange inwards sums mass and first moment once.
QVector<Eigen::Vector3d> MassModel::momentsAt(const QVector<Eigen::Isometry3d> &frames,
                                              double payloadKg,
                                              const Eigen::Vector3d &gravityBase) const
{
    const int n = axisCount();
    const Eigen::Isometry3d &flange = frames.constLast();
    // Mass (kg) and first moment (kg m, base frame) of everything beyond the current joint.
    double mass = m_toolPlate.massKg + qMax(0.0, payloadKg);
    Eigen::Vector3d moment = (m_toolPlate.massKg * (flange * m_toolPlate.comMm)
                              + qMax(0.0, payloadKg) * flange.translation())
                             / 1000.0;
    QVector<Eigen::Vector3d> moments(n, Eigen::Vector3d::Zero());
    for (int k = n - 1; k >= 0; --k) {
        const Body &link = m_links.at(k);
        mass += link.massKg;
        moment += link.massKg * (frames.at(k + 2) * link.comMm) / 1000.0;
        const Eigen::Vector3d arm = moment - mass * frames.at(k + 1).translation() / 1000.0;
        moments[k] = arm.cross(gravityBase);
    }
    return moments;
}

QVector<Eigen::Vector3d> MassModel::gravityMomentNm(const DhChain &chain,
                                                    const QVector<double> &jointsDeg,
                                                    double payloadKg,
                                                    const Eigen::Vector3d &gravityBase) const
{
    if (!fits(chain, jointsDeg, payloadKg, gravityBase))
        return {};
    return momentsAt(chain.frames(jointsDeg), payloadKg, gravityBase);
}

QVector<double> MassModel::gravityTorqueNm(const DhChain &chain,
                                           const QVector<double> &jointsDeg, double payloadKg,
                                           const Eigen::Vector3d &gravityBase) const
{
    if (!fits(chain, jointsDeg, payloadKg, gravityBase))
        return {};
    const QVector<Eigen::Isometry3d> frames = chain.frames(jointsDeg);
    const QVector<Eigen::Vector3d> moments = momentsAt(frames, payloadKg, gravityBase);
    QVector<double> tau(moments.size(), 0.0);
    for (int k = 0; k < moments.size(); ++k)
        tau[k] = frames.at(k + 1).linear().col(2).dot(moments.at(k));
    return tau;
}

} // namespace sim
