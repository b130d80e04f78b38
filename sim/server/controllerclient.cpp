#include "controllerclient.h"

#include <controllertoken.h>

#include <QEventLoop>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

namespace sim {

ControllerClient::ControllerClient(QObject *parent)
    : QObject(parent)
    , m_socket(new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this))
    , m_token(mirel::ControllerToken::forClient())
{
    m_socket->setMaxAllowedIncomingMessageSize(mirel::ControllerProtocol::MaxMessageBytes);
    m_socket->setMaxAllowedIncomingFrameSize(mirel::ControllerProtocol::MaxMessageBytes);
    connect(m_socket, &QWebSocket::textMessageReceived, this, &ControllerClient::onMessage);
    connect(m_socket, &QWebSocket::disconnected, this, &ControllerClient::onClosed);
}

ControllerClient::~ControllerClient() = default;

void ControllerClient::setToken(const QByteArray &token)
{
    m_token = token;
}

bool ControllerClient::connectTo(const QString &address, int timeoutMs)
{
    QString host;
    quint16 port = 0;
    if (!mirel::ControllerProtocol::parseAddress(address, &host, &port))
        return false;
    disconnectFrom();
    QUrl url;
    url.setScheme(QStringLiteral("ws"));
    url.setHost(host);
    url.setPort(port);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto opened = connect(m_socket, &QWebSocket::connected, &loop, &QEventLoop::quit);
    const auto closed = connect(m_socket, &QWebSocket::disconnected, &loop, &QEventLoop::quit);
    const auto failed = connect(m_socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error),
                                &loop, &QEventLoop::quit);
    m_rebootAnnounced = false;
    QNetworkRequest request(url);
    if (!m_token.isEmpty())
        request.setRawHeader("Authorization", mirel::ControllerToken::header(m_token));
    m_socket->open(request);
    timer.start(timeoutMs);
    loop.exec();
    disconnect(opened);
    disconnect(closed);
    disconnect(failed);
    m_open = m_socket->state() == QAbstractSocket::ConnectedState;
    if (!m_open) {
        m_socket->abort();
        return false;
    }
    emit connected();
    return true;
}

void ControllerClient::disconnectFrom()
{
    m_open = false;
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
}

bool ControllerClient::isConnected() const
{
    return m_open;
}

quint64 ControllerClient::post(Kind kind, const QString &name, const QJsonValue &payload)
{
    if (!m_open)
        return 0;
    mirel::ProtocolMessage message;
    message.type = mirel::ProtocolMessage::Request;
    message.id = m_nextId++;
    message.kind = kind;
    message.name = name;
    message.value = payload;
    m_socket->sendTextMessage(QString::fromUtf8(mirel::ControllerProtocol::encode(message)));
    return message.id;
}

bool ControllerClient::call(Kind kind, const QString &name, const QJsonValue &payload,
                            QJsonValue *answer, int timeoutMs)
{
    const quint64 id = post(kind, name, payload);
    if (!id)
        return false;
    m_answers.insert(id, QJsonValue::Undefined);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto got = connect(this, &ControllerClient::answered, &loop, [&loop, id](quint64 a) {
        if (a == id)
            loop.quit();
    });
    const auto lost = connect(this, &ControllerClient::disconnected, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    loop.exec();
    disconnect(got);
    disconnect(lost);
    const QJsonValue result = m_answers.take(id);
    if (result.isUndefined())
        return false;
    if (answer)
        *answer = result;
    return true;
}

QJsonValue ControllerClient::command(const QString &name, const QJsonValue &payload,
                                     int timeoutMs)
{
    QJsonValue answer;
    if (!call(mirel::ProtocolMessage::Command, name, payload, &answer, timeoutMs))
        return QJsonValue();
    return answer;
}

void ControllerClient::onMessage(const QString &text)
{
    mirel::ProtocolMessage message;
    QString error;
    if (!mirel::ControllerProtocol::decode(text.toUtf8(), &message, &error)) {
        qWarning("controller client: dropping the connection: %s", qPrintable(error));
        m_socket->abort();
        return;
    }
    switch (message.type) {
    case mirel::ProtocolMessage::Answer: {
        const auto it = m_answers.find(message.id);
        if (it != m_answers.end())
            it.value() = message.value;
        emit answered(message.id, message.value);
        break;
    }
    case mirel::ProtocolMessage::Update:
        emit valueChanged(message.name, message.value);
        break;
    case mirel::ProtocolMessage::GoingDown:
        m_rebootAnnounced = message.reboot;
        break;
    case mirel::ProtocolMessage::Request:
        break;
    }
}

void ControllerClient::onClosed()
{
    if (!m_open)
        return;
    m_open = false;
    emit disconnected(m_rebootAnnounced);
}

} // namespace sim
