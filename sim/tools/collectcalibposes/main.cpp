// The calibration pose collector and optimiser: moves the robot through identification and
// validation poses, reads every target of the tool plate with the tracker at each, keeps the
// readings and the model it started from, identifies the DH set and joint zero offsets with the
// tracker's pose and the targets' positions, and leaves "optimized_dh.json" and the report.
// Usage: collectCalibPoses --path <work folder> [--poses N] [--validation-poses M]
//                          [--replay <measurements.csv> [--model <model.json>]]
// With --replay the poses and readings come from the file; the robot is moved to the poses when
// the request's controller is there, and need not be when --model gives the model.
#include <sim/kinematics/dhchain.h>
#include <sim/kinematics/robotcatalogue.h>
#include <sim/tools/common/calibposeplanner.h>
#include <sim/tools/common/calibrationrun.h>
#include <sim/tools/common/calibrationsolver.h>
#include <sim/tools/common/calibrequest.h>
#include <sim/tools/common/observableposeplanner.h>
#include <sim/tools/common/recordedtracker.h>
#include <sim/tools/common/robotsession.h>
#include <sim/tools/common/sessiontracker.h>
#include <sim/tools/common/toolarguments.h>
#include <sim/tools/common/toolmain.h>
#include <sim/tools/common/workfolder.h>

#include <QCoreApplication>
#include <QDir>

#include <memory>

using namespace sim;

namespace {

// A recorded pose may come back a little off when the controller's zero offsets differ from
// none; its readings are the file's all the same.
constexpr double kReplayJointToleranceDeg = 0.01;

struct Collection
{
    RobotSession *robot = nullptr; // null: no robot to move
    Tracker *tracker = nullptr;
    DhChain model;
    int done = 0;
    int total = 0;
    QVector<CalibPose> poses; // what the controller read, for its zero offsets
};

// Moves to the joint set (when there is a robot) and takes the tracker's readings of the pose.
// False with `skipped` set when the controller refuses the pose or the tracker sees nothing of
// it: the run goes on without it.
bool visit(Collection *c, int pose, const QVector<double> &jointsDeg,
           QVector<PoseMeasurement> *into, bool *skipped, QString *error)
{
    QVector<double> read = jointsDeg;
    if (c->robot) {
        CalibPose seen;
        if (!c->robot->moveToFromBelow(c->model, jointsDeg, error)) {
            *skipped = true;
            return false;
        }
        if (!c->robot->readPosition(&seen.jointsDeg, &seen.commandedMm, error,
                                    &seen.flangeRotation, &seen.rotationKnown))
            return false;
        c->poses.append(seen);
        read = seen.jointsDeg;
    }
    const int before = int(into->size());
    if (!c->tracker->measure(pose, read, into, error))
        return false;
    if (into->size() == before) {
        *error = QStringLiteral("the tracker sees no target at pose %1").arg(pose);
        *skipped = true;
        if (c->robot)
            c->poses.removeLast();
        return false;
    }
    printLine(QStringLiteral("[PROGRESS] %1/%2").arg(++c->done).arg(c->total));
    return true;
}

// Where the tracker stands, roughly, before any pose is planned: every reflector read at the
// home joints and at joint 1 and joint 2 turned from there (one the arm hides, or a cut beam,
// is left out). These readings serve nothing else. The sight knows nothing (every target
// asked everywhere) when they do not fix the tracker.
int locateTracker(Collection *c, const CatalogueModel &catalogue, TargetSight *sight,
                  QString *error)
{
    QVector<PoseMeasurement> readings;
    // A reflector the arm hides is expected here: asked once, not waited for.
    c->robot->setBeamTries(1);
    for (const QVector<double> &q : TargetSight::roughPoses(catalogue.homeDeg)) {
        QString why;
        Eigen::Vector3d commanded;
        PoseMeasurement reading;
        if (!c->robot->moveToFromBelow(c->model, q, &why))
            continue;
        if (!c->robot->readPosition(&reading.jointsDeg, &commanded, error))
            return ExitNoController;
        for (auto it = catalogue.targetsMm.constBegin(); it != catalogue.targetsMm.constEnd();
             ++it) {
            reading.target = it.key();
            bool hidden = false;
            if (c->robot->measure(it.key(), false, &reading.positionMm, nullptr, error, &hidden))
                readings.append(reading);
            else if (!hidden)
                return ExitNoController;
        }
    }
    c->robot->setBeamTries(RobotSession::kBeamTries);
    Eigen::Isometry3d trackerFromBase;
    QString why;
    if (!TargetSight::roughTrackerPose(c->model, catalogue.targetsMm, readings, &trackerFromBase,
                                       &why)) {
        warnLine(QStringLiteral("[WARN] where the tracker stands is not known (%1): every target "
                                "is asked at every pose")
                     .arg(why));
        return ExitOk;
    }
    printLine(QStringLiteral("[INFO] tracker located from %1 readings: the poses keep to "
                             "reflectors it sees")
                  .arg(readings.size()));
    *sight = TargetSight(c->model, catalogue.body, trackerFromBase, catalogue.targetsMm);
    return ExitOk;
}

// Planned poses: one the controller refuses or the tracker cannot see is replaced by the next
// planned one; more skipped than a quarter of the poses stop the run.
int collectPlanned(Collection *c, CalibPosePlanner *planner, int count,
                   QVector<PoseMeasurement> *into, QString *error)
{
    int refused = 0;
    for (int visited = 0; visited < count;) {
        const QVector<double> planned = planner->next();
        if (planned.isEmpty()) {
            *error = QStringLiteral("none of %1 random poses lies within the cell's reach with a "
                                    "reflector in the tracker's sight")
                         .arg(CalibPosePlanner::kMaxDraws);
            return ExitUnreachable;
        }
        bool skipped = false;
        QString why;
        if (visit(c, c->done + 1, planned, into, &skipped, &why)) {
            ++visited;
            continue;
        }
        if (!skipped) {
            *error = why;
            return ExitNoController;
        }
        warnLine(QStringLiteral("[WARN] pose skipped: %1").arg(why));
        if (++refused > count / 4) {
            *error = QStringLiteral("%1 poses skipped, the last: %2").arg(refused).arg(why);
            return ExitUnreachable;
        }
    }
    return ExitOk;
}

// Recorded poses, in the file's order: the readings are the file's.
int collectRecorded(Collection *c, const QVector<PoseMeasurement> &recorded,
                    QVector<PoseMeasurement> *into, QString *error)
{
    QVector<int> seen;
    for (const PoseMeasurement &r : recorded) {
        if (seen.contains(r.pose))
            continue;
        seen.append(r.pose);
        bool skipped = false;
        if (!visit(c, r.pose, r.jointsDeg, into, &skipped, error))
            return skipped ? ExitUnreachable : ExitNoController;
        if (!c->poses.isEmpty()) {
            double off = 0;
            for (int k = 0; k < r.jointsDeg.size(); ++k)
                off = qMax(off, qAbs(c->poses.constLast().jointsDeg.value(k) - r.jointsDeg.at(k)));
            if (off > kReplayJointToleranceDeg)
                warnLine(QStringLiteral("[WARN] pose %1 reached %2 degrees off its recorded "
                                        "joints")
                             .arg(r.pose)
                             .arg(off));
        }
    }
    return ExitOk;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("collectCalibPoses"));

