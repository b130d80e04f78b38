#pragma once

#include "positionresidual.h"

namespace sim {

// Residual of a 6-DoF probe's orientation reading: the rotation vector (deg) that turns the
// measured flange orientation into the predicted one, in the tracker frame, each component
// weighted. Its parameters are the robot's, blocks of one, as for `PositionResidual`.
class OrientationResidual
{
public:
    using CostFunction = ceres::DynamicAutoDiffCostFunction<OrientationResidual, 8>;

    // `measuredDeg`: fixed-axis X-Y-Z angles, R = Rz(rz) * Ry(ry) * Rx(rx).
    OrientationResidual(const QVector<double> &jointsDeg, const Eigen::Vector3d &measuredDeg,
                        int axes, const Eigen::Vector3d &weights,
                        const QVector<double> &torqueNm)
        : m_jointsDeg(jointsDeg)
        , m_weights(weights)
        , m_torqueNm(torqueNm)
        , m_axes(axes)
        , m_robotCount(PositionResidual::robotCount(axes, torqueNm))
    {
        constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;
        m_measuredInverse =
            (Eigen::AngleAxisd(measuredDeg.z() * kRadPerDeg, Eigen::Vector3d::UnitZ())
             * Eigen::AngleAxisd(measuredDeg.y() * kRadPerDeg, Eigen::Vector3d::UnitY())
             * Eigen::AngleAxisd(measuredDeg.x() * kRadPerDeg, Eigen::Vector3d::UnitX()))
                .toRotationMatrix()
                .transpose();
    }

    template<class T>
    bool operator()(T const *const *parameters, T *residual) const
    {
        constexpr double kDegPerRad = 180.0 / 3.14159265358979323846;
        std::vector<T> p(static_cast<size_t>(m_robotCount));
        for (int i = 0; i < m_robotCount; ++i)
            p[static_cast<size_t>(i)] = parameters[i][0];
        const Eigen::Matrix<T, 3, 3> predicted =
            predictFlangeInTracker(p.data(), m_jointsDeg, m_axes, m_torqueNm).linear();
        const Eigen::Matrix<T, 3, 3> difference = m_measuredInverse.cast<T>() * predicted;
        T turn[3];
        ceres::RotationMatrixToAngleAxis(difference.data(), turn);
        for (int i = 0; i < 3; ++i)
            residual[i] = T(m_weights[i] * kDegPerRad) * turn[i];
        return true;
    }

    // The caller (a ceres::Problem) owns the result.
    static CostFunction *create(const QVector<double> &jointsDeg,
                                const Eigen::Vector3d &measuredDeg, int axes,
                                const Eigen::Vector3d &weights,
                                const QVector<double> &torqueNm = QVector<double>())
    {
        auto *cost = new CostFunction(
            new OrientationResidual(jointsDeg, measuredDeg, axes, weights, torqueNm));
        for (int i = 0; i < PositionResidual::robotCount(axes, torqueNm); ++i)
            cost->AddParameterBlock(1);
        cost->SetNumResiduals(3);
        return cost;
    }

private:
    QVector<double> m_jointsDeg;         // the controller's joint readings
    Eigen::Matrix3d m_measuredInverse;   // measured orientation, transposed (tracker frame)
    Eigen::Vector3d m_weights;           // per degree of rx, ry, rz
    QVector<double> m_torqueNm;          // gravity torque per joint; empty without compliance
    int m_axes;
    int m_robotCount;
};

} // namespace sim
