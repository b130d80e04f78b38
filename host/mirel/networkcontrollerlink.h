#pragma once

#include "controllerlink.h"
#include "mirel_global.h"

class QTimer;
class QWebSocket;

namespace mirel {

// A controller reached over the network (docs/controller-protocol.md). Reconnects on its own
// with a growing pause; a dropped connection ends every request in flight at once, through
// down(), so that nobody waits for an answer that cannot come.
class MIREL_EXPORT NetworkControllerLink : public ControllerLink
{
    Q_OBJECT

public:
    static constexpr int FirstRetryMs = 100;
    static constexpr int LongestRetryMs = 2000;
    static constexpr int ConnectTimeoutMs = 3000;
    // The longest reboot a "down" notice is believed: a controller away longer is knocked on.
    static constexpr int LongestRebootWaitMs = 60000;

    // `address` is "HOST:PORT" or "HOST" (the protocol's default port).
    explicit NetworkControllerLink(const QString &address, QObject *parent = nullptr);
    ~NetworkControllerLink() override;

    // Presented at every connection; without it the controller answers reads only. Read when
    // not set: the environment's TESSEL_CONTROLLER_TOKEN, else this user's token file, at each
    // connection, so that a restarted controller with a new token is reached.
    void setToken(const QByteArray &token);
    // Starts connecting; false for an address that cannot be parsed.
    bool open();
    void close();

    // How long until the next try to connect; -1 when none is planned.
    int retryInMs() const;

    bool isUp() const override;
    QString address() const override;
    void send(const ControllerMessage &message) override;
    bool isRemote() const override;

private:
    void connectNow();
    void onConnected();
    void onMessage(const QString &text);
    void onClosed();
    void retryIn(int ms);

    QString m_address;
    QByteArray m_token;
    QString m_host;
    quint16 m_port = 0;
    QWebSocket *m_socket = nullptr;
    QTimer *m_retry = nullptr;
    QTimer *m_connectTimeout = nullptr;
    bool m_wanted = false;
    bool m_up = false;
    bool m_rebootAnnounced = false;
    int m_rebootDelayMs = 0;
    int m_nextRetryMs = FirstRetryMs;
};

} // namespace mirel
