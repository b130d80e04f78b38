#include "motionplanner.h"

#include "moveerror.h"


#include <cmath>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

QString describe(const Eigen::Isometry3d &t)
{
    const Eigen::Vector3d p = t.translation();
    return QStringLiteral("(%1, %2, %3) mm")
        .arg(p.x(), 0, 'f', 1)
        .arg(p.y(), 0, 'f', 1)
        .arg(p.z(), 0, 'f', 1);
}

double largestTurn(const QVector<double> &a, const QVector<double> &b)
{
    double largest = 0;
    for (int k = 0; k < a.size() && k < b.size(); ++k)
        largest = std::max(largest, std::abs(b.at(k) - a.at(k)));
    return largest;
}

} // namespace

MotionPlanner::MotionPlanner(const DhChain &chain, const JointLimits &limits)
    : m_chain(chain)
    , m_limits(limits)
{
}

int MotionPlanner::solve(const Eigen::Isometry3d &tBaseGoal, const QVector<double> &seedDeg,
                         QVector<double> *jointsDeg, QString *why) const
{
    const IkResult ik = m_chain.inverse(tBaseGoal, seedDeg, m_limits);
    if (!ik.ok()) {
        *why = QStringLiteral("target %1 is out of reach (%2 mm, %3 deg off)")
                   .arg(describe(tBaseGoal))
                   .arg(ik.positionErrorMm, 0, 'f', 1)
                   .arg(ik.rotationErrorDeg, 0, 'f', 1);
        return MoveError::TargetUnreachable;
    }
    *jointsDeg = ik.jointsDeg;
    return MoveError::None;
}

int MotionPlanner::solveInConfiguration(const Eigen::Isometry3d &tBaseGoal,
                                        const QVector<double> &seedDeg,
                                        const QVector<int> &configuration,
                                        QVector<double> *jointsDeg, QString *why) const
{
    constexpr double kQuarterDeg = 90.0;
    constexpr double kToleranceDeg = 1.0;
    const int n = seedDeg.size();
    // How far the joints lie outside their quarter turns, in degrees.
    const auto outside = [&](const QVector<double> &q) {
        double sum = 0;
        for (int k = 0; k < n && k < configuration.size(); ++k) {
            const double low = kQuarterDeg * configuration.at(k);
            sum += std::max(0.0, low - q.at(k)) + std::max(0.0, q.at(k) - (low + kQuarterDeg));
        }
        return sum;
    };
    QVector<double> inside = seedDeg;
    QVector<double> middles = seedDeg;
    for (int k = 0; k < n && k < configuration.size(); ++k) {
        const double low = kQuarterDeg * configuration.at(k);
        const double lower = std::max(low, m_limits.lowerDeg.value(k, low));
        const double upper = std::min(low + kQuarterDeg, m_limits.upperDeg.value(k, low + kQuarterDeg));
        inside[k] = std::min(std::max(seedDeg.at(k), lower), upper);
        middles[k] = 0.5 * (lower + upper);
    }
    QVector<double> best;
    for (const QVector<double> &seed : {inside, seedDeg, middles}) {
        const IkResult ik = m_chain.inverse(tBaseGoal, seed, m_limits);
        if (!ik.ok())
            continue;
        if (best.isEmpty() || outside(ik.jointsDeg) < outside(best) - 1e-9
            || (std::abs(outside(ik.jointsDeg) - outside(best)) <= 1e-9
                && largestTurn(seedDeg, ik.jointsDeg) < largestTurn(seedDeg, best)))
            best = ik.jointsDeg;
    }
    if (best.isEmpty())
        return solve(tBaseGoal, seedDeg, jointsDeg, why);
    if (outside(best) > kToleranceDeg) {
        *why = QStringLiteral("target %1 has no solution in the configuration asked for")
                   .arg(describe(tBaseGoal));
        return MoveError::TargetUnreachable;
    }
    *jointsDeg = best;
    return MoveError::None;
}

int MotionPlanner::planJoint(const QVector<double> &fromDeg, const QVector<double> &toDeg,
                             double speedDegS, MotionPlan *plan, QString *why) const
{
    if (!(speedDegS > 0) || !std::isfinite(speedDegS)) {
        *why = QStringLiteral("speed must be positive");
        return MoveError::BadRequest;
    }
    const int bad = m_limits.firstViolation(toDeg);
    if (bad >= 0) {
        *why = QStringLiteral("joint %1 of the target is outside its travel").arg(bad + 1);
        return MoveError::TargetUnreachable;
    }
    plan->jointsDeg = {fromDeg, toDeg};
    plan->timesS = {0.0, largestTurn(fromDeg, toDeg) / speedDegS};
    return MoveError::None;
}

int MotionPlanner::planLinear(const QVector<double> &fromDeg, const Eigen::Isometry3d &tBaseGoal,
                              double speedMmS, MotionPlan *plan, QString *why) const
{
    if (!(speedMmS > 0) || !std::isfinite(speedMmS)) {
        *why = QStringLiteral("speed must be positive");
        return MoveError::BadRequest;
    }
    QVector<double> end;
    // The end must be reachable at all before the line to it is worth following.
    const int endError = solve(tBaseGoal, fromDeg, &end, why);
    if (endError != MoveError::None)
        return endError;

    const Eigen::Isometry3d start = m_chain.forward(fromDeg);
    const Eigen::Vector3d p0 = start.translation();
    const Eigen::Vector3d p1 = tBaseGoal.translation();
    const Eigen::Quaterniond q0(start.linear());
    const Eigen::Quaterniond q1(tBaseGoal.linear());
    const double lengthMm = (p1 - p0).norm();
    const double turnDeg = q0.angularDistance(q1) * 180.0 / kPi;
    const int steps = std::max(1, int(std::ceil(std::max(lengthMm / kStepMm,
                                                         turnDeg / kStepDeg))));
    const double durationS = std::max(lengthMm, turnDeg) / speedMmS;

    MotionPlan result;
    result.jointsDeg.reserve(steps + 1);
    result.timesS.reserve(steps + 1);
    result.jointsDeg.append(fromDeg);
    result.timesS.append(0.0);
    for (int i = 1; i <= steps; ++i) {
        const double s = double(i) / steps;
        Eigen::Isometry3d goal = Eigen::Isometry3d::Identity();
        goal.linear() = q0.slerp(s, q1).toRotationMatrix();
        goal.translation() = p0 + s * (p1 - p0);
        const QVector<double> &previous = result.jointsDeg.constLast();
        const IkResult ik = m_chain.inverse(goal, previous, m_limits, 0);
        if (!ik.ok()) {
            *why = QStringLiteral("the line leaves the reachable space at %1")
                       .arg(describe(goal));
            return MoveError::PathUnreachable;
        }
        if (largestTurn(previous, ik.jointsDeg) > kMaxJointTurnPerStepDeg) {
            *why = QStringLiteral("the line passes a singularity at %1").arg(describe(goal));
            return MoveError::PathUnreachable;
        }
        result.jointsDeg.append(ik.jointsDeg);
        result.timesS.append(s * durationS);
    }
    *plan = result;
    return MoveError::None;
}

} // namespace sim
