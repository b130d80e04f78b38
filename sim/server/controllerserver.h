#pragma once

#include <QHash>
#include <QHostAddress>
#include <QJsonValue>
#include <QObject>
#include <QSet>

class QWebSocket;
class QWebSocketServer;

namespace sim {

class SimulatedController;

// Serves one simulated controller to many network clients at once (docs/controller-protocol.md).
// A reboot of the controller drops every client and refuses connections until it is back up.
class ControllerServer : public QObject
{
    Q_OBJECT

public:
    // The controller is not owned and must outlive the server.
    explicit ControllerServer(SimulatedController *controller, QObject *parent = nullptr);
    ~ControllerServer() override;

    // Port 0 picks a free one. Addresses other than loopback need `allowRemote`.
    bool listen(const QHostAddress &address, quint16 port, bool allowRemote = false);
    void close();
    bool isListening() const;
    QHostAddress address() const;
    quint16 port() const;
    // "HOST:PORT" of the listening address, as clients name it.
    QString addressText() const;
    QString errorString() const;
    int clientCount() const;

signals:
    void clientConnected();
    void clientDropped(const QString &reason);

private:
    struct Client
    {
        QWebSocket *socket = nullptr;
        QSet<QString> watched;
    };
    struct Pending
    {
        QWebSocket *socket = nullptr;
        quint64 clientId = 0;
    };

    void onNewConnection();
    void onMessage(QWebSocket *socket, const QString &text);
    void onControllerAnswered(quint64 id, const QJsonValue &answer);
    void onControllerValue(const QString &key, const QJsonValue &value);
    void onControllerDown(bool expected);
    void onControllerUp();
    void drop(QWebSocket *socket, const QString &reason);
    void forget(QWebSocket *socket);
    void answer(QWebSocket *socket, quint64 clientId, const QJsonValue &value);
    void watch(QWebSocket *socket, quint64 clientId, const QString &key, bool on);
    bool watchedByAnyone(const QString &key) const;
    bool startListening();

    SimulatedController *m_controller = nullptr;
    QWebSocketServer *m_server = nullptr;
    QHostAddress m_address;
    quint16 m_port = 0;
    bool m_wanted = false; // listening was asked for and not closed
    QString m_error;
    QHash<QWebSocket *, Client> m_clients;
    // The server's own ids towards the controller, so that clients' ids never clash.
    QHash<quint64, Pending> m_pending;
    quint64 m_nextId = 1;
};

} // namespace sim
