#include "poseselector.h"

#include "observabilityindices.h"

#include <Eigen/Cholesky>
#include <Eigen/LU>
#include <Eigen/QR>
#include <Eigen/SVD>

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <limits>

namespace sim {

namespace {

// Share of a column's mean squared norm per candidate that the normal matrix starts from, so
// that a set still smaller than the parameters it must show can be compared with another; a
// column no member shows costs the log of it, so a set that shows every column wins.
constexpr double kRidge = 1e-9;
// An exchange must raise the criterion by more than this, so that ties cannot cycle.
constexpr double kTie = 1e-9;
constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

Eigen::MatrixXd keepColumns(const Eigen::MatrixXd &m, const std::vector<int> &columns)
{
    Eigen::MatrixXd kept(m.rows(), Eigen::Index(columns.size()));
    for (size_t c = 0; c < columns.size(); ++c)
        kept.col(Eigen::Index(c)) = m.col(columns[c]);
    return kept;
}

// The columns of `r` (the triangular factor of all candidates stacked, which has their
// singular values) that are told apart: while the scaled matrix's weakest singular value is
// negligible, the column of that direction that comes last is dropped, as the identification
// holds the later of two parameters it cannot separate.
std::vector<int> seenColumns(const Eigen::MatrixXd &r, std::vector<int> *unseen)
{
    std::vector<int> columns;
    for (int c = 0; c < r.cols(); ++c) {
        if (r.col(c).norm() > 0)
            columns.push_back(c);
        else
            unseen->push_back(c);
    }
    while (!columns.empty()) {
        const Eigen::JacobiSVD<Eigen::MatrixXd> svd(
            ObservabilityIndices::scaledColumns(keepColumns(r, columns)), Eigen::ComputeThinV);
        const Eigen::VectorXd &s = svd.singularValues();
        if (s[s.size() - 1] >= PoseSelector::kRankTolerance * s[0])
            break;
        const Eigen::VectorXd weakest = svd.matrixV().col(svd.matrixV().cols() - 1).cwiseAbs();
        const double largest = weakest.maxCoeff();
        int drop = 0;
        for (int c = 0; c < weakest.size(); ++c) {
            if (weakest[c] >= 0.5 * largest)
                drop = c;
        }
        unseen->push_back(columns[size_t(drop)]);
        columns.erase(columns.begin() + drop);
    }
    std::sort(unseen->begin(), unseen->end());
    return columns;
}

} // namespace

// A set of chosen candidates with its normal matrix (ridge included) and its inverse.
struct PoseSelector::Set
{
    std::vector<int> members;
    std::vector<char> in;
    Eigen::MatrixXd normal;
    Eigen::MatrixXd inverse;

