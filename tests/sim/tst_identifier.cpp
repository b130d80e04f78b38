#include "simtesthelpers.h"

#include <sim/cell/asbuiltrobot.h>
#include <sim/cell/lasertracker.h>
#include <sim/cell/virtualcell.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/metrology/identifier.h>

#include <QJsonObject>
#include <QtTest>

#include <algorithm>
#include <cmath>

using sim::AsBuiltRobot;
using sim::IdentificationProblem;
using sim::IdentificationResult;
using sim::Identifier;
using sim::PoseMeasurement;
using sim::RobotModel;

namespace {

using simtest::modelNamed;

QVector<PoseMeasurement> measure(const RobotModel &m, const AsBuiltRobot &robot, int poses,
                                 double noiseMm, std::uint64_t seed)
{
    sim::SeededRandom random(seed);
    sim::LaserTracker tracker(seed + 1);
    tracker.setNoise(noiseMm);
    QVector<PoseMeasurement> readings;
    for (int i = 0; i < poses; ++i) {
        PoseMeasurement reading;
        for (int k = 0; k < m.axes; ++k)
            reading.jointsDeg.append(
                0.8 * random.uniform(m.limits.lowerDeg.at(k), m.limits.upperDeg.at(k)));
        reading.positionMm = tracker.measure(robot.flangePositionMm(reading.jointsDeg));
        readings.append(reading);
    }
    return readings;
}

// J1 and the last joint with only theta free, the others all free.
QJsonArray defaultChoice()
{
    const QJsonArray lengthsAndAlpha{QStringLiteral("alpha"), QStringLiteral("a"),
                                     QStringLiteral("d")};
    return QJsonArray{QJsonObject{{QStringLiteral("joint_index"), 0},
                                  {QStringLiteral("locked_params"), lengthsAndAlpha}},
                      QJsonObject{{QStringLiteral("joint_index"), -1},
                                  {QStringLiteral("locked_params"), lengthsAndAlpha}}};
}

IdentificationProblem nominalProblem(const RobotModel &m, const QJsonArray &constraints)
{
    IdentificationProblem problem(m.dh, QVector<double>(m.axes, 0.0), m.axes);
    QString error;
    const bool applied = problem.applyConstraints(constraints, &error);
    Q_ASSERT(applied);
    Q_UNUSED(applied)
    return problem;
}

// Readings of every target of the cell at `poses` planned joint sets, numbered from `firstPose`.
QVector<PoseMeasurement> measureCell(const RobotModel &m, sim::VirtualCell *cell, int poses,
                                     int firstPose, std::uint64_t seed,
                                     QVector<bool> *outliers = nullptr)
{
    sim::SeededRandom random(seed);
    QVector<PoseMeasurement> readings;
    for (int i = 0; i < poses; ++i) {
        QVector<double> q;
        for (int k = 0; k < m.axes; ++k)
            q.append(0.7 * random.uniform(m.limits.lowerDeg.at(k), m.limits.upperDeg.at(k)));
        cell->noteMotion();
        for (const QString &t : cell->targetNames()) {
            sim::VirtualCell::Reading r;
            cell->measure(q, t, &r);
            readings.append(PoseMeasurement{q, r.positionMm, t, firstPose + i, false,
                                            r.orientationDeg});
            if (outliers)
                outliers->append(r.outlier);
        }
    }
    return readings;
}

// The cell's truth as a parameter vector of `problem`.
QVector<double> truthOf(const IdentificationProblem &problem, const sim::VirtualCell &cell)
{
    const int n = problem.axisCount();
    QVector<double> truth = cell.robot().dh() + cell.robot().zeroOffsetsDeg();
    const Eigen::Isometry3d t = cell.trackerFromBase();
    const Eigen::AngleAxisd turn(t.linear());
    const Eigen::Vector3d rotation = turn.angle() * 180.0 / 3.14159265358979323846 * turn.axis();
    for (int i = 0; i < 3; ++i)
        truth.append(t.translation()[i]);
    for (int i = 0; i < 3; ++i)
        truth.append(rotation[i]);
    for (const QString &name : problem.targets()) {
        const Eigen::Vector3d p = cell.targetOffsetMm(name);
        truth << p.x() << p.y() << p.z();
    }
    Q_ASSERT(truth.size() == problem.parameterCount());
    Q_UNUSED(n)
    return truth;
}

IdentificationProblem cellProblem(const RobotModel &m, const QJsonArray &constraints)
{
    IdentificationProblem problem = nominalProblem(m, constraints);
    const sim::CatalogueModel *entry = sim::RobotCatalogue::builtIn().model(m.name);
    problem.setTargets(entry->targetsMm.keys(), entry->targetsMm.values().toVector());
    problem.setBaseFree(true);
    return problem;
}

// A robot with the as-built errors of `robotId` on the DH values and zero offsets `labels` name,
// and none elsewhere.
AsBuiltRobot errorsOnlyOn(const RobotModel &m, const IdentificationProblem &problem,
                          const QStringList &labels, const QString &robotId)
{
    const AsBuiltRobot drawn(m.dh, m.axes, robotId);
    QVector<double> dhErrors(m.dh.size(), 0.0);
    QVector<double> zero(m.axes, 0.0);
    for (const QString &label : labels) {
        const int i = problem.indexOf(label);
        if (i < m.dh.size())
            dhErrors[i] = drawn.dh().at(i) - m.dh.at(i);
        else if (i < m.dh.size() + m.axes)
            zero[i - m.dh.size()] = drawn.zeroOffsetsDeg().at(i - m.dh.size());
    }
    return AsBuiltRobot::withErrors(m.dh, m.axes, dhErrors, zero);
}

sim::VirtualCell::Imperfections placedOnly()
{
    sim::VirtualCell::Imperfections on = sim::VirtualCell::Imperfections::none();
    on.trackerPlacement = true;
    on.plateErrors = true;
    return on;
}

} // namespace

