// Planning the identification poses of a 6-axis robot by observability: 60 poses out of 5,000
// candidates, against the goal of 2 s. Beside it, as the baseline, 60 random poses drawn the
// same way; both report the O1 of their set, so the gain in O1 comes from the same run. Both
// keep, as the collector does, to poses at which the tracker of a cell sees a reflector, and
// count only the reflectors it sees.
#include <sim/cell/seededrandom.h>
#include <sim/cell/virtualcell.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/kinematics/robotcatalogue.h>
#include <sim/tools/common/calibrationsolver.h>
#include <sim/tools/common/observableposeplanner.h>
#include <sim/tools/common/targetsight.h>

#include <benchmark/benchmark.h>

#include <QJsonObject>

namespace {

constexpr int kCandidates = 5000;

sim::RobotModel sixAxes()
{
    return sim::SimulatedController::models().constFirst();
}

// The collector's problem: the default choice, the tracker's pose, the reflectors and each
// joint's compliance.
sim::IdentificationProblem defaultProblem(const sim::RobotModel &m)
{
    const QJsonArray fixedLengths{QStringLiteral("alpha"), QStringLiteral("a"),
                                  QStringLiteral("d")};
    sim::CalibrationSolver solver(m.dh, m.axes);
    const sim::CatalogueModel *catalogue = sim::RobotCatalogue::builtIn().model(m.name);
    QString error;
    if (catalogue) {
        solver.setTargets(catalogue->targetsMm.keys(), catalogue->targetsMm.values().toVector());
        solver.setCompliance(catalogue->masses, 0.0, &error);
    }
    solver.setConstraints(
        QJsonArray{QJsonObject{{QStringLiteral("joint_index"), 0},
                               {QStringLiteral("locked_params"), fixedLengths}},
                   QJsonObject{{QStringLiteral("joint_index"), -1},
                               {QStringLiteral("locked_params"), fixedLengths}}},
        &error);
    return solver.problem();
}

// What the tracker of a cell around the robot sees.
sim::TargetSight cellSight(const sim::RobotModel &m)
{
    const sim::CatalogueModel *catalogue = sim::RobotCatalogue::builtIn().model(m.name);
    if (!catalogue)
        return sim::TargetSight();
    const sim::VirtualCell cell(*catalogue, m.limits, QStringLiteral("BENCH-PLAN"));
    return sim::TargetSight(sim::DhChain(m.dh, m.axes), catalogue->body, cell.trackerFromBase(),
                            catalogue->targetsMm);
}

void BM_ObservablePosePlanner_plan(benchmark::State &state)
{
    const sim::RobotModel m = sixAxes();
    const sim::IdentificationProblem problem = defaultProblem(m);
    const sim::TargetSight sight = cellSight(m);
    std::uint64_t seed = 1;
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state) {
        sim::ObservablePosePlanner planner(problem, m.limits, seed++);
        planner.setCandidateCount(kCandidates);
        planner.setSight(sight);
        const QVector<QVector<double>> poses = planner.plan(int(state.range(0)));
        if (poses.size() != state.range(0)) {
            state.SkipWithError("fewer poses than asked");
            return;
        }
        benchmark::DoNotOptimize(poses.constData());
        state.counters["o1"] = planner.o1();
        state.counters["exchanges"] = planner.exchanges();
    }
}
BENCHMARK(BM_ObservablePosePlanner_plan)->Arg(60)->Unit(benchmark::kMillisecond);

void BM_RandomPoses(benchmark::State &state)
{
    const sim::RobotModel m = sixAxes();
    const sim::IdentificationProblem problem = defaultProblem(m);
    sim::ObservablePosePlanner judge(problem, m.limits, 0);
    const sim::TargetSight sight = cellSight(m);
    judge.setSight(sight);
    std::uint64_t seed = 1;
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state) {
        sim::SeededRandom random(seed++);
        QVector<QVector<double>> poses;
        while (poses.size() < state.range(0)) {
            QVector<double> joints;
            for (int k = 0; k < m.axes; ++k)
                joints.append(random.uniform(m.limits.lowerDeg.at(k), m.limits.upperDeg.at(k)));
            if (judge.reaches(joints) && sight.seesAny(joints))
                poses.append(joints);
        }
        state.counters["o1"] = judge.o1Of(poses);
        benchmark::DoNotOptimize(poses.constData());
    }
}
BENCHMARK(BM_RandomPoses)->Arg(60)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
