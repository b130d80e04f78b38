#include "simtesthelpers.h"

#include <sim/cell/asbuiltrobot.h>
#include <sim/tools/common/calibposeplanner.h>
#include <sim/tools/common/calibrationsolver.h>

#include <QJsonObject>
#include <QtTest>

#include <cmath>

using sim::AsBuiltRobot;
using sim::CalibPose;
using sim::CalibrationSolver;
using sim::DhChain;
using sim::PoseMeasurement;
using sim::RobotModel;

namespace {

// The controller's model: its DH set with its zero offsets turning the joints.
QVector<CalibPose> posesOf(const RobotModel &m, const QVector<double> &configuredZero,
                           int count, std::uint64_t seed)
{
    const DhChain controller(AsBuiltRobot::foldZeroOffsets(m.dh, configuredZero), m.axes);
    sim::CalibPosePlanner planner(m.axes, seed);
    QVector<CalibPose> poses;
    for (int i = 0; i < count; ++i) {
        CalibPose pose;
        pose.jointsDeg = planner.next();
        pose.commandedMm = controller.forward(pose.jointsDeg).translation();
        poses.append(pose);
    }
    return poses;
}

// The flange itself measured in the base frame.
QVector<PoseMeasurement> readingsOf(const QVector<CalibPose> &poses, const AsBuiltRobot &robot)
{
    QVector<PoseMeasurement> readings;
    for (const CalibPose &pose : poses) {
        PoseMeasurement reading;
        reading.jointsDeg = pose.jointsDeg;
        reading.positionMm = robot.flangePositionMm(pose.jointsDeg);
        readings.append(reading);
    }
    return readings;
}

QJsonArray lockedChoice(int thetaLockedJoint)
{
    const QJsonArray lengths{QStringLiteral("alpha"), QStringLiteral("a"), QStringLiteral("d")};
    QJsonArray constraints{QJsonObject{{QStringLiteral("joint_index"), 0},
                                       {QStringLiteral("locked_params"), lengths}},
                           QJsonObject{{QStringLiteral("joint_index"), -1},
                                       {QStringLiteral("locked_params"), lengths}}};
    if (thetaLockedJoint >= 0) {
        constraints.append(QJsonObject{{QStringLiteral("joint_index"), thetaLockedJoint},
                                       {QStringLiteral("locked_params"),
                                        QJsonArray{QStringLiteral("theta")}}});
    }
    return constraints;
}

} // namespace

class tst_CalibrationSolver : public QObject
{
    Q_OBJECT

private slots:
    void appliedResultMakesTheRobotAccurate_data();
    void appliedResultMakesTheRobotAccurate();
};

void tst_CalibrationSolver::appliedResultMakesTheRobotAccurate_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<double>("configuredZeroDeg"); // of every joint, alternating in sign
    QTest::addColumn<int>("thetaLocked");          // joint index, -1 for none
    QTest::newRow("6 axes, factory zeros") << "SR6-900" << 0.0 << -1;
    QTest::newRow("6 axes, calibrated before") << "SR6-900" << 0.04 << -1;
    QTest::newRow("6 axes, theta of J3 locked") << "SR6-900" << 0.04 << 2;
    QTest::newRow("7 axes, calibrated before") << "SR7-800" << 0.03 << -1;
}

