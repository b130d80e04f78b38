#pragma once

#include "targetsight.h"

#include <sim/cell/seededrandom.h>
#include <sim/kinematics/dhchain.h>
#include <sim/kinematics/jointlimits.h>

#include <Eigen/Core>

#include <QVector>

#include <cstdint>

namespace sim {

// Joint sets for the identification and validation poses: spread over the travel every robot
// of the cell has (a margin inside each model's limits), the same sequence on every run.
// Poses planned elsewhere can be queued: they come first, the random ones after them. Given the
// robot's model, random joint sets are drawn again until the flange is within the cell's reach
// (about a third of the travel would put it into the floor or the robot's own column) and, given
// where the tracker stands, until it sees a reflector.
class CalibPosePlanner
{
public:
    static constexpr double kTravelDeg = 100.0;
    // The wrist bends one way only (the last joint but one, from this much on): a joint move
    // takes the controller's solution nearest the joints it stands at, and a pose past the
    // straight wrist would leave the arm with its wrist flipped for whatever moves next (an ISO
    // test then measures another arm configuration than the one before it).
    static constexpr double kLeastWristBendDeg = 10.0;
    static constexpr std::uint64_t kSeed = 2026;
    // The cell's reach: the flange stays this high over the floor the base stands on and this
    // far from the base's axis, clear of the robot's own column.
    static constexpr double kMinHeightMm = 100.0;
    static constexpr double kMinRadiusMm = 150.0;
    // Random draws that miss the reach before next() gives up.
    static constexpr int kMaxDraws = 1000;

    explicit CalibPosePlanner(int axes, std::uint64_t seed = kSeed);

    // +-kTravelDeg on every joint, the wrist bent kLeastWristBendDeg to kTravelDeg.
    static JointLimits travel(int axes);
    static bool withinReach(const Eigen::Vector3d &flangeInBaseMm);
    // The model the reach is judged with; without one, every draw is taken.
    void setModel(const DhChain &model);
    void setSight(const TargetSight &sight);
    // Replaces what is queued.
    void queue(const QVector<QVector<double>> &jointSets);
    // Empty when no random draw reached the cell, with a reflector in sight, in kMaxDraws (a
    // model that reaches nothing).
    QVector<double> next();

private:
    int m_axes;
    SeededRandom m_random;
    DhChain m_model;
    TargetSight m_sight;
    QVector<QVector<double>> m_queued;
};

} // namespace sim
