#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <QWebSocketProtocol>

#include <mirel/controllerlink.h>

class QWebSocket;
class QWebSocketServer;

namespace sim {

class SimulatedController;

// Serves one simulated controller to many network clients at once (docs/controller-protocol.md).
// A reboot of the controller drops every client; the port stays taken meanwhile, and
// connections that come before the controller is back are closed with the reason. Only
// clients that present the token move the robot or write; each client's share of the server is
// bounded (Limits).
class ControllerServer : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        int clients = 64;
        int pendingPerClient = 256;
        int watchesPerClient = 1024;
        int keyBytes = 256;
        // Output a client has not read yet; past it the client is dropped.
        qint64 queuedBytes = 8 * 1024 * 1024;
    };
    // Answer "code" of a request the server refuses without passing it on.
    enum Refusal { NoToken = -3, TooManyPending = -5, TooManyWatches = -6, KeyTooLong = -7 };

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

    // Set before listen(). Without a token nobody may move the robot or write; on an address
    // other than loopback a client without it is not served at all.
    void setToken(const QByteArray &token);
    // Handshakes that name an Origin (web pages) are refused unless it is one of these.
    void setAllowedOrigins(const QStringList &origins);
    void setLimits(const Limits &limits);
    Limits limits() const;

signals:
    void clientConnected();
    void clientDropped(const QString &reason);

private:
    struct Client
    {
        QWebSocket *socket = nullptr;
        QSet<QString> watched;
        bool mayWrite = false;
        int pending = 0;
        qint64 queued = 0;
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
    void drop(QWebSocket *socket, const QString &reason);
    void forget(QWebSocket *socket);
    void accept(QWebSocket *socket);
    void refuse(QWebSocket *socket, QWebSocketProtocol::CloseCode code, const QString &reason);
    void answer(QWebSocket *socket, quint64 clientId, const QJsonValue &value);
    void refuseRequest(QWebSocket *socket, quint64 clientId, Refusal code, const QString &why);
    void sendText(QWebSocket *socket, const QString &text);
    void watch(QWebSocket *socket, quint64 clientId, const QString &key, bool on);
    void releaseWatches(const QSet<QString> &keys);
    bool watchedByAnyone(const QString &key) const;
    void tellController(mirel::ControllerMessage::Kind kind, const QString &name,
                        const QJsonValue &payload);

    // Guarded: in an owner that made the controller first, the controller goes first.
    QPointer<SimulatedController> m_controller;
    QWebSocketServer *m_server = nullptr;
    QHostAddress m_address;
    quint16 m_port = 0;
    bool m_remote = false;
    QString m_error;
    QByteArray m_token;
    QStringList m_allowedOrigins;
    Limits m_limits;
    QHash<QWebSocket *, Client> m_clients;
    // Keys the server asked the controller to watch, which it ends once no client holds them.
    // A key watched before (by the pendant in the same process) is not the server's to end.
    QSet<QString> m_controllerWatches;
    // The server's own ids towards the controller, so that clients' ids never clash.
    QHash<quint64, Pending> m_pending;
    quint64 m_nextId = 1;
};

} // namespace sim