// The result written as the pendant writes it (alpha, a and d of each joint, its own theta, and
// the zero offsets) puts the flange where the as-built robot does; a locked theta keeps the
// controller's zero offset.
void tst_CalibrationSolver::appliedResultMakesTheRobotAccurate()
{
    QFETCH(QString, model);
    QFETCH(double, configuredZeroDeg);
    QFETCH(int, thetaLocked);
    const RobotModel m = simtest::modelNamed(model);
    const AsBuiltRobot robot(m.dh, m.axes, QStringLiteral("SN-SOLVER-1"));
    QVector<double> configuredZero;
    for (int k = 0; k < m.axes; ++k)
        configuredZero.append(k % 2 == 0 ? configuredZeroDeg : -configuredZeroDeg);

    CalibrationSolver solver(m.dh, m.axes);
    solver.setTrackerFree(false);
    QString error;
    QVERIFY(solver.setConstraints(lockedChoice(thetaLocked), &error));
    const QVector<CalibPose> identificationPoses = posesOf(m, configuredZero, 60, 3);
    const QVector<double> found =
        CalibrationSolver::configuredZeroOffsets(m.dh, m.axes, identificationPoses);
    QCOMPARE(found.size(), m.axes);
    // The last joint does not move the flange: its zero offset stays unknown.
    for (int k = 0; k + 1 < m.axes; ++k)
        QVERIFY(std::abs(found.at(k) - configuredZero.at(k)) < 1e-6);
    QVector<double> start = found;
    start.last() = configuredZero.constLast();
    solver.setZeroOffsets(start);
    const QVector<PoseMeasurement> identification = readingsOf(identificationPoses, robot);
    const QVector<PoseMeasurement> validation = readingsOf(posesOf(m, configuredZero, 20, 5), robot);
    QVERIFY2(solver.solve(identification, &error), qPrintable(error));

    const QJsonObject result = solver.resultJson(identification, validation, false);
    const QJsonArray zeroPoints = result.value(QStringLiteral("zero_points")).toArray();
    const QJsonObject joints = result.value(QStringLiteral("dh_parameters")).toObject();
    QCOMPARE(zeroPoints.size(), m.axes);
    QCOMPARE(joints.size(), m.axes);
    QVector<double> applied = m.dh;
    QVector<double> zero;
    for (int k = 0; k < m.axes; ++k) {
        const QJsonObject joint = joints.value(QStringLiteral("joint_%1").arg(k + 1)).toObject();
        applied[4 * k] = joint.value(QStringLiteral("alpha")).toDouble();
        applied[4 * k + 1] = joint.value(QStringLiteral("a")).toDouble();
        applied[4 * k + 2] = joint.value(QStringLiteral("d")).toDouble();
        zero.append(zeroPoints.at(k).toDouble());
        QCOMPARE(joint.value(QStringLiteral("theta_offset")).toDouble(),
                 m.dh.at(4 * k + 3) + zero.at(k));
    }
    // A production run carries the same set as its second one, complete as the pendant needs.
    const QJsonObject product =
        solver.resultJson(identification, validation, true)
            .value(QStringLiteral("product_result"))
            .toObject();
    QCOMPARE(product.value(QStringLiteral("dh_parameters")).toObject(), joints);
    QCOMPARE(product.value(QStringLiteral("zero_points")).toArray(), zeroPoints);
    QVERIFY(!result.contains(QStringLiteral("product_result")));
    if (thetaLocked >= 0) {
        QVERIFY(std::abs(zero.at(thetaLocked) - configuredZero.at(thetaLocked)) < 1e-9);
        return;
    }
    const DhChain calibrated(AsBuiltRobot::foldZeroOffsets(applied, zero), m.axes);
    double worst = 0;
    for (const PoseMeasurement &reading : validation) {
        worst = std::max(worst, (calibrated.forward(reading.jointsDeg).translation()
                                 - reading.positionMm)
                                    .norm());
    }
    QVERIFY2(worst < 1e-4, qPrintable(QString::number(worst)));
    QVERIFY(result.value(QStringLiteral("max_valid_position_error")).toDouble() < 1e-4);
    QVERIFY(solver.errorsBefore(validation).constFirst() > 0.1);
    QCOMPARE(result.value(QStringLiteral("outliers")).toObject()
                 .value(QStringLiteral("count")).toInt(), 0);
}

QTEST_GUILESS_MAIN(tst_CalibrationSolver)
#include "tst_calibrationsolver.moc"
