#pragma once

#include "ikresult.h"
#include "jointlimits.h"

#include <Eigen/Geometry>

#include <QVector>

namespace sim {

// A serial robot arm in standard Denavit-Hartenberg form, as the controller stores it: four
// numbers per link group, alpha (deg), a (mm), d (mm), theta (deg), each group being
//     G = Rz(theta) * Tz(d) * Tx(a) * Rx(alpha).
// A robot of n joints has n + 1 groups. The first sets the first joint's axis over the base;
// joint k turns about the z axis at the end of group k (its angle adds to the theta of group
// k + 1), and the last group ends at the flange:
//     tBaseFlange = G1 * Rz(q1) * G2 * Rz(q2) * ... * Gn * Rz(qn) * G(n+1).
// Joint angles are in degrees, positions in millimetres, everywhere in this interface.
class DhChain
{
public:
    using Jacobian = Eigen::Matrix<double, 6, Eigen::Dynamic>;

    DhChain();
    // `dh` must hold 4 * (axes + 1) finite numbers; otherwise the chain is invalid.
    DhChain(const QVector<double> &dh, int axes);

    bool isValid() const;
    int axisCount() const;

    Eigen::Isometry3d forward(const QVector<double> &jointsDeg) const;
    // The base, the frame of each joint (its z axis is the joint's axis), then the flange.
    QVector<Eigen::Isometry3d> frames(const QVector<double> &jointsDeg) const;
    // Rows 0-2: flange velocity in mm per radian of each joint; rows 3-5: angular velocity.
    Jacobian jacobian(const QVector<double> &jointsDeg) const;

    // Damped least squares from `seedDeg`, clamped to `limits` at every step; when the seed's
    // neighbourhood holds no solution, `restarts` further starts spread over the limits are
    // tried (deterministically). A path follower passes 0 so that it never jumps.
    IkResult inverse(const Eigen::Isometry3d &tBaseGoal, const QVector<double> &seedDeg,
                     const JointLimits &limits, int restarts = 64) const;

    // Initial damping of the least-squares step (metres and radians); 0.01 by default.
    void setDamping(double lambda);
    // Rotation rows are weighted against position rows in metres; 0.5 m per radian by default.
    void setRotationWeight(double metresPerRadian);
    void setTolerances(double positionMm, double rotationDeg);
    void setMaxIterations(int iterations);

    // The group transform, templated on the scalar so that a differentiating caller can reuse it.
    template<class T>
    static Eigen::Transform<T, 3, Eigen::Isometry> groupTransform(T alphaRad, T aMm, T dMm,
                                                                  T thetaRad)
    {
        using Transform = Eigen::Transform<T, 3, Eigen::Isometry>;
        using Vector = Eigen::Matrix<T, 3, 1>;
        Transform t = Transform::Identity();
        t.rotate(Eigen::AngleAxis<T>(thetaRad, Vector::UnitZ()));
        t.translate(Vector(aMm, T(0), dMm));
        t.rotate(Eigen::AngleAxis<T>(alphaRad, Vector::UnitX()));
        return t;
    }

private:
    struct Attempt;
    Attempt solveFrom(const Eigen::Isometry3d &tBaseGoal, const QVector<double> &startDeg,
                      const JointLimits &limits) const;
    Eigen::Matrix<double, 6, 1> taskError(const Eigen::Isometry3d &tBaseGoal,
                                          const Eigen::Isometry3d &tBaseFlange) const;

    QVector<Eigen::Isometry3d> m_groups; // fixed part of each link group
    int m_axes = 0;
    double m_damping = 0.01;
    double m_rotationWeight = 0.5;
    double m_tolPositionMm = 1e-3;
    double m_tolRotationDeg = 1e-3;
    int m_maxIterations = 200;
};

} // namespace sim
