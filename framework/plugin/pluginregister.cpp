#include "pluginregister.h"

#include "log/tessellog_p.h"
#include "pluginbase.h"
#include "tessel_p.h"

#include <nabuCore/moduleobject.h>
#include <nabuCore/pluginmanager.h>

#include <exception>

namespace tessel {

namespace {

// Tells one of the host's factories about a name, once.
template <typename Factory, typename Creator>
void announce(Factory &factory, const QString &name, Creator creator)
{
    if (factory.contains(name))
        return;
    factory.insert(name, std::move(creator));
    factory.mobj()->set(factory.mobj(), name, QVariant(), true);
}

} // namespace

PluginRegister::PluginRegister() = default;
PluginRegister::PluginRegister(const PluginRegister &other) = default;
PluginRegister &PluginRegister::operator=(const PluginRegister &other) = default;
PluginRegister::~PluginRegister() = default;

void PluginRegister::regist(const QString &name, Creator creator)
{
    // An empty creator would fail only later, inside the host, when the module is made.
    if (!creator) {
        TESSEL_LOG(Error, "tessel::PluginRegister::regist")
            << "refused an empty creator for plug-in " << name;
        return;
    }
    if (m_creators.contains(name))
        return;
    // QHash::insert would copy: Qt 5 has no inserting overload that moves.
    m_creators[name] = std::move(creator);

    announce(skald::bfactory(), name,
             [name](QObject *parent) -> skald::BModule * { return Tessel::create(name, parent); });
    announce(nabu::pluginManager(), name, [] { return -1; });
}

PluginBase *PluginRegister::create(const QString &name, QObject *parent)
{
    // A copy: a plug-in constructor that cancels its own registration removes the table's
    // callable while it runs.
    const Creator creator = m_creators.value(name);
    if (!creator)
        return nullptr;
    // The creator is the plug-in's code; what it throws must not reach the host.
    try {
        return creator(parent);
    } catch (const std::exception &e) {
        TESSEL_LOG(Error, "tessel::PluginRegister::create")
            << "creating plug-in " << name << " failed: " << QString::fromLocal8Bit(e.what());
    } catch (...) {
        TESSEL_LOG(Error, "tessel::PluginRegister::create")
            << "creating plug-in " << name << " failed";
    }
    return nullptr;
}

void PluginRegister::cancel(const QString &name)
{
    m_creators.remove(name);
}

PluginRegister &tesselFactory()
{
    static PluginRegister registry;
    return registry;
}

} // namespace tessel
