#include "simtesthelpers.h"

#include <sim/cell/asbuiltrobot.h>
#include <sim/cell/lasertracker.h>
#include <sim/controller/simulatedcontroller.h>

#include <QtTest>

#include <cmath>

using sim::AsBuiltRobot;
using sim::LaserTracker;
using sim::RobotModel;

namespace {

using simtest::modelNamed;

QVector<double> jointsAt(const RobotModel &m, sim::SeededRandom *random)
{
    QVector<double> q;
    for (int k = 0; k < m.axes; ++k)
        q.append(0.8 * random->uniform(m.limits.lowerDeg.at(k), m.limits.upperDeg.at(k)));
    return q;
}

} // namespace

class tst_AsBuiltRobot : public QObject
{
    Q_OBJECT

private slots:
    void errorsDrawnOncePerRobot_data();
    void errorsDrawnOncePerRobot();
    void zeroOffsetTurnsTheJoint();
    void trackerNoise_data();
    void trackerNoise();
};

void tst_AsBuiltRobot::errorsDrawnOncePerRobot_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("id");
    QTest::newRow("6 axes") << "SR6-900" << "SIM-0001";
    QTest::newRow("7 axes") << "SR7-800" << "SN-7-0042";
}

// The same id gives the same robot after a restart; each error lies in its range; the flange
// group stays as designed; the tool is off by about a millimetre, as an uncalibrated arm is.
void tst_AsBuiltRobot::errorsDrawnOncePerRobot()
{
    QFETCH(QString, model);
    QFETCH(QString, id);
    const RobotModel m = modelNamed(model);
    const AsBuiltRobot robot(m.dh, m.axes, id);
    QVERIFY(robot.isValid());
    QCOMPARE(AsBuiltRobot(m.dh, m.axes, id).dh(), robot.dh());
    QCOMPARE(AsBuiltRobot(m.dh, m.axes, id).zeroOffsetsDeg(), robot.zeroOffsetsDeg());
    QVERIFY(AsBuiltRobot(m.dh, m.axes, id + QLatin1Char('x')).dh() != robot.dh());

    for (int i = 0; i < 4 * m.axes; ++i) {
        const double error = std::abs(robot.dh().at(i) - m.dh.at(i));
        const bool length = i % 4 == 1 || i % 4 == 2;
        if (i % 4 != 3 && !AsBuiltRobot::hasLinkErrors(i / 4, m.axes)) {
            QCOMPARE(error, 0.0);
            continue;
        }
        QVERIFY2(error >= (length ? 0.2 : 0.02) && error <= (length ? 0.8 : 0.08),
                 qPrintable(QStringLiteral("parameter %1 off by %2").arg(i).arg(error)));
    }
    for (int i = 4 * m.axes; i < m.dh.size(); ++i)
        QCOMPARE(robot.dh().at(i), m.dh.at(i));
    for (double zero : robot.zeroOffsetsDeg())
        QVERIFY(std::abs(zero) >= 0.02 && std::abs(zero) <= 0.08);

    const sim::DhChain nominal(m.dh, m.axes);
    sim::SeededRandom random(3);
    double sum = 0;
    const int poses = 200;
    for (int i = 0; i < poses; ++i) {
        const QVector<double> q = jointsAt(m, &random);
        sum += (robot.flangePositionMm(q) - nominal.forward(q).translation()).norm();
    }
    const double meanErrorMm = sum / poses;
    QVERIFY2(meanErrorMm > 0.3 && meanErrorMm < 2.5, qPrintable(QString::number(meanErrorMm)));
}

void tst_AsBuiltRobot::zeroOffsetTurnsTheJoint()
{
    const RobotModel m = modelNamed(QStringLiteral("SR6-900"));
    const QVector<double> zero = {0.5, -1.0, 2.0, 0.25, -0.75, 3.0};
    const AsBuiltRobot robot =
        AsBuiltRobot::withErrors(m.dh, m.axes, QVector<double>(m.dh.size(), 0.0), zero);
    QVERIFY(robot.isValid());
    const sim::DhChain nominal(m.dh, m.axes);
    const QVector<double> q = {10.0, -20.0, 30.0, 40.0, 50.0, 60.0};
    QVector<double> turned = q;
    for (int k = 0; k < q.size(); ++k)
        turned[k] += zero.at(k);
    QVERIFY((robot.flangePositionMm(q) - nominal.forward(turned).translation()).norm() < 1e-9);
    QVERIFY(!AsBuiltRobot::withErrors(m.dh, m.axes, m.dh, {1.0}).isValid());
}

void tst_AsBuiltRobot::trackerNoise_data()
{
    QTest::addColumn<double>("sigma");
    QTest::addColumn<double>("expected");
    QTest::newRow("exact") << 0.0 << 0.0;
    QTest::newRow("default") << LaserTracker::kDefaultNoiseMm << 0.01;
    QTest::newRow("coarse") << 0.2 << 0.2;
    QTest::newRow("negative measures exactly") << -1.0 << 0.0;
    QTest::newRow("not a number measures exactly") << double(NAN) << 0.0;
}

// Readings scatter about the truth with the spread set, and a reseeded tracker repeats itself.
void tst_AsBuiltRobot::trackerNoise()
{
    QFETCH(double, sigma);
    QFETCH(double, expected);
    LaserTracker tracker(5);
    tracker.setNoise(sigma);
    QCOMPARE(tracker.noise(), expected);
    const Eigen::Vector3d truth(500.0, -20.0, 300.0);
    const int n = 3000;
    Eigen::Vector3d sum = Eigen::Vector3d::Zero();
    Eigen::Vector3d squares = Eigen::Vector3d::Zero();
    for (int i = 0; i < n; ++i) {
        const Eigen::Vector3d e = tracker.measure(truth) - truth;
        sum += e;
        squares += e.cwiseProduct(e);
    }
    for (int axis = 0; axis < 3; ++axis) {
        const double spread = std::sqrt(squares[axis] / n);
        QVERIFY2(std::abs(spread - expected) <= 0.08 * expected + 1e-12,
                 qPrintable(QString::number(spread)));
        QVERIFY(std::abs(sum[axis] / n) <= 0.1 * expected + 1e-12);
    }
    tracker.reseed(9);
    const Eigen::Vector3d first = tracker.measure(truth);
    tracker.reseed(9);
    QCOMPARE(tracker.measure(truth), first);
}

QTEST_GUILESS_MAIN(tst_AsBuiltRobot)
#include "tst_asbuiltrobot.moc"
