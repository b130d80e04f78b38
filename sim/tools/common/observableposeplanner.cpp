#include "observableposeplanner.h"

#include "calibposeplanner.h"

#include <sim/cell/seededrandom.h>
#include <sim/metrology/observabilityindices.h>
#include <sim/metrology/poseselector.h>
#include <sim/metrology/positionresidual.h>

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// Relative step of the central differences: far above the rounding of millimetres and degrees,
// far below any curvature of the model.
constexpr double kStep = 1e-6;

Eigen::MatrixXd stack(const std::vector<Eigen::MatrixXd> &blocks, const std::vector<int> &columns)
{
    Eigen::Index rows = 0;
    for (const Eigen::MatrixXd &b : blocks)
        rows += b.rows();
    Eigen::MatrixXd j(rows, Eigen::Index(columns.size()));
    Eigen::Index row = 0;
    for (const Eigen::MatrixXd &b : blocks) {
        for (size_t c = 0; c < columns.size(); ++c)
            j.block(row, Eigen::Index(c), b.rows(), 1) = b.col(columns[c]);
        row += b.rows();
    }
    return j;
}

// Orders the chosen poses as a walk that always goes on to the nearest one left (largest joint
// turn), starting from the first chosen.
QVector<QVector<double>> shortWalk(QVector<QVector<double>> poses)
{
    QVector<QVector<double>> walk;
    walk.reserve(poses.size());
    while (!poses.isEmpty()) {
        int next = 0;
        if (!walk.isEmpty()) {
            double nearest = std::numeric_limits<double>::infinity();
            for (int i = 0; i < poses.size(); ++i) {
                double turn = 0;
                for (int k = 0; k < poses.at(i).size(); ++k)
                    turn = std::max(turn, std::abs(poses.at(i).at(k) - walk.constLast().at(k)));
                if (turn < nearest) {
                    nearest = turn;
                    next = i;
                }
            }
        }
        walk.append(poses.takeAt(next));
    }
    return walk;
}

} // namespace

ObservablePosePlanner::ObservablePosePlanner(const IdentificationProblem &problem,
                                             const JointLimits &travel, std::uint64_t seed)
    : m_problem(problem)
    , m_travel(travel)
    , m_seed(seed)
{
    for (int i = 0; i < m_problem.parameterCount(); ++i) {
        if (m_problem.isFree(i))
            m_free.push_back(i);
    }
}

void ObservablePosePlanner::setCandidateCount(int count)
{
    m_candidateCount = std::max(1, count);
}

void ObservablePosePlanner::setSight(const TargetSight &sight)
{
    m_sight = sight;
}

bool ObservablePosePlanner::reaches(const QVector<double> &jointsDeg) const
{
    if (!m_travel.contains(jointsDeg))
        return false;
    // In the base frame: the robot's parameters at their start, the base's pose left out.
    QVector<double> robot = m_problem.startValues().mid(0, m_problem.robotParameterCount());
    for (int i = 0; i < IdentificationProblem::kBaseParameters; ++i)
        robot[m_problem.baseIndex(i)] = 0.0;
    const Eigen::Vector3d flange =
        predictFlangeInTracker(robot.constData(), jointsDeg, m_problem.axisCount()).translation();
    return CalibPosePlanner::withinReach(flange);
}

