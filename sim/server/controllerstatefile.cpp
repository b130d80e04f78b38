#include "controllerstatefile.h"

#include <sim/controller/simulatedcontroller.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace sim {

namespace {

const QString kModel = QStringLiteral("robot");
const QString kDh = QStringLiteral("dh");
const QString kProductDh = QStringLiteral("product_dh");
const QString kZero = QStringLiteral("zero");
const QString kProductZero = QStringLiteral("product_zero");
const QString kValues = QStringLiteral("values");
// A state file is a few kilobytes; anything much larger is not one.
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;
// Ids of the restoring commands; nobody waits for their answers.
constexpr quint64 kRestoreId = quint64(1) << 61;

QJsonArray toArray(const QVector<double> &numbers)
{
    QJsonArray array;
    for (double n : numbers)
        array.append(n);
    return array;
}

void run(SimulatedController *controller, const QString &command, const QJsonObject &args)
{
    mirel::ControllerMessage message;
    message.id = kRestoreId;
    message.kind = mirel::ControllerMessage::Command;
    message.name = command;
    message.payload = args;
    controller->send(message);
}

} // namespace

ControllerStateFile::ControllerStateFile(const QString &path)
    : m_path(path)
{
}

bool ControllerStateFile::load(SimulatedController *controller, QString *error)
{
    QFile file(m_path);
    if (!file.exists()) {
        *error = QStringLiteral("no state file %1 yet").arg(m_path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes) {
        *error = QStringLiteral("cannot read %1").arg(m_path);
        return false;
    }
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    const QJsonObject state = document.object();
    if (state.value(kModel).toString() != controller->model().name) {
        *error = QStringLiteral("%1 is not a state of a %2").arg(m_path, controller->model().name);
        return false;
    }
    // The controller's own commands check the sizes, so a damaged file changes nothing.
    run(controller, QStringLiteral("factory.set_DH_params_link"),
        QJsonObject{{QStringLiteral("DH_A"), state.value(kDh)},
                    {QStringLiteral("DH_L"), state.value(kProductDh)}});
    run(controller, QStringLiteral("ethercat.set_precision_compensation_zero"),
        QJsonObject{{QStringLiteral("joint_angle_A"), state.value(kZero)},
                    {QStringLiteral("joint_angle_L"), state.value(kProductZero)}});
    const QJsonObject values = state.value(kValues).toObject();
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        controller->setValue(it.key(), it.value());
        m_keys.insert(it.key());
    }
    controller->clearCalls();
    m_written = snapshot(controller);
    return true;
}

bool ControllerStateFile::saveIfChanged(SimulatedController *controller, QString *error)
{
    const QJsonObject state = snapshot(controller);
    if (state == m_written)
        return true;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(QJsonDocument(state).toJson()) < 0 || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString());
        return false;
    }
    m_written = state;
    return true;
}

QJsonObject ControllerStateFile::snapshot(SimulatedController *controller)
{
    // The record of calls is the only place that names the keys clients set; it is emptied so
    // that a long-running controller does not grow it without end.
    const QList<SimulatedController::Call> calls = controller->calls();
    for (const SimulatedController::Call &call : calls) {
        if (call.kind == mirel::ControllerMessage::Set)
            m_keys.insert(call.name);
    }
    controller->clearCalls();
    QJsonObject values;
    for (const QString &key : qAsConst(m_keys)) {
        const QJsonValue value = controller->value(key);
        if (!value.isNull() && !value.isUndefined())
            values.insert(key, value);
    }
    return QJsonObject{{kModel, controller->model().name},
                       {kDh, toArray(controller->dhParams())},
                       {kProductDh, toArray(controller->productDhParams())},
                       {kZero, toArray(controller->zeroOffsets())},
                       {kProductZero, toArray(controller->productZeroOffsets())},
                       {kValues, values}};
}

} // namespace sim
