// Identification on the virtual cell. Timings: every parameter of a 7-axis robot from 100 flange
// readings (goal well under a second), and a 6-axis robot from 80 poses x 3 reflectors with the
// tracker's pose, the reflector offsets, the DH set and the zero offsets free, and with each
// joint's compliance free too (goal under 1 s each); the forward model alone is the baseline.
// Figures (one run each, as counters): the calibration story of the demo on the imperfect cell
// (ISO accuracy before and after, validation error against the cell's geometric floor), the same
// story with the joints' compliance identified and compensated (against the floor of a model
// that also knows the true compliances), poses chosen by observability against random ones, and
// the identification from ten tracker placements around the same robot.
//     bench_identification [--seeds=N] [--candidates=N] [--noise-only] [benchmark flags]
//     (--seeds: pose sets of the chosen-against-random comparison, 8 by default; --candidates:
//     the pose planner's, 5,000 by default; --noise-only: that comparison on a cell without the
//     bearings' tilt, the gear errors, the play, the arrival scatter and the outliers)
#include <sim/cell/asbuiltrobot.h>
#include <sim/cell/lasertracker.h>
#include <sim/cell/virtualcell.h>
#include <sim/controller/compliancebook.h>
#include <sim/controller/motionplanner.h>
#include <sim/controller/moveerror.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/kinematics/cartesianpose.h>
#include <sim/metrology/identifier.h>
#include <sim/metrology/isometrics.h>
#include <sim/metrology/positionresidual.h>
#include <sim/tools/common/calibposeplanner.h>
#include <sim/tools/common/calibrationsolver.h>
#include <sim/tools/common/keptregistration.h>
#include <sim/tools/common/observableposeplanner.h>
#include <sim/tools/common/robotsession.h>
#include <sim/tools/common/targetsight.h>
#include <sim/tools/common/trackerregistration.h>

#include <benchmark/benchmark.h>

#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>

namespace {

constexpr int kIsoCycles = 10;
constexpr double kDegPerRad = 57.29577951308232;
// A pose reached this far from its planned joints stands in another configuration.
constexpr double kElsewhereDeg = 0.5;
// Pose sets of the chosen-against-random comparison: from one set to the next the ratio of the
// validation means moves by about a tenth, as much as the margins it is judged by.
int g_poseSeeds = 8;
// The collector's; the brief run of the tests takes fewer.
int g_candidates = sim::ObservablePosePlanner::kDefaultCandidates;
// The comparison on a cell whose only error no model holds is the tracker's noise.
bool g_noiseOnly = false;

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

// A robot in its cell as the controller drives it: moves planned with the configured model and
// turned into readings by its compliance book, the cell's tracker reading the reflectors.
struct Station
{
    sim::RobotModel model;
    const sim::CatalogueModel *catalogue = nullptr;
    sim::VirtualCell cell;
    QVector<double> configuredDh;
    QVector<double> configuredZero;
    sim::ComplianceBook compliance;
    QVector<double> joints;
    // The ISO collector's kept registrations, one per compensated compliance (none: empty).
    QVector<sim::KeptRegistration> registrations;
    bool registrationKept = false;
    double referenceDriftMm = 0; // at the last check of a kept registration
    // The arm hides reflectors from the tracker, and the collector keeps to what it sees.
    bool sighted = true;

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
        compliance.setRobot(model.name, model.axes);
    }

    // As the collector predicts it; its rough tracker pose is within millimetres of the true one.
    sim::TargetSight sight() const
    {
        if (!sighted)
            return sim::TargetSight();
        return sim::TargetSight(configured(), catalogue->body, cell.trackerFromBase(),
                                catalogue->targetsMm);
    }

    // Turns off the arm's hiding of reflectors: every one is read at every pose.
    void seeEverything()
    {
        sighted = false;
        sim::VirtualCell::Imperfections on = cell.imperfections();
        on.lineOfSight = false;
        cell.setImperfections(on);
    }

    sim::DhChain configured() const
    {
        return sim::DhChain(sim::AsBuiltRobot::foldZeroOffsets(configuredDh, configuredZero),
                            model.axes);
    }

