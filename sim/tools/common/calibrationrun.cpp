#include "calibrationrun.h"

#include "calibrationsolver.h"
#include "jsonfile.h"
#include "xlsxreport.h"

#include <sim/kinematics/robotcatalogue.h>
#include <sim/metrology/identifier.h>

namespace sim {

namespace {

QVector<QVariantList> parameterRows(const CalibrationSolver &solver)
{
    const IdentificationResult &r = solver.result();
    const QVector<double> start = solver.problem().startValues();
    QVector<QVariantList> rows;
    for (int i = 0; i < r.labels.size(); ++i) {
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
                                const QVector<PoseMeasurement> &identification,
                                const QVector<PoseMeasurement> &validation)
{
    QVector<QVariantList> rows;
    const auto add = [&](const QVector<PoseMeasurement> &readings, const QString &set) {
        const QVector<double> before = solver.errorsBefore(readings);
        const QVector<double> after = solver.errorsAfter(readings);
        for (int i = 0; i < readings.size(); ++i)
            rows.append({readings.at(i).pose, readings.at(i).target, set, before.value(i),
                         after.value(i)});
    };
    add(identification, QStringLiteral("identification"));
    add(validation, QStringLiteral("validation"));
    return rows;
}

bool writeReport(const QString &path, const CalibrationRun &run, const CalibrationSolver &solver,
                 QString *error)
{
    const IdentificationResult &r = solver.result();
    const QVector<PoseMeasurement> &validation = run.readings.validation;
    const QVector<double> before = solver.errorsBefore(validation);
    const QVector<double> after = solver.errorsAfter(validation);
    XlsxReport report(path);
    const QVector<QVariantList> summary{
        {QStringLiteral("serial number"), run.serialNumber},
        {QStringLiteral("robot"), run.model.robotType},
        {QStringLiteral("mode"),
         run.production ? QStringLiteral("product") : QStringLiteral("normal")},
        {QStringLiteral("identification readings"), int(run.readings.identification.size())},
        {QStringLiteral("validation readings"), int(validation.size())},
        {QStringLiteral("validation mean error before (mm)"), Identifier::mean(before)},
        {QStringLiteral("validation max error before (mm)"), Identifier::max(before)},
        {QStringLiteral("validation mean error after (mm)"), Identifier::mean(after)},
        {QStringLiteral("validation max error after (mm)"), Identifier::max(after)},
        {QStringLiteral("fit RMS after (mm)"), r.rmsAfterMm},
        {QStringLiteral("residual spread (mm)"), r.residualSpreadMm},
        {QStringLiteral("outliers left out"), int(r.outliers.size())},
        {QStringLiteral("condition number"), r.conditionNumber},
        {QStringLiteral("observability O1"), r.o1},
        {QStringLiteral("noise amplification O5"), r.o5},
        {QStringLiteral("poses"), r.poses},
        {QStringLiteral("joint compliance"),
         run.compliance ? QStringLiteral("identified, payload %1 kg").arg(run.payloadKg)
                    : QStringLiteral("not identified")},
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
                           {QStringLiteral("pose"), QStringLiteral("target"),
                            QStringLiteral("set"), QStringLiteral("before (mm)"),
                            QStringLiteral("after (mm)")},
                           errorRows(solver, run.readings.identification, validation))
        && report.addChart(QStringLiteral("Pose errors"),
                           QStringLiteral("Position error per reading"),
                           XlsxReport::ChartKind::Column, 0, {3, 4}, QStringLiteral("mm"));
    if (!written) {
        *error = QStringLiteral("cannot lay out the report %1").arg(path);
        return false;
    }
    return report.close(error);
}

} // namespace

ToolExit CalibrationRun::run(const QString &resultPath, const QString &reportPath,
                             QString *error)
{
    CalibrationSolver solver(model.dh, model.axes);
    solver.setZeroOffsets(model.zeroOffsetsDeg);
    solver.setZeroPointsBefore(zeroPointsBefore.isEmpty() ? model.zeroOffsetsDeg
                                                          : zeroPointsBefore);
    QStringList targets = model.targets;
    QVector<Eigen::Vector3d> nominal = model.targetsMm;
    for (const QVector<PoseMeasurement> *set : {&readings.identification, &readings.validation}) {
        for (const PoseMeasurement &r : *set) {
            if (targets.contains(r.target))
                continue;
            // A target the model does not know starts at the flange's centre.
            warnLine(QStringLiteral("[WARN] target \"%1\" has no nominal position: it starts at "
                                    "the flange's centre")
                         .arg(r.target));
            targets.append(r.target);
            nominal.append(Eigen::Vector3d::Zero());
        }
    }
    solver.setTargets(targets, nominal);
    if (compliance) {
        const CatalogueModel *catalogue = RobotCatalogue::builtIn().model(model.robotType);
        if (!catalogue) {
            *error = QStringLiteral("the catalogue has no mass model of the robot \"%1\" for its "
                                    "compliance")
                         .arg(model.robotType);
            return ExitBadRequest;
        }
        if (!solver.setCompliance(catalogue->masses, payloadKg, error))
            return ExitBadRequest;
    }
    if (!solver.setConstraints(constraints, error))
        return ExitBadRequest;
    const int free = solver.problem().freeCount();
    if (readings.identification.size() < free) {
        // Readings from a file name the line the reader stopped at; a live run's have none.
        *error = QStringLiteral("%1 identification readings, fewer than the %2 free parameters")
                     .arg(readings.identification.size())
                     .arg(free);
        if (readings.lastLine > 0)
            error->prepend(QStringLiteral("line %1: ").arg(readings.lastLine));
        return ExitBadRequest;
    }
    // Validation errors over no reading would read as a perfect result.
    if (readings.validation.isEmpty()) {
        *error = QStringLiteral("no validation readings (set \"val\"): nothing would judge the "
                                "result");
        return ExitBadRequest;
    }
    if (!solver.solve(readings.identification, error)) {
        *error = QStringLiteral("identification failed: %1").arg(*error);
        return ExitNoResult;
    }
    // Outliers are a few broken beams; when most of the validation is left out, the model fits
    // nothing, and the errors of the few readings kept would pass for the result's.
    const int judged = solver.judgedValidationCount(readings.validation);
    if (2 * judged <= readings.validation.size()) {
        *error = QStringLiteral("identification failed: the identified model fits %1 of %2 "
                                "validation readings")
                     .arg(judged)
                     .arg(readings.validation.size());
        return ExitNoResult;
    }
    for (const QString &warning : solver.result().warnings)
        warnLine(QStringLiteral("[WARN] %1").arg(warning));
    const QJsonObject result =
        solver.resultJson(readings.identification, readings.validation, production);
    const int outliers = result.value(QStringLiteral("outliers")).toObject()
                             .value(QStringLiteral("count")).toInt();
    if (outliers > 0)
        warnLine(QStringLiteral("[WARN] %1 readings left out as outliers").arg(outliers));
    if (!JsonFile::write(resultPath, result, error))
        return ExitCannotWrite;
    if (!reportPath.isEmpty() && !writeReport(reportPath, *this, solver, error))
        return ExitCannotWrite;
    return ExitOk;
}

} // namespace sim