    ToolArguments arguments;
    CalibRequest request;
    if (const int exit = readToolRequest(false, &arguments, &request))
        return exit;
    const WorkFolder folder(arguments.workFolder());
    const QString replay = arguments.text(QStringLiteral("replay"));
    const QString modelPath = arguments.text(QStringLiteral("model"));
    QString error;
    CalibrationRun run;
    run.constraints = request.constraints();
    run.production = request.productionMode();
    run.compliance = request.compliance();
    run.payloadKg = request.payloadKg();
    run.serialNumber = request.serialNumber();

    RobotSession robot;
    const bool offline = !replay.isEmpty() && !modelPath.isEmpty();
    if (offline) {
        if (!run.model.read(modelPath, &error))
            return failTool(ExitBadRequest, error);
    } else {
        if (request.controllerAddress().isEmpty())
            return failTool(ExitBadRequest, QStringLiteral("the request names no controller"));
        if (!robot.open(request.controllerAddress(), &error))
            return failTool(ExitNoController, error);
        run.model.robotType = robot.robotType();
        run.model.axes = robot.axisCount();
        run.model.dh = robot.dhParams();
        if (const CatalogueModel *m = RobotCatalogue::builtIn().model(robot.robotType())) {
            run.model.targets = m->targetsMm.keys();
            run.model.targetsMm = m->targetsMm.values().toVector();
        }
    }
    const int axes = run.model.axes;
    MeasurementFile recorded;
    if (!replay.isEmpty() && !recorded.read(replay, axes, &error))
        return failTool(ExitBadRequest, error);

