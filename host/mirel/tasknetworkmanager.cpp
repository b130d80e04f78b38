#include "tasknetworkmanager.h"

#include "controllermanager.h"

#include <QPointer>

#include <algorithm>

namespace mirel {

TaskNetworkManager::TaskNetworkManager(ControllerManager *controller, QObject *parent)
    : QObject(parent)
{
    connect(controller, &ControllerManager::rcConnected, this, [this] { run(OnConnect); });
    connect(controller, &ControllerManager::rcDisconnected, this,
            [this] { run(OnDisconnect); });
}

bool TaskNetworkManager::registerTask(int type, QObject *owner, const QString &key, Task task,
                                      const QStringList &list)
{
    if (key.isEmpty() || !task)
        return false;
    unRegisterTask(type, key);
    m_entries.append(Entry{m_nextSerial++, type, key, owner, std::move(task), list});
    // One watch per owner, however often it registers.
    if (owner && !m_owners.contains(owner)) {
        m_owners.insert(owner);
        connect(owner, &QObject::destroyed, this, [this, owner] {
            m_owners.remove(owner);
            m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                           [owner](const Entry &e) { return e.owner == owner; }),
                            m_entries.end());
        });
    }
    return true;
}

bool TaskNetworkManager::unRegisterTask(int type, const QString &key)
{
    const auto before = m_entries.size();
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [&](const Entry &e) { return e.type == type && e.key == key; }),
                    m_entries.end());
    return m_entries.size() != before;
}

QStringList TaskNetworkManager::taskKeys(int type) const
{
    QStringList keys;
    for (const Entry &e : m_entries) {
        if (e.type == type)
            keys.append(e.key);
    }
    return keys;
}

bool TaskNetworkManager::isRegistered(quint64 serial) const
{
    return std::any_of(m_entries.cbegin(), m_entries.cend(),
                       [serial](const Entry &e) { return e.serial == serial; });
}

void TaskNetworkManager::run(int type)
{
    // A task may register or remove tasks while it runs: the new ones wait for the next event,
    // a removed one (or one whose owner is gone) must not run any more, its captures may dangle.
    const QList<Entry> entries = m_entries;
    QPointer<TaskNetworkManager> self(this);
    for (const Entry &e : entries) {
        if (!self)
            return;
        if (e.type != type || !isRegistered(e.serial))
            continue;
        const QString key = e.key;
        e.task([self, type, key](bool ok, const QVariant &result) {
            if (self)
                emit self->taskFinished(type, key, ok, result);
        });
    }
}

} // namespace mirel
