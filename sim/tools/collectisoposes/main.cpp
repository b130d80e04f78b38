// The ISO pose collector: moves through the five test poses of the saved ISO settings for the
// given number of cycles, measures every attained pose with the tracker and keeps the readings
// for the report generator. Usage: collectIsoPoses --path <work folder>
#include <sim/kinematics/cartesianpose.h>
#include <sim/tools/common/calibrequest.h>
#include <sim/tools/common/isomeasurements.h>
#include <sim/tools/common/robotsession.h>
#include <sim/tools/common/toolarguments.h>
#include <sim/tools/common/toolmain.h>
#include <sim/tools/common/workfolder.h>

#include <QCoreApplication>

using namespace sim;

namespace {

// The test cycle of ISO 9283: the centre of the cube first, then the corners in descending
// order (the settings hold the centre as the fifth pose).
const int kCycleOrder[] = {4, 3, 2, 1, 0};

CartesianPose poseOf(const IsoTestPose &test)
{
    CartesianPose pose;
    pose.positionMm = test.positionMm;
    pose.aDeg = test.eulerDeg.x();
    pose.bDeg = test.eulerDeg.y();
    pose.cDeg = test.eulerDeg.z();
    return pose;
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

    const QVector<IsoTestPose> tests = request.isoPoses();
    IsoMeasurements readings;
    readings.robotType = robot.robotType();
    readings.serialNumber = request.serialNumber();
    for (const IsoTestPose &test : tests)
        readings.poses.append(IsoPoseReadings{test.name, test.positionMm, {}});
    printLine(QStringLiteral("[INFO] collecting %1 cycles over %2 poses")
                  .arg(cycles)
                  .arg(tests.size()));
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        for (int index : kCycleOrder) {
            Eigen::Vector3d attained;
            if (!robot.moveTo(poseOf(tests.at(index)), &error))
                return failTool(ExitUnreachable,
                                QStringLiteral("%1 cannot be reached: %2")
                                    .arg(tests.at(index).name, error));
            if (!robot.measure(&attained, &error))
                return failTool(ExitNoController, error);
            readings.poses[index].attainedMm.push_back(attained);
        }
        printLine(QStringLiteral("[ROUND] %1/%2").arg(cycle).arg(cycles));
    }
    if (!readings.write(folder.isoMeasurementFile(), &error))
        return failTool(ExitCannotWrite, error);
    printLine(QStringLiteral("[INFO] collection done"));
    return ExitOk;
}
