#pragma once

#include <sim/kinematics/dhchain.h>

#include <ceres/dynamic_autodiff_cost_function.h>
#include <ceres/rotation.h>

#include <QVector>

#include <array>
#include <vector>

namespace sim {

// The flange's pose in the tracker's frame for the robot part of an `IdentificationProblem`'s
// parameter vector, written once for doubles and for Ceres' Jets. `p` holds the DH set
// (4 * (axes + 1)), the zero offsets (axes), the base's pose in the tracker frame (6) and, when
// `torqueNm` gives the gravity torque on each joint, the joints' compliances (axes), in the
// problem's units.
template<class T>
Eigen::Transform<T, 3, Eigen::Isometry> predictFlangeInTracker(
    const T *p, const QVector<double> &jointsDeg, int axes,
    const QVector<double> &torqueNm = QVector<double>())
{
    constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;
    // A compliance of one urad/(N*m) under one N*m, in degrees.
    constexpr double kDegPerComplianceNm = 1e-6 / kRadPerDeg;
    using Transform = Eigen::Transform<T, 3, Eigen::Isometry>;
    const T *zero = p + 4 * (axes + 1);
    const T *base = zero + axes;
    const T *compliance = base + 6;
    Transform t = Transform::Identity();
    for (int group = 0; group <= axes; ++group) {
        const T *g = p + 4 * group;
        // Joint k turns about the z axis at the end of group k, so its angle adds to group k + 1.
        T theta = g[3];
        if (group > 0)
            theta += zero[group - 1] + T(jointsDeg.at(group - 1));
        if (group > 0 && !torqueNm.isEmpty())
            theta += compliance[group - 1] * (kDegPerComplianceNm * torqueNm.at(group - 1));
        t = t * DhChain::groupTransform<T>(g[0] * kRadPerDeg, g[1], g[2], theta * kRadPerDeg);
    }
    const T rotation[3] = {base[3] * kRadPerDeg, base[4] * kRadPerDeg, base[5] * kRadPerDeg};
    Eigen::Matrix<T, 3, 3> r;
    ceres::AngleAxisToRotationMatrix(rotation, r.data());
    Transform trackerFromBase = Transform::Identity();
    trackerFromBase.linear() = r;
    trackerFromBase.translation() = Eigen::Matrix<T, 3, 1>(base[0], base[1], base[2]);
    return trackerFromBase * t;
}

// Residual of one tracker reading of a target: predicted minus measured position (mm, tracker
// frame), each component weighted. Every parameter is a block of one, so that any of them can be
// held on its own: the robot's parameters first (with the compliances when `torqueNm` holds the
// reading's gravity torques), then the target's three, if it has any (a reading of the flange's
// origin has none).
class PositionResidual
{
public:
    using CostFunction = ceres::DynamicAutoDiffCostFunction<PositionResidual, 8>;

    PositionResidual(const QVector<double> &jointsDeg, const Eigen::Vector3d &measuredMm,
                     int axes, bool hasTarget, const Eigen::Vector3d &weights,
                     const QVector<double> &torqueNm)
        : m_jointsDeg(jointsDeg)
        , m_measuredMm(measuredMm)
        , m_weights(weights)
        , m_torqueNm(torqueNm)
        , m_axes(axes)
        , m_robotCount(robotCount(axes, torqueNm))
        , m_hasTarget(hasTarget)
    {
    }

    // The robot's parameters a reading depends on.
    static int robotCount(int axes, const QVector<double> &torqueNm)
    {
        return 4 * (axes + 1) + axes + 6 + (torqueNm.isEmpty() ? 0 : axes);
    }

    template<class T>
    bool operator()(T const *const *parameters, T *residual) const
    {
        std::vector<T> p(static_cast<size_t>(m_robotCount));
        for (int i = 0; i < m_robotCount; ++i)
            p[static_cast<size_t>(i)] = parameters[i][0];
        Eigen::Matrix<T, 3, 1> offset = Eigen::Matrix<T, 3, 1>::Zero();
        if (m_hasTarget) {
            for (int i = 0; i < 3; ++i)
                offset[i] = parameters[m_robotCount + i][0];
        }
        const Eigen::Matrix<T, 3, 1> predicted =
            predictFlangeInTracker(p.data(), m_jointsDeg, m_axes, m_torqueNm) * offset;
        for (int i = 0; i < 3; ++i)
            residual[i] = T(m_weights[i]) * (predicted[i] - T(m_measuredMm[i]));
        return true;
    }

    // The caller (a ceres::Problem) owns the result.
    static CostFunction *create(const QVector<double> &jointsDeg,
                                const Eigen::Vector3d &measuredMm, int axes, bool hasTarget,
                                const Eigen::Vector3d &weights = Eigen::Vector3d::Ones(),
                                const QVector<double> &torqueNm = QVector<double>())
    {
        auto *cost = new CostFunction(
            new PositionResidual(jointsDeg, measuredMm, axes, hasTarget, weights, torqueNm));
        const int blocks = robotCount(axes, torqueNm) + (hasTarget ? 3 : 0);
        for (int i = 0; i < blocks; ++i)
            cost->AddParameterBlock(1);
        cost->SetNumResiduals(3);
        return cost;
    }

private:
    QVector<double> m_jointsDeg;   // the controller's joint readings
    Eigen::Vector3d m_measuredMm;  // tracker reading, tracker frame
    Eigen::Vector3d m_weights;     // per mm of x, y, z
    QVector<double> m_torqueNm;    // gravity torque per joint; empty without compliance
    int m_axes;
    int m_robotCount;
    bool m_hasTarget;
};

} // namespace sim
