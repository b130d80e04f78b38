#pragma once

#include <sim/kinematics/dhchain.h>

#include <Eigen/Geometry>

#include <QString>
#include <QVector>

namespace sim {

// The robot as it was built: its nominal DH set plus the small errors of machining and assembly,
// and the zero offset of each joint's encoder. Nobody reads it through the controller; only the
// tracker sees where it puts the flange.
//
// A zero offset z of joint k means the arm turns by q + z when the controller reads q, which is
// the same as adding z to the theta of link group k + 1 (see `foldZeroOffsets`).
class AsBuiltRobot
{
public:
    AsBuiltRobot();
    // Errors drawn once from `robotId`, so the same robot is the same after every restart:
    // 0.2-0.8 mm on a and d, 0.02-0.08 degrees on alpha, theta and the joint zeros, each with a
    // random sign. Alpha, a and d err on the links between the joints (`hasLinkErrors`); the
    // base mounting (group 1, which the tracker's base frame is registered to), the wrist group
    // of the last joint and the flange group keep them as designed, theta errs on all but the
    // flange group.
    AsBuiltRobot(const QVector<double> &nominalDh, int axes, const QString &robotId);
    // A robot with exactly these errors, for tests.
    static AsBuiltRobot withErrors(const QVector<double> &nominalDh, int axes,
                                   const QVector<double> &dhErrors,
                                   const QVector<double> &zeroErrorsDeg);

    bool isValid() const;
    int axisCount() const;
    QVector<double> dh() const;
    QVector<double> zeroOffsetsDeg() const;

    // Flange in the base frame for the joint readings `jointsDeg`.
    Eigen::Isometry3d flange(const QVector<double> &jointsDeg) const;
    Eigen::Vector3d flangePositionMm(const QVector<double> &jointsDeg) const;
    // The chain that takes the joint readings, zero offsets folded in.
    const DhChain &chain() const;

    // The DH set whose chain, driven by the joint readings, turns each joint by its zero offset.
    // Whether alpha, a and d of link group `group` (0-based) differ from the design.
    static bool hasLinkErrors(int group, int axes);

    static QVector<double> foldZeroOffsets(const QVector<double> &dh,
                                           const QVector<double> &zeroOffsetsDeg);

private:
    void rebuild();

    QVector<double> m_dh;
    QVector<double> m_zeroDeg;
    int m_axes = 0;
    DhChain m_chain;
};

} // namespace sim
