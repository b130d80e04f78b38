#include "controllerserver.h"

#include <controllerprotocol.h>
#include <controllertoken.h>
#include <sim/controller/simulatedcontroller.h>

#include <QJsonObject>
#include <QWebSocket>
#include <QWebSocketCorsAuthenticator>
#include <QWebSocketServer>

namespace sim {

namespace {

// The controller also answers whoever else is plugged into it in the same process (the embedded
// pendant counts its ids from 1): the server's ids live far above.
constexpr quint64 kFirstServerId = quint64(1) << 62;

QString peerName(const QWebSocket *socket)
{
    return QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
}

} // namespace

ControllerServer::ControllerServer(SimulatedController *controller, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
    , m_nextId(kFirstServerId)
{
    connect(controller, &mirel::ControllerLink::answered, this,
            &ControllerServer::onControllerAnswered);
    connect(controller, &mirel::ControllerLink::valueChanged, this,
            &ControllerServer::onControllerValue);
    connect(controller, &mirel::ControllerLink::down, this, &ControllerServer::onControllerDown);
}

ControllerServer::~ControllerServer()
{
    close();
}

void ControllerServer::setToken(const QByteArray &token)
{
    m_token = token;
}

void ControllerServer::setAllowedOrigins(const QStringList &origins)
{
    m_allowedOrigins = origins;
}

void ControllerServer::setLimits(const Limits &limits)
{
    m_limits = limits;
}

ControllerServer::Limits ControllerServer::limits() const
{
    return m_limits;
}

bool ControllerServer::listen(const QHostAddress &address, quint16 port, bool allowRemote)
{
    close();
    if (!allowRemote && !address.isLoopback()) {
        m_error = QStringLiteral("%1 is not a loopback address").arg(address.toString());
        return false;
    }
    m_address = address;
    m_remote = !address.isLoopback();
    if (!m_server) {
        m_server = new QWebSocketServer(QStringLiteral("simcontroller"),
                                        QWebSocketServer::NonSecureMode, this);
        connect(m_server, &QWebSocketServer::newConnection, this,
                &ControllerServer::onNewConnection);
        // A web page in a local browser may open a WebSocket to loopback; browsers name the page
        // in Origin, other clients send none.
        connect(m_server, &QWebSocketServer::originAuthenticationRequired, this,
                [this](QWebSocketCorsAuthenticator *authenticator) {
                    const QString origin = authenticator->origin();
                    authenticator->setAllowed(origin.isEmpty()
                                              || m_allowedOrigins.contains(origin));
                });
    }
    if (!m_server->listen(address, port)) {
        m_error = m_server->errorString();
        return false;
    }
    m_port = m_server->serverPort();
    return true;
}

void ControllerServer::close()
{
    // The controller may be gone already; its watches end with its link anyway.
    m_controllerWatches.clear();
    const QList<QWebSocket *> sockets = m_clients.keys();
    for (QWebSocket *socket : sockets) {
        forget(socket);
        socket->close(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("server closed"));
        socket->deleteLater();
    }
    if (m_server)
        m_server->close();
}

bool ControllerServer::isListening() const
{
    return m_server && m_server->isListening();
}

QHostAddress ControllerServer::address() const
{
    return m_address;
}

quint16 ControllerServer::port() const
{
    return m_port;
}

QString ControllerServer::addressText() const
{
    const QString host = m_address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(m_address.toString())
                             : m_address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(m_port);
}

QString ControllerServer::errorString() const
{
    return m_error;
}

int ControllerServer::clientCount() const
{
    return m_clients.size();
}

void ControllerServer::onNewConnection()
{
    while (QWebSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        const bool mayWrite = mirel::ControllerToken::authorizes(
            socket->request().rawHeader("Authorization"), m_token);
        if (!m_controller->isUp())
            refuse(socket, QWebSocketProtocol::CloseCodeGoingAway,
                   QStringLiteral("the controller is down"));
        else if (m_clients.size() >= m_limits.clients)
            refuse(socket, QWebSocketProtocol::CloseCodePolicyViolated,
                   QStringLiteral("too many connections (%1)").arg(m_limits.clients));
        else if (m_remote && !mayWrite)
            refuse(socket, QWebSocketProtocol::CloseCodePolicyViolated,
                   QStringLiteral("a token is required"));
        else {
            m_clients.insert(socket, Client{socket, {}, mayWrite, 0, 0});
            accept(socket);
        }
    }
}

void ControllerServer::refuse(QWebSocket *socket, QWebSocketProtocol::CloseCode code,
                              const QString &reason)
{
    qWarning("simcontroller: refusing %s: %s", qPrintable(peerName(socket)), qPrintable(reason));
    socket->close(code, reason);
    socket->deleteLater();
}

void ControllerServer::accept(QWebSocket *socket)
{
    socket->setMaxAllowedIncomingMessageSize(mirel::ControllerProtocol::MaxMessageBytes);
    socket->setMaxAllowedIncomingFrameSize(mirel::ControllerProtocol::MaxMessageBytes);
    connect(socket, &QWebSocket::textMessageReceived, this,
            [this, socket](const QString &text) { onMessage(socket, text); });
    connect(socket, &QWebSocket::binaryMessageReceived, this,
            [this, socket] { drop(socket, QStringLiteral("binary message")); });
    connect(socket, &QWebSocket::bytesWritten, this, [this, socket](qint64 bytes) {
        const auto it = m_clients.find(socket);
        if (it != m_clients.end())
            it->queued = qMax<qint64>(0, it->queued - bytes);
    });
    connect(socket, &QWebSocket::disconnected, this, [this, socket] {
        if (!m_clients.contains(socket))
            return;
        // The socket itself closes on an oversized or broken frame.
        const QWebSocketProtocol::CloseCode code = socket->closeCode();
        const bool fault = code != QWebSocketProtocol::CloseCodeNormal
                           && code != QWebSocketProtocol::CloseCodeGoingAway;
        const QString reason = fault ? QStringLiteral("closed with code %1 %2")
                                           .arg(int(code))
                                           .arg(socket->closeReason())
                                     : QStringLiteral("closed by the client");
        if (fault)
            qWarning("simcontroller: dropping client %s: %s", qPrintable(peerName(socket)),
                     qPrintable(reason));
        forget(socket);
        socket->deleteLater();
        emit clientDropped(reason);
    });
    emit clientConnected();
}

void ControllerServer::onMessage(QWebSocket *socket, const QString &text)
{
    const auto client = m_clients.find(socket);
    if (client == m_clients.end())
        return;
    mirel::ProtocolMessage message;
    QString error;
    if (!mirel::ControllerProtocol::decode(text.toUtf8(), &message, &error)) {
        drop(socket, error);
        return;
    }
    if (message.type != mirel::ProtocolMessage::Request) {
        drop(socket, QStringLiteral("only requests are accepted"));
        return;
    }
    if (message.name.toUtf8().size() > m_limits.keyBytes) {
        refuseRequest(socket, message.id, KeyTooLong,
                      QStringLiteral("a name of more than %1 bytes").arg(m_limits.keyBytes));
        return;
    }
    const auto kind = static_cast<mirel::ControllerMessage::Kind>(message.kind);
    if (!client->mayWrite && !SimulatedController::isReadOnly(kind, message.name)) {
        refuseRequest(socket, message.id, NoToken,
                      QStringLiteral("%1 needs the controller's token").arg(message.name));
        return;
    }
    if (client->pending >= m_limits.pendingPerClient) {
        refuseRequest(socket, message.id, TooManyPending,
                      QStringLiteral("more than %1 requests unanswered")
                          .arg(m_limits.pendingPerClient));
        return;
    }
    if (message.kind == mirel::ProtocolMessage::Watch) {
        watch(socket, message.id, message.name, message.value.toBool());
        return;
    }
    if (!m_controller->isUp())
        return;
    const quint64 id = m_nextId++;
    m_pending.insert(id, Pending{socket, message.id});
    ++client->pending;
    mirel::ControllerMessage request;
    request.id = id;
    request.kind = kind;
    request.name = message.name;
    request.payload = message.value;
    m_controller->send(request);
}

// The controller keeps one set of watched keys for all who talk to it, the embedded pendant
// among them: the server watches a key on the controller while any client holds it and filters
// per client.
void ControllerServer::watch(QWebSocket *socket, quint64 clientId, const QString &key, bool on)
{
    Client &client = m_clients[socket];
    if (!on) {
        if (client.watched.remove(key))
            releaseWatches({key});
        answer(socket, clientId, QJsonObject{{QStringLiteral("success"), true}});
        return;
    }
    if (!client.watched.contains(key) && client.watched.size() >= m_limits.watchesPerClient) {
        refuseRequest(socket, clientId, TooManyWatches,
                      QStringLiteral("more than %1 watches").arg(m_limits.watchesPerClient));
        return;
    }
    if (!m_controller->isWatched(key))
        m_controllerWatches.insert(key);
    client.watched.insert(key);
    const quint64 id = m_nextId++;
    m_pending.insert(id, Pending{socket, clientId});
    ++client.pending;
    mirel::ControllerMessage request;
    request.id = id;
    request.kind = mirel::ControllerMessage::Watch;
    request.name = key;
    request.payload = true;
    m_controller->send(request);
}

void ControllerServer::releaseWatches(const QSet<QString> &keys)
{
    for (const QString &key : keys) {
        if (!m_controllerWatches.contains(key) || watchedByAnyone(key))
            continue;
        m_controllerWatches.remove(key);
        tellController(mirel::ControllerMessage::Watch, key, false);
    }
}

bool ControllerServer::watchedByAnyone(const QString &key) const
{
    for (const Client &client : m_clients) {
        if (client.watched.contains(key))
            return true;
    }
    return false;
}

// A message whose answer nobody waits for.
void ControllerServer::tellController(mirel::ControllerMessage::Kind kind, const QString &name,
                                      const QJsonValue &payload)
{
    if (!m_controller || !m_controller->isUp())
        return;
    mirel::ControllerMessage message;
    message.id = m_nextId++;
    message.kind = kind;
    message.name = name;
    message.payload = payload;
    m_controller->send(message);
}

void ControllerServer::onControllerAnswered(quint64 id, const QJsonValue &value)
{
    const auto it = m_pending.find(id);
    if (it == m_pending.end())
        return;
    const Pending pending = it.value();
    m_pending.erase(it);
    const auto client = m_clients.find(pending.socket);
    if (client != m_clients.end())
        --client->pending;
    answer(pending.socket, pending.clientId, value);
}

void ControllerServer::answer(QWebSocket *socket, quint64 clientId, const QJsonValue &value)
{
    if (!m_clients.contains(socket))
        return;
    mirel::ProtocolMessage message;
    message.type = mirel::ProtocolMessage::Answer;
    message.id = clientId;
    message.value = value;
    sendText(socket, QString::fromUtf8(mirel::ControllerProtocol::encode(message)));
}

void ControllerServer::refuseRequest(QWebSocket *socket, quint64 clientId, Refusal code,
                                     const QString &why)
{
    answer(socket, clientId,
           QJsonObject{{QStringLiteral("success"), false},
                       {QStringLiteral("code"), int(code)},
                       {QStringLiteral("msg"), why}});
}

// A client that does not read what it asked for is dropped before its output fills the memory.
void ControllerServer::sendText(QWebSocket *socket, const QString &text)
{
    const auto client = m_clients.find(socket);
    if (client == m_clients.end())
        return;
    client->queued += socket->sendTextMessage(text);
    if (client->queued > m_limits.queuedBytes)
        drop(socket, QStringLiteral("more than %1 bytes of output not read")
                         .arg(m_limits.queuedBytes));
}

void ControllerServer::onControllerValue(const QString &key, const QJsonValue &value)
{
    mirel::ProtocolMessage message;
    message.type = mirel::ProtocolMessage::Update;
    message.name = key;
    message.value = value;
    QString text;
    const QList<QWebSocket *> sockets = m_clients.keys();
    for (QWebSocket *socket : sockets) {
        const auto client = m_clients.constFind(socket);
        if (client == m_clients.constEnd() || !client->watched.contains(key))
            continue;
        if (text.isEmpty())
            text = QString::fromUtf8(mirel::ControllerProtocol::encode(message));
        sendText(socket, text);
    }
}

// The listening socket stays open through a reboot, so that no other program takes the port.
void ControllerServer::onControllerDown(bool expected)
{
    mirel::ProtocolMessage notice;
    notice.type = mirel::ProtocolMessage::GoingDown;
    notice.reboot = expected;
    notice.delayMs = expected ? m_controller->rebootDelay() : 0;
    const QString text = QString::fromUtf8(mirel::ControllerProtocol::encode(notice));
    const QList<QWebSocket *> sockets = m_clients.keys();
    for (QWebSocket *socket : sockets) {
        socket->sendTextMessage(text);
        socket->flush();
        forget(socket);
        socket->close(QWebSocketProtocol::CloseCodeGoingAway,
                      expected ? QStringLiteral("reboot") : QStringLiteral("controller down"));
        socket->deleteLater();
    }
    m_pending.clear();
    // The controller forgot every watch with the link.
    m_controllerWatches.clear();
}

void ControllerServer::drop(QWebSocket *socket, const QString &reason)
{
    if (!m_clients.contains(socket))
        return;
    qWarning("simcontroller: dropping client %s: %s", qPrintable(peerName(socket)),
             qPrintable(reason));
    forget(socket);
    socket->abort();
    socket->deleteLater();
    emit clientDropped(reason);
}

void ControllerServer::forget(QWebSocket *socket)
{
    const QSet<QString> watched = m_clients.value(socket).watched;
    m_clients.remove(socket);
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it.value().socket == socket)
            it = m_pending.erase(it);
        else
            ++it;
    }
    socket->disconnect(this);
    releaseWatches(watched);
}

} // namespace sim