    QStringList targets = run.model.targets;
    if (targets.isEmpty()) {
        warnLine(QStringLiteral("[WARN] no tool plate known for %1: the tracker reads target A")
                     .arg(run.model.robotType));
        targets = QStringList{QStringLiteral("A")};
    }
    SessionTracker live(&robot, targets);
    RecordedTracker replayed(recorded.identification + recorded.validation);
    Collection c;
    c.robot = offline ? nullptr : &robot;
    c.tracker = replay.isEmpty() ? static_cast<Tracker *>(&live) : &replayed;
    c.model = DhChain(run.model.dh, axes);
    int exit = ExitOk;
    if (replay.isEmpty()) {
        const int identificationCount = arguments.number(QStringLiteral("poses"), 60, 10, 1000);
        const int validationCount =
            arguments.number(QStringLiteral("validation-poses"), 20, 1, 1000);
        c.total = identificationCount + validationCount;
        // The identification poses are chosen for what they show of the parameters; the
        // validation poses stay random, so that they judge the result rather than flatter it.
        CalibrationSolver chosen(run.model.dh, axes);
        if (!run.model.targets.isEmpty())
            chosen.setTargets(run.model.targets, run.model.targetsMm);
        const CatalogueModel *catalogue = RobotCatalogue::builtIn().model(run.model.robotType);
        if (run.compliance && catalogue
            && !chosen.setCompliance(catalogue->masses, run.payloadKg, &error))
            return failTool(ExitBadRequest, error);
        if (!chosen.setConstraints(run.constraints, &error))
            return failTool(ExitBadRequest, error);
        // Known before the robot moves: otherwise the engineer learns it after the whole run.
        const int free = chosen.problem().freeCount();
        if (identificationCount * int(targets.size()) < free)
            return failTool(ExitBadRequest,
                            QStringLiteral("%1 poses of %2 readings each are fewer readings than "
                                           "the %3 free parameters: ask for at least %4 poses")
                                .arg(identificationCount)
                                .arg(targets.size())
                                .arg(free)
                                .arg((free + int(targets.size()) - 1) / int(targets.size())));
        // Chosen for the model the arm follows, its bending under gravity included, also when
        // only the geometry is identified: chosen for the geometry alone, the poses gather where
        // the arm bends most, and the geometric fit takes that bending for geometry.
        CalibrationSolver planned = chosen;
        QString noMasses;
        if (!run.compliance && catalogue)
            planned.setCompliance(catalogue->masses, run.payloadKg, &noMasses);
        TargetSight sight;
        if (catalogue && catalogue->axes == axes) {
            if (const int located = locateTracker(&c, *catalogue, &sight, &error))
                return failTool(ToolExit(located), error);
        }
        live.setSight(sight);
        CalibPosePlanner planner(axes);
        planner.setModel(c.model);
        planner.setSight(sight);
        ObservablePosePlanner observable(planned.problem(), CalibPosePlanner::travel(axes),
                                         CalibPosePlanner::kSeed);
        observable.setSight(sight);
        planner.queue(observable.plan(identificationCount));
        exit = collectPlanned(&c, &planner, identificationCount, &run.readings.identification,
                              &error);
        planner.queue({});
        if (exit == ExitOk)
            exit = collectPlanned(&c, &planner, validationCount, &run.readings.validation,
                                  &error);
    } else {
        QVector<int> poses;
        for (const PoseMeasurement &r : recorded.identification + recorded.validation) {
            if (!poses.contains(r.pose))
                poses.append(r.pose);
        }
        c.total = int(poses.size());
        exit = collectRecorded(&c, recorded.identification, &run.readings.identification, &error);
        if (exit == ExitOk)
            exit = collectRecorded(&c, recorded.validation, &run.readings.validation, &error);
        run.readings.fullPose = recorded.fullPose;
        run.readings.lastLine = recorded.lastLine;
    }
    if (exit != ExitOk)
        return failTool(ToolExit(exit), error);
    if (!offline)
        run.model.zeroOffsetsDeg = CalibrationSolver::configuredZeroOffsets(
            run.model.dh, axes, c.poses, &run.zeroPointsBefore);

    const QString sn = request.serialNumber();
    QString reportPath;
    if (!WorkFolder::isPlainFileName(sn)) {
        warnLine(QStringLiteral("[WARN] no report: the serial number \"%1\" is no file name")
                     .arg(sn));
    } else {
        const QString base = folder.calibReportFolder() + QLatin1Char('/') + sn;
        if (!QDir().mkpath(folder.calibReportFolder()))
            return failTool(ExitCannotWrite,
                            QStringLiteral("cannot make %1").arg(folder.calibReportFolder()));
        if (!run.readings.write(base + QStringLiteral("_measurements.csv"), axes, &error)
            || !run.model.write(base + QStringLiteral("_model.json"), &error))
            return failTool(ExitCannotWrite, error);
        reportPath = base + QStringLiteral(".xlsx");
    }

    printLine(QStringLiteral("[PHASE] OPTIMIZATION"));
    exit = run.run(folder.resultFile(), reportPath, &error);
    if (exit != ExitOk)
        return failTool(ToolExit(exit), error);
    printLine(QStringLiteral("[INFO] result written to %1").arg(folder.resultFile()));
    return ExitOk;
}
