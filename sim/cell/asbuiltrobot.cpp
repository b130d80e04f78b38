#include "asbuiltrobot.h"

#include "seededrandom.h"

namespace sim {

namespace {

constexpr double kLengthErrorMinMm = 0.2;
constexpr double kLengthErrorMaxMm = 0.8;
constexpr double kAngleErrorMinDeg = 0.02;
constexpr double kAngleErrorMaxDeg = 0.08;

} // namespace

bool AsBuiltRobot::hasLinkErrors(int group, int axes)
{
    return group > 0 && group < axes - 1;
}

AsBuiltRobot::AsBuiltRobot() = default;

AsBuiltRobot::AsBuiltRobot(const QVector<double> &nominalDh, int axes, const QString &robotId)
    : m_dh(nominalDh)
    , m_zeroDeg(axes > 0 ? axes : 0, 0.0)
    , m_axes(axes)
{
    if (axes < 1 || nominalDh.size() != 4 * (axes + 1))
        return;
    SeededRandom random(SeededRandom::seedFromText(robotId));
    for (int group = 0; group < axes; ++group) {
        double *p = m_dh.data() + 4 * group;
        const double alpha = random.signedMagnitude(kAngleErrorMinDeg, kAngleErrorMaxDeg);
        const double a = random.signedMagnitude(kLengthErrorMinMm, kLengthErrorMaxMm);
        const double d = random.signedMagnitude(kLengthErrorMinMm, kLengthErrorMaxMm);
        p[3] += random.signedMagnitude(kAngleErrorMinDeg, kAngleErrorMaxDeg);
        if (hasLinkErrors(group, axes)) {
            p[0] += alpha;
            p[1] += a;
            p[2] += d;
        }
    }
    for (double &zero : m_zeroDeg)
        zero = random.signedMagnitude(kAngleErrorMinDeg, kAngleErrorMaxDeg);
    rebuild();
}

AsBuiltRobot AsBuiltRobot::withErrors(const QVector<double> &nominalDh, int axes,
                                      const QVector<double> &dhErrors,
                                      const QVector<double> &zeroErrorsDeg)
{
    AsBuiltRobot robot;
    if (axes < 1 || nominalDh.size() != 4 * (axes + 1) || dhErrors.size() != nominalDh.size()
        || zeroErrorsDeg.size() != axes)
        return robot;
    robot.m_axes = axes;
    robot.m_dh = nominalDh;
    for (int i = 0; i < nominalDh.size(); ++i)
        robot.m_dh[i] += dhErrors.at(i);
    robot.m_zeroDeg = zeroErrorsDeg;
    robot.rebuild();
    return robot;
}

void AsBuiltRobot::rebuild()
{
    m_chain = DhChain(foldZeroOffsets(m_dh, m_zeroDeg), m_axes);
}

bool AsBuiltRobot::isValid() const
{
    return m_chain.isValid();
}

int AsBuiltRobot::axisCount() const
{
    return m_axes;
}

QVector<double> AsBuiltRobot::dh() const
{
    return m_dh;
}

QVector<double> AsBuiltRobot::zeroOffsetsDeg() const
{
    return m_zeroDeg;
}

Eigen::Isometry3d AsBuiltRobot::flange(const QVector<double> &jointsDeg) const
{
    return m_chain.forward(jointsDeg);
}

Eigen::Vector3d AsBuiltRobot::flangePositionMm(const QVector<double> &jointsDeg) const
{
    return flange(jointsDeg).translation();
}

const DhChain &AsBuiltRobot::chain() const
{
    return m_chain;
}

QVector<double> AsBuiltRobot::foldZeroOffsets(const QVector<double> &dh,
                                              const QVector<double> &zeroOffsetsDeg)
{
    QVector<double> folded = dh;
    for (int k = 0; k < zeroOffsetsDeg.size(); ++k) {
        const int theta = 4 * (k + 1) + 3;
        if (theta < folded.size())
            folded[theta] += zeroOffsetsDeg.at(k);
    }
    return folded;
}

} // namespace sim