    void refresh()
    {
        inverse = normal.ldlt().solve(Eigen::MatrixXd::Identity(normal.rows(), normal.cols()));
    }
};

PoseSelector::PoseSelector(std::vector<Eigen::MatrixXd> candidates)
{
    if (candidates.empty())
        return;
    const Eigen::Index parameters = candidates.front().cols();
    Eigen::Index rows = 0;
    for (const Eigen::MatrixXd &block : candidates) {
        Q_ASSERT(block.cols() == parameters);
        rows += block.rows();
    }
    Eigen::MatrixXd stacked(std::max(rows, parameters), parameters);
    stacked.setZero();
    Eigen::Index row = 0;
    for (const Eigen::MatrixXd &block : candidates) {
        stacked.middleRows(row, block.rows()) = block;
        row += block.rows();
    }
    const Eigen::HouseholderQR<Eigen::MatrixXd> qr(stacked);
    const Eigen::MatrixXd r =
        qr.matrixQR().topRows(parameters).triangularView<Eigen::Upper>();
    m_columns = seenColumns(r, &m_unseen);

    const Eigen::Index used = Eigen::Index(m_columns.size());
    m_ridge = Eigen::VectorXd::Zero(used);
    m_blocks.reserve(candidates.size());
    for (const Eigen::MatrixXd &candidate : candidates) {
        m_blocks.push_back(keepColumns(candidate, m_columns));
        m_ridge += m_blocks.back().colwise().squaredNorm().transpose();
    }
    m_ridge *= kRidge / double(candidates.size());
    m_stacked.resize(rows, used);
    Eigen::Index at = 0;
    for (const Eigen::MatrixXd &block : m_blocks) {
        m_firstRow.push_back(at);
        m_stacked.middleRows(at, block.rows()) = block;
        at += block.rows();
    }
}

int PoseSelector::candidateCount() const
{
    return int(m_blocks.size());
}

const std::vector<int> &PoseSelector::columns() const
{
    return m_columns;
}

const std::vector<int> &PoseSelector::unseenColumns() const
{
    return m_unseen;
}

int PoseSelector::exchanges() const
{
    return m_exchanges;
}

// Change of the criterion log det(normal), which is twice the number of columns times log O1
// at a fixed set size, when `candidate` joins the set (sign +1) or leaves it (sign -1): the
// determinant changes by det(I + sign * A inverse A^T).
double PoseSelector::logDetGain(const Set &set, int candidate, double sign) const
{
    const Eigen::MatrixXd &a = m_blocks[size_t(candidate)];
    return logDetGain(candidate, sign, a * set.inverse);
}

double PoseSelector::logDetGain(int candidate, double sign,
                                const Eigen::Ref<const Eigen::MatrixXd> &timesInverse) const
{
    const Eigen::MatrixXd &a = m_blocks[size_t(candidate)];
    const Eigen::MatrixXd k = Eigen::MatrixXd::Identity(a.rows(), a.rows())
                              + sign * (a * timesInverse.transpose());
    const Eigen::LLT<Eigen::MatrixXd> llt(k);
    if (llt.info() != Eigen::Success)
        return kMinusInfinity;
    return 2.0 * llt.matrixLLT().diagonal().array().log().sum();
}

std::vector<int> PoseSelector::select(int count, int maxExchanges)
{
    m_exchanges = 0;
    const int total = candidateCount();
    count = std::min(count, total);
    if (count <= 0 || m_columns.empty())
        return {};
    const Eigen::Index used = Eigen::Index(m_columns.size());
    Set set;
    set.in.assign(size_t(total), 0);
    set.normal = m_ridge.asDiagonal();
    set.refresh();

    const auto add = [&](int c) {
        const Eigen::MatrixXd &a = m_blocks[size_t(c)];
        set.members.push_back(c);
        set.in[size_t(c)] = 1;
        set.normal.noalias() += a.transpose() * a;
        set.refresh();
    };
    const auto remove = [&](int c) {
        const Eigen::MatrixXd &a = m_blocks[size_t(c)];
        set.members.erase(std::find(set.members.begin(), set.members.end(), c));
        set.in[size_t(c)] = 0;
        set.normal.noalias() -= a.transpose() * a;
        set.refresh();
    };
    // One product of all candidates with the inverse is much faster than one per candidate.
    Eigen::MatrixXd timesInverse(m_stacked.rows(), used);
    const auto bestToAdd = [&] {
        timesInverse.noalias() = m_stacked * set.inverse;
        int best = -1;
        double bestGain = kMinusInfinity;
        for (int c = 0; c < total; ++c) {
            if (set.in[size_t(c)])
                continue;
            const double gain = logDetGain(
                c, 1.0,
                timesInverse.middleRows(m_firstRow[size_t(c)], m_blocks[size_t(c)].rows()));
            if (gain > bestGain) {
                bestGain = gain;
                best = c;
            }
        }
        return best;
    };

    while (int(set.members.size()) < count)
        add(bestToAdd());
    // Every exchange raises the criterion, so the loop ends; the bound only caps its time.
    while (count < total && m_exchanges < maxExchanges) {
        const int joined = bestToAdd();
        add(joined);
        int worst = joined;
        double worstGain = logDetGain(set, joined, -1.0);
        for (int member : set.members) {
            const double gain = logDetGain(set, member, -1.0);
            if (gain > worstGain + kTie) {
                worstGain = gain;
                worst = member;
            }
        }
        remove(worst);
        if (worst == joined)
            break;
        ++m_exchanges;
    }
    return set.members;
}

double PoseSelector::o1(const std::vector<int> &chosen) const
{
    if (chosen.empty() || m_columns.empty())
        return 0;
    Eigen::Index rows = 0;
    for (int c : chosen)
        rows += m_blocks[size_t(c)].rows();
    Eigen::MatrixXd j(rows, Eigen::Index(m_columns.size()));
    Eigen::Index row = 0;
    for (int c : chosen) {
        j.middleRows(row, m_blocks[size_t(c)].rows()) = m_blocks[size_t(c)];
        row += m_blocks[size_t(c)].rows();
    }
    return ObservabilityIndices::of(j, int(chosen.size())).o1;
}

} // namespace sim
