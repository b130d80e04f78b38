// The ISO report generator: computes the ISO 9283 figures of each test pose from the
// collector's readings, puts them as "iso_results" into "optimized_dh.json" (keeping its other
// members) and writes the report with a chart. Usage: isoReportGener --path <work folder>
#include <sim/metrology/isometrics.h>
#include <sim/tools/common/isomeasurements.h>
#include <sim/tools/common/jsonfile.h>
#include <sim/tools/common/toolarguments.h>
#include <sim/tools/common/toolmain.h>
#include <sim/tools/common/workfolder.h>
#include <sim/tools/common/xlsxreport.h>

#include <QCoreApplication>
#include <QJsonArray>

using namespace sim;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("isoReportGener"));

    ToolArguments arguments;
    QString error;
    if (!arguments.parse(QCoreApplication::arguments(), &error))
        return failTool(ExitBadArguments, error);
    const WorkFolder folder(arguments.workFolder());
    IsoMeasurements readings;
    if (!readings.read(folder.isoMeasurementFile(), &error))
        return failTool(ExitBadRequest, error);

    QJsonArray results;
    QVector<QVariantList> rows;
    for (const IsoPoseReadings &pose : qAsConst(readings.poses)) {
        const IsoPoseResult figures = computeIsoPose(pose.commandedMm, pose.attainedMm);
        if (!figures.valid)
            return failTool(ExitNoResult, QStringLiteral("%1: %2").arg(pose.name, figures.error));
        results.append(QJsonObject{{QStringLiteral("name"), pose.name},
                                   {QStringLiteral("Accuracy"), figures.accuracyMm},
                                   {QStringLiteral("Repeatability"), figures.repeatabilityMm},
                                   {QStringLiteral("RMS"), figures.rmsMm},
                                   {QStringLiteral("StdDev"), figures.stdDevMm}});
        rows.append({pose.name, figures.accuracyMm, figures.repeatabilityMm, figures.rmsMm,
                     figures.stdDevMm, figures.accuracyAxesMm.x(), figures.accuracyAxesMm.y(),
                     figures.accuracyAxesMm.z(), figures.cycles});
    }

    QJsonObject result;
    if (!JsonFile::readOrEmpty(folder.resultFile(), &result, &error))
        return failTool(ExitBadRequest, error);
    result.insert(QStringLiteral("iso_results"), results);
    if (!JsonFile::write(folder.resultFile(), result, &error))
        return failTool(ExitCannotWrite, error);

    XlsxReport report(folder.isoReportFile());
    const bool laidOut =
        report.addTable(QStringLiteral("ISO 9283"),
                        {QStringLiteral("pose"), QStringLiteral("AP (mm)"),
                         QStringLiteral("RP (mm)"), QStringLiteral("RMS (mm)"),
                         QStringLiteral("S (mm)"), QStringLiteral("APx (mm)"),
                         QStringLiteral("APy (mm)"), QStringLiteral("APz (mm)"),
                         QStringLiteral("cycles")},
                        rows)
        && report.addChart(QStringLiteral("ISO 9283"),
                           QStringLiteral("Pose accuracy and repeatability"),
                           XlsxReport::ChartKind::Column, 0, {1, 2}, QStringLiteral("mm"));
    if (!laidOut)
        return failTool(ExitCannotWrite, QStringLiteral("cannot lay out the report"));
    if (!report.close(&error))
        return failTool(ExitCannotWrite, error);
    printLine(QStringLiteral("[INFO] report written to %1").arg(folder.isoReportFile()));
    return ExitOk;
}
