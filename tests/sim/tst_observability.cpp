#include <sim/metrology/observabilityindices.h>
#include <sim/metrology/poseselector.h>

#include <Eigen/LU>

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>

using sim::ObservabilityIndices;
using sim::PoseSelector;

namespace {

// Candidates of one row each over two parameters, at angles spread over a half turn: the
// best pairs are the ones closest to a right angle.
std::vector<Eigen::MatrixXd> fan(int count, std::uint32_t seed)
{
    std::mt19937 engine(seed);
    std::uniform_real_distribution<double> angle(0.0, 3.14159265358979323846);
    std::uniform_real_distribution<double> length(0.5, 2.0);
    std::vector<Eigen::MatrixXd> blocks;
    for (int i = 0; i < count; ++i) {
        const double a = angle(engine);
        const double l = length(engine);
        Eigen::MatrixXd row(1, 3);
        row << l * std::cos(a), l * std::sin(a), 0.3 * l * std::cos(2 * a);
        blocks.push_back(row);
    }
    return blocks;
}

// The selector's measure, O1 with the columns scaled once over all candidates: at a fixed count
// it grows with the determinant of the set's normal matrix.
double logDet(const std::vector<Eigen::MatrixXd> &blocks, const std::vector<int> &chosen)
{
    Eigen::MatrixXd normal = Eigen::MatrixXd::Zero(blocks.front().cols(), blocks.front().cols());
    for (int c : chosen)
        normal += blocks[size_t(c)].transpose() * blocks[size_t(c)];
    return std::log(normal.determinant());
}

// The best of every subset of `count` candidates by `measure`.
template<typename Measure>
double bestOf(int total, int count, Measure measure)
{
    std::vector<int> mask(size_t(total), 0);
    std::fill(mask.end() - count, mask.end(), 1);
    double best = -std::numeric_limits<double>::infinity();
    do {
        std::vector<int> chosen;
        for (int i = 0; i < total; ++i) {
            if (mask[size_t(i)])
                chosen.push_back(i);
        }
        best = std::max(best, measure(chosen));
    } while (std::next_permutation(mask.begin(), mask.end()));
    return best;
}

double bestO1(const PoseSelector &selector, int count)
{
    return bestOf(selector.candidateCount(), count,
                  [&](const std::vector<int> &chosen) { return selector.o1(chosen); });
}

} // namespace

class tst_Observability : public QObject
{
    Q_OBJECT

private slots:
    void handComputedJacobian();
    void degenerateJacobians();
    void selectorFindsTheBestSet_data();
    void selectorFindsTheBestSet();
    void selectorLeavesOutUnseenColumns();
    void selectorShowsEveryColumn();
    void selectorCountsWhatASetReads();
};

// J = [3 1; 0 1; 4 1] has unit columns [0.6 0 0.8] and [1 1 1]/sqrt(3), whose product is
// c = 1.4/sqrt(3); the scaled normal matrix [1 c; c 1] has eigenvalues 1 +- c.
void tst_Observability::handComputedJacobian()
{
    Eigen::MatrixXd j(3, 2);
    j << 3, 1, 0, 1, 4, 1;
    const double c = 1.4 / std::sqrt(3.0);
    const double s1 = std::sqrt(1 + c);
    const double s2 = std::sqrt(1 - c);

    const ObservabilityIndices one = ObservabilityIndices::of(j, 1);
    QCOMPARE(one.parameters, 2);
    QCOMPARE(one.poses, 1);
    QVERIFY(std::abs(one.o1 - std::sqrt(s1 * s2)) < 1e-12);
    QVERIFY(std::abs(one.condition - s1 / s2) < 1e-12);
    QVERIFY(std::abs(one.o5 - s2 * s2 / s1) < 1e-12);
    // The same rows counted as three poses of one reading each: only O1 divides by sqrt(L).
    const ObservabilityIndices three = ObservabilityIndices::of(j, 3);
    QVERIFY(std::abs(three.o1 - std::sqrt(s1 * s2) / std::sqrt(3.0)) < 1e-12);
    QCOMPARE(three.condition, one.condition);
    // Units do not matter: a column in other units (metres for millimetres) gives the same.
    Eigen::MatrixXd metres = j;
    metres.col(0) *= 1e-3;
    QVERIFY(std::abs(ObservabilityIndices::of(metres, 1).o1 - one.o1) < 1e-12);
    // Singular values handed over in any order.
    const ObservabilityIndices given =
        ObservabilityIndices::fromSingularValues(Eigen::Vector2d(s2, s1), 1);
    QVERIFY(std::abs(given.o5 - one.o5) < 1e-12);
}

void tst_Observability::degenerateJacobians()
{
    // A parameter no reading moves: nothing is observable in all directions.
    Eigen::MatrixXd unseen(3, 2);
    unseen << 1, 0, 2, 0, 3, 0;
    const ObservabilityIndices a = ObservabilityIndices::of(unseen, 1);
    QCOMPARE(a.o1, 0.0);
    QCOMPARE(a.o5, 0.0);
    QVERIFY(std::isinf(a.condition));
    // Fewer readings than parameters.
    Eigen::MatrixXd wide(1, 2);
    wide << 1, 2;
    QCOMPARE(ObservabilityIndices::of(wide, 1).o1, 0.0);
    // Nothing to measure, or no pose.
    QCOMPARE(ObservabilityIndices::of(Eigen::MatrixXd(0, 0), 0).o1, 0.0);
    QCOMPARE(ObservabilityIndices::fromSingularValues(Eigen::Vector2d(1, 1), 0).o1, 0.0);
}

