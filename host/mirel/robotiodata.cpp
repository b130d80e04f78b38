#include "robotiodata.h"

#include "controllermanager.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QJsonArray>
#include <QJsonObject>

namespace mirel {

namespace {

constexpr int kReadTimeoutMs = 2000;

QStringList allKeys()
{
    return {RobotIoData::SignalsKey, RobotIoData::RegistersKey, RobotIoData::ToolsKey,
            RobotIoData::WobjsKey, RobotIoData::CurrentKey};
}

QStringList childNames(nabu::ModuleObject *node)
{
    QStringList names;
    const QList<nabu::ModuleObject *> children = node->cmobjs();
    for (nabu::ModuleObject *child : children)
        names.append(child->name());
    return names;
}

} // namespace

const QString RobotIoData::SignalsKey = QStringLiteral("io.signal_list");
const QString RobotIoData::RegistersKey = QStringLiteral("register._list");
const QString RobotIoData::ToolsKey = QStringLiteral("tool.lists");
const QString RobotIoData::WobjsKey = QStringLiteral("wobj.lists");
const QString RobotIoData::CurrentKey = QStringLiteral("toolpage.current");

RobotIoData::RobotIoData(ControllerManager *controller, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
{
    // Its reads wait for answers: the link may drop meanwhile, and then nobody is told "up".
    connect(controller, &ControllerManager::linkComingUp, this, &RobotIoData::readAll);
    connect(controller, &ControllerManager::valueChanged, this,
            [this](const QString &key, const QJsonValue &value) {
                if (allKeys().contains(key))
                    apply(key, value);
            });
}

RobotIoData::~RobotIoData() = default;

// Read before anybody else hears that the link is up, then follow the controller's updates.
// A controller that leaves one read unanswered is not waited for again on this link; the
// watches still bring its values when it sends them.
void RobotIoData::readAll()
{
    bool answering = true;
    const QStringList keys = allKeys();
    for (const QString &key : keys) {
        if (answering) {
            const quint64 id = m_controller->post(ControllerMessage::Get, key, QJsonValue());
            QJsonValue answer;
            answering = m_controller->wait(id, kReadTimeoutMs, &answer);
            if (answering)
                apply(key, answer);
        }
        m_controller->post(ControllerMessage::Watch, key, true);
    }
}

void RobotIoData::apply(const QString &key, const QJsonValue &value)
{
    if (key == SignalsKey) {
        applySignals(value);
    } else if (key == RegistersKey) {
        nabu::m(QStringLiteral("rovan.robot.register._list"))
            ->importFromJson(this, value.isArray() ? value : QJsonArray(), true, true);
    } else if (key == ToolsKey) {
        applyLists(value, QStringLiteral("rovan.project.tool"),
                   QStringLiteral("rovan.setting.g_tool.g_tools"));
    } else if (key == WobjsKey) {
        applyLists(value, QStringLiteral("rovan.project.wobj"),
                   QStringLiteral("rovan.setting.g_wobj.g_wobjs"));
    } else if (key == CurrentKey) {
        const QJsonObject current = value.toObject();
        nabu::ModuleObject *page = nabu::m(QStringLiteral("rovan.toolpage"));
        for (const QString &which : {QStringLiteral("tool"), QStringLiteral("wobj")}) {
            if (current.value(which).isString())
                page->set(this, which, current.value(which).toString());
        }
    }
}

// The same signals as before keep their nodes, so a watcher of one value sees only its changes.
void RobotIoData::applySignals(const QJsonValue &value)
{
    nabu::ModuleObject *io = nabu::m(QStringLiteral("rovan.robot.io"));
    nabu::ModuleObject *detail = io->c(QStringLiteral("signal_detail"));
    nabu::ModuleObject *values = io->c(QStringLiteral("signal_value"));
    QStringList names;
    QList<QJsonObject> items;
    const QJsonArray list = value.toArray();
    for (const QJsonValue &item : list) {
        const QJsonObject signal = item.toObject();
        const QString name = signal.value(QStringLiteral("name")).toString();
        // A dot or a leading "#" would make the name a path in the data tree.
        if (name.isEmpty() || name.contains(QLatin1Char('.')) || name.startsWith(QLatin1Char('#'))
            || names.contains(name))
            continue;
        names.append(name);
        items.append(signal);
    }
    if (childNames(detail) != names || childNames(values) != names) {
        detail->clear(this, true, true);
        values->clear(this, true, true);
    }
    for (const QJsonObject &signal : qAsConst(items)) {
        const QString name = signal.value(QStringLiteral("name")).toString();
        detail->c(name)->set(this, QStringLiteral("signal_type"),
                             signal.value(QStringLiteral("type")).toInt(0));
        values->set(this, name, signal.value(QStringLiteral("value")).toVariant());
    }
}

void RobotIoData::applyLists(const QJsonValue &value, const QString &projectRoot,
                             const QString &globalList)
{
    const QJsonObject lists = value.toObject();
    const auto listOf = [&lists](const QString &name) {
        const QJsonValue list = lists.value(name);
        return list.isArray() ? list : QJsonValue(QJsonArray());
    };
    nabu::ModuleObject *project = nabu::m(projectRoot);
    project->c(QStringLiteral("system_list"))
        ->importFromJson(this, listOf(QStringLiteral("system_list")), true, true);
    project->c(QStringLiteral("_list"))
        ->importFromJson(this, listOf(QStringLiteral("_list")), true, true);
    nabu::m(globalList)->importFromJson(this, listOf(QStringLiteral("global_list")), true, true);
}

} // namespace mirel
