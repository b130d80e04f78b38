// Identification on the virtual cell. Timings: every parameter of a 7-axis robot from 100 flange
// readings (goal well under a second), and a 6-axis robot from 80 poses x 3 reflectors with the
// tracker's pose, the reflector offsets, the DH set and the zero offsets free (goal under 1 s);
// the forward model alone is the baseline. Figures (one run each, as counters): the calibration
// story of the demo on the imperfect cell (ISO accuracy before and after, validation error against
// the cell's geometric floor), and the identification from ten tracker placements around the
// same robot.
#include <sim/cell/asbuiltrobot.h>
#include <sim/cell/lasertracker.h>
#include <sim/cell/virtualcell.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/kinematics/cartesianpose.h>
#include <sim/metrology/identifier.h>
#include <sim/metrology/isometrics.h>
#include <sim/metrology/positionresidual.h>
#include <sim/tools/common/calibposeplanner.h>
#include <sim/tools/common/calibrationsolver.h>
#include <sim/tools/common/trackerregistration.h>

#include <benchmark/benchmark.h>

#include <QJsonObject>

namespace {

constexpr int kIsoCycles = 10;

sim::RobotModel modelNamed(const QString &name)
{
    for (const sim::RobotModel &m : sim::SimulatedController::models()) {
        if (m.name == name)
            return m;
    }
    return sim::RobotModel();
}

sim::IdentificationProblem problemOf(int poses)
{
    const sim::RobotModel model = modelNamed(QStringLiteral("SR7-800"));
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

// The pendant's default choice: alpha, a and d of the first and the last joint locked.
QJsonArray defaultChoice()
{
    const QJsonArray lengths{QStringLiteral("alpha"), QStringLiteral("a"), QStringLiteral("d")};
    return QJsonArray{QJsonObject{{QStringLiteral("joint_index"), 0},
                                  {QStringLiteral("locked_params"), lengths}},
                      QJsonObject{{QStringLiteral("joint_index"), -1},
                                  {QStringLiteral("locked_params"), lengths}}};
}

// A robot in its cell as the controller drives it: moves planned with the configured model,
// the cell's tracker reading the reflectors.
struct Station
{
    sim::RobotModel model;
    const sim::CatalogueModel *catalogue = nullptr;
    sim::VirtualCell cell;
    QVector<double> configuredDh;
    QVector<double> configuredZero;
    QVector<double> joints;

    Station(const QString &name, const QString &robotId, const QString &placement = QString())
        : model(modelNamed(name))
        , catalogue(sim::RobotCatalogue::builtIn().model(name))
        , configuredDh(model.dh)
        , configuredZero(model.axes, 0.0)
        , joints(model.homeDeg)
    {
        const sim::AsBuiltRobot robot(model.dh, model.axes, robotId);
        cell = sim::VirtualCell(*catalogue, model.limits,
                                placement.isEmpty() ? robotId : placement, robot);
    }

    sim::DhChain configured() const
    {
        return sim::DhChain(sim::AsBuiltRobot::foldZeroOffsets(configuredDh, configuredZero),
                            model.axes);
    }

    bool moveTo(const Eigen::Isometry3d &tBaseFlange)
    {
        const sim::IkResult ik = configured().inverse(tBaseFlange, joints, model.limits);
        if (ik.status != sim::IkStatus::Converged)
            return false;
        joints = ik.jointsDeg;
        cell.noteMotion();
        return true;
    }

    Eigen::Vector3d read(const QString &target)
    {
        sim::VirtualCell::Reading r;
        cell.measure(joints, target, &r);
        return r.positionMm;
    }

    // The ISO collector's registration from the circles of joints 1 and 2 at the home joints.
    Eigen::Isometry3d registerTracker()
    {
        std::vector<Eigen::Vector3d> circles[2];
        for (int joint : {0, 1}) {
            const QVector<double> steps = joint == 0 ? sim::TrackerRegistration::joint1StepsDeg()
                                                     : sim::TrackerRegistration::joint2StepsDeg();
            const QVector<double> start =
                joint == 0 ? model.homeDeg
                           : sim::TrackerRegistration::joint2Start(*catalogue, model.homeDeg);
            for (double step : steps) {
                QVector<double> q = start;
                q[joint] += step;
                moveTo(configured().forward(q));
                circles[joint].push_back(read(QStringLiteral("A")));
            }
        }
        Eigen::Isometry3d t = Eigen::Isometry3d::Identity();
        QString error;
        sim::TrackerRegistration::registerBase(*catalogue, model.homeDeg, circles[0], circles[1],
                                               &t, &error);
        return t;
    }

    // Mean ISO accuracy over the five default test poses of the SR6-900.
    double isoMeanAccuracy(const Eigen::Vector3d &offsetA)
    {
        const double poses[5][3] = {{520, -180, 610}, {520, 180, 610}, {320, 180, 410},
                                    {320, -180, 410}, {420, 0, 510}};
        const Eigen::Isometry3d baseFromTracker = registerTracker().inverse();
        std::vector<Eigen::Vector3d> attained[5];
        for (int cycle = 0; cycle < kIsoCycles; ++cycle) {
            for (int p = 4; p >= 0; --p) {
                Eigen::Isometry3d goal = Eigen::Isometry3d::Identity();
                goal.linear() = sim::CartesianPose::rotationFromEuler(180, 0, 180);
                goal.translation() = Eigen::Vector3d(poses[p][0], poses[p][1], poses[p][2]);
                moveTo(goal);
                attained[p].push_back(baseFromTracker * read(QStringLiteral("A"))
                                      - goal.linear() * offsetA);
            }
        }
        double sum = 0;
        for (int p = 0; p < 5; ++p)
            sum += sim::computeIsoPose(
                       Eigen::Vector3d(poses[p][0], poses[p][1], poses[p][2]), attained[p])
                       .accuracyMm;
        return sum / 5;
    }

    // Moves through planned poses and reads every reflector at each, numbered from `first`.
    QVector<sim::PoseMeasurement> collect(sim::CalibPosePlanner *planner, int count, int first)
    {
        QVector<sim::PoseMeasurement> readings;
        for (int pose = first, tries = 0; pose < first + count && tries < 10 * count; ++tries) {
            if (!moveTo(configured().forward(planner->next())))
                continue;
            for (const QString &t : cell.targetNames())
                readings.append({joints, read(t), t, pose, false, Eigen::Vector3d::Zero()});
            ++pose;
        }
        return readings;
    }

    sim::CalibrationSolver solver() const
    {
        sim::CalibrationSolver s(configuredDh, model.axes);
        s.setZeroOffsets(configuredZero);
        s.setTargets(catalogue->targetsMm.keys(), catalogue->targetsMm.values().toVector());
        QString error;
        s.setConstraints(defaultChoice(), &error);
        return s;
    }

    // The mean validation error with every true geometric value, outliers left out as named.
    double floor(const QVector<sim::PoseMeasurement> &validation, const QVector<int> &dropped)
    {
        double sum = 0;
        int n = 0;
        for (int i = 0; i < validation.size(); ++i) {
            if (dropped.contains(i))
                continue;
            const sim::PoseMeasurement &r = validation.at(i);
            sum += (cell.trackerFromBase()
                        * (cell.robot().flange(r.jointsDeg) * cell.targetOffsetMm(r.target))
                    - r.positionMm)
                       .norm();
            ++n;
        }
        return n ? sum / n : 0.0;
    }
};

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

// 80 poses x 3 reflectors on the imperfect cell; tracker pose, reflector offsets, DH set and
// zero offsets free, outliers judged and the fit repeated.
void BM_Identifier_identifyCell(benchmark::State &state)
{
    Station station(QStringLiteral("SR6-900"), QStringLiteral("BENCH-6"));
    sim::CalibPosePlanner planner(6);
    const QVector<sim::PoseMeasurement> readings =
        station.collect(&planner, int(state.range(0)), 1);
    sim::CalibrationSolver solver = station.solver();
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state) {
        QString error;
        if (!solver.solve(readings, &error)) {
            state.SkipWithError(error.toUtf8().constData());
            return;
        }
        benchmark::DoNotOptimize(solver.result().values.constData());
        state.counters["readings"] = readings.size();
        state.counters["free"] = solver.problem().freeCount();
        state.counters["identified"] = solver.result().identifiedLabels.size();
        state.counters["outliers"] = solver.result().outliers.size();
        state.counters["rms_after_mm"] = solver.result().rmsAfterMm;
    }
    state.SetItemsProcessed(state.iterations() * readings.size());
}
BENCHMARK(BM_Identifier_identifyCell)->Arg(80)->Unit(benchmark::kMillisecond);

// The demo's story on the imperfect cell: ISO test, calibration from 60 + 20 poses with the
// default choice, the result applied as the pendant applies it, ISO test again.
void BM_Cell_calibrationStory(benchmark::State &state)
{
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state) {
        Station station(QStringLiteral("SR6-900"), QStringLiteral("SIM-0001"));
        const Eigen::Vector3d nominalA = station.catalogue->targetsMm.value(QStringLiteral("A"));
        const double before = station.isoMeanAccuracy(nominalA);
        sim::CalibPosePlanner planner(6);
        const QVector<sim::PoseMeasurement> id = station.collect(&planner, 60, 1);
        const QVector<sim::PoseMeasurement> val = station.collect(&planner, 20, 61);
        sim::CalibrationSolver solver = station.solver();
        QString error;
        if (!solver.solve(id, &error)) {
            state.SkipWithError(error.toUtf8().constData());
            return;
        }
        const QJsonObject result = solver.resultJson(id, val, false);
        const double validation = result.value(QStringLiteral("avg_valid_position_error")).toDouble();
        const double floor = station.floor(val, solver.validationOutliers(val));
        const sim::IdentificationResult &r = solver.result();
        for (int i = 0; i < 4 * station.model.axes; ++i) {
            if (i % 4 != 3)
                station.configuredDh[i] = r.dh.at(i);
        }
        station.configuredZero = r.zeroOffsetsDeg;
        const int a = solver.problem().targetIndex(QStringLiteral("A"));
        const double after = station.isoMeanAccuracy(
            Eigen::Vector3d(r.values.at(a), r.values.at(a + 1), r.values.at(a + 2)));
        state.counters["ap_before_mm"] = before;
        state.counters["ap_after_mm"] = after;
        state.counters["gain"] = before / after;
        state.counters["valid_mean_mm"] = validation;
        state.counters["floor_mm"] = floor;
        state.counters["valid_over_floor"] = validation / floor;
        state.counters["outliers"] =
            result.value(QStringLiteral("outliers")).toObject().value(QStringLiteral("count")).toInt();
    }
}
BENCHMARK(BM_Cell_calibrationStory)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same robot measured from ten tracker placements all round it: the identified models agree
// where the robot goes to within the noise.
void BM_Cell_trackerPlacements(benchmark::State &state)
{
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state) {
        QVector<QVector<Eigen::Vector3d>> predicted;
        double smallestHeading = 10;
        double largestHeading = -10;
        double worstRms = 0;
        for (int p = 0; p < 10; ++p) {
            Station station(QStringLiteral("SR6-900"), QStringLiteral("BENCH-PLACES"),
                            QStringLiteral("PLACE-%1").arg(p));
            const Eigen::Matrix3d turn = station.cell.trackerFromBase().linear();
            const double heading = std::atan2(turn(1, 0), turn(0, 0));
            smallestHeading = qMin(smallestHeading, heading);
            largestHeading = qMax(largestHeading, heading);
            sim::CalibPosePlanner planner(6);
            sim::CalibrationSolver solver = station.solver();
            QString error;
            if (!solver.solve(station.collect(&planner, 60, 1), &error)) {
                state.SkipWithError(error.toUtf8().constData());
                return;
            }
            worstRms = qMax(worstRms, solver.result().rmsAfterMm);
            const sim::DhChain identified(
                sim::AsBuiltRobot::foldZeroOffsets(solver.result().dh,
                                                   solver.result().zeroOffsetsDeg),
                6);
            sim::CalibPosePlanner fresh(6, 77);
            QVector<Eigen::Vector3d> flange;
            for (int i = 0; i < 20; ++i)
                flange.append(identified.forward(fresh.next()).translation());
            predicted.append(flange);
        }
        double spread = 0;
        for (const QVector<Eigen::Vector3d> &flange : predicted) {
            for (int i = 0; i < flange.size(); ++i)
                spread = qMax(spread, (flange.at(i) - predicted.at(0).at(i)).norm());
        }
        state.counters["placements"] = predicted.size();
        state.counters["heading_range_deg"] = (largestHeading - smallestHeading) * 57.29577951;
        state.counters["spread_mm"] = spread;
        state.counters["worst_rms_mm"] = worstRms;
    }
}
BENCHMARK(BM_Cell_trackerPlacements)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_predictFlange(benchmark::State &state)
{
    const sim::IdentificationProblem problem = problemOf(1);
    const QVector<double> values = problem.startValues();
    const QVector<double> joints = problem.measurements.first().jointsDeg;
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state)
        benchmark::DoNotOptimize(
            sim::predictFlangeInTracker(values.constData(), joints, 7).translation());
}
BENCHMARK(BM_predictFlange);

} // namespace

BENCHMARK_MAIN();
