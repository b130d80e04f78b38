#include "projectmirror.h"

#include "controllermanager.h"

#include <controllerprotocol.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QJsonDocument>
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

// A list goes in parts well under what one message may hold, with room for the envelope.
constexpr int kPartBytes = ControllerProtocol::MaxMessageBytes / 2;

int encodedSize(const QJsonValue &value)
{
    return int(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).size());
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
    // A project of thousands of points does not fit one message: the list goes as its leading
    // part, and each item after it into its place ("#k"), in order.
    const auto send = [this](const QString &key, const QJsonArray &value) {
        QJsonArray head;
        int bytes = 0;
        int k = 0;
        for (; k < value.size(); ++k) {
            bytes += encodedSize(value.at(k));
            if (bytes > kPartBytes && k > 0)
                break;
            head.append(value.at(k));
        }
        m_controller->post(ControllerMessage::Set, key,
                           QJsonObject{{QStringLiteral("sub"), QString()},
                                       {QStringLiteral("value"), head}});
        for (; k < value.size(); ++k)
            m_controller->post(ControllerMessage::Set, key,
                               QJsonObject{{QStringLiteral("sub"), QStringLiteral("#%1").arg(k)},
                                           {QStringLiteral("value"), value.at(k)}});
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
