#pragma once

#include "controllerlink.h"
#include "mirel_global.h"

#include <QHash>
#include <QJsonValue>
#include <QObject>
#include <QPointer>

class QEventLoop;

namespace nabu {
class ModuleObject;
}

namespace mirel {

// The robot-controller link as the host sees it: link state, requests, and the transport that
// the command service shares. Waiting calls run a nested event loop, as on the pendant.
class MIREL_EXPORT ControllerManager : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultTimeoutMs = 5000;

    explicit ControllerManager(QObject *parent = nullptr);
    ~ControllerManager() override;

    // The link is not owned; null unplugs the controller.
    void setLink(ControllerLink *link);
    ControllerLink *link() const;

    // Set once the controller's parameters were read after the link came up.
    bool isLinkUp() const;

    // `timeoutMs` bounds how long an answer is awaited; `showError` reports an answer that
    // carries a non-zero "error" to the operator. The `module` of the two-part forms names the
    // requesting host module; requests are kept per command.
    bool request(const QString &command, nabu::ModuleObject *payload, int timeoutMs);
    bool request(const QString &module, const QString &command, const QJsonValue &value,
                 int timeoutMs);
    // A null payload sends the request kept for the command.
    nabu::ModuleObject *execRequest(const QString &command, nabu::ModuleObject *payload,
                                    bool showError, int timeoutMs);
    nabu::ModuleObject *execRequest(const QString &module, const QString &command,
                                    const QJsonValue &value, bool showError, int timeoutMs);
    nabu::ModuleObject *requestMobj(const QString &command);
    nabu::ModuleObject *responseMobj(const QString &command);

    // Transport: 0 when the link is down.
    quint64 post(ControllerMessage::Kind kind, const QString &name, const QJsonValue &payload);
    // False on time-out or when the link goes down meanwhile.
    bool wait(quint64 id, int timeoutMs, QJsonValue *answer);

signals:
    // The link is up and the parameters read; whoever must read more before the others hear
    // of it does so here. rcConnected follows only when the link is still up afterwards.
    void linkComingUp();
    void rcConnected();
    void rcDisconnected(bool status);
    void responded(const QString &command);
    void valueChanged(const QString &key, const QJsonValue &value);
    // Emitted before every message, from within post().
    void aboutToPost(const QString &name);

private:
    struct Waiter
    {
        QEventLoop *loop = nullptr;
        bool done = false;
        QJsonValue answer;
    };

    void onLinkUp();
    void onLinkDown(bool expected);
    void onAnswered(quint64 id, const QJsonValue &answer);
    void keepResponse(const QString &command, const QJsonValue &answer, bool showError);
    void readControllerParams();
    bool takeEarlyAnswer(quint64 id, QJsonValue *answer);
    nabu::ModuleObject *keptNode(QHash<QString, nabu::ModuleObject *> &nodes,
                                 const QString &command, const QString &name);

    QPointer<ControllerLink> m_link;
    QList<QMetaObject::Connection> m_linkConnections;
    bool m_linkUp = false;
    quint64 m_linkDrops = 0;
    quint64 m_nextId = 1;
    // An answer given from within send(), before anybody could wait for it.
    quint64 m_sendingId = 0;
    quint64 m_earlyId = 0;
    QJsonValue m_earlyAnswer;
    QHash<quint64, Waiter *> m_waiters;
    QHash<quint64, QString> m_unwaitedRequests;
    QHash<QString, nabu::ModuleObject *> m_requests;
    QHash<QString, nabu::ModuleObject *> m_responses;
};

} // namespace mirel
