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
using sim::RobotModel;

namespace {

// The controller's model: its DH set with its zero offsets turning the joints.
QVector<CalibPose> posesOf(const RobotModel &m, const QVector<double> &configuredZero,
                           const AsBuiltRobot &robot, int count, std::uint64_t seed)
{
    const DhChain controller(AsBuiltRobot::foldZeroOffsets(m.dh, configuredZero), m.axes);
    sim::CalibPosePlanner planner(m.axes, seed);
    QVector<CalibPose> poses;
    for (int i = 0; i < count; ++i) {
        CalibPose pose;
        pose.jointsDeg = planner.next();
        pose.commandedMm = controller.forward(pose.jointsDeg).translation();
        pose.measuredMm = robot.flangePositionMm(pose.jointsDeg);
        poses.append(pose);
    }
    return poses;
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
    QString error;
    QVERIFY(solver.setConstraints(lockedChoice(thetaLocked), &error));
    const QVector<CalibPose> identification = posesOf(m, configuredZero, robot, 60, 3);
    const QVector<CalibPose> validation = posesOf(m, configuredZero, robot, 20, 5);
    QVERIFY2(solver.solve(identification, &error), qPrintable(error));

    const QJsonObject result = solver.resultJson(validation, false);
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
        solver.resultJson(validation, true).value(QStringLiteral("product_result")).toObject();
    QCOMPARE(product.value(QStringLiteral("dh_parameters")).toObject(), joints);
    QCOMPARE(product.value(QStringLiteral("zero_points")).toArray(), zeroPoints);
    QVERIFY(!result.contains(QStringLiteral("product_result")));
    if (thetaLocked >= 0) {
        QVERIFY(std::abs(zero.at(thetaLocked) - configuredZero.at(thetaLocked)) < 1e-9);
        return;
    }
    const DhChain calibrated(AsBuiltRobot::foldZeroOffsets(applied, zero), m.axes);
    double worst = 0;
    for (const CalibPose &pose : validation) {
        worst = std::max(worst,
                         (calibrated.forward(pose.jointsDeg).translation() - pose.measuredMm).norm());
    }
    QVERIFY2(worst < 1e-4, qPrintable(QString::number(worst)));
    QVERIFY(result.value(QStringLiteral("max_valid_position_error")).toDouble() < 1e-4);
    QVERIFY(solver.errorsBefore(validation).constFirst() > 0.1);
}

QTEST_GUILESS_MAIN(tst_CalibrationSolver)
#include "tst_calibrationsolver.moc"
