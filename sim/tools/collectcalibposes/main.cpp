// The calibration pose collector and optimiser: moves the robot through identification and
// validation poses, measures each with the tracker, identifies the DH set and joint zero
// offsets, and leaves "optimized_dh.json" and the report "<SN>.xlsx".
// Usage: collectCalibPoses --path <work folder> [--poses N] [--validation-poses M]
#include <sim/kinematics/cartesianpose.h>
#include <sim/kinematics/dhchain.h>
#include <sim/metrology/identifier.h>
#include <sim/tools/common/calibposeplanner.h>
#include <sim/tools/common/calibrationsolver.h>
#include <sim/tools/common/calibrequest.h>
#include <sim/tools/common/jsonfile.h>
#include <sim/tools/common/observableposeplanner.h>
#include <sim/tools/common/robotsession.h>
#include <sim/tools/common/toolarguments.h>
#include <sim/tools/common/toolmain.h>
#include <sim/tools/common/workfolder.h>
#include <sim/tools/common/xlsxreport.h>

#include <QCoreApplication>
#include <QDir>

using namespace sim;

namespace {

// Moves to each planned joint set in turn and measures it. A pose the controller refuses is
// replaced by the next planned one; more refusals than a quarter of the poses stop the run.
bool collect(RobotSession *robot, CalibPosePlanner *planner, const DhChain &model, int count,
             int *done, int total, QVector<CalibPose> *poses, QString *error)
{
    int refused = 0;
    while (poses->size() < count) {
        const QVector<double> planned = planner->next();
        QString why;
        CalibPose pose;
        if (!robot->moveTo(CartesianPose::fromIsometry(model.forward(planned)), &why)) {
            warnLine(QStringLiteral("[WARN] pose skipped: %1").arg(why));
            if (++refused > count / 4) {
                *error = QStringLiteral("%1 poses out of reach, the last: %2").arg(refused).arg(why);
                return false;
            }
            continue;
        }
        if (!robot->readPosition(&pose.jointsDeg, &pose.commandedMm, error)
            || !robot->measure(&pose.measuredMm, error))
            return false;
        poses->append(pose);
        printLine(QStringLiteral("[PROGRESS] %1/%2").arg(++*done).arg(total));
    }
    return true;
}

QVector<QVariantList> parameterRows(const CalibrationSolver &solver)
{
    const IdentificationResult &r = solver.result();
    const QVector<double> start = solver.problem().startValues();
    QVector<QVariantList> rows;
    for (int i = 0; i < r.labels.size() - IdentificationProblem::kBaseParameters; ++i) {
        const QString &label = r.labels.at(i);
        QString state = QStringLiteral("fixed");
        if (r.identifiedLabels.contains(label))
            state = QStringLiteral("identified");
        else if (r.heldLabels.contains(label))
            state = QStringLiteral("held");
        rows.append({label, start.at(i), r.values.at(i), r.values.at(i) - start.at(i), state});
    }
    return rows;
}

QVector<QVariantList> errorRows(const CalibrationSolver &solver,
                                const QVector<CalibPose> &identification,
                                const QVector<CalibPose> &validation)
{
    QVector<QVariantList> rows;
    const auto add = [&](const QVector<CalibPose> &poses, const QString &set) {
        const QVector<double> before = solver.errorsBefore(poses);
        const QVector<double> after = solver.errorsAfter(poses);
        for (int i = 0; i < poses.size(); ++i)
            rows.append({int(rows.size() + 1), set, before.value(i), after.value(i)});
    };
    add(identification, QStringLiteral("identification"));
    add(validation, QStringLiteral("validation"));
    return rows;
}

bool writeReport(const QString &path, const CalibRequest &request, const QString &robotType,
                 const CalibrationSolver &solver, const QVector<CalibPose> &identification,
                 const QVector<CalibPose> &validation, QString *error)
{
    const IdentificationResult &r = solver.result();
    const QVector<double> before = solver.errorsBefore(validation);
    const QVector<double> after = solver.errorsAfter(validation);
    XlsxReport report(path);
    const QVector<QVariantList> summary{
        {QStringLiteral("serial number"), request.serialNumber()},
        {QStringLiteral("robot"), robotType},
        {QStringLiteral("mode"), request.productionMode() ? QStringLiteral("product")
                                                          : QStringLiteral("normal")},
        {QStringLiteral("identification poses"), int(identification.size())},
        {QStringLiteral("validation poses"), int(validation.size())},
        {QStringLiteral("validation mean error before (mm)"), Identifier::mean(before)},
        {QStringLiteral("validation max error before (mm)"), Identifier::max(before)},
        {QStringLiteral("validation mean error after (mm)"), Identifier::mean(after)},
        {QStringLiteral("validation max error after (mm)"), Identifier::max(after)},
        {QStringLiteral("fit RMS after (mm)"), r.rmsAfterMm},
        {QStringLiteral("condition number"), r.conditionNumber},
        {QStringLiteral("held parameters"), r.heldLabels.join(QStringLiteral(", "))}};
    const bool written =
        report.addTable(QStringLiteral("Summary"), {QStringLiteral("item"), QStringLiteral("value")},
                        summary)
        && report.addTable(QStringLiteral("Parameters"),
                           {QStringLiteral("parameter"), QStringLiteral("before"),
                            QStringLiteral("after"), QStringLiteral("change"),
                            QStringLiteral("state")},
                           parameterRows(solver))
        && report.addTable(QStringLiteral("Pose errors"),
                           {QStringLiteral("pose"), QStringLiteral("set"),
                            QStringLiteral("before (mm)"), QStringLiteral("after (mm)")},
                           errorRows(solver, identification, validation))
        && report.addChart(QStringLiteral("Pose errors"),
                           QStringLiteral("Position error per pose"),
                           XlsxReport::ChartKind::Column, 0, {2, 3}, QStringLiteral("mm"));
    if (!written) {
        *error = QStringLiteral("cannot lay out the report %1").arg(path);
        return false;
    }
    return report.close(error);
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
    QString error;
    if (request.controllerAddress().isEmpty())
        return failTool(ExitBadRequest, QStringLiteral("the request names no controller"));
    const int identificationCount = arguments.number(QStringLiteral("poses"), 60, 10, 1000);
    const int validationCount = arguments.number(QStringLiteral("validation-poses"), 20, 1, 1000);

    RobotSession robot;
    if (!robot.open(request.controllerAddress(), &error))
        return failTool(ExitNoController, error);
    CalibrationSolver solver(robot.dhParams(), robot.axisCount());
    if (!solver.setConstraints(request.constraints(), &error))
        return failTool(ExitBadRequest, error);

    const DhChain model(robot.dhParams(), robot.axisCount());
    // The identification poses are chosen for what they show of the parameters; the validation
    // poses stay random, so that they judge the result rather than flatter it.
    CalibPosePlanner planner(robot.axisCount());
    ObservablePosePlanner chooser(solver.problem(), CalibPosePlanner::travel(robot.axisCount()),
                                  CalibPosePlanner::kSeed);
    planner.queue(chooser.plan(identificationCount));
    const int total = identificationCount + validationCount;
    int done = 0;
    QVector<CalibPose> identification;
    QVector<CalibPose> validation;
    if (!collect(&robot, &planner, model, identificationCount, &done, total, &identification,
                 &error))
        return failTool(ExitUnreachable, error);
    planner.queue({});
    if (!collect(&robot, &planner, model, validationCount, &done, total, &validation,
                    &error))
        return failTool(ExitUnreachable, error);

    printLine(QStringLiteral("[PHASE] OPTIMIZATION"));
    if (!solver.solve(identification, &error))
        return failTool(ExitNoResult, QStringLiteral("identification failed: %1").arg(error));
    for (const QString &warning : solver.result().warnings)
        warnLine(QStringLiteral("[WARN] %1").arg(warning));

    if (!JsonFile::write(folder.resultFile(),
                         solver.resultJson(validation, request.productionMode()), &error))
        return failTool(ExitCannotWrite, error);
    const QString sn = request.serialNumber();
    if (!WorkFolder::isPlainFileName(sn)) {
        warnLine(QStringLiteral("[WARN] no report: the serial number \"%1\" is no file name")
                     .arg(sn));
    } else if (!writeReport(folder.calibReportFolder() + QLatin1Char('/') + sn
                                + QStringLiteral(".xlsx"),
                            request, robot.robotType(), solver, identification, validation,
                            &error)) {
        return failTool(ExitCannotWrite, error);
    }
    printLine(QStringLiteral("[INFO] result written to %1").arg(folder.resultFile()));
    return ExitOk;
}
