#pragma once

#include <sim/kinematics/massmodel.h>

#include <Eigen/Geometry>

#include <QJsonArray>
#include <QStringList>
#include <QVector>

#include <array>

namespace sim {

// One tracker reading: the joints the controller reported and where a target on the flange was
// measured, in the tracker's frame (mm). An empty `target` is the flange's origin itself. A
// 6-DoF probe also gives the flange's orientation in the tracker frame.
struct PoseMeasurement
{
    QVector<double> jointsDeg;
    Eigen::Vector3d positionMm = Eigen::Vector3d::Zero();
    QString target;
    int pose = 0; // the pose's number in the measurement file, for reports
    bool hasOrientation = false;
    // Fixed-axis X-Y-Z angles in degrees: R = Rz(rz) * Ry(ry) * Rx(rx).
    Eigen::Vector3d orientationDeg = Eigen::Vector3d::Zero();
};

// What an identification starts from: the model the robot is configured with, which of its
// parameters may change, and the measurements. The parameters, in this order:
//   - the DH set, 4 per link group: "link<k>.alpha" (deg), ".a" (mm), ".d" (mm), ".theta" (deg),
//     k = 1 .. axes + 1;
//   - the joint zero offsets "joint<k>.zero" (deg), k = 1 .. axes, added to the joint readings;
//   - the robot base's pose in the tracker's frame, which maps base coordinates into tracker
//     coordinates: "base.x", ".y", ".z" (mm) and the rotation vector "base.rx", ".ry", ".rz"
//     (deg); the identity and held unless set;
//   - with a compliance model, each joint's compliance "joint<k>.compliance" (urad/(N*m)): the
//     joint stands at its reading plus the compliance times the gravity torque it carries;
//   - per target on the flange, its position in the flange frame: "target.<name>.x", ".y", ".z"
//     (mm), free from the moment the targets are set.
// A new problem leaves the DH set, the zero offsets and the base held.
class IdentificationProblem
{
public:
    static constexpr int kBaseParameters = 6;
    // A compliance parameter in urad/(N*m) is one of these in rad/(N*m).
    static constexpr double kCompliancePerUnit = 1e-6;

    IdentificationProblem();
    // `dh` holds 4 * (axes + 1) numbers, `zeroOffsetsDeg` one per axis.
    IdentificationProblem(const QVector<double> &dh, const QVector<double> &zeroOffsetsDeg,
                          int axes);

    bool isValid() const;
    int axisCount() const;
    int parameterCount() const;
    QStringList labels() const;
    int indexOf(const QString &label) const;

    QVector<double> startValues() const;
    bool isFree(int index) const;
    void setFree(int index, bool free);
    int freeCount() const;

    // The calibration request's choice: every parameter of link groups 1 .. axes free except
    // those listed ("joint_index" 0-based, -1 the last joint; "locked_params" names), and every
    // joint zero offset free; the last link group and the base stay held. False, with the
    // reason, for an element that names no joint or no parameter of a joint.
    bool applyConstraints(const QJsonArray &constraints, QString *error);
    void setBaseFree(bool free);
    // Starts the base's pose from `trackerFromBase`.
    void setBaseStart(const Eigen::Isometry3d &trackerFromBase);
    Eigen::Isometry3d baseStart() const;
    // The targets and their nominal positions on the flange (mm); replaces earlier ones.
    void setTargets(const QStringList &names, const QVector<Eigen::Vector3d> &nominalMm);
    QStringList targets() const;
    void setTargetsFree(bool free);
    // Adds a compliance per joint, free and started from `startRadPerNm` (zeros when empty),
    // with the gravity torques of `masses` and a payload at the flange; keeps the targets.
    void setComplianceModel(const MassModel &masses, double payloadKg,
                            const QVector<double> &startRadPerNm = {});
    bool hasCompliance() const;
    double payloadKg() const;
    // The gravity torque (N m) on each joint at the readings `jointsDeg`, for the model in the
    // parameter vector `values` (DH set with the zero offsets); empty without a compliance model.
    QVector<double> gravityTorquesNm(const QVector<double> &values,
                                     const QVector<double> &jointsDeg) const;

    // Residual weights of x, y, z (per mm) and rx, ry, rz (per degree) of a reading.
    std::array<double, 6> componentWeights{{1.0, 1.0, 1.0, 10.0, 10.0, 10.0}};
    // Fit, drop readings whose residual exceeds `outlierFactor` times the robust spread of the
    // residuals' components and `outlierFloorMm`, and fit again under a Huber loss; false fits
    // once, plainly.
    bool robust = true;
    double outlierFactor = 5.0;
    double outlierFloorMm = 0.1;

    QVector<PoseMeasurement> measurements;

    // Index helpers into the parameter vector.
    static int dhIndex(int group, int column) { return 4 * group + column; }
    int zeroIndex(int joint) const { return 4 * (m_axes + 1) + joint; }
    int baseIndex(int i) const { return 4 * (m_axes + 1) + m_axes + i; }
    int complianceIndex(int joint) const { return baseIndex(kBaseParameters) + joint; }
    // The first of a target's three parameters, or -1 for the flange origin or an unknown name.
    int targetIndex(const QString &name) const;
    // The parameters every reading depends on: DH set, zero offsets, base and compliances.
    int robotParameterCount() const
    {
        return baseIndex(kBaseParameters) + (m_compliance ? m_axes : 0);
    }

private:
    int m_axes = 0;
    QVector<double> m_start;
    QVector<bool> m_free;
    QStringList m_targets;
    bool m_compliance = false;
    MassModel m_masses;
    double m_payloadKg = 0;
};

} // namespace sim