// Rows: the three coordinates of each target the problem reads and the tracker sees there (of
// the flange's origin when the problem has none; no rows when it sees none); columns: every
// free parameter. The model is the identification's own (`predictFlangeInTracker`),
// differentiated by central differences: once per pose for the robot's parameters, which every
// target shares, and exactly for the targets' offsets.
Eigen::MatrixXd ObservablePosePlanner::jacobianAt(const QVector<double> &jointsDeg) const
{
    const int axes = m_problem.axisCount();
    const int robotCount = m_problem.robotParameterCount();
    QStringList targets = m_sight.seen(jointsDeg, m_problem.targets());
    if (m_problem.targets().isEmpty())
        targets.append(QString());
    QVector<double> p = m_problem.startValues();
    QVector<Eigen::Vector3d> offsets;
    for (const QString &t : qAsConst(targets)) {
        const int at = m_problem.targetIndex(t);
        offsets.append(at >= 0 ? Eigen::Vector3d(p.at(at), p.at(at + 1), p.at(at + 2))
                               : Eigen::Vector3d::Zero());
    }
    // The torques stay the start model's: their change with the geometry is of second order.
    const QVector<double> torque = m_problem.gravityTorquesNm(p, jointsDeg);
    const auto points = [&](const QVector<double> &values) {
        const Eigen::Isometry3d flange =
            predictFlangeInTracker(values.constData(), jointsDeg, axes, torque);
        Eigen::VectorXd stacked(3 * offsets.size());
        for (int t = 0; t < offsets.size(); ++t)
            stacked.segment<3>(3 * t) = flange * offsets.at(t);
        return stacked;
    };
    Eigen::MatrixXd block = Eigen::MatrixXd::Zero(3 * targets.size(), Eigen::Index(m_free.size()));
    const Eigen::Matrix3d turn =
        predictFlangeInTracker(p.constData(), jointsDeg, axes, torque).linear();
    for (size_t c = 0; c < m_free.size(); ++c) {
        const int i = m_free[c];
        if (i < robotCount) {
            const double h = kStep * std::max(1.0, std::abs(p.at(i)));
            const double at = p.at(i);
            p[i] = at + h;
            const Eigen::VectorXd up = points(p);
            p[i] = at - h;
            const Eigen::VectorXd down = points(p);
            p[i] = at;
            block.col(Eigen::Index(c)) = (up - down) / (2 * h);
            continue;
        }
        // A target's offset moves only its own reading, turned by the flange.
        const int t = targets.indexOf(m_problem.targets().value((i - robotCount) / 3));
        if (t >= 0)
            block.block(3 * t, Eigen::Index(c), 3, 1) = turn.col((i - robotCount) % 3);
    }
    return block;
}

QVector<QVector<double>> ObservablePosePlanner::plan(int count)
{
    m_candidates.clear();
    m_o1 = 0;
    m_exchanges = 0;
    if (!m_problem.isValid() || m_free.empty() || !m_travel.isValid()
        || m_travel.size() != m_problem.axisCount())
        return {};
    SeededRandom random(m_seed);
    std::vector<Eigen::MatrixXd> blocks;
    // A cell that reaches only a few of the candidates is not searched for ever.
    for (int drawn = 0; drawn < 4 * m_candidateCount && m_candidates.size() < m_candidateCount;
         ++drawn) {
        QVector<double> joints;
        for (int k = 0; k < m_travel.size(); ++k)
            joints.append(random.uniform(m_travel.lowerDeg.at(k), m_travel.upperDeg.at(k)));
        if (!reaches(joints))
            continue;
        Eigen::MatrixXd block = jacobianAt(joints);
        if (block.rows() == 0)
            continue;
        m_candidates.append(joints);
        blocks.push_back(std::move(block));
    }
    PoseSelector selector(std::move(blocks));
    m_seenColumns = selector.columns();
    const std::vector<int> chosen = selector.select(count);
    m_exchanges = selector.exchanges();
    m_o1 = selector.o1(chosen);
    QVector<QVector<double>> poses;
    for (int i : chosen)
        poses.append(m_candidates.at(i));
    return shortWalk(poses);
}

const QVector<QVector<double>> &ObservablePosePlanner::candidates() const
{
    return m_candidates;
}

double ObservablePosePlanner::o1() const
{
    return m_o1;
}

int ObservablePosePlanner::exchanges() const
{
    return m_exchanges;
}

double ObservablePosePlanner::o1Of(const QVector<QVector<double>> &jointSets) const
{
    std::vector<Eigen::MatrixXd> blocks;
    for (const QVector<double> &joints : jointSets)
        blocks.push_back(jacobianAt(joints));
    std::vector<int> columns = m_seenColumns;
    if (m_candidates.isEmpty())
        columns = PoseSelector(blocks).columns();
    return ObservabilityIndices::of(stack(blocks, columns), jointSets.size()).o1;
}

} // namespace sim
