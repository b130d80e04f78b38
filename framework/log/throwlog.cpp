#include "throwlog.h"

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
    if (pluginName.isEmpty())
        return -1;
    skald::BModule *module = skald::bModule(
        nabu::mName(QStringLiteral("nabu"), QStringLiteral("tessel"), pluginName));
    if (!module) {
        TESSEL_LOG(Error, "tessel::ThrowLog")
            << "<tessel interfacemanager>" << nabu::mName(QStringLiteral("nabu"), pluginName)
            << " unuseful";
        return -2;
    }
    mirel::ManagerHelper::throwLog(module, levelName(level), text);
    return 0;
}

} // namespace tessel
