#include "projectmirror.h"

#include "controllermanager.h"
#include "managerhelper.h"

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
    m_points.key = PointsKey;
    m_variables.key = VariablesKey;
    // A controller that was away may have lost or never had them.
    connect(controller, &ControllerManager::rcConnected, this, [this] { sendChanged(true); });
    // The answers of a lost link never come: what was on its way is due again.
    connect(controller, &ControllerManager::rcDisconnected, this, [this] {
        m_points.awaited.clear();
        m_variables.awaited.clear();
    });
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
    ControllerLink *link = m_controller->link();
    if (m_sending || !link || !link->isRemote() || !link->isUp())
        return;
    // Queued: a part answered from within its post() is read once its id is known here, and
    // never in the middle of sending the rest.
    if (link != m_answering) {
        disconnect(m_answers);
        m_answering = link;
        m_answers = connect(link, &ControllerLink::answered, this, &ProjectMirror::onAnswered,
                            Qt::QueuedConnection);
    }
    m_sending = true;
    const QJsonArray points = listOf(PointsKey);
    const QJsonArray variables = listOf(VariablesKey);
    if (isDue(m_points, points, always))
        send(m_points, points);
    if (isDue(m_variables, variables, always))
        send(m_variables, variables);
    m_sending = false;
}

void ProjectMirror::setAnswerTimeout(int ms)
{
    m_answerTimeoutMs = ms;
}

bool ProjectMirror::isDue(Copy &copy, const QJsonArray &value, bool always)
{
    if (always)
        return true;
    if (!copy.awaited.isEmpty() && !copy.refused) {
        if (copy.sentAt.elapsed() < m_answerTimeoutMs)
            return value != copy.sending;
        // A controller that has not answered by now may never have had the message; what it
        // holds is unknown. Late answers of these parts are ignored.
        ManagerHelper::throwLog(this, QStringLiteral("error"),
                                tr("Controller did not confirm %1 within %2 s; it is sent again")
                                    .arg(copy.key)
                                    .arg(m_answerTimeoutMs / 1000.0));
        copy.awaited.clear();
        return true;
    }
    return !copy.known || value != copy.confirmed;
}

// A project of thousands of points does not fit one message: the list goes as its leading part,
// and each item after it into its place ("#k"), in order.
void ProjectMirror::send(Copy &copy, const QJsonArray &value)
{
    // Until every part is confirmed the controller holds neither the old list nor the new one.
    copy.known = false;
    copy.refused = false;
    copy.sending = value;
    copy.awaited.clear();
    copy.sentAt.start();
    const auto post = [this, &copy](const QString &sub, const QJsonValue &part) {
        const quint64 id = m_controller->post(
            ControllerMessage::Set, copy.key,
            QJsonObject{{QStringLiteral("sub"), sub}, {QStringLiteral("value"), part}});
        if (id)
            copy.awaited.insert(id);
        else // the link went down: nothing of this list counts as sent
            copy.awaited.clear();
        return id != 0;
    };
    QJsonArray head;
    int bytes = 0;
    int k = 0;
    for (; k < value.size(); ++k) {
        bytes += encodedSize(value.at(k));
        if (bytes > kPartBytes && k > 0)
            break;
        head.append(value.at(k));
    }
    if (!post(QString(), head))
        return;
    for (; k < value.size(); ++k) {
        if (!post(QStringLiteral("#%1").arg(k), value.at(k)))
            return;
    }
}

void ProjectMirror::onAnswered(quint64 id, const QJsonValue &answer)
{
    for (Copy *copy : {&m_points, &m_variables}) {
        if (!copy->awaited.remove(id))
            continue;
        const QJsonObject verdict = answer.toObject();
        if (!verdict.value(QStringLiteral("success")).toBool()) {
            // One line for the list, not one per part.
            if (!copy->refused) {
                ManagerHelper::throwLog(
                    this, QStringLiteral("error"),
                    tr("Controller refused %1 (code %2); it is sent again before the next "
                       "command that reads it")
                        .arg(copy->key)
                        .arg(verdict.value(QStringLiteral("code")).toInt()));
            }
            copy->refused = true;
        }
        if (copy->awaited.isEmpty() && !copy->refused) {
            copy->confirmed = copy->sending;
            copy->known = true;
        }
        return;
    }
}

} // namespace mirel
