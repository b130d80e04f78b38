#pragma once

#include "creatormanager.h"
#include "nabucore_global.h"

namespace nabu {

using PluginCreatorManager = CreatorManager<int()>;

// The host's registry of plug-in entry creators.
NABUCORE_EXPORT PluginCreatorManager &pluginManager();

} // namespace nabu