    // As the controller's joint move: the arm's pose solved from where the arm stands, in the
    // quarter turns of `configurationOf` when given (the programs' "conf"; the nearest solution
    // when none is found there, as they ask again without it), then the readings that put it
    // there under gravity (the readings themselves while no compliance is set).
    bool moveTo(const Eigen::Isometry3d &tBaseFlange,
                const QVector<double> &configurationOf = QVector<double>())
    {
        const sim::DhChain chain = configured();
        const sim::MotionPlanner planner(chain, model.limits);
        const QVector<double> from = compliance.armFor(chain, joints);
        QVector<double> arm;
        QString why;
        QVector<int> configuration;
        for (double q : configurationOf)
            configuration.append(int(std::floor(q / 90.0)));
        int error = sim::MoveError::TargetUnreachable;
        if (!configuration.isEmpty())
            error = planner.solveInConfiguration(tBaseFlange, from, configuration, &arm, &why);
        if (error != sim::MoveError::None
            && planner.solve(tBaseFlange, from, &arm, &why) != sim::MoveError::None)
            return false;
        joints = compliance.readingsFor(chain, arm);
        cell.noteMotion(joints);
        return true;
    }

    // The programs' move to given joint readings: to the flange pose the configured model gives
    // for them in their quarter turns, the target then corrected by what the readings are off
    // (the compensated compliance), at most three times; another solution is not corrected.
    bool moveToJoints(const QVector<double> &q)
    {
        QVector<double> target = q;
        for (int attempt = 0; attempt <= 3; ++attempt) {
            if (!moveTo(configured().forward(target), target))
                return false;
            double largest = 0;
            for (int k = 0; k < q.size(); ++k) {
                const double off = std::remainder(joints.at(k) - q.at(k), 360.0);
                largest = qMax(largest, std::abs(off));
                target[k] -= off;
            }
            if (largest <= 1e-3)
                return true;
            if (largest > 1.0)
                return false;
        }
        return false;
    }

    // The result written as the pendant writes it: alpha, a and d of each link group (theta
    // stays), the zero offsets and, when identified, the compliance.
    bool apply(const sim::CalibrationSolver &solver, const QJsonObject &result)
    {
        const sim::IdentificationResult &r = solver.result();
        for (int i = 0; i < 4 * model.axes; ++i) {
            if (i % 4 != 3)
                configuredDh[i] = r.dh.at(i);
        }
        configuredZero = r.zeroOffsetsDeg;
        const QJsonValue joint = result.value(QStringLiteral("joint_compliance"));
        if (joint.isUndefined())
            return true;
        bool changed = false;
        return compliance.runCommand(sim::ComplianceBook::SetCommand, joint, &changed)
            .value(QStringLiteral("success"))
            .toBool();
    }

    Eigen::Vector3d read(const QString &target)
    {
        sim::VirtualCell::Reading r;
        cell.measure(joints, target, &r);
        return r.positionMm;
    }

    // The ISO collector's reading: the middle of three, coordinate by coordinate.
    Eigen::Vector3d readPoint()
    {
        Eigen::Matrix3d three;
        for (int i = 0; i < 3; ++i)
            three.col(i) = read(QStringLiteral("A"));
        Eigen::Vector3d middle;
        for (int axis = 0; axis < 3; ++axis) {
            Eigen::Vector3d row = three.row(axis).transpose();
            std::sort(row.data(), row.data() + 3);
            middle[axis] = row[1];
        }
        return middle;
    }

