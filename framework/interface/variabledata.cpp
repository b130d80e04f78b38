#include "variabledata.h"

#include "interfacemanager.h"
#include "log/tessellog_p.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <nabusrv/vantor.h>

#include <QJsonArray>
#include <QJsonDocument>

#include <memory>

namespace tessel {

namespace {

const QString kVarRoot = QStringLiteral("rovan.project.var");
const QString kValuePath = QStringLiteral("value.[0][0][0]");
const QString kHotRemove = QStringLiteral("project.variable");
const QString kSelect = QStringLiteral("monitor.select");
const QString kRegistered = QStringLiteral("monitor.pers");
const QString kRead = QStringLiteral("monitor.pers.read");
const QString kModify = QStringLiteral("monitor.pers.modify");
constexpr int kVersionUnsupported = -240;

// The host's sockets and serial ports: programs keep running on them.
bool isProtected(const QString &type)
{
    return type == QLatin1String("socketserver") || type == QLatin1String("serials")
           || type == QLatin1String("socketconn");
}

QString childString(nabu::ModuleObject *node, const QString &key)
{
    return node->hasCmobj(key, false) ? node->c(key, false)->getString(QString()) : QString();
}

nabu::ModuleObject *firstNamed(nabu::ModuleObject *list, const QString &name)
{
    const QList<nabu::ModuleObject *> vars = list->cmobjs(false);
    for (nabu::ModuleObject *var : vars) {
        if (childString(var, QStringLiteral("name")) == name)
            return var;
    }
    return nullptr;
}

QString compact(const QJsonValue &value)
{
    if (value.isArray())
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    return value.toVariant().toString();
}

} // namespace

VariableData::VariableData(InterfaceManager *q)
    : q(q)
{
}

nabu::ModuleObject *VariableData::varList()
{
    return nabu::m(kVarRoot)->c(QStringLiteral("_list"));
}

bool VariableData::persSupported()
{
    const QString version = nabu::m(QStringLiteral("mirel.r.version"))->getString(QString());
    return version.startsWith(QLatin1String("2.3")) || version.startsWith(QLatin1String("3.0"))
           || version.startsWith(QLatin1String("3.1"));
}

bool VariableData::addVarData(const QString &name, const QVariant &value, bool pers)
{
    nabu::ModuleObject *list = varList();
    auto var = std::make_unique<nabu::ModuleObject>(nabu::ModuleObject::generateId(list));
    var->copyFrom(nullptr, nabu::m(kVarRoot)->c(QStringLiteral("default")), true, false);
    var->set(nullptr, QStringLiteral("name"), name);
    var->set(nullptr, QStringLiteral("type"), QString::fromLatin1(value.typeName()));
    var->set(nullptr, QStringLiteral("id"), list->cmobjCount());
    var->set(nullptr, kValuePath, value);
    var->set(nullptr, QStringLiteral("pers"), pers);
    nabu::ModuleObject *added = list->insert(nullptr, var.release(), false, -1);
    added->set(nullptr, QVariant());
    // The project has to be built again before the program sees the variable.
    list->pmobj()->set(nullptr, QStringLiteral("built"), false);
    return true;
}

bool VariableData::updateVarData(const QString &name, const QVariant &value)
{
    const QList<nabu::ModuleObject *> vars = varList()->cmobjs(false);
    for (nabu::ModuleObject *var : vars) {
        if (childString(var, QStringLiteral("name")) == name)
            var->set(nullptr, kValuePath, value);
    }
    return true;
}

bool VariableData::delVarData(const QList<QString> &names)
{
    const auto removable = [](const QString &name) {
        nabu::ModuleObject *var = firstNamed(varList(), name);
        return var && !isProtected(childString(var, QStringLiteral("type"))) ? var : nullptr;
    };
    QStringList removing;
    for (const QString &name : names) {
        // A name given twice must not remove (and free) the same node twice.
        if (!removing.contains(name) && removable(name))
            removing.append(name);
    }
    if (!hotRemoveVar(removing))
        return false;
    // Found again by name: events ran while the controller was asked, and the nodes found
    // before may have been removed, or a variable recorded again, meanwhile.
    for (const QString &name : qAsConst(removing)) {
        if (nabu::ModuleObject *var = removable(name))
            varList()->remove(nullptr, var, true);
    }
    nabu::m(QStringLiteral("rovan.project.cur_project"))->trigger();
    return true;
}

bool VariableData::hotRemoveVar(const QStringList &names)
{
    if (names.isEmpty())
        return true;
    nabu::ModuleObject request(QStringLiteral("temp"));
    request.set(nullptr, QStringLiteral("operator"), QStringLiteral("remove"));
    for (int i = 0; i < names.size(); ++i)
        request.set(nullptr, QStringLiteral("variables.#%1").arg(i), names.at(i));
    TESSEL_LOG(Service, "tessel::InterfaceManagerPrivate::hotRemoveVar")
        << "hotUpdateVar:" << compact(request.exportToJson(true));
    nabu::ModuleObject *result = sv::vantor()->execCommand(nullptr, kHotRemove, &request);
    // Silence (link down, time-out) and an error answer are refusals too: the running program
    // would otherwise keep variables the project no longer has.
    if (result->cmobjCount() == 0 && !result->get().isValid()) {
        TESSEL_LOG(Error, "tessel::InterfaceManagerPrivate::hotRemoveVar")
            << "no answer to " << kHotRemove;
        return false;
    }
    const int error = result->hasCmobj(QStringLiteral("error"), false)
                          ? result->c(QStringLiteral("error"), false)->getInt(0)
                          : result->getInt(0);
    if (error != 0) {
        TESSEL_LOG(Error, "tessel::InterfaceManagerPrivate::hotRemoveVar")
            << kHotRemove << " refused: " << compact(result->exportToJson(true));
        return false;
    }
    return true;
}

QStringList VariableData::namesOfType(nabu::ModuleObject *list, const QString &type)
{
    QStringList names;
    const QList<nabu::ModuleObject *> vars = list->cmobjs(false);
    for (nabu::ModuleObject *var : vars) {
        if (type.isEmpty() || childString(var, QStringLiteral("type")) == type)
            names.append(childString(var, QStringLiteral("name")));
    }
    return names;
}

QStringList VariableData::getVarDataList(const QString &type) const
{
    return namesOfType(varList(), type);
}

QJsonObject VariableData::getVarObjDataByName(const QString &name) const
{
    nabu::ModuleObject *var = firstNamed(varList(), name);
    return var ? var->exportToJson(true).toObject() : QJsonObject();
}

QStringList VariableData::getSpeedList() const
{
    return namesOfType(nabu::m(kVarRoot)->c(QStringLiteral("system_list")),
                       QStringLiteral("speed"))
           + namesOfType(varList(), QStringLiteral("speed"));
}

QStringList VariableData::getZoneList() const
{
    return namesOfType(nabu::m(kVarRoot)->c(QStringLiteral("system_list")),
                       QStringLiteral("zone"))
           + namesOfType(varList(), QStringLiteral("zone"));
}

int VariableData::registPERSVars(const QVector<QString> &names)
{
    if (!persSupported())
        return kVersionUnsupported;
    nabu::ModuleObject select(QStringLiteral("select"));
    // A list even when empty, so that no names clears the selection.
    select.setIsList(true);
    for (int i = 0; i < names.size(); ++i)
        select.set(nullptr, QStringLiteral("#%1").arg(i), names.at(i));
    sv::vantor()->set(q, kSelect, &select);
    return 0;
}

QVector<QVariant> VariableData::getRegistedPERSVars()
{
    if (!persSupported())
        return {};
    const QJsonArray names = sv::vantor()->get(q, kRegistered)->exportToJson(true).toArray();
    QVector<QVariant> result;
    result.reserve(names.size());
    for (const QJsonValue &name : names)
        result.append(name.toVariant());
    return result;
}

QVector<QString> VariableData::getValuesOfPERSVars(const QVector<QString> &names)
{
    QVector<QString> values(names.size());
    if (!persSupported())
        return values;
    QJsonArray list;
    for (const QString &name : names)
        list.append(name);
    nabu::ModuleObject request(QStringLiteral("names"));
    request.importFromJson(q, list, true, true, false);
    nabu::ModuleObject *result = sv::vantor()->execCommand(q, kRead, &request);
    if (result->hasCmobj(QStringLiteral("data"), false)) {
        const QList<nabu::ModuleObject *> data =
            result->c(QStringLiteral("data"), false)->cmobjs(false);
        for (int i = 0; i < data.size() && i < values.size(); ++i)
            values[i] = data.at(i)->getString(QString());
    }
    TESSEL_LOG(Service, "tessel::InterfaceManager::getValuesOfPERSVars")
        << "Results:" << QStringList(values.toList()).join(QStringLiteral(", "));
    return values;
}

int VariableData::setValuesOfPERSVars(const QVector<QString> &names,
                                      const QVector<QVariant> &values)
{
    if (!persSupported())
        return kVersionUnsupported;
    if (names.size() != values.size())
        return -1;
    nabu::ModuleObject modify(QStringLiteral("modify"));
    // Direct children: a name is a key here, not a path.
    for (int i = 0; i < names.size(); ++i)
        modify.c(names.at(i))->set(nullptr, values.at(i));
    sv::vantor()->command(q, kModify, &modify);
    return 0;
}

} // namespace tessel
