#include "resultapplier.h"

#include <sim/server/controllerclient.h>

#include <controllerprotocol.h>

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

const QString kGetDh = QStringLiteral("factory.get_DH_params_link");
const QString kSetDhAll = QStringLiteral("factory.set_DH_params_all");
const QString kSetDhLink = QStringLiteral("factory.set_DH_params_link");
const QString kSetZero = QStringLiteral("ethercat.set_precision_compensation_zero");
const QString kSetCompliance = QStringLiteral("factory.set_compliance");
const QString kReboot = QStringLiteral("system.controller.reboot");
const char *const kColumns[] = {"alpha", "a", "d", "theta_offset"};

QJsonArray toArray(const QVector<double> &numbers)
{
    QJsonArray array;
    for (double n : numbers)
        array.append(n);
    return array;
}

// The numbers of an array, non-numbers skipped, as the pendant reads "zero_points".
QJsonArray numbersOf(const QJsonValue &value)
{
    QJsonArray numbers;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &v : array) {
        if (v.isDouble())
            numbers.append(v);
    }
    return numbers;
}

QString compact(const QJsonValue &value)
{
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    if (value.isArray())
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    if (value.isBool())
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.isDouble())
        return QString::number(value.toDouble());
    if (value.isString())
        return value.toString();
    return QStringLiteral("null");
}

// "status" 1, true, or a floating value that truncates to 1.
bool succeeded(const QJsonValue &status)
{
    if (status.isBool())
        return status.toBool();
    return status.isDouble() && std::trunc(status.toDouble()) == 1.0;
}

// A number the controller's link carries unchanged.
bool carried(const QJsonValue &value)
{
    return value.isDouble() && std::isfinite(value.toDouble())
           && std::abs(value.toDouble()) < double(mirel::ControllerProtocol::MaxId);
}

// Checked before anything is written: a compliance the controller cannot take would leave it
// holding the new DH set without the compliance it was identified with. A negative one (a joint
// bending against its load, from an edited file or an older identification) the controller
// would take, and turn the joint the wrong way.
bool complianceFits(const QJsonValue &compliance, int axes)
{
    if (compliance.isUndefined())
        return true;
    const QJsonObject object = compliance.toObject();
    const QJsonArray values = object.value(QStringLiteral("values")).toArray();
    const QJsonValue payload = object.value(QStringLiteral("payload_kg"));
    const auto fits = [](const QJsonValue &v) { return carried(v) && v.toDouble() >= 0; };
    return compliance.isObject() && values.size() == axes
           && std::all_of(values.begin(), values.end(), fits)
           && (payload.isUndefined() || fits(payload));
}

} // namespace

ResultApplier::ResultApplier(ControllerClient *client)
    : m_client(client)
{
}

QStringList ResultApplier::log() const
{
    return m_log;
}

bool ResultApplier::controllerFailed() const
{
    return m_controllerFailed;
}

bool ResultApplier::judge(const QJsonValue &response)
{
    if (response.isUndefined() || response.isNull())
        return false;
    if (response.isBool())
        return response.toBool();
    if (response.isDouble())
        return response.toDouble() == 0.0;
    if (response.isObject()) {
        const QJsonObject object = response.toObject();
        if (object.value(QStringLiteral("success")).isBool())
            return object.value(QStringLiteral("success")).toBool();
        // Exactly zero: a code that is not a whole number or does not fit an int must not
        // round or wrap to success.
        if (object.value(QStringLiteral("code")).isDouble())
            return object.value(QStringLiteral("code")).toDouble() == 0.0;
        // The controller's refusal of a command it does not know.
        const QJsonValue error = object.value(QStringLiteral("error"));
        return !error.isDouble() || error.toDouble() == 0.0;
    }
    return true;
}

QVector<double> ResultApplier::payloadVector(const QVector<double> &parameters,
                                             const QVector<double> &controllerDh, int axes)
{
    QVector<double> payload;
    for (int j = 0; j < 4 * axes && j < parameters.size() && j < controllerDh.size(); ++j)
        payload.append(j % 4 == 3 ? controllerDh.at(j) : parameters.at(j));
    if (axes == 7 && controllerDh.size() >= 4)
        payload += controllerDh.mid(controllerDh.size() - 4);
    return payload;
}

QVector<double> ResultApplier::jointSet(const QJsonValue &dhParameters, int axes)
{
    const QJsonObject joints = dhParameters.toObject();
    QVector<double> set;
    for (int k = 1; k <= axes; ++k) {
        const QJsonObject joint = joints.value(QStringLiteral("joint_%1").arg(k)).toObject();
        for (const char *column : kColumns) {
            const QJsonValue v = joint.value(QLatin1String(column));
            if (!v.isDouble())
                return {};
            set.append(v.toDouble());
        }
    }
    return set;
}

