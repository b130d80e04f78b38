#include <sim/metrology/isometrics.h>

#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(Eigen::Vector3d)
Q_DECLARE_METATYPE(std::vector<Eigen::Vector3d>)

class tst_IsoMetrics : public QObject
{
    Q_OBJECT

private slots:
    void figures_data();
    void figures();
    void tooFewCycles_data();
    void tooFewCycles();
};

void tst_IsoMetrics::figures_data()
{
    QTest::addColumn<Eigen::Vector3d>("commanded");
    QTest::addColumn<std::vector<Eigen::Vector3d>>("attained");
    QTest::addColumn<Eigen::Vector3d>("barycentre");
    QTest::addColumn<double>("accuracy");
    QTest::addColumn<double>("meanDistance");
    QTest::addColumn<double>("stdDev");
    QTest::addColumn<double>("repeatability");
    QTest::addColumn<double>("rms");

    // Four points one millimetre round (2, 0, 0): every distance to the barycentre is 1, so
    // S_l = 0 and RP = 1; distances to the commanded origin 1, 3, sqrt 5, sqrt 5.
    QTest::newRow("ring")
        << Eigen::Vector3d(0, 0, 0)
        << std::vector<Eigen::Vector3d>{{1, 0, 0}, {3, 0, 0}, {2, 1, 0}, {2, -1, 0}}
        << Eigen::Vector3d(2, 0, 0) << 2.0 << 1.0 << 0.0 << 1.0 << std::sqrt(5.0);
    // Barycentre (10, 20, 32); distances to it 2, 0, 2: mean 4/3, S_l = sqrt((4/9 + 16/9 +
    // 4/9) / 2) = sqrt(4/3); distances to the commanded pose 0, 2, 4.
    QTest::newRow("line of three")
        << Eigen::Vector3d(10, 20, 30)
        << std::vector<Eigen::Vector3d>{{10, 20, 30}, {10, 20, 32}, {10, 20, 34}}
        << Eigen::Vector3d(10, 20, 32) << 2.0 << 4.0 / 3.0 << std::sqrt(4.0 / 3.0)
        << 4.0 / 3.0 + 3.0 * std::sqrt(4.0 / 3.0) << std::sqrt(20.0 / 3.0);
    QTest::newRow("identical points")
        << Eigen::Vector3d(1, 1, 1)
        << std::vector<Eigen::Vector3d>{{1, 1, 4}, {1, 1, 4}, {1, 1, 4}}
        << Eigen::Vector3d(1, 1, 4) << 3.0 << 0.0 << 0.0 << 0.0 << 3.0;
    // Two cycles, three poses' worth of axes: per-axis parts must not be mixed up.
    QTest::newRow("two cycles")
        << Eigen::Vector3d(100, 200, 300)
        << std::vector<Eigen::Vector3d>{{103, 204, 300}, {103, 204, 310}}
        << Eigen::Vector3d(103, 204, 305) << std::sqrt(9.0 + 16.0 + 25.0) << 5.0 << 0.0 << 5.0
        << std::sqrt((25.0 + 125.0) / 2.0);
}

void tst_IsoMetrics::figures()
{
    QFETCH(Eigen::Vector3d, commanded);
    QFETCH(std::vector<Eigen::Vector3d>, attained);
    QFETCH(Eigen::Vector3d, barycentre);
    QFETCH(double, accuracy);
    QFETCH(double, meanDistance);
    QFETCH(double, stdDev);
    QFETCH(double, repeatability);
    QFETCH(double, rms);

    const sim::IsoPoseResult r = sim::computeIsoPose(commanded, attained);
    QVERIFY2(r.valid, qPrintable(r.error));
    QCOMPARE(r.cycles, int(attained.size()));
    QVERIFY((r.barycentreMm - barycentre).norm() < 1e-12);
    QVERIFY((r.accuracyAxesMm - (barycentre - commanded)).norm() < 1e-12);
    QVERIFY(std::abs(r.accuracyMm - accuracy) < 1e-12);
    QVERIFY(std::abs(r.meanDistanceMm - meanDistance) < 1e-12);
    QVERIFY(std::abs(r.stdDevMm - stdDev) < 1e-12);
    QVERIFY(std::abs(r.repeatabilityMm - repeatability) < 1e-12);
    QVERIFY(std::abs(r.rmsMm - rms) < 1e-12);
}

void tst_IsoMetrics::tooFewCycles_data()
{
    QTest::addColumn<std::vector<Eigen::Vector3d>>("attained");
    QTest::newRow("none") << std::vector<Eigen::Vector3d>{};
    QTest::newRow("one cycle") << std::vector<Eigen::Vector3d>{{1, 2, 3}};
    QTest::newRow("not a number") << std::vector<Eigen::Vector3d>{{1, 2, 3}, {NAN, 2, 3}};
    QTest::newRow("squares beyond a double")
        << std::vector<Eigen::Vector3d>{{1, 2, 3}, {1e200, 2, 3}};
}

// No figure at all rather than a repeatability of 0 that looks perfect, or one that is not a
// number and is written as none.
void tst_IsoMetrics::tooFewCycles()
{
    QFETCH(std::vector<Eigen::Vector3d>, attained);
    const sim::IsoPoseResult r = sim::computeIsoPose(Eigen::Vector3d(1, 2, 3), attained);
    QVERIFY(!r.valid);
    QVERIFY(!r.error.isEmpty());
}

QTEST_GUILESS_MAIN(tst_IsoMetrics)
#include "tst_isometrics.moc"
