#include "variabledata.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

namespace mirel {

namespace {

nabu::ModuleObject *varRoot()
{
    return nabu::m(QStringLiteral("rovan.project.var"));
}

QJsonObject systemVariable(const QString &name, const QString &type, const QJsonValue &value)
{
    return QJsonObject{{QStringLiteral("name"), name},
                       {QStringLiteral("type"), type},
                       {QStringLiteral("pers"), false},
                       {QStringLiteral("value"), QJsonObject{{QStringLiteral("[0][0][0]"), value}}}};
}

} // namespace

QJsonObject VariableData::variableTemplate()
{
    return QJsonObject{{QStringLiteral("id"), 0},
                       {QStringLiteral("name"), QString()},
                       {QStringLiteral("type"), QString()},
                       {QStringLiteral("pers"), false},
                       {QStringLiteral("value"), QJsonObject{{QStringLiteral("[0][0][0]"), 0}}}};
}

QJsonArray VariableData::systemVariables()
{
    QJsonArray list;
    // Speeds: flange speed in mm/s.
    for (int v : {5, 10, 20, 30, 40, 50, 60, 80, 100, 150, 200, 300, 400, 500, 600, 800, 1000,
                  1500, 2000, 2500, 3000, 4000, 5000, 6000, 7000}) {
        list.append(systemVariable(QStringLiteral("v%1").arg(v), QStringLiteral("speed"),
                                   QJsonObject{{QStringLiteral("v_tcp"), v}}));
    }
    // Zones: blend radius in mm; "fine" stops at the point.
    list.append(systemVariable(QStringLiteral("fine"), QStringLiteral("zone"),
                               QJsonObject{{QStringLiteral("radius"), 0}}));
    for (int z : {0, 1, 5, 10, 15, 20, 30, 40, 50, 60, 80, 100, 150, 200}) {
        list.append(systemVariable(QStringLiteral("z%1").arg(z), QStringLiteral("zone"),
                                   QJsonObject{{QStringLiteral("radius"), z}}));
    }
    return list;
}

void VariableData::install(QObject *source)
{
    nabu::ModuleObject *root = varRoot();
    if (!root->hasCmobj(QStringLiteral("_list"), false))
        root->c(QStringLiteral("_list"))->importFromJson(source, QJsonArray(), true, false);
    if (!root->hasCmobj(QStringLiteral("system_list"), false))
        root->c(QStringLiteral("system_list"))
            ->importFromJson(source, systemVariables(), true, false);
    if (!root->hasCmobj(QStringLiteral("default"), false))
        root->c(QStringLiteral("default"))->importFromJson(source, variableTemplate(), true, false);
    if (!root->hasCmobj(QStringLiteral("built"), false))
        root->c(QStringLiteral("built"))->set(source, true);
}

void VariableData::clearVariables(QObject *source)
{
    install(source);
    varRoot()->c(QStringLiteral("_list"))->clear(source, true, true);
    varRoot()->c(QStringLiteral("built"))->set(source, true);
}

} // namespace mirel
