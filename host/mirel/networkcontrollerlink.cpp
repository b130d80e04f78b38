#include "networkcontrollerlink.h"

#include <controllerprotocol.h>
#include <controllertoken.h>

#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

namespace mirel {

NetworkControllerLink::NetworkControllerLink(const QString &address, QObject *parent)
    : ControllerLink(parent)
    , m_address(address)
    , m_socket(new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this))
    , m_retry(new QTimer(this))
    , m_connectTimeout(new QTimer(this))
{
    ControllerProtocol::parseAddress(address, &m_host, &m_port);
    m_socket->setMaxAllowedIncomingMessageSize(ControllerProtocol::MaxMessageBytes);
    m_socket->setMaxAllowedIncomingFrameSize(ControllerProtocol::MaxMessageBytes);
    m_retry->setSingleShot(true);
    m_connectTimeout->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &NetworkControllerLink::connectNow);
    // A handshake that hangs counts as a refusal.
    connect(m_connectTimeout, &QTimer::timeout, m_socket, &QWebSocket::abort);
    connect(m_socket, &QWebSocket::connected, this, &NetworkControllerLink::onConnected);
    connect(m_socket, &QWebSocket::textMessageReceived, this, &NetworkControllerLink::onMessage);
    connect(m_socket, &QWebSocket::binaryMessageReceived, m_socket, &QWebSocket::abort);
    connect(m_socket, &QWebSocket::disconnected, this, &NetworkControllerLink::onClosed);
}

NetworkControllerLink::~NetworkControllerLink()
{
    m_wanted = false;
    m_socket->disconnect(this);
    m_socket->abort();
}

void NetworkControllerLink::setToken(const QByteArray &token)
{
    m_token = token;
}

bool NetworkControllerLink::open()
{
    if (m_host.isEmpty())
        return false;
    m_wanted = true;
    m_nextRetryMs = FirstRetryMs;
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        connectNow();
    return true;
}

void NetworkControllerLink::close()
{
    m_wanted = false;
    m_retry->stop();
    m_socket->abort();
}

int NetworkControllerLink::retryInMs() const
{
    return m_retry->isActive() ? m_retry->remainingTime() : -1;
}

bool NetworkControllerLink::isUp() const
{
    return m_up;
}

QString NetworkControllerLink::address() const
{
    return m_address;
}

bool NetworkControllerLink::isRemote() const
{
    return true;
}

void NetworkControllerLink::send(const ControllerMessage &message)
{
    if (!m_up)
        return;
    ProtocolMessage request;
    request.type = ProtocolMessage::Request;
    request.id = message.id;
    request.kind = static_cast<ProtocolMessage::Kind>(message.kind);
    request.name = message.name;
    request.value = message.payload;
    m_socket->sendTextMessage(QString::fromUtf8(ControllerProtocol::encode(request)));
}

void NetworkControllerLink::connectNow()
{
    if (!m_wanted || m_socket->state() != QAbstractSocket::UnconnectedState)
        return;
    m_rebootAnnounced = false;
    QUrl url;
    url.setScheme(QStringLiteral("ws"));
    url.setHost(m_host);
    url.setPort(m_port);
    QNetworkRequest request(url);
    const QByteArray token = m_token.isEmpty() ? ControllerToken::forClient() : m_token;
    if (!token.isEmpty())
        request.setRawHeader("Authorization", ControllerToken::header(token));
    m_connectTimeout->start(ConnectTimeoutMs);
    m_socket->open(request);
}

void NetworkControllerLink::onConnected()
{
    m_connectTimeout->stop();
    m_nextRetryMs = FirstRetryMs;
    m_up = true;
    emit up();
}

void NetworkControllerLink::onMessage(const QString &text)
{
    ProtocolMessage message;
    QString error;
    if (!ControllerProtocol::decode(text.toUtf8(), &message, &error)) {
        qWarning("controller link %s: dropping the connection: %s", qPrintable(m_address),
                 qPrintable(error));
        m_socket->abort();
        return;
    }
    switch (message.type) {
    case ProtocolMessage::Answer:
        emit answered(message.id, message.value);
        break;
    case ProtocolMessage::Update:
        emit valueChanged(message.name, message.value);
        break;
    case ProtocolMessage::GoingDown:
        m_rebootAnnounced = message.reboot;
        m_rebootDelayMs = message.delayMs;
        break;
    case ProtocolMessage::Request:
        break;
    }
}

void NetworkControllerLink::onClosed()
{
    m_connectTimeout->stop();
    const bool wasUp = m_up;
    const bool reboot = m_rebootAnnounced;
    m_up = false;
    m_rebootAnnounced = false;
    if (m_wanted) {
        // A rebooting controller refuses connections until it is back: no use knocking sooner.
        retryIn(reboot ? qBound(FirstRetryMs, m_rebootDelayMs, LongestRebootWaitMs)
                       : m_nextRetryMs);
        if (!reboot)
            m_nextRetryMs = qMin(m_nextRetryMs * 2, LongestRetryMs);
    }
    if (wasUp)
        emit down(reboot);
}

void NetworkControllerLink::retryIn(int ms)
{
    m_retry->start(ms);
}

} // namespace mirel
