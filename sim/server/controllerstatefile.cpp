#include "controllerstatefile.h"

#include <sim/controller/compliancebook.h>
#include <sim/controller/dhbook.h>
#include <sim/controller/programstore.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/paths/wholefile.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sim {

namespace {

const QString kModel = QStringLiteral("robot");
const QString kDh = QStringLiteral("dh");
const QString kProductDh = QStringLiteral("product_dh");
const QString kZero = QStringLiteral("zero");
const QString kProductZero = QStringLiteral("product_zero");
const QString kValues = QStringLiteral("values");
const QString kProjects = QStringLiteral("projects");
const QString kAutoload = QStringLiteral("autoload");
const QString kPersNames = QStringLiteral("pers_registered");
const QString kPersValues = QStringLiteral("pers_values");
const QString kCompliance = QStringLiteral("compliance");
// Ids of the restoring commands; nobody waits for their answers.
constexpr quint64 kRestoreId = quint64(1) << 61;

QJsonArray toArray(const QVector<double> &numbers)
{
    QJsonArray array;
    for (double n : numbers)
        array.append(n);
    return array;
}

// Numbers the controller's DH commands would take: a hand-edited value beyond them would reach
// clients as a number they refuse.
bool isNumbers(const QJsonValue &value, std::initializer_list<int> sizes)
{
    const QJsonArray array = value.toArray();
    if (!value.isArray() || std::find(sizes.begin(), sizes.end(), array.size()) == sizes.end())
        return false;
    for (const QJsonValue &n : array) {
        if (!n.isDouble() || !(std::abs(n.toDouble()) <= DhBook::MaxMagnitude))
            return false;
    }
    return true;
}

bool isStrings(const QJsonValue &value)
{
    if (value.isUndefined())
        return true;
    if (!value.isArray())
        return false;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &s : array) {
        if (!s.isString())
            return false;
    }
    return true;
}

QStringList strings(const QJsonValue &value)
{
    QStringList list;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &s : array)
        list.append(s.toString());
    return list;
}

// Everything the file holds must fit the robot, so that loading it is all or nothing.
QString whatIsWrong(const QJsonObject &state, const QString &model, int axes)
{
    const std::initializer_list<int> dhSizes = {4 * axes, 4 * (axes + 1)};
    if (!isNumbers(state.value(kDh), dhSizes) || !isNumbers(state.value(kProductDh), dhSizes))
        return QStringLiteral("its DH parameters do not fit the robot");
    if (!isNumbers(state.value(kZero), {axes}) || !isNumbers(state.value(kProductZero), {axes}))
        return QStringLiteral("its zero offsets do not fit the robot");
    const QJsonValue values = state.value(kValues);
    if (!values.isUndefined() && !values.isObject())
        return QStringLiteral("its values are no object");
    if (!isStrings(state.value(kProjects)) || !isStrings(state.value(kPersNames)))
        return QStringLiteral("its projects are no list of names");
    // Files of controllers without the accuracy option have none; a compliance the controller
    // would refuse is tried on a book of its own, before anything is applied.
    const QJsonValue compliance = state.value(kCompliance);
    ComplianceBook probe;
    probe.setRobot(model, axes);
    bool changed = false;
    if (!compliance.isUndefined()
        && (!compliance.isObject()
            || !probe.runCommand(ComplianceBook::SetCommand, compliance, &changed)
                    .value(QStringLiteral("success"))
                    .toBool()))
        return QStringLiteral("its joint compliance does not fit the robot");
    const QJsonValue autoload = state.value(kAutoload);
    const QJsonValue pers = state.value(kPersValues);
    if ((!autoload.isUndefined() && !autoload.isString())
        || (!pers.isUndefined() && !pers.isObject()))
        return QStringLiteral("its start-up project or PERS values are malformed");
    return QString();
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

ControllerStateFile::LoadResult ControllerStateFile::load(SimulatedController *controller,
                                                          QString *error)
{
    QFile file(m_path);
    // Until a change is saved, a failed save goes back to the state the controller starts with.
    m_written = snapshot(controller);
    if (!file.exists()) {
        *error = QStringLiteral("no state file %1 yet").arg(m_path);
        return Missing;
    }
    if (file.size() > MaxFileBytes)
        return setAside(QStringLiteral("it is too large"), error);
    if (!file.open(QIODevice::ReadOnly)) {
        // Not even readable: it cannot be judged, so it is neither moved nor written over.
        m_writable = false;
        *error = QStringLiteral("cannot read %1 (%2); the state will not be saved")
                     .arg(m_path, file.errorString());
        return Unusable;
    }
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parse);
    file.close();
    if (parse.error != QJsonParseError::NoError || !document.isObject())
        return setAside(QStringLiteral("it is no JSON object"), error);
    const QJsonObject state = document.object();
    if (state.value(kModel).toString() != controller->model().name)
        return setAside(QStringLiteral("it is no state of a %1").arg(controller->model().name),
                        error);
    const QString wrong = whatIsWrong(state, controller->model().name, controller->axisCount());
    if (!wrong.isEmpty())
        return setAside(wrong, error);

    apply(controller, state);
    controller->clearCalls();
    m_written = snapshot(controller);
    return Loaded;
}

