#include "simtesthelpers.h"

#include <sim/cell/seededrandom.h>
#include <sim/cell/virtualcell.h>
#include <sim/tools/common/calibposeplanner.h>
#include <sim/kinematics/robotcatalogue.h>
#include <sim/tools/common/calibrationsolver.h>
#include <sim/tools/common/observableposeplanner.h>
#include <sim/tools/common/targetsight.h>

#include <QJsonObject>
#include <QtTest>

using sim::CalibrationSolver;
using sim::JointLimits;
using sim::ObservablePosePlanner;

namespace {

// The collector's problem: the request's default choice (joint 1 and the last joint with
// theta only), the tracker's pose and the tool plate's reflectors.
CalibrationSolver defaultSolver(const sim::RobotModel &m, bool compliance = false)
{
    const QJsonArray lengthsAndAlpha{QStringLiteral("alpha"), QStringLiteral("a"),
                                     QStringLiteral("d")};
    CalibrationSolver solver(m.dh, m.axes);
    const sim::CatalogueModel *catalogue = sim::RobotCatalogue::builtIn().model(m.name);
    Q_ASSERT(catalogue);
    solver.setTargets(catalogue->targetsMm.keys(), catalogue->targetsMm.values().toVector());
    QString error;
    if (compliance && !solver.setCompliance(catalogue->masses, 0.0, &error))
        qFatal("%s", qPrintable(error));
    const bool set = solver.setConstraints(
        QJsonArray{QJsonObject{{QStringLiteral("joint_index"), 0},
                               {QStringLiteral("locked_params"), lengthsAndAlpha}},
                   QJsonObject{{QStringLiteral("joint_index"), -1},
                               {QStringLiteral("locked_params"), lengthsAndAlpha}}},
        &error);
    Q_ASSERT(set);
    Q_UNUSED(set)
    return solver;
}

JointLimits travelWithin(const sim::RobotModel &m, double marginDeg)
{
    JointLimits travel = m.limits;
    for (int k = 0; k < travel.size(); ++k) {
        travel.lowerDeg[k] += marginDeg;
        travel.upperDeg[k] -= marginDeg;
    }
    return travel;
}

} // namespace

class tst_ObservablePosePlanner : public QObject
{
    Q_OBJECT

private slots:
    void chosenPosesBeatRandomOnes_data();
    void chosenPosesBeatRandomOnes();
    void sameSeedSamePlan();
    void unusableProblemPlansNothing();
    void queuedPosesComeFirst();
    void randomPosesStayWithinTheCellsReach();
    void posesKeepTheTrackerInSight();
};

void tst_ObservablePosePlanner::chosenPosesBeatRandomOnes_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("seed");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("compliance");
    for (int seed = 1; seed <= 4; ++seed)
        QTest::addRow("SR6-900 seed %d", seed) << QStringLiteral("SR6-900") << seed << 30 << false;
    QTest::newRow("SR7-800 seed 5") << QStringLiteral("SR7-800") << 5 << 40 << false;
    for (int seed = 6; seed <= 7; ++seed)
        QTest::addRow("SR6-900 compliance seed %d", seed)
            << QStringLiteral("SR6-900") << seed << 30 << true;
}

// Within the travel and the cell's reach, and better shown than random poses of the same count
// drawn the same way, whatever the seed.
void tst_ObservablePosePlanner::chosenPosesBeatRandomOnes()
{
    QFETCH(QString, model);
    QFETCH(int, seed);
    QFETCH(int, count);
    QFETCH(bool, compliance);
    const sim::RobotModel m = simtest::modelNamed(model);
    const JointLimits travel = travelWithin(m, 10.0);
    const CalibrationSolver solver = defaultSolver(m, compliance);
    QCOMPARE(solver.problem().hasCompliance(), compliance);
    ObservablePosePlanner planner(solver.problem(), travel, std::uint64_t(seed));
    planner.setCandidateCount(600);
    const QVector<QVector<double>> chosen = planner.plan(count);
    QCOMPARE(chosen.size(), count);
    QCOMPARE(planner.candidates().size(), 600);
    for (const QVector<double> &joints : chosen) {
        QVERIFY(travel.contains(joints));
        QVERIFY(planner.reaches(joints));
        QVERIFY(planner.candidates().contains(joints));
    }
    QVERIFY(std::abs(planner.o1Of(chosen) - planner.o1()) < 1e-9 * planner.o1());

    sim::SeededRandom random(std::uint64_t(1000 + seed));
    QVector<QVector<double>> drawn;
    while (drawn.size() < count) {
        QVector<double> joints;
        for (int k = 0; k < m.axes; ++k)
            joints.append(random.uniform(travel.lowerDeg.at(k), travel.upperDeg.at(k)));
        if (planner.reaches(joints))
            drawn.append(joints);
    }
    const double randomO1 = planner.o1Of(drawn);
    QVERIFY2(planner.o1() > randomO1,
             qPrintable(QStringLiteral("chosen %1, random %2").arg(planner.o1()).arg(randomO1)));
    // The exchange improved on the plain greedy fill at least once on a set this large.
    QVERIFY(planner.exchanges() > 0);
}

