#include "calibrationrecord.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

QJsonValue number(double value)
{
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QJsonArray numbers(const QVector<double> &values)
{
    QJsonArray array;
    for (double value : values)
        array.append(number(value));
    return array;
}

bool readNumber(const QJsonValue &value, double *out)
{
    if (value.isNull() || value.isUndefined()) {
        *out = kUnknown;
        return true;
    }
    if (!value.isDouble())
        return false;
    *out = value.toDouble();
    return true;
}

bool readNumbers(const QJsonValue &value, QVector<double> *out)
{
    if (value.isUndefined())
        return true;
    if (!value.isArray())
        return false;
    const QJsonArray items = value.toArray();
    for (const QJsonValue &item : items) {
        double n = kUnknown;
        if (!readNumber(item, &n))
            return false;
        out->append(n);
    }
    return true;
}

QString timeText(const QDateTime &time)
{
    return time.isValid() ? time.toString(Qt::ISODateWithMs) : QString();
}

} // namespace

CalibrationRecord::CalibrationRecord()
    : avgError(kUnknown)
    , maxError(kUnknown)
    , isoApBefore(kUnknown)
    , isoApAfter(kUnknown)
{
}

QString CalibrationRecord::methodKey(Method method)
{
    switch (method) {
    case Method::Manual:
        return QStringLiteral("manual");
    case Method::Automatic:
        return QStringLiteral("automatic");
    case Method::Restore:
        return QStringLiteral("restore");
    }
    return QString();
}

// A production record wrote two sets, of which only one is kept here. Writing the DH set back
// with a zero offset guessed would leave the robot in neither state.
CalibrationRecord::RestoreBlock CalibrationRecord::restoreBlock() const
{
    if (mode == QLatin1String("product"))
        return RestoreBlock::ProductionMode;
    // A damaged file reads a DH value it lost as NaN, which no controller can take back.
    if (dhBefore.isEmpty() || zeroBefore.isEmpty()
        || std::any_of(dhBefore.begin(), dhBefore.end(), [](double v) { return !std::isfinite(v); }))
        return RestoreBlock::NoBeforeValues;
    for (double zero : zeroBefore) {
        if (!std::isfinite(zero))
            return RestoreBlock::ZeroUnknown;
    }
    return RestoreBlock::None;
}

QJsonObject CalibrationRecord::toJson() const
{
    QJsonObject object{
        {QStringLiteral("time"), timeText(time)},
        {QStringLiteral("serial_number"), serialNumber},
        {QStringLiteral("robot_model"), robotModel},
        {QStringLiteral("robot_id"), robotId},
        {QStringLiteral("mode"), mode},
        {QStringLiteral("applied_by"), methodKey(method)},
        {QStringLiteral("outcome"),
         isComplete() ? QStringLiteral("complete") : QStringLiteral("partial")},
        {QStringLiteral("failed_step"), failedStep},
        {QStringLiteral("dh_before"), numbers(dhBefore)},
        {QStringLiteral("dh_after"), numbers(dhAfter)},
        {QStringLiteral("zero_points_before"), numbers(zeroBefore)},
        {QStringLiteral("zero_points_after"), numbers(zeroAfter)},
        {QStringLiteral("avg_valid_position_error"), number(avgError)},
        {QStringLiteral("max_valid_position_error"), number(maxError)},
        {QStringLiteral("held_parameters"), QJsonArray::fromStringList(heldParameters)},
        {QStringLiteral("iso_ap_before"), number(isoApBefore)},
        {QStringLiteral("iso_ap_after"), number(isoApAfter)}};
    if (restoredFrom.isValid())
        object.insert(QStringLiteral("restored_from"), timeText(restoredFrom));
    return object;
}

bool CalibrationRecord::fromJson(const QJsonObject &object, CalibrationRecord *record,
                                 QString *error)
{
    CalibrationRecord r;
    r.time = QDateTime::fromString(object.value(QStringLiteral("time")).toString(),
                                   Qt::ISODateWithMs);
    if (!r.time.isValid()) {
        *error = QStringLiteral("a record without a valid time");
        return false;
    }
    r.serialNumber = object.value(QStringLiteral("serial_number")).toString();
    r.robotModel = object.value(QStringLiteral("robot_model")).toString();
    r.robotId = object.value(QStringLiteral("robot_id")).toString();
    r.mode = object.value(QStringLiteral("mode")).toString();
    const QString method = object.value(QStringLiteral("applied_by")).toString();
    bool methodKnown = false;
    for (Method m : {Method::Manual, Method::Automatic, Method::Restore}) {
        if (method == methodKey(m)) {
            r.method = m;
            methodKnown = true;
        }
    }
    r.failedStep = object.value(QStringLiteral("failed_step")).toString();
    // A partial record must name its step, or it would read as complete.
    const bool partial =
        object.value(QStringLiteral("outcome")).toString() == QLatin1String("partial");
    if (partial && r.failedStep.isEmpty())
        r.failedStep = QStringLiteral("?");
    const QJsonArray held = object.value(QStringLiteral("held_parameters")).toArray();
    for (const QJsonValue &label : held)
        r.heldParameters.append(label.toString());
    const bool numbersRead =
        readNumbers(object.value(QStringLiteral("dh_before")), &r.dhBefore)
        && readNumbers(object.value(QStringLiteral("dh_after")), &r.dhAfter)
        && readNumbers(object.value(QStringLiteral("zero_points_before")), &r.zeroBefore)
        && readNumbers(object.value(QStringLiteral("zero_points_after")), &r.zeroAfter)
        && readNumber(object.value(QStringLiteral("avg_valid_position_error")), &r.avgError)
        && readNumber(object.value(QStringLiteral("max_valid_position_error")), &r.maxError)
        && readNumber(object.value(QStringLiteral("iso_ap_before")), &r.isoApBefore)
        && readNumber(object.value(QStringLiteral("iso_ap_after")), &r.isoApAfter);
    if (!methodKnown || !numbersRead) {
        *error = QStringLiteral("the record of %1 is damaged").arg(timeText(r.time));
        return false;
    }
    const QJsonValue from = object.value(QStringLiteral("restored_from"));
    if (from.isString())
        r.restoredFrom = QDateTime::fromString(from.toString(), Qt::ISODateWithMs);
    *record = r;
    return true;
}
