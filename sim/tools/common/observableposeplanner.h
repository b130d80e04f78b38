#pragma once

#include "targetsight.h"

#include <sim/metrology/identificationproblem.h>

#include <sim/kinematics/jointlimits.h>

#include <QVector>

#include <cstdint>

namespace sim {

// Plans the poses of an identification for what they reveal instead of drawing them at
// random: draws candidate joint sets within the travel it is given (the same ones for the same
// seed), keeps those the flange reaches in the cell and at which the tracker sees a reflector
// (only the reflectors it sees count), and picks the set with the largest O1 of
// the problem's identification Jacobian at its start values (`PoseSelector`). The chosen poses
// are ordered so that each move from one to the next is short.
class ObservablePosePlanner
{
public:
    static constexpr int kDefaultCandidates = 5000;

    // `problem` gives the model, the parameters that are free and, through its start values,
    // where the Jacobian is taken; its readings are not used.
    ObservablePosePlanner(const IdentificationProblem &problem, const JointLimits &travel,
                          std::uint64_t seed);

    void setCandidateCount(int count);
    // Which targets the tracker will see at a pose; without it, every one.
    void setSight(const TargetSight &sight);
    QVector<QVector<double>> plan(int count);

    // Of the last plan: the candidates drawn and reached, O1 of the chosen set and the swaps
    // the exchange made.
    const QVector<QVector<double>> &candidates() const;
    double o1() const;
    int exchanges() const;

    // O1 of any joint sets for the same problem, over the parameters the candidates of the
    // last plan (or, before any plan, these joint sets themselves) can tell apart.
    double o1Of(const QVector<QVector<double>> &jointSets) const;
    // Within the travel, and the flange within the cell's reach (`CalibPosePlanner`).
    bool reaches(const QVector<double> &jointsDeg) const;

private:
    Eigen::MatrixXd jacobianAt(const QVector<double> &jointsDeg) const;

    IdentificationProblem m_problem;
    JointLimits m_travel;
    std::uint64_t m_seed;
    TargetSight m_sight;
    int m_candidateCount = kDefaultCandidates;
    std::vector<int> m_free;
    std::vector<int> m_seenColumns;
    QVector<QVector<double>> m_candidates;
    double m_o1 = 0;
    int m_exchanges = 0;
};

} // namespace sim
