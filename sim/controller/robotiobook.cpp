#include "robotiobook.h"

#include <QJsonObject>

namespace sim {

namespace {

QJsonArray named(const QStringList &names)
{
    QJsonArray items;
    for (const QString &name : names)
        items.append(QJsonObject{{QStringLiteral("name"), name}});
    return items;
}

QJsonObject registerOf(const QString &name, const QJsonArray &value)
{
    return QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("value"), value}};
}

} // namespace

const QString RobotIoBook::SignalsKey = QStringLiteral("io.signal_list");
const QString RobotIoBook::RegistersKey = QStringLiteral("register._list");
const QString RobotIoBook::ToolsKey = QStringLiteral("tool.lists");
const QString RobotIoBook::WobjsKey = QStringLiteral("wobj.lists");
const QString RobotIoBook::CurrentKey = QStringLiteral("toolpage.current");

// A small cell: a start button, a door switch, a gripper, a program number, a pressure.
RobotIoBook::RobotIoBook()
    : m_signals{{QStringLiteral("di_start"), DI, 0},
                {QStringLiteral("di_stop"), DI, 0},
                {QStringLiteral("di_door_closed"), DI, 1},
                {QStringLiteral("do_lamp"), DO, 0},
                {QStringLiteral("do_gripper"), DO, 0},
                {QStringLiteral("gi_part_code"), GI, 0},
                {QStringLiteral("go_program"), GO, 3},
                {QStringLiteral("ai_pressure"), AI, 2.5},
                {QStringLiteral("ao_feed_speed"), AO, 0.0}}
    , m_registers{registerOf(QStringLiteral("R1"), {0}),
                  registerOf(QStringLiteral("R2"), {12.5}),
                  registerOf(QStringLiteral("PR1"), {500, 0, 300, 0, 90, 0})}
{
}

QStringList RobotIoBook::keys()
{
    return {SignalsKey, RegistersKey, ToolsKey, WobjsKey, CurrentKey};
}

bool RobotIoBook::hasKey(const QString &key) const
{
    return keys().contains(key);
}

QJsonValue RobotIoBook::value(const QString &key) const
{
    if (key == SignalsKey) {
        QJsonArray items;
        for (const Signal &signal : m_signals)
            items.append(QJsonObject{{QStringLiteral("name"), signal.name},
                                     {QStringLiteral("type"), signal.kind},
                                     {QStringLiteral("value"), signal.value}});
        return items;
    }
    if (key == RegistersKey)
        return m_registers;
    if (key == ToolsKey)
        return QJsonObject{
            {QStringLiteral("system_list"), named({QStringLiteral("tool0")})},
            {QStringLiteral("_list"),
             named({QStringLiteral("gripper"), QStringLiteral("welder")})},
            {QStringLiteral("global_list"), named({QStringLiteral("g_probe")})}};
    if (key == WobjsKey)
        return QJsonObject{
            {QStringLiteral("system_list"), named({QStringLiteral("wobj0")})},
            {QStringLiteral("_list"), named({QStringLiteral("table")})},
            {QStringLiteral("global_list"), named({QStringLiteral("g_fixture")})}};
    if (key == CurrentKey)
        return QJsonObject{{QStringLiteral("tool"), QStringLiteral("tool0")},
                           {QStringLiteral("wobj"), QStringLiteral("wobj0")}};
    return QJsonValue();
}

QVector<RobotIoBook::Signal> RobotIoBook::signalList() const
{
    return m_signals;
}

bool RobotIoBook::setInput(const QString &name, const QJsonValue &value)
{
    if (!value.isDouble())
        return false;
    for (Signal &signal : m_signals) {
        if (signal.name != name)
            continue;
        if (signal.kind != DI && signal.kind != GI && signal.kind != AI)
            return false;
        signal.value = value;
        return true;
    }
    return false;
}

} // namespace sim
