// The ISO pose collector: registers the tracker to the robot's base from single-joint circles
// (or keeps the last registration of the robot when its reference poses still read the same),
// moves through the five test poses of the saved ISO settings for the given number of cycles,
// measures every attained pose with the tracker and keeps the flange positions it finds (base
// frame) for the report generator. Usage: collectIsoPoses --path <work folder>
#include <sim/kinematics/cartesianpose.h>
#include <sim/kinematics/dhchain.h>
#include <sim/kinematics/robotcatalogue.h>
#include <sim/tools/common/calibrequest.h>
#include <sim/tools/common/isomeasurements.h>
#include <sim/tools/common/jsonfile.h>
#include <sim/tools/common/keptregistration.h>
#include <sim/tools/common/robotsession.h>
#include <sim/tools/common/targetsight.h>
#include <sim/tools/common/toolarguments.h>
#include <sim/tools/common/toolmain.h>
#include <sim/tools/common/trackerregistration.h>
#include <sim/tools/common/workfolder.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

#include <algorithm>
#include <cmath>

using namespace sim;

namespace {

// The test cycle of ISO 9283: the centre of the cube first, then the corners in descending
// order (the settings hold the centre as the fifth pose).
const int kCycleOrder[] = {4, 3, 2, 1, 0};
// The target the test follows on the tool plate.
const QString kTarget = QStringLiteral("A");
// An ISO test cannot leave a reading out: it waits 10 s for a beam someone stands in before it
// gives up the test.
constexpr int kBeamTries = 41;
// Of a registration circle's 13 steps, this many must be read: fewer leave its arc short.
constexpr int kLeastCircleSteps = 9;
// The pendant offers up to ISO 9283's 30 cycles; more come only from a hand-edited file, and a
// million would keep the robot moving for weeks.
constexpr int kMaxCycles = 30;

CartesianPose poseOf(const IsoTestPose &test)
{
    CartesianPose pose;
    pose.positionMm = test.positionMm;
    pose.aDeg = test.eulerDeg.x();
    pose.bDeg = test.eulerDeg.y();
    pose.cDeg = test.eulerDeg.z();
    return pose;
}

// The target's place on the flange: as the last calibration identified it, else the plate's
// nominal one.
Eigen::Vector3d targetOffset(const WorkFolder &folder, const CatalogueModel &model)
{
    QJsonObject result;
    QString ignored;
    const QJsonArray identified = JsonFile::readOrEmpty(folder.resultFile(), &result, &ignored)
                                      ? result.value(QStringLiteral("targets_mm"))
                                            .toObject()
                                            .value(kTarget)
                                            .toArray()
                                      : QJsonArray();
    if (identified.size() == 3 && identified.at(0).isDouble() && identified.at(1).isDouble()
        && identified.at(2).isDouble())
        return Eigen::Vector3d(identified.at(0).toDouble(), identified.at(1).toDouble(),
                               identified.at(2).toDouble());
    return model.targetsMm.value(kTarget, Eigen::Vector3d::Zero());
}

// A tracker now and then reads a broken beam re-caught, off by millimetres: each point is read
// three times and the middle value of each coordinate taken. `beamLost`, when given, is set when
// the tracker could not see the target.
bool measurePoint(RobotSession *robot, Eigen::Vector3d *positionMm, QString *error,
                  bool *beamLost)
{
    Eigen::Matrix3d readings;
    for (int i = 0; i < 3; ++i) {
        Eigen::Vector3d p;
        if (!robot->measure(kTarget, false, &p, nullptr, error, beamLost))
            return false;
        readings.col(i) = p;
    }
    for (int axis = 0; axis < 3; ++axis) {
        Eigen::Vector3d row = readings.row(axis).transpose();
        std::sort(row.data(), row.data() + 3);
        (*positionMm)[axis] = row[1];
    }
    return true;
}

// Moves to the joints `q` and reads the target there, whatever model the controller holds. A
// redundant arm may swivel its elbow on the way: the flange is where it should be, but it is
// said.
bool readAtJoints(RobotSession *robot, const DhChain &controllerModel, const QVector<double> &q,
                  Eigen::Vector3d *point, QString *error, bool *beamLost)
{
    QVector<double> reached;
    if (!robot->moveToJoints(controllerModel, q, &reached, error)) {
        if (reached.size() != q.size())
            return false;
        QStringList joints;
        for (double v : qAsConst(reached))
            joints.append(QString::number(v, 'f', 3));
        warnLine(QStringLiteral("[WARN] registration: %1 (at %2 degrees)")
                     .arg(*error, joints.join(QStringLiteral(", "))));
    }
    return measurePoint(robot, point, error, beamLost);
}

// Turns one joint alone through its steps from the start joints and reads the target at each.
// A step at which the arm stands in the beam is left out, with the tracker's usual few tries;
// the circle needs kLeastCircleSteps of them.
bool circle(RobotSession *robot, const DhChain &controllerModel, const QVector<double> &startDeg,
            int joint, const QVector<double> &steps, std::vector<Eigen::Vector3d> *points,
            QVector<KeptRegistration::Reference> *visited, QString *error, bool *beamLost)
{
    QVector<double> leadIn = startDeg;
    leadIn[joint] += steps.value(0) - RobotSession::kLeadInDeg;
    if (!robot->moveTo(CartesianPose::fromIsometry(controllerModel.forward(leadIn)), error,
                       leadIn))
        return false;
    robot->setBeamTries(RobotSession::kBeamTries);
    QString lastLost;
    for (double step : steps) {
        QVector<double> q = startDeg;
        q[joint] += step;
        Eigen::Vector3d p;
        bool lost = false;
        if (!readAtJoints(robot, controllerModel, q, &p, error, &lost)) {
            if (!lost)
                return false;
            warnLine(QStringLiteral("[WARN] registration: joint %1 at %2 degrees goes without "
                                    "a reading: %3")
                         .arg(joint + 1)
                         .arg(q.at(joint))
                         .arg(*error));
            lastLost = *error;
            continue;
        }
        points->push_back(p);
        visited->append({q, p});
    }
    robot->setBeamTries(kBeamTries);
    if (int(points->size()) < kLeastCircleSteps) {
        *beamLost = true;
        *error = QStringLiteral("joint %1's circle was read at %2 of its %3 steps, at least %4 "
                                "are needed (%5)")
                     .arg(joint + 1)
                     .arg(points->size())
                     .arg(steps.size())
                     .arg(kLeastCircleSteps)
                     .arg(lastLost);
        return false;
    }
    return true;
}

// The robot's kept registration, when its reference poses read where they did; says which.
// `kept` names the robot and its state.
bool keptRegistration(RobotSession *robot, const DhChain &controllerModel, const QString &path,
                      KeptRegistration *kept)
{
    QString error;
    if (!kept->findIn(path, robot->axisCount()))
        return false;
    QVector<Eigen::Vector3d> now;
    for (const KeptRegistration::Reference &reference : qAsConst(kept->references)) {
        Eigen::Vector3d p;
        if (!readAtJoints(robot, controllerModel, reference.jointsDeg, &p, &error, nullptr)) {
            warnLine(QStringLiteral("[WARN] registration: a reference pose cannot be read: %1")
                         .arg(error));
            return false;
        }
        now.append(p);
    }
    const double drift = kept->largestDriftMm(now);
    if (drift > KeptRegistration::kDriftMm) {
        printLine(QStringLiteral("[INFO] the reference poses moved by %1 mm since the last "
                                 "registration: registering the tracker anew")
                      .arg(drift, 0, 'f', 3));
        return false;
    }
    printLine(QStringLiteral("[INFO] tracker registration kept: the reference poses read within "
                             "%1 mm")
                  .arg(drift, 0, 'f', 3));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("collectIsoPoses"));

