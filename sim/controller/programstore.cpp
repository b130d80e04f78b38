#include "programstore.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QJsonArray>
#include <QJsonObject>

namespace sim {

namespace {

const QString kHotVariable = QStringLiteral("project.variable");
const QString kPersRead = QStringLiteral("monitor.pers.read");
const QString kPersModify = QStringLiteral("monitor.pers.modify");
const QString kRemoveTask = QStringLiteral("project.remove_task");
const QString kSetAutoload = QStringLiteral("project.overview.set_autoload");
const QString kSelect = QStringLiteral("monitor.select");
const QString kRegistered = QStringLiteral("monitor.pers");
const QString kBackupList = QStringLiteral("backup.backup_list");

QJsonObject refusal(int code, const QString &msg)
{
    return QJsonObject{{QStringLiteral("error"), code}, {QStringLiteral("msg"), msg}};
}

QJsonObject success()
{
    return QJsonObject{{QStringLiteral("success"), true}};
}

// The current project's variables as the pendant holds them; the controller only reads.
QJsonArray pendantVariables()
{
    nabu::ModuleObject *root = nabu::ModuleManager::instance()->root();
    for (const QString &segment : {QStringLiteral("rovan"), QStringLiteral("project"),
                                   QStringLiteral("var"), QStringLiteral("_list")}) {
        if (!root->hasCmobj(segment))
            return {};
        root = root->c(segment);
    }
    return root->exportToJson(true).toArray();
}

QJsonObject variableIn(const QJsonArray &vars, const QString &name)
{
    for (const QJsonValue &var : vars) {
        if (var.toObject().value(QStringLiteral("name")).toString() == name)
            return var.toObject();
    }
    return {};
}

// A list of names: an array, or an object whose values are the names ("#0", "#1", ...).
QStringList names(const QJsonValue &value, bool *ok)
{
    QJsonArray items;
    if (value.isArray()) {
        items = value.toArray();
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (int i = 0; object.contains(QStringLiteral("#%1").arg(i)); ++i)
            items.append(object.value(QStringLiteral("#%1").arg(i)));
        if (items.size() != object.size()) {
            *ok = false;
            return {};
        }
    } else {
        *ok = false;
        return {};
    }
    QStringList result;
    for (const QJsonValue &item : qAsConst(items)) {
        if (!item.isString() || item.toString().isEmpty()) {
            *ok = false;
            return {};
        }
        result.append(item.toString());
    }
    *ok = true;
    return result;
}

} // namespace

ProgramStore::ProgramStore()
    : m_projects{QStringLiteral("demo")}
{
}

bool ProgramStore::isReading(const QString &command)
{
    return command == QLatin1String("monitor.pers.read");
}

bool ProgramStore::handles(const QString &command)
{
    return command == kHotVariable || command == kPersRead || command == kPersModify
           || command == kRemoveTask || command == kSetAutoload;
}

QJsonValue ProgramStore::runCommand(const QString &command, const QJsonValue &payload)
{
    if (command == kHotVariable)
        return removeVariables(payload);
    if (command == kPersRead)
        return readPers(payload);
    if (command == kPersModify)
        return modifyPers(payload);
    if (command == kRemoveTask)
        return removeProject(payload);
    if (command == kSetAutoload)
        return setAutoload(payload);
    return refusal(BadRequest, QStringLiteral("not a program command: %1").arg(command));
}

bool ProgramStore::servesValue(const QString &key)
{
    return key == kRegistered || key == kBackupList;
}

QJsonValue ProgramStore::value(const QString &key) const
{
    if (key == kRegistered)
        return QJsonArray::fromStringList(m_registered);
    if (key == kBackupList) {
        QJsonArray list;
        for (const QString &name : m_projects)
            list.append(QJsonObject{{QStringLiteral("name"), name}});
        return list;
    }
    return QJsonValue(QJsonValue::Undefined);
}

bool ProgramStore::takeSet(const QString &key, const QJsonValue &value, bool *accepted)
{
    if (key != kSelect)
        return false;
    const QStringList selected = names(value, accepted);
    if (*accepted)
        m_registered = selected;
    return true;
}

void ProgramStore::setVariables(const QJsonArray &variables)
{
    m_variables = variables;
    m_variablesSent = true;
}

void ProgramStore::forgetVariables()
{
    m_variables = QJsonArray();
    m_variablesSent = false;
}

// A pendant on another machine sends its variables; one in the same process is read directly.
QJsonArray ProgramStore::variables() const
{
    return m_variablesSent ? m_variables : pendantVariables();
}

void ProgramStore::setAutoloadPath(const QString &path)
{
    m_autoload = path;
}

void ProgramStore::setRegisteredPers(const QStringList &names)
{
    m_registered = names;
}

QHash<QString, QJsonValue> ProgramStore::modifiedPers() const
{
    return m_persValues;
}

void ProgramStore::setModifiedPers(const QHash<QString, QJsonValue> &values)
{
    m_persValues = values;
}

QStringList ProgramStore::projects() const
{
    return m_projects;
}

void ProgramStore::setProjects(const QStringList &names)
{
    m_projects = names;
}

QString ProgramStore::autoloadPath() const
{
    return m_autoload;
}

QStringList ProgramStore::registeredPers() const
{
    return m_registered;
}

QJsonValue ProgramStore::persValue(const QString &name) const
{
    const auto kept = m_persValues.constFind(name);
    if (kept != m_persValues.constEnd())
        return kept.value();
    const QJsonObject var = variableIn(variables(), name);
    if (!var.value(QStringLiteral("pers")).toBool())
        return QJsonValue(QJsonValue::Undefined);
    return var.value(QStringLiteral("value")).toObject().value(QStringLiteral("[0][0][0]"));
}

// {"operator": "remove", "variables": [names]}: every name must be a variable of the program.
QJsonValue ProgramStore::removeVariables(const QJsonValue &payload)
{
    const QJsonObject args = payload.toObject();
    bool ok = false;
    const QStringList doomed = names(args.value(QStringLiteral("variables")), &ok);
    if (args.value(QStringLiteral("operator")).toString() != QLatin1String("remove") || !ok)
        return refusal(BadRequest, QStringLiteral("expected {operator: remove, variables: [...]}"));
    QStringList unknown;
    for (const QString &name : doomed) {
        if (variableIn(variables(), name).isEmpty())
            unknown.append(name);
    }
    if (!unknown.isEmpty()) {
        return refusal(UnknownVariable,
                       QStringLiteral("unknown variable: %1").arg(unknown.join(QStringLiteral(", "))));
    }
    for (const QString &name : doomed) {
        m_persValues.remove(name);
        m_registered.removeAll(name);
    }
    return 0;
}

QJsonValue ProgramStore::readPers(const QJsonValue &payload) const
{
    bool ok = false;
    const QStringList wanted = names(payload, &ok);
    if (!ok)
        return refusal(BadRequest, QStringLiteral("expected a list of names"));
    QJsonArray data;
    for (const QString &name : wanted) {
        const QJsonValue v = persValue(name);
        data.append(v.isUndefined() ? QJsonValue(QString()) : v);
    }
    return QJsonObject{{QStringLiteral("data"), data}};
}

// {name: value, ...}: the values the controller holds from now on.
QJsonValue ProgramStore::modifyPers(const QJsonValue &payload)
{
    if (!payload.isObject())
        return refusal(BadRequest, QStringLiteral("expected {name: value, ...}"));
    const QJsonObject values = payload.toObject();
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        m_persValues.insert(it.key(), it.value());
    return success();
}

QJsonValue ProgramStore::removeProject(const QJsonValue &payload)
{
    const QString name = payload.toObject().value(QStringLiteral("name")).toString();
    if (name.isEmpty())
        return refusal(BadRequest, QStringLiteral("expected {name}"));
    if (!m_projects.removeAll(name))
        return refusal(UnknownProject, QStringLiteral("unknown project: %1").arg(name));
    return success();
}

QJsonValue ProgramStore::setAutoload(const QJsonValue &payload)
{
    const QJsonValue path = payload.toObject().value(QStringLiteral("autoload_pri_path"));
    if (!path.isString())
        return refusal(BadRequest, QStringLiteral("expected {autoload_pri_path}"));
    m_autoload = path.toString();
    return success();
}

} // namespace sim