Q_DECLARE_METATYPE(QJsonArray)

class tst_Identifier : public QObject
{
    Q_OBJECT

private slots:
    void noiseFreeRecovery_data();
    void noiseFreeRecovery();
    void noisyReadingsValidate_data();
    void noisyReadingsValidate();
    void unidentifiableChoiceIsHeld();
    void idealCellRecovery_data();
    void idealCellRecovery();
    void idealCompliantCellRecovery();
    void complianceNeverBendsAgainstTheLoad();
    void outliersAreNamed();
    void anyTrackerPlacementConverges();
    void fullPoseReadings();
    void refusedInput_data();
    void refusedInput();
};

void tst_Identifier::noiseFreeRecovery_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QJsonArray>("constraints");
    QTest::newRow("6 axes, default choice") << "SR6-900" << defaultChoice();
    QTest::newRow("6 axes, everything") << "SR6-900" << QJsonArray();
    QTest::newRow("7 axes, everything") << "SR7-800" << QJsonArray();
    QTest::newRow("7 axes, only J3 a locked")
        << "SR7-800"
        << QJsonArray{QJsonObject{{QStringLiteral("joint_index"), 2},
                                  {QStringLiteral("locked_params"),
                                   QJsonArray{QStringLiteral("a")}}}};
}

// A robot whose errors lie in the identified parameters is recovered exactly from exact
// readings; locked and held parameters keep their configured values. Starting at the truth
// changes nothing.
void tst_Identifier::noiseFreeRecovery()
{
    QFETCH(QString, model);
    QFETCH(QJsonArray, constraints);
    const RobotModel m = modelNamed(model);
    IdentificationProblem problem = nominalProblem(m, constraints);
    const QVector<double> start = problem.startValues();

    problem.measurements = measure(
        m, AsBuiltRobot::withErrors(m.dh, m.axes, QVector<double>(m.dh.size(), 0.0),
                                    QVector<double>(m.axes, 0.0)),
        60, 0, 1);
    const IdentificationResult atTruth = Identifier::identify(problem);
    QVERIFY2(atTruth.converged, qPrintable(atTruth.error));
    QVERIFY(atTruth.rmsAfterMm < 1e-9);
    for (int i = 0; i < start.size(); ++i)
        QVERIFY(std::abs(atTruth.values.at(i) - start.at(i)) < 1e-9);
    QVERIFY(!atTruth.identifiedLabels.isEmpty());

    // Errors on the identified parameters only, from the as-built draw of a robot.
    const AsBuiltRobot drawn(m.dh, m.axes, QStringLiteral("SN-RECOVER"));
    QVector<double> truth = start;
    for (const QString &label : atTruth.identifiedLabels) {
        const int i = problem.indexOf(label);
        if (i < m.dh.size())
            truth[i] = drawn.dh().at(i);
        else
            truth[i] = drawn.zeroOffsetsDeg().at(i - m.dh.size());
    }
    QVector<double> dhErrors(m.dh.size());
    for (int i = 0; i < m.dh.size(); ++i)
        dhErrors[i] = truth.at(i) - m.dh.at(i);
    const AsBuiltRobot robot = AsBuiltRobot::withErrors(m.dh, m.axes, dhErrors,
                                                        truth.mid(m.dh.size(), m.axes));
    problem.measurements = measure(m, robot, 60, 0, 2);

    const IdentificationResult r = Identifier::identify(problem);
    QVERIFY2(r.converged, qPrintable(r.error + r.warnings.join(QLatin1Char('\n'))));
    QCOMPARE(r.identifiedLabels, atTruth.identifiedLabels);
    QVERIFY(r.rmsBeforeMm > 0.1);
    QVERIFY(r.rmsAfterMm < 1e-7);
    for (int i = 0; i < start.size(); ++i) {
        const QString label = r.labels.at(i);
        const double expected = r.identifiedLabels.contains(label) ? truth.at(i) : start.at(i);
        QVERIFY2(std::abs(r.values.at(i) - expected) < 1e-6,
                 qPrintable(QStringLiteral("%1: %2 instead of %3")
                                .arg(label)
                                .arg(r.values.at(i), 0, 'g', 12)
                                .arg(expected, 0, 'g', 12)));
    }
    for (int i = 0; i < start.size(); ++i) {
        if (!problem.isFree(i))
            QCOMPARE(r.values.at(i), start.at(i));
    }
    QCOMPARE(r.dh, r.values.mid(0, m.dh.size()));
    QCOMPARE(r.zeroOffsetsDeg, r.values.mid(m.dh.size(), m.axes));
}

