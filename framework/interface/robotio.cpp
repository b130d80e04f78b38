#include "robotio.h"

#include "log/tessellog_p.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QJsonArray>
#include <QJsonObject>

namespace tessel {

namespace {

const QString kIo = QStringLiteral("rovan.robot.io");
const QString kRegisters = QStringLiteral("rovan.robot.register._list");
const QString kName = QStringLiteral("name");
const QString kValue = QStringLiteral("value");

// Names of the children of every list, lists in the given order.
QStringList namesIn(const QStringList &lists)
{
    QStringList names;
    for (const QString &path : lists) {
        const QList<nabu::ModuleObject *> items = nabu::m(path)->cmobjs();
        for (nabu::ModuleObject *item : items)
            names.append(item->c(kName)->getString(QString()));
    }
    return names;
}

} // namespace

int RobotIo::signalKind(const QString &type)
{
    static const QStringList kinds = {QStringLiteral("DI"), QStringLiteral("DO"),
                                      QStringLiteral("GI"), QStringLiteral("GO"),
                                      QStringLiteral("AI"), QStringLiteral("AO")};
    const int index = kinds.indexOf(type);
    return index < 0 ? -1 : index + 1;
}

QStringList RobotIo::getIOByType(int kind) const
{
    if (kind < 1 || kind > 6) {
        TESSEL_LOG(Error, "tessel::InterfaceManager::getIOByType") << "Get IO By Err Signaltype!";
        return QStringList();
    }
    QStringList names;
    const QList<nabu::ModuleObject *> signalNodes =
        nabu::m(kIo)->c(QStringLiteral("signal_detail"))->cmobjs();
    for (nabu::ModuleObject *signal : signalNodes) {
        if (signal->c(QStringLiteral("signal_type"))->getInt(0) == kind)
            names.append(signal->name());
    }
    return names;
}

QHash<QString, QVariant> RobotIo::getIOHash() const
{
    QHash<QString, QVariant> values;
    const QList<nabu::ModuleObject *> signalNodes =
        nabu::m(kIo)->c(QStringLiteral("signal_value"))->cmobjs();
    for (nabu::ModuleObject *signal : signalNodes)
        values.insert(signal->name(), signal->get(QVariant()));
    return values;
}

QJsonValue RobotIo::getRegisterValue() const
{
    return nabu::m(kRegisters)->exportToJson(true);
}

QHash<QString, QStringList> RobotIo::getRegisterHash() const
{
    QHash<QString, QStringList> registers;
    const QJsonArray list = getRegisterValue().toArray();
    for (const QJsonValue &item : list) {
        if (!item.isObject())
            continue;
        const QJsonObject entry = item.toObject();
        if (!entry.contains(kName) || !entry.contains(kValue))
            continue;
        registers.insert(entry.value(kName).toString(),
                         entry.value(kValue).toVariant().toStringList());
    }
    return registers;
}

QStringList RobotIo::getToolList() const
{
    return namesIn({QStringLiteral("rovan.project.tool.system_list"),
                    QStringLiteral("rovan.project.tool._list"),
                    QStringLiteral("rovan.setting.g_tool.g_tools")});
}

QStringList RobotIo::getWobjList() const
{
    return namesIn({QStringLiteral("rovan.project.wobj.system_list"),
                    QStringLiteral("rovan.project.wobj._list"),
                    QStringLiteral("rovan.setting.g_wobj.g_wobjs")});
}

QString RobotIo::getCurTool() const
{
    return nabu::m(QStringLiteral("rovan.toolpage.tool"))->getString(QStringLiteral("tool0"));
}

QString RobotIo::getCurWobj() const
{
    return nabu::m(QStringLiteral("rovan.toolpage.wobj"))->getString(QStringLiteral("wobj0"));
}

} // namespace tessel
