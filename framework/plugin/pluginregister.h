#pragma once

#include <tessel/tessel_global.h>

#include <QHash>
#include <QString>

#include <functional>

class QObject;

namespace tessel {

class PluginBase;

/// The registry of plug-ins by name. A plug-in library registers its creator while it loads
/// (from a static initialiser); the registry makes the name known to the host, which then
/// instantiates the plug-in's module. Use the process-wide tesselFactory(). Copies share the
/// table. Not locked: register from static initialisers and the GUI thread only.
class TESSEL_EXPORT PluginRegister
{
public:
    /// Makes a new plug-in with the given parent, its host module.
    using Creator = std::function<PluginBase *(QObject *)>;

    /// An empty registry.
    PluginRegister();
    /// Shares `other`'s table.
    PluginRegister(const PluginRegister &other);
    /// Shares `other`'s table.
    PluginRegister &operator=(const PluginRegister &other);
    /// Releases the table.
    ~PluginRegister();

    /// Registers `creator` under the plug-in name `name` and announces the name to the host's
    /// module factory. The first registration of a name wins: a later one is dropped, as is an
    /// empty creator.
    void regist(const QString &name, Creator creator);
    /// Calls the creator registered under `name` with `parent`. Null when nothing is
    /// registered under `name` or the creator returned null.
    PluginBase *create(const QString &name, QObject *parent);
    /// Forgets the creator registered under `name`; nothing happens when there is none.
    void cancel(const QString &name);

private:
    QHash<QString, Creator> m_creators;
};

/// The process-wide registry, made on first use (thread-safe) and destroyed at exit.
TESSEL_EXPORT PluginRegister &tesselFactory();

} // namespace tessel