void tst_Identifier::noisyReadingsValidate_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QJsonArray>("constraints");
    QTest::newRow("6 axes, everything") << "SR6-900" << "SIM-0001" << QJsonArray();
    QTest::newRow("6 axes, default choice") << "SR6-900" << "SN-6-0815" << defaultChoice();
    QTest::newRow("7 axes, everything") << "SR7-800" << "SN-7-0042" << QJsonArray();
    QTest::newRow("7 axes, default choice") << "SR7-800" << "SIM-0001" << defaultChoice();
}

// A real robot (errors everywhere the as-built draw puts them), tracker noise of 0.01 mm: the
// identified model predicts 20 fresh poses to well under 0.05 mm.
void tst_Identifier::noisyReadingsValidate()
{
    QFETCH(QString, model);
    QFETCH(QString, id);
    QFETCH(QJsonArray, constraints);
    const RobotModel m = modelNamed(model);
    const AsBuiltRobot robot(m.dh, m.axes, id);
    IdentificationProblem problem = nominalProblem(m, constraints);
    problem.measurements = measure(m, robot, 60, 0.01, 11);
    const QVector<PoseMeasurement> validation = measure(m, robot, 20, 0.01, 23);

    const QVector<double> before = Identifier::positionErrorsMm(problem.startValues(), m.axes,
                                                                validation);
    const IdentificationResult r = Identifier::identify(problem);
    QVERIFY2(r.converged, qPrintable(r.error));
    const QVector<double> after = Identifier::positionErrorsMm(r.values, m.axes, validation);
    QCOMPARE(after.size(), 20);
    QVERIFY2(Identifier::mean(before) > 0.3, qPrintable(QString::number(Identifier::mean(before))));
    QVERIFY2(Identifier::mean(after) < 0.05, qPrintable(QString::number(Identifier::mean(after))));
    QVERIFY2(Identifier::max(after) < 0.1, qPrintable(QString::number(Identifier::max(after))));
}

