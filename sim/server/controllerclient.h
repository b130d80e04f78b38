#pragma once

#include <controllerprotocol.h>

#include <QHash>
#include <QJsonValue>
#include <QObject>

class QWebSocket;

namespace sim {

// A small client of the controller's network protocol for external programs: no host
// libraries, one connection, blocking calls with a time-out. Each blocking call runs a nested
// event loop, so signals keep flowing meanwhile.
class ControllerClient : public QObject
{
    Q_OBJECT

public:
    using Kind = mirel::ProtocolMessage::Kind;

    explicit ControllerClient(QObject *parent = nullptr);
    ~ControllerClient() override;

    // Presented in the handshake; without it the controller answers reads only. Starts as the
    // token of this machine's user (ControllerToken::forClient()).
    void setToken(const QByteArray &token);
    // "HOST:PORT"; true once the connection is open, false on refusal or time-out.
    bool connectTo(const QString &address, int timeoutMs = 3000);
    void disconnectFrom();
    bool isConnected() const;

    // Sends without waiting; 0 when not connected. The answer comes through answered().
    quint64 post(Kind kind, const QString &name, const QJsonValue &payload = QJsonValue());
    // False on time-out or when the connection drops meanwhile.
    bool call(Kind kind, const QString &name, const QJsonValue &payload, QJsonValue *answer,
              int timeoutMs = 5000);
    // The answer of a command, or null when none came.
    QJsonValue command(const QString &name, const QJsonValue &payload = QJsonValue(),
                       int timeoutMs = 5000);

signals:
    void connected();
    // `reboot` is true when the controller announced it is going down for a reboot.
    void disconnected(bool reboot);
    void answered(quint64 id, const QJsonValue &answer);
    void valueChanged(const QString &key, const QJsonValue &value);

private:
    void onMessage(const QString &text);
    void onClosed();

    QWebSocket *m_socket = nullptr;
    QByteArray m_token;
    bool m_open = false;
    bool m_rebootAnnounced = false;
    quint64 m_nextId = 1;
    QHash<quint64, QJsonValue> m_answers;
};

} // namespace sim
