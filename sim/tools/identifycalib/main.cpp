// Identification alone, offline: a calibration from a run's model and measurement files, such
// as a collector run leaves them or a real tracker's export gives them.
// Usage: identifyCalib --model <model.json> --measurements <measurements.csv>
//                      [--request <calibInfo.json>] --out <folder>
// Writes "optimized_dh.json" and "<SN>.xlsx" (SN from the request, else "calibration") into the
// folder. Exit codes as the measuring programs'; a bad file writes nothing.
//        identifyCalib --apply <HOST[:PORT]> (--result <optimized_dh.json> | --out <folder>)
// Writes a result to a controller as the pendant applies it, then its joint compliance, then
// reboots the controller; a result whose quality gate fails is refused (exit 3).
#include <sim/tools/common/calibrationrun.h>
#include <sim/server/controllerclient.h>
#include <sim/tools/common/calibrequest.h>
#include <sim/tools/common/jsonfile.h>
#include <sim/tools/common/resultapplier.h>
#include <sim/tools/common/toolarguments.h>
#include <sim/tools/common/toolmain.h>
#include <sim/tools/common/workfolder.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace sim;

namespace {

// The result of `path` written to the controller at `address`.
int apply(const QString &address, const QString &path)
{
    QString error;
    QJsonObject result;
    if (!JsonFile::read(path, &result, &error))
        return failTool(ExitBadRequest, error);
    ControllerClient client;
    if (!client.connectTo(address))
        return failTool(ExitNoController,
                        QStringLiteral("cannot reach the controller at %1").arg(address));
    ResultApplier applier(&client);
    const bool applied = applier.apply(result, &error);
    for (const QString &line : applier.log())
        printLine(line);
    if (!applied)
        return failTool(applier.controllerFailed() ? ExitNoController : ExitBadRequest, error);
    printLine(QStringLiteral("[INFO] %1 applied to %2").arg(path, address));
    return ExitOk;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("identifyCalib"));
    const QStringList arguments = QCoreApplication::arguments();
    const auto option = [&arguments](const char *name) {
        return ToolArguments::valueOf(arguments, QLatin1String(name));
    };
    const QString modelPath = option("--model");
    const QString measurementPath = option("--measurements");
    const QString requestPath = option("--request");
    const QString out = option("--out");
    const QString address = option("--apply");
    if (!address.isEmpty()) {
        QString result = option("--result");
        if (result.isEmpty() && !out.isEmpty())
            result = out + QStringLiteral("/optimized_dh.json");
        if (result.isEmpty())
            return failTool(ExitBadArguments,
                            QStringLiteral("usage: identifyCalib --apply HOST[:PORT] "
                                           "(--result FILE | --out FOLDER)"));
        return apply(address, result);
    }
    if (modelPath.isEmpty() || measurementPath.isEmpty() || out.isEmpty())
        return failTool(ExitBadArguments,
                        QStringLiteral("usage: identifyCalib --model FILE --measurements FILE "
                                       "[--request calibInfo.json] --out FOLDER"));
    QString error;
    CalibrationRun run;
    if (!run.model.read(modelPath, &error))
        return failTool(ExitBadRequest, error);
    if (!run.readings.read(measurementPath, run.model.axes, &error))
        return failTool(ExitBadRequest, error);
    run.serialNumber = QStringLiteral("calibration");
    if (!requestPath.isEmpty()) {
        CalibRequest request;
        if (!request.readFile(requestPath, &error))
            return failTool(ExitBadRequest, error);
        run.constraints = request.constraints();
        run.production = request.productionMode();
        run.compliance = request.compliance();
        run.payloadKg = request.payloadKg();
        if (WorkFolder::isPlainFileName(request.serialNumber()))
            run.serialNumber = request.serialNumber();
    }
    if (!QDir().mkpath(out))
        return failTool(ExitCannotWrite, QStringLiteral("cannot make %1").arg(out));
    const QString folder = QFileInfo(out).absoluteFilePath();
    const ToolExit exit = run.run(folder + QStringLiteral("/optimized_dh.json"),
                                  folder + QLatin1Char('/') + run.serialNumber
                                      + QStringLiteral(".xlsx"),
                                  &error);
    if (exit != ExitOk)
        return failTool(exit, error);
    printLine(QStringLiteral("[INFO] result written to %1/optimized_dh.json").arg(folder));
    return ExitOk;
}