// Every parameter of the first link free together with the tracker's base frame: rotations
// about and shifts along the first axis are the same motion twice. The identification names
// what it held, keeps it at its start and still fits the readings.
void tst_Identifier::unidentifiableChoiceIsHeld()
{
    const RobotModel m = modelNamed(QStringLiteral("SR6-900"));
    QJsonArray constraints;
    for (int joint = 1; joint < m.axes; ++joint) {
        constraints.append(QJsonObject{
            {QStringLiteral("joint_index"), joint},
            {QStringLiteral("locked_params"),
             QJsonArray{QStringLiteral("alpha"), QStringLiteral("a"), QStringLiteral("d"),
                        QStringLiteral("theta")}}});
    }
    IdentificationProblem problem = nominalProblem(m, constraints);
    for (int k = 1; k < m.axes; ++k)
        problem.setFree(problem.zeroIndex(k), false);
    problem.setBaseFree(true);
    QVector<double> dhErrors(m.dh.size(), 0.0);
    dhErrors[0] = 0.03;
    dhErrors[1] = 0.4;
    dhErrors[2] = -0.3;
    dhErrors[3] = 0.02;
    problem.measurements =
        measure(m, AsBuiltRobot::withErrors(m.dh, m.axes, dhErrors, QVector<double>(m.axes, 0)),
                40, 0, 5);

    const IdentificationResult r = Identifier::identify(problem);
    QVERIFY2(r.converged, qPrintable(r.error));
    QVERIFY(!r.heldLabels.isEmpty());
    QCOMPARE(r.warnings.size(), r.heldLabels.size());
    for (const QString &held : r.heldLabels) {
        QVERIFY(held.startsWith(QLatin1String("link1.")) || held.startsWith(QLatin1String("base."))
                || held == QLatin1String("joint1.zero"));
        const int i = problem.indexOf(held);
        QCOMPARE(r.values.at(i), problem.startValues().at(i));
        QVERIFY(!r.identifiedLabels.contains(held));
    }
    QVERIFY(r.warnings.join(QLatin1Char('\n')).contains(QLatin1String("the tracker's pose takes it")));
    QCOMPARE(r.identifiedLabels.size() + r.heldLabels.size(), problem.freeCount());
    QVERIFY(r.conditionNumber < 1.0 / Identifier::kRankTolerance);
    QVERIFY(r.rmsAfterMm < 1e-6);
    for (int i = 0; i < r.values.size(); ++i)
        QVERIFY(std::abs(r.values.at(i) - problem.startValues().at(i)) < 2.0);
}

void tst_Identifier::idealCellRecovery_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QJsonArray>("constraints");
    QTest::newRow("6 axes, default choice") << "SR6-900" << defaultChoice();
    QTest::newRow("6 axes, everything") << "SR6-900" << QJsonArray();
    QTest::newRow("7 axes, default choice") << "SR7-800" << defaultChoice();
}

// A cell without noise, scatter, compliance, gear errors or outliers, the tracker anywhere and
// the reflectors off their nominal places: from the rigid start, every free parameter that is
// not held for rank comes back to 1e-6 (tracker pose and reflector offsets among them), the held
// ones are named, and held-out readings are predicted to 1e-6 mm.
void tst_Identifier::idealCellRecovery()
{
    QFETCH(QString, model);
    QFETCH(QJsonArray, constraints);
    const RobotModel m = modelNamed(model);
    const sim::CatalogueModel *entry = sim::RobotCatalogue::builtIn().model(model);
    IdentificationProblem problem = cellProblem(m, constraints);
    const QVector<double> start = problem.startValues();

    // Which parameters the readings determine: found on a robot as designed.
    const AsBuiltRobot perfect = AsBuiltRobot::withErrors(
        m.dh, m.axes, QVector<double>(m.dh.size(), 0.0), QVector<double>(m.axes, 0.0));
    sim::VirtualCell cell(*entry, m.limits, QStringLiteral("SN-IDEAL-1"), perfect);
    cell.setImperfections(placedOnly());
    problem.measurements = measureCell(m, &cell, 40, 1, 3);
    const IdentificationResult probe = Identifier::identify(problem);
    QVERIFY2(probe.converged, qPrintable(probe.error));
    QVERIFY(!probe.heldLabels.isEmpty());
    for (const QString &held : QStringList{"joint1.zero", QString("joint%1.zero").arg(m.axes)})
        QVERIFY2(probe.heldLabels.contains(held), qPrintable(probe.heldLabels.join(", ")));

    // Errors on what is identified only, from the as-built draw of a robot.
    sim::VirtualCell real(*entry, m.limits, QStringLiteral("SN-IDEAL-1"),
                          errorsOnlyOn(m, problem, probe.identifiedLabels,
                                       QStringLiteral("SN-IDEAL-2")));
    real.setImperfections(placedOnly());
    problem.measurements = measureCell(m, &real, 40, 1, 5);
    const QVector<PoseMeasurement> heldOut = measureCell(m, &real, 10, 41, 7);

    const IdentificationResult r = Identifier::identify(problem);
    QVERIFY2(r.converged, qPrintable(r.error + r.warnings.join(QLatin1Char('\n'))));
    QStringList held = r.heldLabels;
    QStringList probed = probe.heldLabels;
    std::sort(held.begin(), held.end());
    std::sort(probed.begin(), probed.end());
    QCOMPARE(held, probed);
    QVERIFY(r.outliers.isEmpty());
    const QVector<double> truth = truthOf(problem, real);
    for (int i = 0; i < start.size(); ++i) {
        const QString label = r.labels.at(i);
        const double expected = r.identifiedLabels.contains(label) ? truth.at(i) : start.at(i);
        QVERIFY2(std::abs(r.values.at(i) - expected) < 1e-6,
                 qPrintable(QStringLiteral("%1: %2 instead of %3")
                                .arg(label)
                                .arg(r.values.at(i), 0, 'g', 12)
                                .arg(expected, 0, 'g', 12)));
    }
    const QVector<double> errors = Identifier::positionErrorsMm(problem, r.values, heldOut);
    QCOMPARE(errors.size(), heldOut.size());
    QVERIFY2(Identifier::max(errors) < 1e-6, qPrintable(QString::number(Identifier::max(errors))));
    QVERIFY(Identifier::mean(Identifier::positionErrorsMm(problem, start, heldOut)) > 100);
}

