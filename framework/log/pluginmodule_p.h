#pragma once

#include <QString>

namespace skald {
class BModule;
}

namespace tessel {

// Finds the host module of a plug-in. Returns 0 with `*module` set, -1 for an empty name
// (silently), or -2 after one error line located at `function` that names `loggedName`.
int findPluginModule(const QString &pluginName, const QString &function,
                     const QString &loggedName, skald::BModule **module);

// The module names the error lines use.
QString shortModuleName(const QString &pluginName);
QString fullModuleName(const QString &pluginName);

} // namespace tessel
