#pragma once

#include "calibmodelfile.h"
#include "measurementfile.h"
#include "toolmain.h"

#include <QJsonArray>
#include <QString>

namespace sim {

// The identification of a calibration run from its model and readings, and its result files:
// what the collector does after collecting and `identifyCalib` does offline, the same way.
class CalibrationRun
{
public:
    CalibModelFile model;
    MeasurementFile readings;
    // From the request: "algorithm_constraints", "mode" and the serial number.
    QJsonArray constraints;
    bool production = false;
    // "compliance" and "payload_kg": the joints' compliance identified with the geometry.
    bool compliance = false;
    double payloadKg = 0;
    QString serialNumber;
    // The controller's zero offsets before the run, NaN where they could not be told; the
    // model's when empty (offline, the model file says what the controller held).
    QVector<double> zeroPointsBefore;

    // Identifies and writes the result file and, when `reportPath` is not empty, the .xlsx
    // report. ExitOk, or the exit code with the reason: ExitBadRequest for constraints or
    // readings that cannot determine the free parameters (naming the file's last line) and for
    // a compliance asked of a robot type without a mass model in the catalogue,
    // ExitNoResult when the identification fails, ExitCannotWrite.
    ToolExit run(const QString &resultPath, const QString &reportPath, QString *error);
};

} // namespace sim