// The same with the joints bending under gravity: the compliances are identified with the
// geometry from the catalogue's masses, each to 1e-6 of its value; the first joint's, which
// carries no torque about its vertical axis, and the lightly loaded wrist's are held and named.
void tst_Identifier::idealCompliantCellRecovery()
{
    const RobotModel m = modelNamed(QStringLiteral("SR6-900"));
    const sim::CatalogueModel *entry = sim::RobotCatalogue::builtIn().model(m.name);
    sim::VirtualCell::Imperfections on = placedOnly();
    on.compliance = true;
    IdentificationProblem problem = cellProblem(m, defaultChoice());
    problem.setComplianceModel(entry->masses, 0.0);

    const AsBuiltRobot perfect = AsBuiltRobot::withErrors(
        m.dh, m.axes, QVector<double>(m.dh.size(), 0.0), QVector<double>(m.axes, 0.0));
    sim::VirtualCell probeCell(*entry, m.limits, QStringLiteral("SN-BENDS-1"), perfect);
    probeCell.setImperfections(on);
    problem.measurements = measureCell(m, &probeCell, 50, 1, 3);
    const IdentificationResult probe = Identifier::identify(problem);
    QVERIFY2(probe.converged, qPrintable(probe.error));
    QVERIFY2(probe.heldLabels.contains(QStringLiteral("joint1.compliance")),
             qPrintable(probe.heldLabels.join(", ")));
    QVERIFY(probe.warnings.contains(
        QStringLiteral("joint1.compliance held: the joint carries no torque in any pose")));
    for (int k = 2; k <= 3; ++k) {
        const QString label = QStringLiteral("joint%1.compliance").arg(k);
        QVERIFY2(probe.identifiedLabels.contains(label), qPrintable(label));
    }
    // The wrist carries under a newton metre: its bending hides below the gears' errors.
    QVERIFY(probe.warnings.contains(QStringLiteral(
        "joint5.compliance held: the joint carries too little torque to tell its bending from "
        "the unmodelled errors")));

    sim::VirtualCell real(*entry, m.limits, QStringLiteral("SN-BENDS-1"),
                          errorsOnlyOn(m, problem, probe.identifiedLabels,
                                       QStringLiteral("SN-BENDS-2")));
    real.setImperfections(on);
    // A held compliance stays where it starts: at the cell's, so that the others can be exact.
    QVector<double> trueRadPerNm;
    for (double degPerNm : real.complianceDegPerNm())
        trueRadPerNm.append(degPerNm * 3.14159265358979323846 / 180.0);
    QVector<double> heldStart(m.axes, 0.0);
    for (int k = 0; k < m.axes; ++k) {
        if (probe.heldLabels.contains(QStringLiteral("joint%1.compliance").arg(k + 1)))
            heldStart[k] = trueRadPerNm.at(k);
    }
    problem.setComplianceModel(entry->masses, 0.0, heldStart);
    const QVector<double> start = problem.startValues();
    problem.measurements = measureCell(m, &real, 50, 1, 5);
    const QVector<PoseMeasurement> heldOut = measureCell(m, &real, 10, 51, 7);

    const IdentificationResult r = Identifier::identify(problem);
    QVERIFY2(r.converged, qPrintable(r.error + r.warnings.join(QLatin1Char('\n'))));
    QCOMPARE(r.heldLabels.size(), probe.heldLabels.size());
    QVERIFY(r.outliers.isEmpty());
    // The truth: geometry, tracker and reflectors, then the compliances in urad/(N*m).
    QVector<double> truth = truthOf(IdentificationProblem(cellProblem(m, defaultChoice())), real);
    const int at = problem.complianceIndex(0);
    for (int k = 0; k < m.axes; ++k)
        truth.insert(at + k, trueRadPerNm.at(k) / IdentificationProblem::kCompliancePerUnit);
    QCOMPARE(truth.size(), problem.parameterCount());
    for (int i = 0; i < start.size(); ++i) {
        const QString label = r.labels.at(i);
        const bool identified = r.identifiedLabels.contains(label);
        const double expected = identified ? truth.at(i) : start.at(i);
        const double tolerance =
            label.endsWith(QLatin1String(".compliance")) ? 1e-6 * std::abs(expected) : 1e-6;
        QVERIFY2(std::abs(r.values.at(i) - expected) <= tolerance,
                 qPrintable(QStringLiteral("%1: %2 instead of %3")
                                .arg(label)
                                .arg(r.values.at(i), 0, 'g', 12)
                                .arg(expected, 0, 'g', 12)));
    }
    const QVector<double> errors = Identifier::positionErrorsMm(problem, r.values, heldOut);
    QVERIFY2(Identifier::max(errors) < 1e-6, qPrintable(QString::number(Identifier::max(errors))));
    // Without the compliances the same readings leave the bending in the fit.
    IdentificationProblem rigid = cellProblem(m, defaultChoice());
    rigid.measurements = problem.measurements;
    const IdentificationResult geometric = Identifier::identify(rigid);
    const double bent =
        Identifier::max(Identifier::positionErrorsMm(rigid, geometric.values, heldOut));
    QVERIFY2(bent > 0.005, qPrintable(QString::number(bent)));
}

