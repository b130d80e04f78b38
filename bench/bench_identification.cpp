// Identification of a 7-axis robot's every parameter from tracker readings; the goal is well
// under a second for 100 poses. The forward model alone is measured beside it as a baseline.
#include <sim/cell/asbuiltrobot.h>
#include <sim/cell/lasertracker.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/metrology/identifier.h>
#include <sim/metrology/positionresidual.h>

#include <benchmark/benchmark.h>

namespace {

sim::RobotModel sevenAxes()
{
    for (const sim::RobotModel &m : sim::SimulatedController::models()) {
        if (m.axes == 7)
            return m;
    }
    return sim::RobotModel();
}

sim::IdentificationProblem problemOf(int poses)
{
    const sim::RobotModel model = sevenAxes();
    const sim::AsBuiltRobot robot(model.dh, model.axes, QStringLiteral("BENCH-7"));
    sim::LaserTracker tracker(7);
    sim::SeededRandom random(42);
    sim::IdentificationProblem problem(model.dh, QVector<double>(model.axes, 0.0), model.axes);
    QString error;
    problem.applyConstraints(QJsonArray(), &error);
    for (int i = 0; i < poses; ++i) {
        sim::PoseMeasurement reading;
        for (int k = 0; k < model.axes; ++k)
            reading.jointsDeg.append(0.8 * random.uniform(model.limits.lowerDeg.at(k),
                                                          model.limits.upperDeg.at(k)));
        reading.positionMm = tracker.measure(robot.flangePositionMm(reading.jointsDeg));
        problem.measurements.append(reading);
    }
    return problem;
}

void BM_Identifier_identify(benchmark::State &state)
{
    const sim::IdentificationProblem problem = problemOf(int(state.range(0)));
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state) {
        const sim::IdentificationResult result = sim::Identifier::identify(problem);
        if (!result.error.isEmpty()) {
            state.SkipWithError(result.error.toUtf8().constData());
            return;
        }
        benchmark::DoNotOptimize(result.values.constData());
        state.counters["rms_after_mm"] = result.rmsAfterMm;
        state.counters["identified"] = result.identifiedLabels.size();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Identifier_identify)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_predictFlange(benchmark::State &state)
{
    const sim::IdentificationProblem problem = problemOf(1);
    const QVector<double> values = problem.startValues();
    const QVector<double> joints = problem.measurements.first().jointsDeg;
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state)
        benchmark::DoNotOptimize(sim::predictFlangeMm(values.constData(), joints, 7));
}
BENCHMARK(BM_predictFlange);

} // namespace

BENCHMARK_MAIN();
