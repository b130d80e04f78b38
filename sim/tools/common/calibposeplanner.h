#pragma once

#include <sim/cell/seededrandom.h>
#include <sim/kinematics/jointlimits.h>

#include <QVector>

#include <cstdint>

namespace sim {

// Joint sets for the identification and validation poses: spread over the travel every robot
// of the cell has (a margin inside each model's limits), the same sequence on every run.
// Poses planned elsewhere can be queued: they come first, the random ones after them.
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

    explicit CalibPosePlanner(int axes, std::uint64_t seed = kSeed);

    // +-kTravelDeg on every joint, the wrist bent kLeastWristBendDeg to kTravelDeg.
    static JointLimits travel(int axes);
    // Replaces what is queued.
    void queue(const QVector<QVector<double>> &jointSets);
    QVector<double> next();

private:
    int m_axes;
    SeededRandom m_random;
    QVector<QVector<double>> m_queued;
};

} // namespace sim
