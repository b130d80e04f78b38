#include "dhchain.h"

#include <Eigen/Cholesky>

#include <algorithm>
#include <cmath>
#include <random>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Uniform in [low, high) from two draws of the engine, which the standard fully specifies. The
// standard's distributions are each library's own: with them a restart that settles on another
// of a target's solutions on Windows than on Linux. This is the arithmetic of the library the
// simulator's figures were first taken with, so that they stay as they were.
double uniformWithin(std::mt19937 *engine, double low, double high)
{
    const double first = double((*engine)());
    const double sum = first + double((*engine)()) * 0x1.0p32;
    const double unit = std::min(sum * 0x1.0p-64, std::nextafter(1.0, 0.0));
    return unit * (high - low) + low;
}

double rad(double deg)
{
    return deg * kPi / 180.0;
}

double deg(double rad)
{
    return rad * 180.0 / kPi;
}

// One step never turns a joint by more than this, so the linearisation stays meaningful.
constexpr double kMaxStepRad = 0.35;
constexpr double kMinDamping = 1e-6;
constexpr double kMaxDamping = 1e3;

} // namespace

struct DhChain::Attempt
{
    QVector<double> jointsDeg;
    double positionErrorMm = 0;
    double rotationErrorDeg = 0;
    int iterations = 0;
    bool converged = false;

    // Errors compared as one number, a millimetre against a degree.
    double score() const { return positionErrorMm + rotationErrorDeg; }
};

DhChain::DhChain() = default;

DhChain::DhChain(const QVector<double> &dh, int axes)
{
    if (axes < 1 || dh.size() != 4 * (axes + 1))
        return;
    for (double v : dh) {
        if (!std::isfinite(v))
            return;
    }
    m_groups.reserve(axes + 1);
    for (int i = 0; i < dh.size(); i += 4)
        m_groups.append(groupTransform(rad(dh.at(i)), dh.at(i + 1), dh.at(i + 2),
                                       rad(dh.at(i + 3))));
    m_axes = axes;
}

bool DhChain::isValid() const
{
    return m_axes > 0;
}

int DhChain::axisCount() const
{
    return m_axes;
}

QVector<Eigen::Isometry3d> DhChain::frames(const QVector<double> &jointsDeg) const
{
    Q_ASSERT(jointsDeg.size() == m_axes);
    QVector<Eigen::Isometry3d> result;
    if (!isValid() || jointsDeg.size() != m_axes)
        return result;
    result.reserve(m_axes + 2);
    Eigen::Isometry3d t = Eigen::Isometry3d::Identity();
    result.append(t);
    for (int k = 0; k <= m_axes; ++k) {
        if (k > 0)
            t.rotate(Eigen::AngleAxisd(rad(jointsDeg.at(k - 1)), Eigen::Vector3d::UnitZ()));
        t = t * m_groups.at(k);
        result.append(t);
    }
    return result;
}

Eigen::Isometry3d DhChain::forward(const QVector<double> &jointsDeg) const
{
    const QVector<Eigen::Isometry3d> all = frames(jointsDeg);
    return all.isEmpty() ? Eigen::Isometry3d::Identity() : all.constLast();
}

DhChain::Jacobian DhChain::jacobian(const QVector<double> &jointsDeg) const
{
    Jacobian j = Jacobian::Zero(6, m_axes);
    const QVector<Eigen::Isometry3d> all = frames(jointsDeg);
    if (all.isEmpty())
        return j;
    const Eigen::Vector3d flange = all.constLast().translation();
    for (int k = 0; k < m_axes; ++k) {
        const Eigen::Isometry3d &joint = all.at(k + 1);
        const Eigen::Vector3d axis = joint.linear().col(2);
        j.block<3, 1>(0, k) = axis.cross(flange - joint.translation());
        j.block<3, 1>(3, k) = axis;
    }
    return j;
}

void DhChain::setDamping(double lambda)
{
    m_damping = qBound(kMinDamping, lambda, kMaxDamping);
}

void DhChain::setRotationWeight(double metresPerRadian)
{
    if (metresPerRadian > 0)
        m_rotationWeight = metresPerRadian;
}

void DhChain::setTolerances(double positionMm, double rotationDeg)
{
    if (positionMm > 0)
        m_tolPositionMm = positionMm;
    if (rotationDeg > 0)
        m_tolRotationDeg = rotationDeg;
}

void DhChain::setMaxIterations(int iterations)
{
    m_maxIterations = qMax(1, iterations);
}

// Position rows in metres, rotation rows weighted, so that neither dominates the step.
Eigen::Matrix<double, 6, 1> DhChain::taskError(const Eigen::Isometry3d &tBaseGoal,
                                               const Eigen::Isometry3d &tBaseFlange) const
{
    Eigen::Matrix<double, 6, 1> e;
    e.head<3>() = (tBaseGoal.translation() - tBaseFlange.translation()) / 1000.0;
    const Eigen::AngleAxisd turn(tBaseGoal.linear() * tBaseFlange.linear().transpose());
    e.tail<3>() = m_rotationWeight * turn.angle() * turn.axis();
    return e;
}