// The pendant's gate: the mean and largest validation error and the largest change of a or d
// and of alpha or theta against the controller's set, each within its "threshold"; a value
// equal to its limit passes.
ResultApplier::Gate ResultApplier::gate(const QJsonObject &result,
                                        const QVector<double> &controllerDh, int axes,
                                        QString *why)
{
    const QJsonArray threshold = result.value(QStringLiteral("threshold")).toArray();
    const QJsonValue avg = result.value(QStringLiteral("avg_valid_position_error"));
    const QJsonValue max = result.value(QStringLiteral("max_valid_position_error"));
    const QVector<double> optimized = jointSet(result.value(QStringLiteral("dh_parameters")), axes);
    if (axes <= 0 || threshold.size() < 4 || !avg.isDouble() || !max.isDouble()
        || optimized.size() < 4 * axes || controllerDh.size() < 4 * axes) {
        *why = QStringLiteral("the result holds no complete quality gate");
        return Gate::NotEvaluable;
    }
    double limits[4];
    for (int i = 0; i < 4; ++i) {
        if (!threshold.at(i).isDouble()) {
            *why = QStringLiteral("the result's \"threshold\" holds a non-number");
            return Gate::NotEvaluable;
        }
        limits[i] = threshold.at(i).toDouble();
    }
    double length = 0;
    double angle = 0;
    for (int j = 0; j < axes; ++j) {
        for (int c = 0; c < 4; ++c) {
            const double change = std::abs(optimized.at(4 * j + c) - controllerDh.at(4 * j + c));
            double &largest = c == 1 || c == 2 ? length : angle;
            largest = std::max(largest, change);
        }
    }
    QStringList failures;
    if (avg.toDouble() > limits[0])
        failures.append(QStringLiteral("mean validation error %1 mm > %2 mm")
                            .arg(avg.toDouble())
                            .arg(limits[0]));
    if (max.toDouble() > limits[1])
        failures.append(QStringLiteral("largest validation error %1 mm > %2 mm")
                            .arg(max.toDouble())
                            .arg(limits[1]));
    if (length > limits[2])
        failures.append(QStringLiteral("a or d changes by %1 mm > %2 mm").arg(length).arg(limits[2]));
    if (angle > limits[3])
        failures.append(
            QStringLiteral("alpha or theta changes by %1 deg > %2 deg").arg(angle).arg(limits[3]));
    *why = failures.join(QStringLiteral("; "));
    return failures.isEmpty() ? Gate::Passed : Gate::Failed;
}

bool ResultApplier::send(const QString &tag, const QString &command, const QJsonValue &payload,
                         QString *error)
{
    const QJsonValue response = m_client->command(command, payload);
    const bool ok = judge(response);
    m_log.append(QStringLiteral("[APPLY][%1] %2, response = %3")
                     .arg(tag, ok ? QStringLiteral("SUCCESS") : QStringLiteral("FAILED"),
                          compact(response)));
    if (!ok) {
        *error = QStringLiteral("the controller refused %1: %2").arg(command, compact(response));
        m_controllerFailed = true;
    }
    return ok;
}

bool ResultApplier::apply(const QJsonObject &result, QString *error)
{
    m_log.clear();
    m_controllerFailed = false;
    if (!succeeded(result.value(QStringLiteral("status")))) {
        *error = QStringLiteral("the result is no successful calibration (\"status\" is not 1)");
        return false;
    }
    const QJsonObject read =
        m_client->command(kGetDh).toObject().value(QStringLiteral("data")).toObject();
    QVector<double> controllerDh;
    const QJsonArray link = read.value(QStringLiteral("DH_PARAMS_LINK")).toArray();
    for (const QJsonValue &v : link)
        controllerDh.append(v.toDouble());
    const int axes = int(controllerDh.size() / 4) - 1;
    if (axes < 1) {
        *error = QStringLiteral("the controller gave no DH set");
        m_controllerFailed = true;
        return false;
    }
    QString why;
    const Gate verdict = gate(result, controllerDh, axes, &why);
    if (verdict != Gate::Passed) {
        *error = QStringLiteral("the result fails its quality gate: %1").arg(why);
        return false;
    }
    const QJsonValue compliance = result.value(QStringLiteral("joint_compliance"));
    if (!complianceFits(compliance, axes)) {
        *error = QStringLiteral("the result's \"joint_compliance\" is not one finite number of "
                                "at least 0 per joint with a payload of at least 0 kg");
        return false;
    }
    const QVector<double> optimized =
        jointSet(result.value(QStringLiteral("dh_parameters")), axes);
    const QJsonObject product = result.value(QStringLiteral("product_result")).toObject();
    const QJsonArray zero = numbersOf(result.value(QStringLiteral("zero_points")));
    if (zero.size() != axes) {
        *error = QStringLiteral("the result holds %1 zero offsets for %2 joints")
                     .arg(zero.size())
                     .arg(axes);
        return false;
    }
    if (result.contains(QStringLiteral("product_result"))) {
        const QVector<double> productSet =
            jointSet(product.value(QStringLiteral("dh_parameters")), axes);
        const QJsonArray productZero = numbersOf(product.value(QStringLiteral("zero_points")));
        if (productSet.isEmpty() || productZero.size() != zero.size()) {
            *error = QStringLiteral("the result's production set is incomplete");
            return false;
        }
        if (!send(QStringLiteral("DH_WRITE"), kSetDhLink,
                  QJsonObject{{QStringLiteral("DH_A"),
                               toArray(payloadVector(optimized, controllerDh, axes))},
                              {QStringLiteral("DH_L"),
                               toArray(payloadVector(productSet, controllerDh, axes))}},
                  error)
            || !send(QStringLiteral("ZERO_WRITE"), kSetZero,
                     QJsonObject{{QStringLiteral("joint_angle_A"), zero},
                                 {QStringLiteral("joint_angle_L"), productZero}},
                     error))
            return false;
    } else if (!send(QStringLiteral("DH_WRITE"), kSetDhAll,
                     QJsonObject{{QStringLiteral("DH_params_all"),
                                  toArray(payloadVector(optimized, controllerDh, axes))}},
                     error)
               || !send(QStringLiteral("ZERO_WRITE"), kSetZero,
                        QJsonObject{{QStringLiteral("joint_angle_A"), zero}}, error)) {
        return false;
    }
    if (compliance.isObject()
        && !send(QStringLiteral("COMPLIANCE_WRITE"), kSetCompliance, compliance.toObject(),
                 error))
        return false;
    return send(QStringLiteral("REBOOT"), kReboot, QJsonValue(), error);
}

} // namespace sim