// Joint 2's readings run ahead of the arm by what a compliance of -2 urad/(N*m) would turn it:
// an error no bending explains. The fit leaves that compliance at zero, and says so, rather
// than hand the controller a joint that bends against its load.
void tst_Identifier::complianceNeverBendsAgainstTheLoad()
{
    const RobotModel m = modelNamed(QStringLiteral("SR6-900"));
    const sim::CatalogueModel *entry = sim::RobotCatalogue::builtIn().model(m.name);
    IdentificationProblem problem = cellProblem(m, defaultChoice());
    problem.setComplianceModel(entry->masses, 0.0);
    const AsBuiltRobot perfect = AsBuiltRobot::withErrors(
        m.dh, m.axes, QVector<double>(m.dh.size(), 0.0), QVector<double>(m.axes, 0.0));
    sim::VirtualCell cell(*entry, m.limits, QStringLiteral("SN-STIFF-1"), perfect);
    cell.setImperfections(placedOnly());
    problem.measurements = measureCell(m, &cell, 50, 1, 3);
    const QVector<double> start = problem.startValues();
    for (PoseMeasurement &r : problem.measurements)
        r.jointsDeg[1] += 2e-6 * problem.gravityTorquesNm(start, r.jointsDeg).at(1) * 180.0
                          / 3.14159265358979323846;

    const IdentificationResult r = Identifier::identify(problem);
    QVERIFY2(r.converged, qPrintable(r.error));
    for (int k = 0; k < m.axes; ++k) {
        const QString label = QStringLiteral("joint%1.compliance").arg(k + 1);
        const double value = r.values.at(problem.complianceIndex(k));
        QVERIFY2(value >= 0.0, qPrintable(QStringLiteral("%1: %2").arg(label).arg(value)));
    }
    QVERIFY2(r.warnings.contains(QStringLiteral("joint2.compliance is zero: the readings show no "
                                                "bending of the joint under its load")),
             qPrintable(r.warnings.join(QLatin1Char('\n'))));
}

