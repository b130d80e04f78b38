#pragma once

#include "mirel_global.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace mirel {

class ControllerManager;

// Tasks the host runs on controller-link events: type 0 when the link comes up, type 1 when it
// goes down, each type in registration order. A task reports its end through the callback.
class MIREL_EXPORT TaskNetworkManager : public QObject
{
    Q_OBJECT

public:
    using Done = std::function<void(bool, const QVariant &)>;
    using Task = std::function<void(Done)>;

    enum Type { OnConnect = 0, OnDisconnect = 1 };

    explicit TaskNetworkManager(ControllerManager *controller, QObject *parent = nullptr);

    // A key registered again replaces its task; a task leaves with its owner.
    bool registerTask(int type, QObject *owner, const QString &key, Task task,
                      const QStringList &list);
    bool unRegisterTask(int type, const QString &key);

    QStringList taskKeys(int type) const;
    void run(int type);

signals:
    void taskFinished(int type, const QString &key, bool ok, const QVariant &result);

private:
    struct Entry
    {
        quint64 serial = 0;
        int type = 0;
        QString key;
        QObject *owner = nullptr; // compared only
        Task task;
        QStringList list;
    };

    bool isRegistered(quint64 serial) const;

    QList<Entry> m_entries;
    QSet<QObject *> m_owners;
    quint64 m_nextSerial = 1;
};

} // namespace mirel