// Values the state does not hold are forgotten, so that a change can be taken back whole.
void ControllerStateFile::apply(SimulatedController *controller, const QJsonObject &state)
{
    run(controller, QStringLiteral("factory.set_DH_params_link"),
        QJsonObject{{QStringLiteral("DH_A"), state.value(kDh)},
                    {QStringLiteral("DH_L"), state.value(kProductDh)}});
    run(controller, QStringLiteral("ethercat.set_precision_compensation_zero"),
        QJsonObject{{QStringLiteral("joint_angle_A"), state.value(kZero)},
                    {QStringLiteral("joint_angle_L"), state.value(kProductZero)}});
    if (state.contains(kCompliance))
        run(controller, ComplianceBook::SetCommand, state.value(kCompliance).toObject());
    const QJsonObject values = state.value(kValues).toObject();
    const QStringList keys = controller->valueKeys();
    for (const QString &key : keys) {
        if (!values.contains(key))
            controller->setValue(key, QJsonValue());
    }
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        controller->setValue(it.key(), it.value());
    ProgramStore *programs = controller->programs();
    if (state.contains(kProjects))
        programs->setProjects(strings(state.value(kProjects)));
    programs->setAutoloadPath(state.value(kAutoload).toString());
    programs->setRegisteredPers(strings(state.value(kPersNames)));
    const QJsonObject pers = state.value(kPersValues).toObject();
    QHash<QString, QJsonValue> persValues;
    for (auto it = pers.constBegin(); it != pers.constEnd(); ++it)
        persValues.insert(it.key(), it.value());
    programs->setModifiedPers(persValues);
}

// A file that is not a state of this robot may be somebody's only copy: it is kept under
// another name rather than written over.
ControllerStateFile::LoadResult ControllerStateFile::setAside(const QString &why, QString *error)
{
    QString aside = m_path + QStringLiteral(".bad");
    for (int n = 1; QFileInfo::exists(aside); ++n)
        aside = m_path + QStringLiteral(".bad%1").arg(n);
    if (!QFile::rename(m_path, aside)) {
        m_writable = false;
        *error = QStringLiteral("%1 is unusable (%2) and cannot be moved aside; the state will "
                                "not be saved")
                     .arg(m_path, why);
        return Unusable;
    }
    *error = QStringLiteral("%1 is unusable (%2); kept as %3").arg(m_path, why, aside);
    return Unusable;
}

bool ControllerStateFile::saveIfChanged(SimulatedController *controller, QString *error)
{
    const QJsonObject state = snapshot(controller);
    if (state == m_written)
        return true;
    // Confirming a change that no restart will find would tell its sender it is kept.
    if (!m_writable) {
        restore(controller);
        *error = QStringLiteral("not saved: %1 cannot be used").arg(m_path);
        return false;
    }
    const QByteArray text = QJsonDocument(state).toJson();
    if (text.size() > MaxFileBytes) {
        restore(controller);
        *error = QStringLiteral("not saved to %1: %2 bytes would pass the %3 a start reads")
                     .arg(m_path)
                     .arg(text.size())
                     .arg(MaxFileBytes);
        return false;
    }
    if (!WholeFile::replace(m_path, text, error)) {
        restore(controller);
        return false;
    }
    m_written = state;
    return true;
}

void ControllerStateFile::keep(SimulatedController *controller)
{
    controller->setKeeper([this, controller] {
        QString error;
        if (saveIfChanged(controller, &error))
            return true;
        std::fprintf(stderr, "simcontroller: %s; the change was undone\n", qPrintable(error));
        return false;
    });
}

void ControllerStateFile::restore(SimulatedController *controller)
{
    apply(controller, m_written);
}

QJsonObject ControllerStateFile::snapshot(const SimulatedController *controller) const
{
    QJsonObject values;
    const QStringList keys = controller->valueKeys();
    for (const QString &key : keys)
        values.insert(key, controller->value(key));
    const ProgramStore *programs = controller->programs();
    QJsonObject pers;
    const QHash<QString, QJsonValue> persValues = programs->modifiedPers();
    for (auto it = persValues.constBegin(); it != persValues.constEnd(); ++it)
        pers.insert(it.key(), it.value());
    return QJsonObject{{kModel, controller->model().name},
                       {kDh, toArray(controller->dhParams())},
                       {kProductDh, toArray(controller->productDhParams())},
                       {kZero, toArray(controller->zeroOffsets())},
                       {kProductZero, toArray(controller->productZeroOffsets())},
                       {kCompliance, controller->compliance().toJson()},
                       {kValues, values},
                       {kProjects, QJsonArray::fromStringList(programs->projects())},
                       {kAutoload, programs->autoloadPath()},
                       {kPersNames, QJsonArray::fromStringList(programs->registeredPers())},
                       {kPersValues, pers}};
}

} // namespace sim
