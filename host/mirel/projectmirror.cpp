#include "projectmirror.h"

#include "controllermanager.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>

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
    , m_pending(new QTimer(this))
{
    m_pending->setSingleShot(true);
    m_pending->setInterval(0);
    connect(m_pending, &QTimer::timeout, this, &ProjectMirror::sendNow);
    connect(controller, &ControllerManager::rcConnected, this, &ProjectMirror::sendNow);
    follow(PointsKey);
    follow(VariablesKey);
    // An edited point is announced here; an edited variable with the current project.
    follow(QStringLiteral("rovan.project.point.hot_update.points"));
    connect(nabu::m(QStringLiteral("rovan.project.cur_project")), &nabu::ModuleObject::changed,
            m_pending, qOverload<>(&QTimer::start));
}

ProjectMirror::~ProjectMirror() = default;

void ProjectMirror::follow(const QString &path)
{
    nabu::ModuleObject *node = nabu::m(path);
    const auto later = [this] { m_pending->start(); };
    connect(node, &nabu::ModuleObject::changed, this, later);
    connect(node, &nabu::ModuleObject::childAdded, this, later);
    connect(node, &nabu::ModuleObject::childRemoved, this, later);
}

void ProjectMirror::sendNow()
{
    m_pending->stop();
    const ControllerLink *link = m_controller->link();
    if (!link || !link->isRemote() || !m_controller->isLinkUp())
        return;
    for (const QString &key : {PointsKey, VariablesKey}) {
        m_controller->post(ControllerMessage::Set, key,
                           QJsonObject{{QStringLiteral("sub"), QString()},
                                       {QStringLiteral("value"), listOf(key)}});
    }
}

} // namespace mirel
