#include "throwlog.h"

#include "pluginmodule_p.h"

#include "tessellog_p.h"

#include <mirel/managerhelper.h>
#include <nabuCore/modulemanager.h>
#include <nabuSkald/bmodule.h>

namespace tessel {

namespace {

QString levelName(enThrowLogLevel level)
{
    switch (level) {
    case enWarning:
        return QStringLiteral("warning");
    case enError:
        return QStringLiteral("error");
    case enInfo:
        break;
    }
    return QStringLiteral("info");
}

} // namespace

int ThrowLog(const QString &pluginName, enThrowLogLevel level, const QString &text)
{
    skald::BModule *module = nullptr;
    const int status = findPluginModule(pluginName, QStringLiteral("tessel::ThrowLog"),
                                        shortModuleName(pluginName), &module);
    if (status != 0)
        return status;
    mirel::ManagerHelper::throwLog(module, levelName(level), text);
    return 0;
}

} // namespace tessel
