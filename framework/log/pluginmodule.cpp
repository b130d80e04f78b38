#include "pluginmodule_p.h"

#include "logline.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/qflog.h>
#include <nabuSkald/bmodule.h>

namespace tessel {

int findPluginModule(const QString &pluginName, const QString &function,
                     const QString &loggedName, skald::BModule **module)
{
    if (pluginName.isEmpty())
        return -1;
    skald::BModule *found = skald::bModule(fullModuleName(pluginName));
    if (!found) {
        nabu::QFLog(logColour(LogKind::Error), logTag(LogKind::Error),
                    logLocation(function, __LINE__), QStringLiteral("./log/tessel"),
                    QStringLiteral("log"))
            << "<tessel interfacemanager>" << loggedName << " unuseful";
        return -2;
    }
    if (module)
        *module = found;
    return 0;
}

QString shortModuleName(const QString &pluginName)
{
    return nabu::mName(QStringLiteral("nabu"), pluginName);
}

QString fullModuleName(const QString &pluginName)
{
    return nabu::mName(QStringLiteral("nabu"), QStringLiteral("tessel"), pluginName);
}

} // namespace tessel