    // The ISO collector's registration: the one kept for the compensated compliance while its
    // reference poses read within KeptRegistration::kDriftMm of where they did, else one from
    // the circles of joints 1 and 2 at the home joints, kept with both ends of the first circle
    // and the far end of the second as its references.
    Eigen::Isometry3d registration()
    {
        const QVector<double> state =
            compliance.isActive() ? compliance.values() : QVector<double>();
        int index = 0;
        while (index < registrations.size() && registrations.at(index).compliance != state)
            ++index;
        if (index < registrations.size()) {
            const sim::KeptRegistration &kept = registrations.at(index);
            QVector<Eigen::Vector3d> now;
            for (const sim::KeptRegistration::Reference &r : kept.references) {
                moveToJoints(r.jointsDeg);
                now.append(readPoint());
            }
            referenceDriftMm = kept.largestDriftMm(now);
            registrationKept = referenceDriftMm <= sim::KeptRegistration::kDriftMm;
            if (registrationKept)
                return kept.trackerFromBase;
        } else {
            registrations.append(sim::KeptRegistration());
            registrationKept = false;
        }
        sim::KeptRegistration &made = registrations[index];
        made.compliance = state;
        std::vector<Eigen::Vector3d> circles[2];
        QVector<sim::KeptRegistration::Reference> visited;
        for (int joint : {0, 1}) {
            const QVector<double> steps = joint == 0 ? sim::TrackerRegistration::joint1StepsDeg()
                                                     : sim::TrackerRegistration::joint2StepsDeg();
            const QVector<double> start =
                joint == 0 ? model.homeDeg
                           : sim::TrackerRegistration::joint2Start(*catalogue, model.homeDeg);
            // The ISO collector's lead-in: every step is reached turning the same way.
            QVector<double> leadIn = start;
            leadIn[joint] += steps.first() - sim::RobotSession::kLeadInDeg;
            moveTo(configured().forward(leadIn), leadIn);
            for (double step : steps) {
                QVector<double> q = start;
                q[joint] += step;
                moveToJoints(q);
                // A step the arm hides the target at goes without, as in the collector.
                if (!cell.inSight(joints, QStringLiteral("A")))
                    continue;
                circles[joint].push_back(readPoint());
                visited.append({q, circles[joint].back()});
            }
        }
        made.references = {visited.constFirst(), visited.at(int(circles[0].size()) - 1),
                           visited.constLast()};
        QString error;
        sim::TrackerRegistration::registerBase(*catalogue, model.homeDeg, circles[0], circles[1],
                                               &made.trackerFromBase, &error);
        return made.trackerFromBase;
    }

