#include "controllerserver.h"

#include <controllerprotocol.h>
#include <sim/controller/simulatedcontroller.h>

#include <QJsonObject>
#include <QWebSocket>
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
    connect(controller, &mirel::ControllerLink::up, this, &ControllerServer::onControllerUp);
}

ControllerServer::~ControllerServer()
{
    close();
}

bool ControllerServer::listen(const QHostAddress &address, quint16 port, bool allowRemote)
{
    close();
    if (!allowRemote && !address.isLoopback()) {
        m_error = QStringLiteral("%1 is not a loopback address").arg(address.toString());
        return false;
    }
    m_address = address;
    m_port = port;
    if (!startListening())
        return false;
    m_wanted = true;
    // A controller that is down refuses connections until it is up again.
    if (!m_controller->isUp())
        m_server->close();
    return true;
}

bool ControllerServer::startListening()
{
    if (!m_server) {
        m_server = new QWebSocketServer(QStringLiteral("simcontroller"),
                                        QWebSocketServer::NonSecureMode, this);
        connect(m_server, &QWebSocketServer::newConnection, this,
                &ControllerServer::onNewConnection);
    }
    if (m_server->isListening())
        return true;
    if (!m_server->listen(m_address, m_port)) {
        m_error = m_server->errorString();
        return false;
    }
    // Port 0 picked one; a reboot comes back on the same.
    m_port = m_server->serverPort();
    return true;
}

void ControllerServer::close()
{
    m_wanted = false;
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
        if (!m_controller->isUp()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(mirel::ControllerProtocol::MaxMessageBytes);
        socket->setMaxAllowedIncomingFrameSize(mirel::ControllerProtocol::MaxMessageBytes);
        m_clients.insert(socket, Client{socket, {}});
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket](const QString &text) { onMessage(socket, text); });
        connect(socket, &QWebSocket::binaryMessageReceived, this, [this, socket] {
            drop(socket, QStringLiteral("binary message"));
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
}

void ControllerServer::onMessage(QWebSocket *socket, const QString &text)
{
    if (!m_clients.contains(socket))
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
    if (message.kind == mirel::ProtocolMessage::Watch) {
        watch(socket, message.id, message.name, message.value.toBool());
        return;
    }
    if (!m_controller->isUp())
        return;
    const quint64 id = m_nextId++;
    m_pending.insert(id, Pending{socket, message.id});
    mirel::ControllerMessage request;
    request.id = id;
    request.kind = static_cast<mirel::ControllerMessage::Kind>(message.kind);
    request.name = message.name;
    request.payload = message.value;
    m_controller->send(request);
}

// The controller keeps one set of watched keys for all who talk to it, the embedded pendant
// among them: the server watches on the controller for good and filters per client.
void ControllerServer::watch(QWebSocket *socket, quint64 clientId, const QString &key, bool on)
{
    Client &client = m_clients[socket];
    if (!on) {
        client.watched.remove(key);
        answer(socket, clientId, QJsonObject{{QStringLiteral("success"), true}});
        return;
    }
    client.watched.insert(key);
    const quint64 id = m_nextId++;
    m_pending.insert(id, Pending{socket, clientId});
    mirel::ControllerMessage request;
    request.id = id;
    request.kind = mirel::ControllerMessage::Watch;
    request.name = key;
    request.payload = true;
    m_controller->send(request);
}

void ControllerServer::onControllerAnswered(quint64 id, const QJsonValue &value)
{
    const auto it = m_pending.find(id);
    if (it == m_pending.end())
        return;
    const Pending pending = it.value();
    m_pending.erase(it);
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
    socket->sendTextMessage(QString::fromUtf8(mirel::ControllerProtocol::encode(message)));
}

void ControllerServer::onControllerValue(const QString &key, const QJsonValue &value)
{
    mirel::ProtocolMessage message;
    message.type = mirel::ProtocolMessage::Update;
    message.name = key;
    message.value = value;
    QString text;
    for (const Client &client : qAsConst(m_clients)) {
        if (!client.watched.contains(key))
            continue;
        if (text.isEmpty())
            text = QString::fromUtf8(mirel::ControllerProtocol::encode(message));
        client.socket->sendTextMessage(text);
    }
}

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
    if (m_server)
        m_server->close();
}

void ControllerServer::onControllerUp()
{
    if (m_wanted && !startListening())
        qWarning("simcontroller: cannot listen again on %s: %s", qPrintable(addressText()),
                 qPrintable(m_error));
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
    m_clients.remove(socket);
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it.value().socket == socket)
            it = m_pending.erase(it);
        else
            ++it;
    }
    socket->disconnect(this);
}

} // namespace sim
