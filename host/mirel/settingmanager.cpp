#include "settingmanager.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

namespace mirel {

namespace {
nabu::ModuleObject *settings()
{
    return nabu::m(QStringLiteral("mirel.setting"));
}
} // namespace

SettingManager::SettingManager(QObject *parent)
    : QObject(parent)
{
}

QString SettingManager::getStr(const QString &key, const QString &defaultValue) const
{
    return settings()->r(key)->getString(defaultValue);
}

void SettingManager::setStr(const QString &key, const QString &value)
{
    settings()->set(const_cast<SettingManager *>(this), key, value);
}

} // namespace mirel