void tst_ObservablePosePlanner::sameSeedSamePlan()
{
    const sim::RobotModel m = simtest::modelNamed(QStringLiteral("SR6-900"));
    const CalibrationSolver solver = defaultSolver(m);
    ObservablePosePlanner a(solver.problem(), m.limits, 7);
    ObservablePosePlanner b(solver.problem(), m.limits, 7);
    ObservablePosePlanner other(solver.problem(), m.limits, 8);
    for (ObservablePosePlanner *p : {&a, &b, &other})
        p->setCandidateCount(200);
    const QVector<QVector<double>> plan = a.plan(15);
    QCOMPARE(b.plan(15), plan);
    QVERIFY(other.plan(15) != plan);
    // Each move goes on to the nearest pose left (largest joint turn).
    const auto turn = [](const QVector<double> &x, const QVector<double> &y) {
        double largest = 0;
        for (int k = 0; k < x.size(); ++k)
            largest = std::max(largest, std::abs(x.at(k) - y.at(k)));
        return largest;
    };
    for (int i = 1; i < plan.size(); ++i) {
        for (int j = i + 1; j < plan.size(); ++j)
            QVERIFY(turn(plan.at(i - 1), plan.at(i)) <= turn(plan.at(i - 1), plan.at(j)));
    }
}

void tst_ObservablePosePlanner::unusableProblemPlansNothing()
{
    const sim::RobotModel m = simtest::modelNamed(QStringLiteral("SR6-900"));
    // Nothing free.
    sim::IdentificationProblem held(m.dh, QVector<double>(m.axes, 0.0), m.axes);
    QVERIFY(ObservablePosePlanner(held, m.limits, 1).plan(10).isEmpty());
    // Travel of another robot.
    ObservablePosePlanner wrong(defaultSolver(m).problem(),
                                simtest::modelNamed(QStringLiteral("SR7-800")).limits, 1);
    QVERIFY(wrong.plan(10).isEmpty());
}

// The collector queues the chosen poses; refused ones are replaced by random ones after them.
void tst_ObservablePosePlanner::queuedPosesComeFirst()
{
    sim::CalibPosePlanner planner(6);
    sim::CalibPosePlanner same(6);
    const QVector<QVector<double>> chosen{QVector<double>(6, 1.0), QVector<double>(6, 2.0)};
    planner.queue(chosen);
    QCOMPARE(planner.next(), chosen.at(0));
    QCOMPARE(planner.next(), chosen.at(1));
    const QVector<double> drawn = planner.next();
    QCOMPARE(drawn, same.next());
    QVERIFY(sim::CalibPosePlanner::travel(6).contains(drawn));
    planner.queue(chosen);
    planner.queue({});
    QVERIFY(planner.next() != chosen.at(0));
}

// The validation poses are random: drawn over the whole travel, a third of them would put the
// flange into the floor or the robot's column.
void tst_ObservablePosePlanner::randomPosesStayWithinTheCellsReach()
{
    for (const QString &name : {QStringLiteral("SR6-900"), QStringLiteral("SR7-800")}) {
        const sim::RobotModel m = simtest::modelNamed(name);
        const sim::DhChain model(m.dh, m.axes);
        sim::CalibPosePlanner judged(m.axes);
        judged.setModel(model);
        sim::CalibPosePlanner unjudged(m.axes);
        int outside = 0;
        for (int i = 0; i < 300; ++i) {
            const QVector<double> q = judged.next();
            QVERIFY(sim::CalibPosePlanner::travel(m.axes).contains(q));
            QVERIFY2(sim::CalibPosePlanner::withinReach(model.forward(q).translation()),
                     qPrintable(name));
            if (!sim::CalibPosePlanner::withinReach(model.forward(unjudged.next()).translation()))
                ++outside;
        }
        QVERIFY2(outside > 0, qPrintable(name));
    }
    // A model whose flange never leaves the base's axis reaches nothing: no pose at all.
    sim::CalibPosePlanner nowhere(6);
    nowhere.setModel(sim::DhChain(QVector<double>(4 * 7, 0.0), 6));
    QVERIFY(nowhere.next().isEmpty());
}


