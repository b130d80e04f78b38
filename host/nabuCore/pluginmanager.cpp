#include "pluginmanager.h"

namespace nabu {

PluginCreatorManager &pluginManager()
{
    static PluginCreatorManager manager(QStringLiteral("pluginManager"));
    return manager;
}

} // namespace nabu