// Every imperfection of a real cell, and three readings knocked off by a millimetre besides the
// cell's own outliers: those and only those are named, with their residuals.
void tst_Identifier::outliersAreNamed()
{
    const RobotModel m = modelNamed(QStringLiteral("SR6-900"));
    sim::VirtualCell cell(*sim::RobotCatalogue::builtIn().model(m.name), m.limits,
                          QStringLiteral("SN-OUTLIERS"));
    IdentificationProblem problem = cellProblem(m, defaultChoice());
    QVector<bool> planted;
    problem.measurements = measureCell(m, &cell, 80, 1, 13, &planted);
    for (int i : {17, 100, 201}) {
        problem.measurements[i].positionMm += Eigen::Vector3d(0.6, -0.5, 0.6);
        planted[i] = true;
    }
    const IdentificationResult r = Identifier::identify(problem);
    QVERIFY2(r.converged, qPrintable(r.error));
    QVector<int> expected;
    for (int i = 0; i < planted.size(); ++i) {
        if (planted.at(i))
            expected.append(i);
    }
    const auto text = [](const QVector<int> &v) {
        QStringList out;
        for (int i : v)
            out.append(QString::number(i));
        return out.join(QLatin1Char(' '));
    };
    const QString named = QStringLiteral("named %1, planted %2, spread %3")
                              .arg(text(r.outliers), text(expected))
                              .arg(r.residualSpreadMm);
    // Every planted one; besides them at most a few readings whose unmodelled errors (gears,
    // gravity) passed the same limit.
    for (int i : expected)
        QVERIFY2(r.outliers.contains(i), qPrintable(named));
    QVERIFY2(r.outliers.size() <= expected.size() + 3, qPrintable(named));
    QCOMPARE(r.outlierResidualsMm.size(), r.outliers.size());
    for (double residual : r.outlierResidualsMm)
        QVERIFY(residual > qMax(0.1, 5 * r.residualSpreadMm));
    QVERIFY2(r.residualSpreadMm > 0.01 && r.residualSpreadMm < 0.1,
             qPrintable(QString::number(r.residualSpreadMm)));
    QVERIFY2(r.rmsAfterMm < 3 * r.residualSpreadMm, qPrintable(QString::number(r.rmsAfterMm)));
}

// The same robot seen from trackers in other places, turned every way: the rigid start brings
// each to the same model, within the noise.
void tst_Identifier::anyTrackerPlacementConverges()
{
    const RobotModel m = modelNamed(QStringLiteral("SR6-900"));
    const sim::CatalogueModel *entry = sim::RobotCatalogue::builtIn().model(m.name);
    const AsBuiltRobot robot(m.dh, m.axes, QStringLiteral("SN-PLACES"));
    const sim::DhChain nominal(m.dh, m.axes);
    QVector<QVector<Eigen::Vector3d>> predicted;
    QVector<double> headings;
    double noise = 0;
    for (const char *place : {"P-1", "P-2", "P-3", "P-4"}) {
        sim::VirtualCell cell(*entry, m.limits, QString::fromLatin1(place), robot);
        IdentificationProblem problem = cellProblem(m, defaultChoice());
        problem.measurements = measureCell(m, &cell, 60, 1, 21);
        const IdentificationResult r = Identifier::identify(problem);
        QVERIFY2(r.converged, qPrintable(r.error));
        // What a geometric model leaves of the gravity's bending is near 0.1 mm; a fit stuck
        // in another minimum leaves millimetres.
        QVERIFY2(r.rmsAfterMm < 0.15, qPrintable(QString::number(r.rmsAfterMm)));
        noise = qMax(noise, r.residualSpreadMm);
        const sim::DhChain identified(AsBuiltRobot::foldZeroOffsets(r.dh, r.zeroOffsetsDeg),
                                      m.axes);
        QVector<Eigen::Vector3d> flange;
        sim::SeededRandom random(5);
        for (int i = 0; i < 20; ++i) {
            QVector<double> q;
            for (int k = 0; k < m.axes; ++k)
                q.append(0.7 * random.uniform(m.limits.lowerDeg.at(k), m.limits.upperDeg.at(k)));
            flange.append(identified.forward(q).translation());
        }
        predicted.append(flange);
        const Eigen::Matrix3d turn = cell.trackerFromBase().linear();
        headings.append(std::atan2(turn(1, 0), turn(0, 0)));
    }
    // Within the noise: the fits' own residual spread (tracker noise and what no model holds).
    double spread = 0;
    double sum = 0;
    int count = 0;
    for (int p = 1; p < predicted.size(); ++p) {
        for (int i = 0; i < predicted.at(p).size(); ++i) {
            const double apart = (predicted.at(p).at(i) - predicted.at(0).at(i)).norm();
            spread = qMax(spread, apart);
            sum += apart;
            ++count;
        }
    }
    const QString figures = QStringLiteral("at most %1 mm apart, %2 on average, noise %3 mm")
                                .arg(spread).arg(sum / count).arg(noise);
    QVERIFY2(spread < 3 * noise && sum / count < noise, qPrintable(figures));
    std::sort(headings.begin(), headings.end());
    QVERIFY(headings.constLast() - headings.constFirst() > 1.0);
}