    ToolArguments arguments;
    CalibRequest request;
    if (const int exit = readToolRequest(true, &arguments, &request))
        return exit;
    const WorkFolder folder(arguments.workFolder());
    QString error;
    if (request.controllerAddress().isEmpty())
        return failTool(ExitBadRequest, QStringLiteral("the request names no controller"));
    const int cycles = request.isoCycles();
    // The repeatability is a spread: one reading per pose has none.
    if (cycles < 2)
        return failTool(ExitBadRequest,
                        QStringLiteral("ISO 9283 needs at least 2 cycles, the settings ask %1")
                            .arg(cycles));
    if (cycles > kMaxCycles)
        return failTool(ExitBadRequest,
                        QStringLiteral("the pendant offers at most %1 cycles, the settings ask %2")
                            .arg(kMaxCycles)
                            .arg(cycles));

    RobotSession robot;
    robot.setBeamTries(kBeamTries);
    if (!robot.open(request.controllerAddress(), &error))
        return failTool(ExitNoController, error);
    const CatalogueModel *catalogue = RobotCatalogue::builtIn().model(robot.robotType());
    if (!catalogue || catalogue->axes != robot.axisCount())
        return failTool(ExitBadRequest,
                        QStringLiteral("no catalogue data for the robot %1")
                            .arg(robot.robotType()));

