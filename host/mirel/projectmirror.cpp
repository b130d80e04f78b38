#include "projectmirror.h"

#include "controllermanager.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QJsonObject>

namespace mirel {

namespace {

// The children in their order, whether the node exports as an array or keyed "#k" members.
QJsonArray listOf(const QString &path)
{
    QJsonArray items;
    const QList<nabu::ModuleObject *> children = nabu::m(path)->cmobjs(false);
    for (const nabu::ModuleObject *child : children)
        items.append(child->exportToJson(true));
    return items;
}

} // namespace

const QString ProjectMirror::PointsKey = QStringLiteral("rovan.project.point._list");
const QString ProjectMirror::VariablesKey = QStringLiteral("rovan.project.var._list");

ProjectMirror::ProjectMirror(ControllerManager *controller, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
{
    // A controller that was away may have lost or never had them.
    connect(controller, &ControllerManager::rcConnected, this, [this] { sendChanged(true); });
    connect(controller, &ControllerManager::aboutToPost, this, [this](const QString &name) {
        if (needsProject(name))
            sendChanged(false);
    });
}

ProjectMirror::~ProjectMirror() = default;

bool ProjectMirror::needsProject(const QString &command)
{
    return command.startsWith(QLatin1String("move.")) || command == QLatin1String("project.variable")
           || command.startsWith(QLatin1String("monitor.pers"));
}

void ProjectMirror::sendChanged(bool always)
{
    const ControllerLink *link = m_controller->link();
    if (m_sending || !link || !link->isRemote() || !link->isUp())
        return;
    m_sending = true;
    const QJsonArray points = listOf(PointsKey);
    const QJsonArray variables = listOf(VariablesKey);
    const auto send = [this](const QString &key, const QJsonArray &value) {
        m_controller->post(ControllerMessage::Set, key,
                           QJsonObject{{QStringLiteral("sub"), QString()},
                                       {QStringLiteral("value"), value}});
    };
    if (always || points != m_sentPoints)
        send(PointsKey, points);
    if (always || variables != m_sentVariables)
        send(VariablesKey, variables);
    m_sentPoints = points;
    m_sentVariables = variables;
    m_sending = false;
}

} // namespace mirel
