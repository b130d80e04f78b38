// The ISO pose collector: registers the tracker to the robot's base from single-joint circles,
// moves through the five test poses of the saved ISO settings for the given number of cycles,
// measures every attained pose with the tracker and keeps the flange positions it finds (base
// frame) for the report generator. Usage: collectIsoPoses --path <work folder>
#include <sim/kinematics/cartesianpose.h>
#include <sim/kinematics/dhchain.h>
#include <sim/kinematics/robotcatalogue.h>
#include <sim/tools/common/calibrequest.h>
#include <sim/tools/common/isomeasurements.h>
#include <sim/tools/common/jsonfile.h>
#include <sim/tools/common/robotsession.h>
#include <sim/tools/common/toolarguments.h>
#include <sim/tools/common/toolmain.h>
#include <sim/tools/common/trackerregistration.h>
#include <sim/tools/common/workfolder.h>

#include <QCoreApplication>
#include <QJsonArray>

using namespace sim;

namespace {

// The test cycle of ISO 9283: the centre of the cube first, then the corners in descending
// order (the settings hold the centre as the fifth pose).
const int kCycleOrder[] = {4, 3, 2, 1, 0};
// The target the test follows on the tool plate.
const QString kTarget = QStringLiteral("A");

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

// Turns one joint alone through its steps from the start joints and reads the target at each.
// The moves are Cartesian targets of the controller's own model for those joints, so the robot
// reaches the joints whatever its model: only the joint turns. A redundant arm may swivel its
// elbow on the way: the flange is where it should be, but it is said.
bool circle(RobotSession *robot, const DhChain &controllerModel, const QVector<double> &startDeg,
            int joint, const QVector<double> &steps, std::vector<Eigen::Vector3d> *points,
            QString *error)
{
    constexpr double kJointToleranceDeg = 0.01;
    if (!robot->moveTo(CartesianPose::fromIsometry(controllerModel.forward(startDeg)), error))
        return false;
    for (double step : steps) {
        QVector<double> q = startDeg;
        q[joint] += step;
        QVector<double> reached;
        Eigen::Vector3d flange;
        Eigen::Vector3d p;
        if (!robot->moveTo(CartesianPose::fromIsometry(controllerModel.forward(q)), error)
            || !robot->readPosition(&reached, &flange, error)
            || !robot->measure(kTarget, false, &p, nullptr, error))
            return false;
        for (int k = 0; k < q.size() && k < reached.size(); ++k) {
            if (qAbs(reached.at(k) - q.at(k)) > kJointToleranceDeg)
                warnLine(QStringLiteral("[WARN] registration: joint %1 at %2 degrees instead of %3")
                             .arg(k + 1)
                             .arg(reached.at(k))
                             .arg(q.at(k)));
        }
        points->push_back(p);
    }
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

    RobotSession robot;
    if (!robot.open(request.controllerAddress(), &error))
        return failTool(ExitNoController, error);
    const CatalogueModel *catalogue = RobotCatalogue::builtIn().model(robot.robotType());
    if (!catalogue || catalogue->axes != robot.axisCount())
        return failTool(ExitBadRequest,
                        QStringLiteral("no catalogue data for the robot %1").arg(robot.robotType()));

    printLine(QStringLiteral("[INFO] registering the tracker from the circles of joints 1 and 2"));
    const DhChain controllerModel(robot.dhParams(), robot.axisCount());
    std::vector<Eigen::Vector3d> first;
    std::vector<Eigen::Vector3d> second;
    Eigen::Isometry3d trackerFromBase;
    if (!circle(&robot, controllerModel, catalogue->homeDeg, 0,
                TrackerRegistration::joint1StepsDeg(), &first, &error)
        || !circle(&robot, controllerModel,
                   TrackerRegistration::joint2Start(*catalogue, catalogue->homeDeg), 1,
                   TrackerRegistration::joint2StepsDeg(), &second, &error))
        return failTool(ExitUnreachable, QStringLiteral("registration: %1").arg(error));
    if (!TrackerRegistration::registerBase(*catalogue, catalogue->homeDeg, first, second,
                                           &trackerFromBase, &error))
        return failTool(ExitNoResult, QStringLiteral("registration: %1").arg(error));
    const Eigen::Isometry3d baseFromTracker = trackerFromBase.inverse();
    const Eigen::Vector3d offset = targetOffset(folder, *catalogue);

    const QVector<IsoTestPose> tests = request.isoPoses();
    IsoMeasurements readings;
    readings.robotType = robot.robotType();
    readings.serialNumber = request.serialNumber();
    readings.trackerFromBase = trackerFromBase;
    for (const IsoTestPose &test : tests)
        readings.poses.append(IsoPoseReadings{test.name, test.positionMm, {}});
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
            if (!robot.measure(kTarget, false, &reading, nullptr, &error))
                return failTool(ExitNoController, error);
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
