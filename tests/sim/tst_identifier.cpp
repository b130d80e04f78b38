#include "simtesthelpers.h"

#include <sim/cell/asbuiltrobot.h>
#include <sim/cell/lasertracker.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/metrology/identifier.h>

#include <QJsonObject>
#include <QtTest>

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
    QVERIFY(r.warnings.join(QLatin1Char('\n')).contains(QLatin1String("cannot tell it apart")));
    QCOMPARE(r.identifiedLabels.size() + r.heldLabels.size(), problem.freeCount());
    QVERIFY(r.conditionNumber < 1.0 / Identifier::kRankTolerance);
    QVERIFY(r.rmsAfterMm < 1e-6);
    for (int i = 0; i < r.values.size(); ++i)
        QVERIFY(std::abs(r.values.at(i) - problem.startValues().at(i)) < 2.0);
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
    if (jointsPerReading > 0)
        problem.measurements.append({QVector<double>(jointsPerReading, 0.0), Eigen::Vector3d::Zero()});
    const IdentificationResult r = Identifier::identify(problem);
    QVERIFY(!r.converged);
    QVERIFY2(r.error.contains(error), qPrintable(r.error));
    QCOMPARE(r.values, problem.startValues());
}

QTEST_GUILESS_MAIN(tst_Identifier)
#include "tst_identifier.moc"
