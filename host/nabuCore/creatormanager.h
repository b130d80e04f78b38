#pragma once

#include "moduleobject.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <memory>

namespace nabu {

template <typename Signature>
class CreatorManager;

// Creators keyed by name, in registration order, with a data node on which names are announced.
template <typename R, typename... Args>
class CreatorManager<R(Args...)>
{
public:
    using Creator = std::function<R(Args...)>;

    explicit CreatorManager(const QString &nodeName)
        : m_node(std::make_unique<ModuleObject>(nodeName))
    {
    }

    bool contains(const QString &name) const { return m_creators.contains(name); }

    // The first creator of a name stays; false when the name is taken or the creator is empty.
    bool insert(const QString &name, Creator creator)
    {
        if (!creator || m_creators.contains(name))
            return false;
        m_creators.insert(name, std::move(creator));
        m_order.append(name);
        return true;
    }

    bool remove(const QString &name)
    {
        m_order.removeAll(name);
        return m_creators.remove(name) > 0;
    }

    R create(const QString &name, Args... args) const
    {
        const auto it = m_creators.constFind(name);
        if (it == m_creators.constEnd())
            return R();
        return (*it)(std::forward<Args>(args)...);
    }

    QStringList keys() const { return m_order; }

    ModuleObject *mobj() const { return m_node.get(); }

private:
    QHash<QString, Creator> m_creators;
    QStringList m_order;
    std::unique_ptr<ModuleObject> m_node;
};

} // namespace nabu