DhChain::Attempt DhChain::solveFrom(const Eigen::Isometry3d &tBaseGoal,
                                    const QVector<double> &startDeg,
                                    const JointLimits &limits) const
{
    Attempt a;
    a.jointsDeg = limits.clamped(startDeg);
    auto measure = [&](const QVector<double> &q, Attempt *into) {
        const Eigen::Isometry3d t = forward(q);
        into->positionErrorMm = (tBaseGoal.translation() - t.translation()).norm();
        into->rotationErrorDeg =
            deg(Eigen::AngleAxisd(tBaseGoal.linear() * t.linear().transpose()).angle());
        return taskError(tBaseGoal, t);
    };
    Eigen::Matrix<double, 6, 1> e = measure(a.jointsDeg, &a);
    double lambda = m_damping;
    Eigen::Matrix<double, 6, 6> weights = Eigen::Matrix<double, 6, 6>::Identity();
    weights.diagonal() << 1e-3, 1e-3, 1e-3, m_rotationWeight, m_rotationWeight, m_rotationWeight;

    while (a.iterations < m_maxIterations) {
        if (a.positionErrorMm <= m_tolPositionMm && a.rotationErrorDeg <= m_tolRotationDeg) {
            a.converged = true;
            break;
        }
        ++a.iterations;
        Jacobian j = weights * jacobian(a.jointsDeg);
        Eigen::VectorXd step;
        // A joint at its limit that the step pushes further out is held still, so that the
        // others take over its share instead of the clamped step going astray.
        for (int pass = 0; pass <= m_axes; ++pass) {
            const Eigen::Matrix<double, 6, 6> jjt =
                j * j.transpose() + lambda * lambda * Eigen::Matrix<double, 6, 6>::Identity();
            step = j.transpose() * jjt.ldlt().solve(e);
            bool held = false;
            for (int k = 0; k < m_axes; ++k) {
                const double q = a.jointsDeg.at(k);
                const bool outward = (q <= limits.lowerDeg.at(k) && step(k) < 0)
                                     || (q >= limits.upperDeg.at(k) && step(k) > 0);
                if (outward && !j.col(k).isZero()) {
                    j.col(k).setZero();
                    held = true;
                }
            }
            if (!held)
                break;
        }
        const double largest = step.cwiseAbs().maxCoeff();
        if (largest > kMaxStepRad)
            step *= kMaxStepRad / largest;
        QVector<double> next = a.jointsDeg;
        for (int k = 0; k < m_axes; ++k)
            next[k] += deg(step(k));
        next = limits.clamped(next);
        Attempt trial;
        const Eigen::Matrix<double, 6, 1> nextError = measure(next, &trial);
        if (nextError.squaredNorm() < e.squaredNorm()) {
            a.jointsDeg = next;
            a.positionErrorMm = trial.positionErrorMm;
            a.rotationErrorDeg = trial.rotationErrorDeg;
            e = nextError;
            lambda = qMax(kMinDamping, lambda * 0.5);
        } else {
            // Stuck against a limit or at a singularity: more damping means a shorter step.
            lambda *= 10.0;
            if (lambda > kMaxDamping)
                break;
        }
    }
    if (!a.converged)
        a.converged = a.positionErrorMm <= m_tolPositionMm
                      && a.rotationErrorDeg <= m_tolRotationDeg;
    return a;
}

IkResult DhChain::inverse(const Eigen::Isometry3d &tBaseGoal, const QVector<double> &seedDeg,
                          const JointLimits &limits, int restarts) const
{
    IkResult result;
    if (!isValid() || limits.size() != m_axes || !limits.isValid()
        || seedDeg.size() != m_axes || !tBaseGoal.matrix().allFinite())
        return result;

    Attempt best = solveFrom(tBaseGoal, seedDeg, limits);
    int iterations = best.iterations;
    // The same starts every time, so that a target gives the same answer on every run.
    std::mt19937 random(20261208u);
    for (int r = 0; r < restarts && !best.converged; ++r) {
        QVector<double> start(m_axes);
        for (int k = 0; k < m_axes; ++k)
            start[k] = uniformWithin(&random, limits.lowerDeg.at(k), limits.upperDeg.at(k));
        const Attempt a = solveFrom(tBaseGoal, start, limits);
        iterations += a.iterations;
        if (a.converged || a.score() < best.score())
            best = a;
    }
    result.status = best.converged ? IkStatus::Converged : IkStatus::NoConvergence;
    result.jointsDeg = best.jointsDeg;
    result.iterations = iterations;
    result.positionErrorMm = best.positionErrorMm;
    result.rotationErrorDeg = best.rotationErrorDeg;
    return result;
}

} // namespace sim
