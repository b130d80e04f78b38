#pragma once

#include <tessel/tessel_global.h>

#include <QHash>
#include <QString>

#include <functional>

class QObject;

namespace tessel {

class PluginBase;

// The registry of plug-ins by name. A plug-in library registers its creator while it loads;
// the registry makes the name known to the host, which then instantiates the plug-in's module.
// Copies share the table (implicitly shared).
class TESSEL_EXPORT PluginRegister
{
public:
    using Creator = std::function<PluginBase *(QObject *)>;

    PluginRegister();
    PluginRegister(const PluginRegister &other);
    PluginRegister &operator=(const PluginRegister &other);
    ~PluginRegister();

    // The first registration of a name wins; an empty creator is refused.
    void regist(const QString &name, Creator creator);
    // Null when nothing is registered under `name` or the creator failed.
    PluginBase *create(const QString &name, QObject *parent);
    void cancel(const QString &name);

private:
    QHash<QString, Creator> m_creators;
};

// The process-wide registry.
TESSEL_EXPORT PluginRegister &tesselFactory();

} // namespace tessel
