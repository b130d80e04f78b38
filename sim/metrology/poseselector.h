#pragma once

#include <Eigen/Core>

#include <vector>

namespace sim {

// Chooses, out of many candidate poses, the few whose identification Jacobian shows the
// parameters best: the set of a given size with the largest O1 (`ObservabilityIndices`), its
// columns scaled once by their norms over all candidates. At a fixed size that is the largest
// determinant of the normal matrix, which a greedy exchange climbs: fill the set one best pose
// at a time, then repeatedly add the best candidate and drop the worst member until the one
// dropped is the one just added. Scaled by the set's own norms instead, O1 cannot tell a pose
// that reads three reflectors from one that reads one, and the chosen poses read fewer.
//
// Each candidate is a block of the Jacobian (a row per residual of that pose, a column per
// free parameter), all with the same columns. Parameters that no combination of the
// candidates tells apart (a rank defect over all of them) are left out of the measure, as the
// identification holds them.
class PoseSelector
{
public:
    // Relative singular value, over all candidates, below which a direction counts as unseen.
    static constexpr double kRankTolerance = 1e-7;

    explicit PoseSelector(std::vector<Eigen::MatrixXd> candidates);

    int candidateCount() const;
    // The columns the measure uses, and those left out as unseen by every candidate.
    const std::vector<int> &columns() const;
    const std::vector<int> &unseenColumns() const;

    // Indices of `count` candidates (at most all of them), in the order chosen; the exchange
    // stops after `maxExchanges` swaps at the latest.
    std::vector<int> select(int count, int maxExchanges = 1000);
    // Swaps made by the last select().
    int exchanges() const;

    // O1 of a set of candidates over the columns the measure uses, scaled by the set's norms.
    double o1(const std::vector<int> &chosen) const;

private:
    struct Set;
    double logDetGain(const Set &set, int candidate, double sign) const;
    // The same, with the candidate's rows already multiplied by the set's inverse.
    double logDetGain(int candidate, double sign,
                      const Eigen::Ref<const Eigen::MatrixXd> &timesInverse) const;

    std::vector<Eigen::MatrixXd> m_blocks;  // candidates over the used columns
    Eigen::MatrixXd m_stacked;              // the same, one under the other
    std::vector<Eigen::Index> m_firstRow;   // of each candidate in m_stacked
    Eigen::VectorXd m_ridge;                // keeps the normal matrix of a small set invertible
    std::vector<int> m_columns;
    std::vector<int> m_unseen;
    int m_exchanges = 0;
};

} // namespace sim