    // Mean ISO accuracy over the five default test poses of the SR6-900.
    double isoMeanAccuracy(const Eigen::Vector3d &offsetA)
    {
        const double poses[5][3] = {{520, -180, 610}, {520, 180, 610}, {320, 180, 410},
                                    {320, -180, 410}, {420, 0, 510}};
        const Eigen::Isometry3d baseFromTracker = registration().inverse();
        std::vector<Eigen::Vector3d> attained[5];
        for (int cycle = 0; cycle < kIsoCycles; ++cycle) {
            for (int p = 4; p >= 0; --p) {
                Eigen::Isometry3d goal = Eigen::Isometry3d::Identity();
                goal.linear() = sim::CartesianPose::rotationFromEuler(180, 0, 180);
                goal.translation() = Eigen::Vector3d(poses[p][0], poses[p][1], poses[p][2]);
                moveTo(goal);
                attained[p].push_back(baseFromTracker * readPoint()
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

    // Moves through planned poses and reads every reflector at each, numbered from `first`. A
    // pose is asked for as the collector asks: the flange the configured model puts there, in the
    // planned joints' quarter turns. `elsewhere` counts the poses the arm still reached in another
    // configuration (a whole turn of a joint aside).
    QVector<sim::PoseMeasurement> collect(sim::CalibPosePlanner *planner, int count, int first,
                                          int *elsewhere = nullptr)
    {
        QVector<sim::PoseMeasurement> readings;
        // Random poses within the cell's reach and the tracker's sight, as the collector draws
        // them; it asks only for the targets it expects to see, and gets those the arm does not
        // hide after all.
        planner->setModel(configured());
        const sim::TargetSight expected = sight();
        planner->setSight(expected);
        for (int pose = first, tries = 0; pose < first + count && tries < 10 * count; ++tries) {
            const QVector<double> planned = planner->next();
            if (planned.isEmpty())
                break;
            // The collector's lead-in (RobotSession::moveToFromBelow); one out of reach is left out.
            QVector<double> leadIn = planned;
            for (double &q : leadIn)
                q -= sim::RobotSession::kLeadInDeg;
            moveTo(configured().forward(leadIn), leadIn);
            if (!moveTo(configured().forward(planned), planned))
                continue;
            double off = 0;
            for (int k = 0; k < planned.size(); ++k)
                off = qMax(off, std::abs(std::remainder(joints.at(k) - planned.at(k), 360.0)));
            if (elsewhere && off > kElsewhereDeg)
                ++*elsewhere;
            const int before = readings.size();
            for (const QString &t : expected.seen(joints, cell.targetNames())) {
                if (cell.inSight(joints, t))
                    readings.append({joints, read(t), t, pose, false, Eigen::Vector3d::Zero()});
            }
            if (readings.size() > before)
                ++pose;
        }
        return readings;
    }

    // The pendant's default choice; with `withCompliance` a compliance per joint as well, for
    // the catalogue's masses and no payload (the cell's tool plate carries none).
    sim::CalibrationSolver solver(bool withCompliance = false) const
    {
        sim::CalibrationSolver s(configuredDh, model.axes);
        s.setZeroOffsets(configuredZero);
        s.setTargets(catalogue->targetsMm.keys(), catalogue->targetsMm.values().toVector());
        QString error;
        if (withCompliance)
            s.setCompliance(catalogue->masses, 0.0, &error);
        s.setConstraints(defaultChoice(), &error);
        return s;
    }

    // The mean validation error with every true geometric value, outliers left out as named;
    // `withCompliance` turns each joint by the true compliance times the gravity torque the
    // as-built arm carries at the readings, as a perfect model of that class would. What stays
    // is the gear error, the arrival scatter and the tracker's noise.
    double floor(const QVector<sim::PoseMeasurement> &validation, const QVector<int> &dropped,
                 bool withCompliance = false)
    {
        double sum = 0;
        int n = 0;
        for (int i = 0; i < validation.size(); ++i) {
            if (dropped.contains(i))
                continue;
            sum += (truth(validation.at(i), withCompliance) - validation.at(i).positionMm).norm();
            ++n;
        }
        return n ? sum / n : 0.0;
    }

    // Where the tracker would read the reading's target without the gear errors, the play, the
    // scatter and the noise; with `withCompliance`, with the arm's deflection under gravity.
    Eigen::Vector3d truth(const sim::PoseMeasurement &r, bool withCompliance) const
    {
        QVector<double> q = r.jointsDeg;
        if (withCompliance) {
            const QVector<double> c = cell.complianceDegPerNm();
            const QVector<double> tau =
                catalogue->masses.gravityTorqueNm(cell.robot().chain(), r.jointsDeg);
            for (int k = 0; k < q.size(); ++k)
                q[k] += c.at(k) * tau.at(k);
        }
        return cell.trackerFromBase() * (cell.robot().flange(q) * cell.targetOffsetMm(r.target));
    }
};

double validationMean(const QJsonObject &result)
{
    return result.value(QStringLiteral("avg_valid_position_error")).toDouble();
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

// The cell's readings identified, with each joint's compliance free as well or not.
void identifyCell(benchmark::State &state, bool compliance)
{
    Station station(QStringLiteral("SR6-900"), QStringLiteral("BENCH-6"));
    // The timed load: every reflector at every pose.
    station.seeEverything();
    sim::CalibPosePlanner planner(6);
    const QVector<sim::PoseMeasurement> readings =
        station.collect(&planner, int(state.range(0)), 1);
    sim::CalibrationSolver solver = station.solver(compliance);
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

// 80 poses x 3 reflectors on the imperfect cell; tracker pose, reflector offsets, DH set and
// zero offsets free, outliers judged and the fit repeated.
void BM_Identifier_identifyCell(benchmark::State &state)
{
    identifyCell(state, false);
}
BENCHMARK(BM_Identifier_identifyCell)->Arg(80)->Unit(benchmark::kMillisecond);

// The same readings with each joint's compliance free as well.
void BM_Identifier_identifyCellCompliance(benchmark::State &state)
{
    identifyCell(state, true);
}
BENCHMARK(BM_Identifier_identifyCellCompliance)->Arg(80)->Unit(benchmark::kMillisecond);

// The demo's story on the imperfect cell: ISO test, calibration from 60 + 20 poses with the
// default choice, the result applied as the pendant applies it, ISO test again (with the first
// test's registration while its reference poses read the same, as the ISO collector keeps it).
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
        const double validation = validationMean(result);
        const double floor = station.floor(val, solver.validationOutliers(val));
        const sim::IdentificationResult &r = solver.result();
        station.apply(solver, result);
        const int a = solver.problem().targetIndex(QStringLiteral("A"));
        const double after = station.isoMeanAccuracy(
            Eigen::Vector3d(r.values.at(a), r.values.at(a + 1), r.values.at(a + 2)));
        state.counters["ap_before_mm"] = before;
        state.counters["ap_after_mm"] = after;
        state.counters["after_registration_kept"] = station.registrationKept ? 1.0 : 0.0;
        state.counters["after_reference_drift_mm"] = station.referenceDriftMm;
        state.counters["gain"] = before / after;
        state.counters["valid_mean_mm"] = validation;
        state.counters["floor_mm"] = floor;
        state.counters["valid_over_floor"] = validation / floor;
        state.counters["outliers"] =
            result.value(QStringLiteral("outliers")).toObject().value(QStringLiteral("count")).toInt();
    }
}
BENCHMARK(BM_Cell_calibrationStory)->Iterations(1)->Unit(benchmark::kMillisecond);

// The story once more, the same readings identified with each joint's compliance as well, the
// compliance written to the controller with the geometry and compensated in its moves. The
// validation error is judged against the floor of a model that knows the true compliances too;
// the geometric fit of the same readings stands beside it with its own floor.
void BM_Cell_complianceStory(benchmark::State &state)
{
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state) {
        Station station(QStringLiteral("SR6-900"), QStringLiteral("SIM-0001"));
        const Eigen::Vector3d nominalA = station.catalogue->targetsMm.value(QStringLiteral("A"));
        const double before = station.isoMeanAccuracy(nominalA);
        sim::CalibPosePlanner planner(6);
        const QVector<sim::PoseMeasurement> id = station.collect(&planner, 60, 1);
        const QVector<sim::PoseMeasurement> val = station.collect(&planner, 20, 61);
        sim::CalibrationSolver geometric = station.solver();
        sim::CalibrationSolver solver = station.solver(true);
        QString error;
        if (!geometric.solve(id, &error) || !solver.solve(id, &error)) {
            state.SkipWithError(error.toUtf8().constData());
            return;
        }
        const QJsonObject result = solver.resultJson(id, val, false);
        const double validation = validationMean(result);
        const double floor = station.floor(val, solver.validationOutliers(val), true);
        const double geometricValidation = validationMean(geometric.resultJson(id, val, false));
        const double geometricFloor = station.floor(val, geometric.validationOutliers(val));
        if (!station.apply(solver, result)) {
            state.SkipWithError("the controller refused the compliance");
            return;
        }
        const sim::IdentificationResult &r = solver.result();
        const int a = solver.problem().targetIndex(QStringLiteral("A"));
        const double after = station.isoMeanAccuracy(
            Eigen::Vector3d(r.values.at(a), r.values.at(a + 1), r.values.at(a + 2)));
        // Each identified compliance over the cell's, for the joints gravity loads: the first
        // turns about the vertical and the last about the plate's centre of mass, both held.
        const QVector<double> truth = station.cell.complianceDegPerNm();
        for (int k = 1; k < station.model.axes - 1; ++k) {
            const double identified = r.values.at(solver.problem().complianceIndex(k))
                                      * sim::IdentificationProblem::kCompliancePerUnit;
            state.counters["compliance_j" + std::to_string(k + 1) + "_over_true"] =
                identified / (truth.at(k) / kDegPerRad);
        }
        state.counters["ap_before_mm"] = before;
        state.counters["ap_after_mm"] = after;
        state.counters["after_registration_kept"] = station.registrationKept ? 1.0 : 0.0;
        state.counters["gain"] = before / after;
        state.counters["valid_mean_mm"] = validation;
        state.counters["floor_mm"] = floor;
        state.counters["valid_over_floor"] = validation / floor;
        state.counters["geometric_valid_mm"] = geometricValidation;
        state.counters["geometric_floor_mm"] = geometricFloor;
        state.counters["outliers"] = result.value(QStringLiteral("outliers"))
                                         .toObject()
                                         .value(QStringLiteral("count"))
                                         .toInt();
    }
}
BENCHMARK(BM_Cell_complianceStory)->Iterations(1)->Unit(benchmark::kMillisecond);

// Identification poses chosen by observability, as the collector plans them (the travel every
// robot of the cell has, the arm's compliance in the model also for a geometric fit), against
// random ones: 30 and 60 chosen, 60 random and the first 30 of
// them, each identified with the default choice and judged on the readings of the same 20 random
// validation poses; with the joints' compliance free and without. Over several pose sets: the
// first with the collector's seed, the others with the seeds after it and their own draw of the
// cell's readings. Counters: the mean over the sets of each validation mean and of the model's
// own error (how far its prediction at the validation readings lies from the arm's smooth
// truth: true geometry and joint deflection, without what no model of the class holds, the
// bearings' tilt included), the sets where chosen poses did better than as many random ones,
// the readings each set took, the ISO test's mean accuracy after each set's result is applied,
// and the share of poses the arm reached in another configuration than planned.
void BM_Cell_chosenPoses(benchmark::State &state)
{
    constexpr int kSets = 4;
    const char *names[kSets] = {"random60", "chosen30", "chosen60", "random30"};
    const char *classes[2] = {"geometric_", ""};
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state) {
        double sum[2][kSets] = {};
        double o1[2][kSets] = {};
        double model[2][kSets] = {};
        double readingCount[2][kSets] = {};
        double iso[2][kSets] = {};
        int wins[2] = {};
        int wins30[2] = {};
        int isoWins[2] = {};
        int isoWins30[2] = {};
        int elsewhere[2][kSets] = {};
        int visited[2][kSets] = {};
        for (int seed = 0; seed < g_poseSeeds; ++seed) {
            Station station(QStringLiteral("SR6-900"), QStringLiteral("SIM-0001"));
            if (g_noiseOnly) {
                sim::VirtualCell::Imperfections on;
                on.scatter = on.gearError = on.backlash = on.outliers = on.tilt = false;
                station.cell.setImperfections(on);
            }
            if (seed > 0)
                station.cell.reseed(sim::CalibPosePlanner::kSeed + std::uint64_t(seed));
            sim::CalibPosePlanner planner(6, sim::CalibPosePlanner::kSeed + std::uint64_t(seed));
            int randomElsewhere = 0;
            const QVector<sim::PoseMeasurement> random =
                station.collect(&planner, 60, 1, &randomElsewhere);
            const QVector<sim::PoseMeasurement> val = station.collect(&planner, 20, 61);
            for (int c = 0; c < 2; ++c) {
                const bool withCompliance = c == 1;
                double mean[kSets] = {};
                double accuracy[kSets] = {};
                for (int set = 0; set < kSets; ++set) {
                    QVector<sim::PoseMeasurement> id = random;
                    const int count = set == 1 || set == 3 ? 30 : 60;
                    int reachedElsewhere = randomElsewhere;
                    if (set == 3) {
                        // Random poses are numbered from 1 in the order they were read.
                        id.erase(std::remove_if(id.begin(), id.end(),
                                                [](const sim::PoseMeasurement &r) {
                                                    return r.pose > 30;
                                                }),
                                 id.end());
                    } else if (set > 0) {
                        sim::ObservablePosePlanner observable(
                            station.solver(true).problem(),
                            sim::CalibPosePlanner::travel(6),
                            sim::CalibPosePlanner::kSeed + std::uint64_t(seed));
                        observable.setCandidateCount(g_candidates);
                        observable.setSight(station.sight());
                        sim::CalibPosePlanner chosen(6);
                        chosen.queue(observable.plan(count));
                        reachedElsewhere = 0;
                        id = station.collect(&chosen, count, 101, &reachedElsewhere);
                    }
                    sim::CalibrationSolver solver = station.solver(withCompliance);
                    QString error;
                    if (!solver.solve(id, &error)) {
                        state.SkipWithError(error.toUtf8().constData());
                        return;
                    }
                    const QJsonObject result = solver.resultJson(id, val, false);
                    mean[set] = validationMean(result);
                    sum[c][set] += mean[set];
                    // What the engineer sees next: the ISO test after the result is applied.
                    Station tested = station;
                    if (!tested.apply(solver, result)) {
                        state.SkipWithError("the controller refused the compliance");
                        return;
                    }
                    const int a = solver.problem().targetIndex(QStringLiteral("A"));
                    const QVector<double> &v = solver.result().values;
                    accuracy[set] = tested.isoMeanAccuracy(
                        Eigen::Vector3d(v.at(a), v.at(a + 1), v.at(a + 2)));
                    iso[c][set] += accuracy[set];
                    QVector<sim::PoseMeasurement> smooth = val;
                    for (sim::PoseMeasurement &r : smooth)
                        r.positionMm = station.truth(r, true);
                    const QVector<double> off = solver.errorsAfter(smooth);
                    model[c][set] += std::accumulate(off.begin(), off.end(), 0.0) / off.size();
                    o1[c][set] += solver.result().o1;
                    readingCount[c][set] += id.size();
                    elsewhere[c][set] += reachedElsewhere;
                    visited[c][set] += count;
                }
                if (accuracy[2] < accuracy[0])
                    ++isoWins[c];
                if (accuracy[1] < accuracy[3])
                    ++isoWins30[c];
                if (mean[2] < mean[0])
                    ++wins[c];
                if (mean[1] < mean[3])
                    ++wins30[c];
            }
        }
        for (int c = 0; c < 2; ++c) {
            for (int set = 0; set < kSets; ++set) {
                const std::string name = std::string(classes[c]) + names[set];
                state.counters["valid_" + name + "_mm"] = sum[c][set] / g_poseSeeds;
                state.counters["o1_" + name] = o1[c][set] / g_poseSeeds;
                state.counters["readings_" + name] = readingCount[c][set] / g_poseSeeds;
                state.counters["iso_" + name + "_mm"] = iso[c][set] / g_poseSeeds;
                state.counters["model_" + name + "_mm"] = model[c][set] / g_poseSeeds;
                // The first 30 random poses were not counted apart.
                if (set != 3)
                    state.counters["elsewhere_" + name] =
                        double(elsewhere[c][set]) / qMax(1, visited[c][set]);
            }
            state.counters[std::string(classes[c]) + "chosen60_wins"] = wins[c];
            state.counters[std::string(classes[c]) + "chosen30_wins"] = wins30[c];
            state.counters[std::string(classes[c]) + "iso_chosen60_wins"] = isoWins[c];
            state.counters[std::string(classes[c]) + "iso_chosen30_wins"] = isoWins30[c];
        }
        state.counters["seeds"] = g_poseSeeds;
    }
}
BENCHMARK(BM_Cell_chosenPoses)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same robot measured from ten tracker placements, in front of it and turned every way: the
// identified models agree where the robot goes to within the noise.
void BM_Cell_trackerPlacements(benchmark::State &state)
{
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    for (auto _ : state) {
        QVector<QVector<Eigen::Vector3d>> predicted;
        double smallestHeading = 10;
        double largestHeading = -10;
        double worstRms = 0;
        double noise = 0;
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
            noise = qMax(noise, solver.result().residualSpreadMm);
            const sim::DhChain identified(
                sim::AsBuiltRobot::foldZeroOffsets(solver.result().dh,
                                                   solver.result().zeroOffsetsDeg),
                6);
            sim::CalibPosePlanner fresh(6, 77);
            fresh.setModel(station.configured());
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
        state.counters["residual_spread_mm"] = noise;
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

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--seeds=", 8) == 0)
            g_poseSeeds = qMax(1, int(std::strtol(argv[i] + 8, nullptr, 10)));
        if (std::strcmp(argv[i], "--noise-only") == 0)
            g_noiseOnly = true;
        if (std::strncmp(argv[i], "--candidates=", 13) == 0)
            g_candidates = qMax(1, int(std::strtol(argv[i] + 13, nullptr, 10)));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
