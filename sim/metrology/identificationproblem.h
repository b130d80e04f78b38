#pragma once

#include <Eigen/Core>

#include <QJsonArray>
#include <QStringList>
#include <QVector>

namespace sim {

// One tracker reading: the joints the controller reported and where the flange was measured,
// in the tracker's frame (mm).
struct PoseMeasurement
{
    QVector<double> jointsDeg;
    Eigen::Vector3d positionMm = Eigen::Vector3d::Zero();
};

// What an identification starts from: the model the robot is configured with, which of its
// parameters may change, and the measurements. The parameters, in this order:
//   - the DH set, 4 per link group: "link<k>.alpha" (deg), ".a" (mm), ".d" (mm), ".theta" (deg),
//     k = 1 .. axes + 1;
//   - the joint zero offsets "joint<k>.zero" (deg), k = 1 .. axes, added to the joint readings;
//   - the tracker's pose in the base frame: "base.x", ".y", ".z" (mm) and the rotation vector
//     "base.rx", ".ry", ".rz" (deg); zero and held unless asked for.
// A new problem leaves everything held.
class IdentificationProblem
{
public:
    static constexpr int kBaseParameters = 6;

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

    QVector<PoseMeasurement> measurements;

    // Index helpers into the parameter vector.
    static int dhIndex(int group, int column) { return 4 * group + column; }
    int zeroIndex(int joint) const { return 4 * (m_axes + 1) + joint; }
    int baseIndex(int i) const { return 4 * (m_axes + 1) + m_axes + i; }

private:
    int m_axes = 0;
    QVector<double> m_start;
    QVector<bool> m_free;
};

} // namespace sim