// A 6-DoF probe's orientation joins the position: the fit still recovers the ideal cell, and a
// reading whose angles are off by a degree leaves it worse than one without them.
void tst_Identifier::fullPoseReadings()
{
    const RobotModel m = modelNamed(QStringLiteral("SR6-900"));
    sim::VirtualCell cell(*sim::RobotCatalogue::builtIn().model(m.name), m.limits,
                          QStringLiteral("SN-FULL"));
    cell.setImperfections(placedOnly());
    IdentificationProblem problem = cellProblem(m, defaultChoice());
    problem.measurements = measureCell(m, &cell, 30, 1, 31);
    for (PoseMeasurement &reading : problem.measurements)
        reading.hasOrientation = true;
    const IdentificationResult r = Identifier::identify(problem);
    QVERIFY2(r.converged, qPrintable(r.error));
    const QVector<PoseMeasurement> heldOut = measureCell(m, &cell, 10, 31, 37);
    QVERIFY2(Identifier::max(Identifier::positionErrorsMm(problem, r.values, heldOut)) < 1e-3,
             qPrintable(QString::number(
                 Identifier::max(Identifier::positionErrorsMm(problem, r.values, heldOut)))));

    problem.robust = false;
    for (PoseMeasurement &reading : problem.measurements)
        reading.orientationDeg += Eigen::Vector3d(1.0, 0.0, 0.0);
    const IdentificationResult skewed = Identifier::identify(problem);
    QVERIFY(skewed.rmsAfterMm > r.rmsAfterMm + 1e-3);
}

void tst_Identifier::refusedInput_data()
{
    QTest::addColumn<QJsonArray>("constraints");
    QTest::addColumn<int>("jointsPerReading");
    QTest::addColumn<QString>("error");
    const QJsonArray a{QStringLiteral("a")};
    QTest::newRow("joint beyond the robot")
        << QJsonArray{QJsonObject{{QStringLiteral("joint_index"), 6},
                                  {QStringLiteral("locked_params"), a}}}
        << 6 << "no joint";
    QTest::newRow("joint -2")
        << QJsonArray{QJsonObject{{QStringLiteral("joint_index"), -2},
                                  {QStringLiteral("locked_params"), a}}}
        << 6 << "no joint";
    QTest::newRow("joint as text")
        << QJsonArray{QJsonObject{{QStringLiteral("joint_index"), QStringLiteral("1")},
                                  {QStringLiteral("locked_params"), a}}}
        << 6 << "no joint";
    QTest::newRow("unknown parameter")
        << QJsonArray{QJsonObject{{QStringLiteral("joint_index"), 1},
                                  {QStringLiteral("locked_params"),
                                   QJsonArray{QStringLiteral("beta")}}}}
        << 6 << "unknown parameter \"beta\"";
    QTest::newRow("reading of another robot") << QJsonArray() << 7 << "does not fit";
    QTest::newRow("no readings") << QJsonArray() << 0 << "no readings";
    QTest::newRow("unknown target") << QJsonArray() << -6 << "unknown target \"Q\"";
}

void tst_Identifier::refusedInput()
{
    QFETCH(QJsonArray, constraints);
    QFETCH(int, jointsPerReading);
    QFETCH(QString, error);
    const RobotModel m = modelNamed(QStringLiteral("SR6-900"));
    IdentificationProblem problem(m.dh, QVector<double>(m.axes, 0.0), m.axes);
    QString why;
    const bool applied = problem.applyConstraints(constraints, &why);
    if (!applied) {
        QVERIFY2(why.contains(error), qPrintable(why));
        QCOMPARE(problem.freeCount(), 0);
        return;
    }
    PoseMeasurement reading;
    reading.jointsDeg = QVector<double>(qAbs(jointsPerReading), 0.0);
    if (jointsPerReading < 0)
        reading.target = QStringLiteral("Q");
    if (jointsPerReading != 0)
        problem.measurements.append(reading);
    const IdentificationResult r = Identifier::identify(problem);
    QVERIFY(!r.converged);
    QVERIFY2(r.error.contains(error), qPrintable(r.error));
    QCOMPARE(r.values, problem.startValues());
}

QTEST_GUILESS_MAIN(tst_Identifier)
#include "tst_identifier.moc"