// The tracker's rough pose from a few readings, the sight predicted from it against the cell's
// own, and both planners keeping to poses at which the tracker sees a reflector.
void tst_ObservablePosePlanner::posesKeepTheTrackerInSight()
{
    const sim::RobotModel m = simtest::modelNamed(QStringLiteral("SR6-900"));
    const sim::CatalogueModel *catalogue = sim::RobotCatalogue::builtIn().model(m.name);
    sim::VirtualCell cell(*catalogue, m.limits, QStringLiteral("SN-SIGHT-2"));
    const sim::DhChain nominal(m.dh, m.axes);
    QVector<sim::PoseMeasurement> readings;
    for (double turn : {-30.0, 0.0, 30.0}) {
        QVector<double> q = catalogue->homeDeg;
        q[0] += turn;
        for (const QString &t : cell.targetNames()) {
            sim::VirtualCell::Reading r;
            if (cell.inSight(q, t) && cell.measure(q, t, &r))
                readings.append({q, r.positionMm, t, 0, false, Eigen::Vector3d::Zero()});
        }
        cell.noteMotion(q);
    }
    Eigen::Isometry3d trackerFromBase;
    QString error;
    QVERIFY(!sim::TargetSight::roughTrackerPose(nominal, catalogue->targetsMm, readings.mid(0, 2),
                                                &trackerFromBase, &error));
    QCOMPARE(error, QStringLiteral("2 readings do not fix where the tracker stands"));
    QVERIFY2(sim::TargetSight::roughTrackerPose(nominal, catalogue->targetsMm, readings,
                                                &trackerFromBase, &error),
             qPrintable(error));
    const double off = (trackerFromBase.inverse().translation()
                        - cell.trackerFromBase().inverse().translation())
                           .norm();
    QVERIFY2(off < 5.0, qPrintable(QString::number(off)));

    const sim::TargetSight sight(nominal, catalogue->body, trackerFromBase, catalogue->targetsMm);
    QVERIFY(sight.isKnown());
    QVERIFY(!sim::TargetSight().isKnown());
    sim::CalibPosePlanner random(m.axes);
    random.setModel(nominal);
    int wrong = 0;
    int hidden = 0;
    const QStringList targets = cell.targetNames();
    for (int i = 0; i < 300; ++i) {
        const QVector<double> q = random.next();
        const QStringList seen = sight.seen(q, targets);
        for (const QString &t : targets) {
            hidden += !cell.inSight(q, t);
            // Seen where the cell hides it would cost the collector a wait.
            wrong += seen.contains(t) && !cell.inSight(q, t);
        }
    }
    QVERIFY2(hidden > 30, qPrintable(QString::number(hidden)));
    QVERIFY2(wrong <= 3, qPrintable(QString::number(wrong)));

    const CalibrationSolver solver = defaultSolver(m);
    ObservablePosePlanner blind(solver.problem(), sim::CalibPosePlanner::travel(m.axes), 5);
    ObservablePosePlanner seeing(solver.problem(), sim::CalibPosePlanner::travel(m.axes), 5);
    seeing.setSight(sight);
    blind.setCandidateCount(400);
    seeing.setCandidateCount(400);
    int blindHidden = 0;
    for (const QVector<double> &q : blind.plan(30))
        blindHidden += sight.seen(q, targets).size() < targets.size();
    QVERIFY(blindHidden > 0);
    const QVector<QVector<double>> plan = seeing.plan(30);
    // Every parameter stays in view, though no pose shows every reflector.
    QVERIFY2(seeing.o1() > 0.5 * blind.o1(), qPrintable(QString::number(seeing.o1())));
    for (const QVector<double> &q : plan) {
        const QStringList seen = sight.seen(q, targets);
        QVERIFY(!seen.isEmpty());
        for (const QString &t : seen)
            QVERIFY(cell.inSight(q, t));
    }
    random.setSight(sight);
    for (int i = 0; i < 100; ++i)
        QVERIFY(sight.seesAny(random.next()));
}

QTEST_GUILESS_MAIN(tst_ObservablePosePlanner)
#include "tst_observableposeplanner.moc"
