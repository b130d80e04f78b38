#pragma once

#include "motionplan.h"

#include <sim/kinematics/dhchain.h>

#include <QString>

namespace sim {

// Turns a move request into joint samples over time, or says why it cannot be done. Every
// function returns a MoveError code (0 when planned) and leaves the reason in `why`.
class MotionPlanner
{
public:
    MotionPlanner(const DhChain &chain, const JointLimits &limits);

    // Joints that put the flange at `tBaseGoal`, searched from `seedDeg` first.
    int solve(const Eigen::Isometry3d &tBaseGoal, const QVector<double> &seedDeg,
              QVector<double> *jointsDeg, QString *why) const;
    // The same in a configuration: joint k in the quarter turn [90 cf_k, 90 (cf_k + 1)) degrees,
    // as controllers tell one solution from another. Of the solutions found from `seedDeg`, from
    // it moved into those quarter turns and from their middles, the one nearest the quarter
    // turns is taken (then the one nearest `seedDeg`); none within a degree of them is
    // TargetUnreachable.
    int solveInConfiguration(const Eigen::Isometry3d &tBaseGoal, const QVector<double> &seedDeg,
                             const QVector<int> &configuration, QVector<double> *jointsDeg,
                             QString *why) const;
    // Every joint moves linearly in time; the one with the longest way runs at `speedDegS`.
    int planJoint(const QVector<double> &fromDeg, const QVector<double> &toDeg, double speedDegS,
                  MotionPlan *plan, QString *why) const;
    // The flange runs on the straight line at `speedMmS` (orientation turns along at the same
    // number of degrees per second), solved in short steps so that an unreachable stretch or a
    // sudden turn of a joint is found before the robot starts.
    int planLinear(const QVector<double> &fromDeg, const Eigen::Isometry3d &tBaseGoal,
                   double speedMmS, MotionPlan *plan, QString *why) const;

    // Longest step of the line between two solved samples, and the largest joint turn allowed
    // across one step before the line counts as passing through a singularity.
    static constexpr double kStepMm = 1.0;
    static constexpr double kStepDeg = 0.5;
    static constexpr double kMaxJointTurnPerStepDeg = 5.0;

private:
    const DhChain &m_chain;
    const JointLimits &m_limits;
};

} // namespace sim