void tst_Observability::selectorFindsTheBestSet_data()
{
    QTest::addColumn<int>("seed");
    QTest::addColumn<int>("count");
    QTest::newRow("3 of 12, seed 1") << 1 << 3;
    QTest::newRow("3 of 12, seed 2") << 2 << 3;
    QTest::newRow("4 of 12, seed 3") << 3 << 4;
    QTest::newRow("5 of 12, seed 4") << 4 << 5;
}

// On sets small enough to try every subset, the exchange comes within a few per cent of the
// best and far above a typical subset.
void tst_Observability::selectorFindsTheBestSet()
{
    QFETCH(int, seed);
    QFETCH(int, count);
    const std::vector<Eigen::MatrixXd> blocks = fan(12, std::uint32_t(seed));
    PoseSelector selector(blocks);
    QCOMPARE(selector.columns().size(), size_t(3));
    const std::vector<int> chosen = selector.select(count);
    QCOMPARE(int(chosen.size()), count);
    std::vector<int> sorted = chosen;
    std::sort(sorted.begin(), sorted.end());
    QVERIFY(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end());
    const auto measure = [&](const std::vector<int> &set) { return logDet(blocks, set); };
    const double best = bestOf(12, count, measure);
    const double found = measure(chosen);
    // Within 3 % of the best O1 (the log determinant is 2 x 3 columns times log O1).
    QVERIFY2(found >= best + 6 * std::log(0.97),
             qPrintable(QStringLiteral("%1 of %2").arg(found).arg(best)));
    std::vector<int> first(static_cast<size_t>(count));
    std::iota(first.begin(), first.end(), 0);
    QVERIFY(found >= measure(first));
    // More than there are: all of them; none: nothing.
    QCOMPARE(selector.select(40).size(), size_t(12));
    QVERIFY(selector.select(0).empty());
}

void tst_Observability::selectorLeavesOutUnseenColumns()
{
    // Columns 1 and 3 move together in every candidate, column 2 never moves: a selector
    // cannot tell 1 from 3 and sees nothing of 2.
    std::vector<Eigen::MatrixXd> blocks;
    for (const Eigen::Vector4d &row : {Eigen::Vector4d(1, 2, 0, 2), Eigen::Vector4d(3, -1, 0, -1),
                                       Eigen::Vector4d(0, 1, 0, 1), Eigen::Vector4d(2, 2, 0, 2)})
        blocks.push_back(row.transpose());
    PoseSelector selector(blocks);
    QCOMPARE(selector.columns(), std::vector<int>({0, 1}));
    QCOMPARE(selector.unseenColumns(), std::vector<int>({2, 3}));
    const std::vector<int> chosen = selector.select(2);
    QCOMPARE(chosen.size(), size_t(2));
    QVERIFY(selector.o1(chosen) > 0);
}

// Candidates that show only some columns, as poses at which the tracker sees only some of the
// reflectors: a set that shows none of a column has no O1 at all, however well it shows the
// others, so the selector takes in one that shows it.
void tst_Observability::selectorShowsEveryColumn()
{
    std::vector<Eigen::MatrixXd> blocks = fan(12, 3);
    for (Eigen::MatrixXd &b : blocks)
        b(0, 2) = 0;
    for (const Eigen::Vector3d &row : {Eigen::Vector3d(1, 1, 0.05), Eigen::Vector3d(1, 0.9, 0.1)})
        blocks.push_back(row.transpose());
    PoseSelector selector(blocks);
    QCOMPARE(selector.columns().size(), size_t(3));
    const std::vector<int> chosen = selector.select(5);
    QVERIFY2(selector.o1(chosen) > 0.5 * bestO1(selector, 5),
             qPrintable(QStringLiteral("%1 of %2")
                            .arg(selector.o1(chosen))
                            .arg(bestO1(selector, 5))));
}

// Poses that read three reflectors against the same poses reading one of them: the three
// together tell more of every column, so the selector takes only those. Scaled by its own
// column norms, O1 could not tell a set of one from a set of the other.
void tst_Observability::selectorCountsWhatASetReads()
{
    const std::vector<Eigen::MatrixXd> rows = fan(36, 7);
    std::vector<Eigen::MatrixXd> blocks;
    for (int pose = 0; pose < 12; ++pose)
        blocks.push_back(rows[size_t(3 * pose)]);
    for (int pose = 0; pose < 12; ++pose) {
        Eigen::MatrixXd three(3, 3);
        for (int r = 0; r < 3; ++r)
            three.row(r) = rows[size_t(3 * pose + r)];
        blocks.push_back(three);
    }
    PoseSelector selector(blocks);
    for (int count : {3, 6}) {
        const std::vector<int> chosen = selector.select(count);
        QCOMPARE(int(chosen.size()), count);
        for (int c : chosen)
            QVERIFY2(c >= 12, qPrintable(QStringLiteral("%1 chose %2").arg(count).arg(c)));
    }
}

QTEST_GUILESS_MAIN(tst_Observability)
#include "tst_observability.moc"
