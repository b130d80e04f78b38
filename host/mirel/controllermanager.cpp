#include "controllermanager.h"

#include "managerhelper.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QEventLoop>
#include <QJsonObject>
#include <QTimer>

namespace mirel {

namespace {
const QString kGetParams = QStringLiteral("system.controller.get_params");
} // namespace

ControllerManager::ControllerManager(QObject *parent)
    : QObject(parent)
{
}

ControllerManager::~ControllerManager()
{
    for (Waiter *waiter : qAsConst(m_waiters)) {
        if (waiter->loop)
            waiter->loop->quit();
    }
}

void ControllerManager::setLink(ControllerLink *link)
{
    if (link == m_link)
        return;
    for (const auto &c : qAsConst(m_linkConnections))
        disconnect(c);
    m_linkConnections.clear();
    const bool wasUp = m_linkUp;
    m_link = link;
    if (wasUp)
        onLinkDown(false);
    if (!link)
        return;
    m_linkConnections << connect(link, &ControllerLink::up, this, &ControllerManager::onLinkUp)
                      << connect(link, &ControllerLink::down, this, &ControllerManager::onLinkDown)
                      << connect(link, &ControllerLink::answered, this,
                                 &ControllerManager::onAnswered)
                      << connect(link, &ControllerLink::valueChanged, this,
                                 &ControllerManager::valueChanged)
                      // A link that goes away without saying so is down all the same.
                      << connect(link, &QObject::destroyed, this,
                                 [this] { onLinkDown(false); });
    if (link->isUp())
        onLinkUp();
}

ControllerLink *ControllerManager::link() const
{
    return m_link.data();
}

bool ControllerManager::isLinkUp() const
{
    return m_linkUp;
}

bool ControllerManager::request(const QString &command, nabu::ModuleObject *payload,
                                int timeoutMs)
{
    nabu::ModuleObject *kept = requestMobj(command);
    if (payload && payload != kept)
        kept->importFromJson(this, payload->exportToJson(), true, false);
    const quint64 id = post(ControllerMessage::Command, command, kept->exportToJson());
    if (!id)
        return false;
    QJsonValue early;
    if (takeEarlyAnswer(id, &early)) {
        keepResponse(command, early, false);
        return true;
    }
    m_unwaitedRequests.insert(id, command);
    // An answer that never comes must not keep its entry for ever.
    QTimer::singleShot(timeoutMs > 0 ? timeoutMs : DefaultTimeoutMs, this,
                       [this, id] { m_unwaitedRequests.remove(id); });
    return true;
}

bool ControllerManager::request(const QString &module, const QString &command,
                                const QJsonValue &value, int timeoutMs)
{
    Q_UNUSED(module)
    requestMobj(command)->importFromJson(this, value, true, false);
    return request(command, nullptr, timeoutMs);
}

nabu::ModuleObject *ControllerManager::execRequest(const QString &command,
                                                   nabu::ModuleObject *payload, bool showError,
                                                   int timeoutMs)
{
    nabu::ModuleObject *kept = requestMobj(command);
    if (payload && payload != kept)
        kept->importFromJson(this, payload->exportToJson(), true, false);
    nabu::ModuleObject *response = responseMobj(command);
    response->importFromJson(this, QJsonValue(), true, false);
    const quint64 id = post(ControllerMessage::Command, command, kept->exportToJson());
    QJsonValue answer;
    if (id && wait(id, timeoutMs, &answer))
        keepResponse(command, answer, showError);
    return response;
}

nabu::ModuleObject *ControllerManager::execRequest(const QString &module, const QString &command,
                                                   const QJsonValue &value, bool showError,
                                                   int timeoutMs)
{
    Q_UNUSED(module)
    requestMobj(command)->importFromJson(this, value, true, false);
    return execRequest(command, nullptr, showError, timeoutMs);
}

nabu::ModuleObject *ControllerManager::requestMobj(const QString &command)
{
    return keptNode(m_requests, command, QStringLiteral("request"));
}

nabu::ModuleObject *ControllerManager::responseMobj(const QString &command)
{
    return keptNode(m_responses, command, QStringLiteral("response"));
}

quint64 ControllerManager::post(ControllerMessage::Kind kind, const QString &name,
                                const QJsonValue &payload)
{
    if (!m_link || !m_link->isUp())
        return 0;
    // Whoever keeps the controller's copy of pendant data brings it up to date first.
    emit aboutToPost(name);
    if (!m_link || !m_link->isUp())
        return 0;
    ControllerMessage message;
    message.id = m_nextId++;
    message.kind = kind;
    message.name = name;
    message.payload = payload;
    m_earlyId = 0;
    m_earlyAnswer = QJsonValue();
    const quint64 outer = m_sendingId;
    m_sendingId = message.id;
    m_link->send(message);
    m_sendingId = outer;
    return message.id;
}

bool ControllerManager::wait(quint64 id, int timeoutMs, QJsonValue *answer)
{
    if (!id)
        return false;
    // The link may answer from within send(); then there is nothing to wait for.
    if (takeEarlyAnswer(id, answer))
        return true;
    Waiter waiter;
    m_waiters.insert(id, &waiter);
    if (m_link && m_link->isUp()) {
        QEventLoop loop;
        waiter.loop = &loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(timeoutMs > 0 ? timeoutMs : DefaultTimeoutMs);
        loop.exec();
        waiter.loop = nullptr;
    }
    m_waiters.remove(id);
    if (waiter.done && answer)
        *answer = waiter.answer;
    return waiter.done;
}

void ControllerManager::onLinkUp()
{
    // Reading the parameters spins the event loop: the link may drop (and even come back,
    // announced from a nested call) before it ends. Only a link still up on the same
    // connection is announced, and only once.
    const quint64 drops = m_linkDrops;
    const auto stillUp = [this, drops] {
        return drops == m_linkDrops && !m_linkUp && m_link && m_link->isUp();
    };
    readControllerParams();
    if (!stillUp())
        return;
    emit linkComingUp();
    if (!stillUp())
        return;
    m_linkUp = true;
    emit rcConnected();
}

void ControllerManager::onLinkDown(bool expected)
{
    const bool wasUp = m_linkUp;
    m_linkUp = false;
    ++m_linkDrops;
    for (Waiter *waiter : qAsConst(m_waiters)) {
        if (waiter->loop)
            waiter->loop->quit();
    }
    m_unwaitedRequests.clear();
    if (wasUp)
        emit rcDisconnected(expected);
}

void ControllerManager::onAnswered(quint64 id, const QJsonValue &answer)
{
    if (Waiter *waiter = m_waiters.value(id)) {
        waiter->done = true;
        waiter->answer = answer;
        if (waiter->loop)
            waiter->loop->quit();
        return;
    }
    if (id == m_sendingId) {
        m_earlyId = id;
        m_earlyAnswer = answer;
        return;
    }
    const QString command = m_unwaitedRequests.take(id);
    if (!command.isEmpty())
        keepResponse(command, answer, false);
}

void ControllerManager::keepResponse(const QString &command, const QJsonValue &answer,
                                     bool showError)
{
    responseMobj(command)->importFromJson(this, answer, true, true);
    if (showError && answer.isObject()) {
        const int error = answer.toObject().value(QStringLiteral("error")).toInt(0);
        if (error != 0) {
            ManagerHelper::throwLog(this, QStringLiteral("error"),
                                    tr("Controller refused %1 (error %2)").arg(command).arg(error));
        }
    }
    emit responded(command);
}

// The host learns who the robot is before it tells anybody that the link is up.
void ControllerManager::readControllerParams()
{
    requestMobj(kGetParams)->importFromJson(this, QJsonValue(), true, false);
    const QJsonObject params = execRequest(kGetParams, nullptr, false, DefaultTimeoutMs)
                                   ->exportToJson()
                                   .toObject();
    nabu::ModuleObject *r = nabu::m(QStringLiteral("mirel.r"));
    const QStringList keys = {QStringLiteral("version"), QStringLiteral("id"),
                              QStringLiteral("state"),   QStringLiteral("power"),
                              QStringLiteral("level"),   QStringLiteral("robot_template")};
    for (const QString &key : keys) {
        if (params.contains(key))
            r->set(this, key, params.value(key).toVariant());
    }
    nabu::ModuleObject *setting = nabu::m(QStringLiteral("mirel.setting"));
    if (params.contains(QStringLiteral("robot_type")))
        setting->set(this, QStringLiteral("robot"),
                     params.value(QStringLiteral("robot_type")).toString());
    if (m_link)
        setting->set(this, QStringLiteral("server.ip"), m_link->address());
}

bool ControllerManager::takeEarlyAnswer(quint64 id, QJsonValue *answer)
{
    if (!id || id != m_earlyId)
        return false;
    if (answer)
        *answer = m_earlyAnswer;
    m_earlyId = 0;
    m_earlyAnswer = QJsonValue();
    return true;
}

nabu::ModuleObject *ControllerManager::keptNode(QHash<QString, nabu::ModuleObject *> &nodes,
                                                const QString &command, const QString &name)
{
    nabu::ModuleObject *&node = nodes[command];
    if (!node)
        node = new nabu::ModuleObject(name, this);
    return node;
}

} // namespace mirel
