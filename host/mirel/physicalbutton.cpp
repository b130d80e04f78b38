#include "physicalbutton.h"

namespace mirel {

PhysicalButtonRegistry *PhysicalButtonRegistry::instance()
{
    static PhysicalButtonRegistry *registry = new PhysicalButtonRegistry(nullptr);
    return registry;
}

bool PhysicalButtonRegistry::registerButtons(QObject *owner, const QString &key,
                                             const QList<PhysicalButton> &list1,
                                             const QList<PhysicalButton> &list2,
                                             const QStringList &names)
{
    if (key.isEmpty())
        return false;
    const int i = find(owner, key);
    Registration reg{owner, key, list1, list2, names, true};
    if (i >= 0) {
        m_registrations[i] = reg;
    } else {
        m_registrations.append(reg);
        if (owner) {
            connect(owner, &QObject::destroyed, this, [this, owner] {
                for (int k = m_registrations.size() - 1; k >= 0; --k) {
                    if (m_registrations.at(k).owner == owner)
                        m_registrations.removeAt(k);
                }
                emit changed();
            });
        }
    }
    emit changed();
    return true;
}

bool PhysicalButtonRegistry::enable(QObject *owner, const QString &key, bool enable)
{
    const int i = find(owner, key);
    if (i < 0)
        return false;
    m_registrations[i].enabled = enable;
    emit changed();
    return true;
}

QList<PhysicalButtonRegistry::Registration> PhysicalButtonRegistry::registrations() const
{
    return m_registrations;
}

bool PhysicalButtonRegistry::press(const QString &key, int list, int index)
{
    for (const Registration &reg : qAsConst(m_registrations)) {
        if (reg.key != key || !reg.enabled)
            continue;
        // Only two rows exist; any other list number names no button.
        if (list != 0 && list != 1)
            return false;
        const QList<PhysicalButton> &buttons = list == 0 ? reg.list1 : reg.list2;
        if (index < 0 || index >= buttons.size() || !buttons.at(index).action)
            return false;
        const ButtonCallback action = buttons.at(index).action;
        action();
        return true;
    }
    return false;
}

int PhysicalButtonRegistry::find(QObject *owner, const QString &key) const
{
    for (int i = 0; i < m_registrations.size(); ++i) {
        if (m_registrations.at(i).owner == owner && m_registrations.at(i).key == key)
            return i;
    }
    return -1;
}

bool registerPhysicalButtons(QObject *owner, const QString &key,
                             const QList<PhysicalButton> &list1,
                             const QList<PhysicalButton> &list2, const QStringList &names)
{
    return PhysicalButtonRegistry::instance()->registerButtons(owner, key, list1, list2, names);
}

bool enableRegisterPhysicalButtons(QObject *owner, const QString &key, bool enable)
{
    return PhysicalButtonRegistry::instance()->enable(owner, key, enable);
}

} // namespace mirel