    const DhChain controllerModel(robot.dhParams(), robot.axisCount());
    const QString registrationFile = folder.trackerRegistrationFile();
    KeptRegistration kept;
    kept.serialNumber = request.serialNumber();
    kept.robotType = robot.robotType();
    kept.compliance = robot.compliance();
    if (!keptRegistration(&robot, controllerModel, registrationFile, &kept)) {
        printLine(
            QStringLiteral("[INFO] registering the tracker from the circles of joints 1 and 2"));
        std::vector<Eigen::Vector3d> first;
        std::vector<Eigen::Vector3d> second;
        QVector<KeptRegistration::Reference> visited;
        bool beamLost = false;
        if (!circle(&robot, controllerModel, catalogue->homeDeg, 0,
                    TrackerRegistration::joint1StepsDeg(), &first, &visited, &error, &beamLost)
            || !circle(&robot, controllerModel,
                       TrackerRegistration::joint2Start(*catalogue, catalogue->homeDeg), 1,
                       TrackerRegistration::joint2StepsDeg(), &second, &visited, &error,
                       &beamLost))
            return failTool(beamLost ? ExitNoController : ExitUnreachable,
                            QStringLiteral("registration: %1").arg(error));
        if (!TrackerRegistration::registerBase(*catalogue, catalogue->homeDeg, first, second,
                                               &kept.trackerFromBase, &error))
            return failTool(ExitNoResult, QStringLiteral("registration: %1").arg(error));
        // Both ends of the first circle and the far end of the second span the tracker's frame.
        kept.references = {visited.constFirst(), visited.at(int(first.size()) - 1),
                           visited.constLast()};
        if (!QDir().mkpath(QFileInfo(registrationFile).path())
            || !kept.storeIn(registrationFile, &error))
            warnLine(QStringLiteral("[WARN] the registration is not kept for the next test: %1")
                         .arg(error));
    }
    const Eigen::Isometry3d trackerFromBase = kept.trackerFromBase;
    const Eigen::Isometry3d baseFromTracker = trackerFromBase.inverse();
    const Eigen::Vector3d offset = targetOffset(folder, *catalogue);

    const QVector<IsoTestPose> tests = request.isoPoses();
    IsoMeasurements readings;
    readings.robotType = robot.robotType();
    readings.serialNumber = request.serialNumber();
    readings.trackerFromBase = trackerFromBase;
    for (const IsoTestPose &test : tests)
        readings.poses.append(IsoPoseReadings{test.name, test.positionMm, {}});
    // Said when the beam is lost at a test pose where the arm stands in it.
    const TargetSight sight(controllerModel, catalogue->body, trackerFromBase,
                            {{kTarget, offset}});
    printLine(QStringLiteral("[INFO] collecting %1 cycles over %2 poses")
                  .arg(cycles)
                  .arg(tests.size()));
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        for (int index : kCycleOrder) {
            const CartesianPose commanded = poseOf(tests.at(index));
            Eigen::Vector3d reading;
            if (!robot.moveTo(commanded, &error))
                return failTool(ExitUnreachable,
                                QStringLiteral("%1 cannot be reached: %2")
                                    .arg(tests.at(index).name, error));
            if (!measurePoint(&robot, &reading, &error, nullptr)) {
                QVector<double> joints;
                Eigen::Vector3d at;
                QString ignored;
                if (robot.readPosition(&joints, &at, &ignored)
                    && sight.seen(joints, {kTarget}).isEmpty())
                    error += QStringLiteral(": the arm stands between the tracker and the target "
                                            "there; place the tracker where it sees every test "
                                            "pose");
                return failTool(ExitNoController,
                                QStringLiteral("%1: %2").arg(tests.at(index).name, error));
            }
            // The flange is where the target is, less its place on the commanded flange.
            const Eigen::Vector3d attained =
                baseFromTracker * reading - commanded.toIsometry().linear() * offset;
            readings.poses[index].attainedMm.push_back(attained);
        }
        printLine(QStringLiteral("[ROUND] %1/%2").arg(cycle).arg(cycles));
    }
    if (!readings.write(folder.isoMeasurementFile(), &error))
        return failTool(ExitCannotWrite, error);
    printLine(QStringLiteral("[INFO] collection done"));
    return ExitOk;
}
