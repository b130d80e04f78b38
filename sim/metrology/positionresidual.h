#pragma once

#include <sim/kinematics/dhchain.h>

#include <ceres/dynamic_autodiff_cost_function.h>
#include <ceres/rotation.h>

#include <QVector>

#include <vector>

namespace sim {

// Where the tracker sees the flange for the parameter vector of an `IdentificationProblem`,
// written once for doubles and for Ceres' Jets. `p` holds the DH set (4 * (axes + 1)), the
// zero offsets (axes) and the base (6), in the problem's units.
template<class T>
Eigen::Matrix<T, 3, 1> predictFlangeMm(const T *p, const QVector<double> &jointsDeg, int axes)
{
    constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;
    const T *zero = p + 4 * (axes + 1);
    const T *base = zero + axes;
    Eigen::Transform<T, 3, Eigen::Isometry> t = Eigen::Transform<T, 3, Eigen::Isometry>::Identity();
    for (int group = 0; group <= axes; ++group) {
        const T *g = p + 4 * group;
        // Joint k turns about the z axis at the end of group k, so its angle adds to group k + 1.
        T theta = g[3];
        if (group > 0)
            theta += zero[group - 1] + T(jointsDeg.at(group - 1));
        t = t * DhChain::groupTransform<T>(g[0] * kRadPerDeg, g[1], g[2], theta * kRadPerDeg);
    }
    const Eigen::Matrix<T, 3, 1> inBase = t.translation();
    const T rotation[3] = {base[3] * kRadPerDeg, base[4] * kRadPerDeg, base[5] * kRadPerDeg};
    Eigen::Matrix<T, 3, 1> inTracker;
    ceres::AngleAxisRotatePoint(rotation, inBase.data(), inTracker.data());
    return inTracker + Eigen::Matrix<T, 3, 1>(base[0], base[1], base[2]);
}

// Residual of one tracker reading: predicted minus measured flange position (mm). Every
// parameter is a block of one, so that any of them can be held on its own.
class PositionResidual
{
public:
    using CostFunction = ceres::DynamicAutoDiffCostFunction<PositionResidual, 8>;

    PositionResidual(const QVector<double> &jointsDeg, const Eigen::Vector3d &measuredMm,
                     int axes, int parameterCount)
        : m_jointsDeg(jointsDeg)
        , m_measuredMm(measuredMm)
        , m_axes(axes)
        , m_parameterCount(parameterCount)
    {
    }

    template<class T>
    bool operator()(T const *const *parameters, T *residual) const
    {
        std::vector<T> p(static_cast<size_t>(m_parameterCount));
        for (int i = 0; i < m_parameterCount; ++i)
            p[static_cast<size_t>(i)] = parameters[i][0];
        const Eigen::Matrix<T, 3, 1> predicted = predictFlangeMm(p.data(), m_jointsDeg, m_axes);
        for (int i = 0; i < 3; ++i)
            residual[i] = predicted[i] - T(m_measuredMm[i]);
        return true;
    }

    // The caller (a ceres::Problem) owns the result.
    static CostFunction *create(const QVector<double> &jointsDeg,
                                const Eigen::Vector3d &measuredMm, int axes, int parameterCount)
    {
        auto *cost = new CostFunction(
            new PositionResidual(jointsDeg, measuredMm, axes, parameterCount));
        for (int i = 0; i < parameterCount; ++i)
            cost->AddParameterBlock(1);
        cost->SetNumResiduals(3);
        return cost;
    }

private:
    QVector<double> m_jointsDeg;   // the controller's joint readings
    Eigen::Vector3d m_measuredMm;  // tracker reading, tracker frame
    int m_axes;
    int m_parameterCount;
};

} // namespace sim
