#include "pluginui.h"

#include "log/tessellog_p.h"
#include "plugin/pluginsettingpage_p.h"
#include "plugin/tessel_p.h"
#include "log/pluginmodule_p.h"

#include <mirel/physicalbutton.h>
#include <nabuCore/modulemanager.h>
#include <nabuSkald/statusbar.h>

#include <QIcon>

namespace tessel {

namespace {

const QString kStatusBarAnchor = QStringLiteral("rovan.body.statuspage.wgtStrech2");

QList<mirel::PhysicalButton> toHostButtons(const QList<PhysicalButton> &buttons)
{
    QList<mirel::PhysicalButton> converted;
    converted.reserve(buttons.size());
    for (const PhysicalButton &button : buttons)
        converted.append(mirel::PhysicalButton{button.text, QIcon(button.iconPath),
                                               QIcon(button.iconPath2), button.action});
    return converted;
}

} // namespace

int CreateCenterWidget(const QString &pluginName, QWidget *widget)
{
    skald::BModule *module = nullptr;
    const int status = findPluginModule(pluginName, QStringLiteral("tessel::CreateCenterWidget"),
                                        shortModuleName(pluginName), &module);
    if (status != 0)
        return status;
    auto *tessel = qobject_cast<Tessel *>(module);
    if (!widget)
        return 0;
    // Without a page in the host nobody would own the widget: the caller must keep it.
    if (!tessel || !tessel->settingPage()) {
        TESSEL_LOG(Error, "tessel::CreateCenterWidget") << "no page in the host for " << pluginName;
        return -3;
    }
    tessel->settingPage()->addContentWidget(widget);
    return 0;
}

int CreateStatusBar(const QString &pluginName, QWidget *widget, int index)
{
    skald::BModule *module = nullptr;
    const int status = findPluginModule(pluginName, QStringLiteral("tessel::CreateStatusBar"),
                                        fullModuleName(pluginName), &module);
    if (status != 0)
        return status;
    if (widget) {
        const auto *tessel = qobject_cast<Tessel *>(module);
        const QString name = tessel ? tessel->pluginName() : pluginName;
        skald::instantiatedStatusBar(module)->addBeforeItem(
            module, nabu::mName(QStringLiteral("tessel"), name, QString::number(index)),
            kStatusBarAnchor, widget);
    }
    return 0;
}

// The names stay by value: plug-ins are built against this exported signature.
int CreatePhyButtonList(const QString &pluginName, const QString &key,
                        const QList<PhysicalButton> &list1, const QList<PhysicalButton> &list2,
                        QStringList names) // NOLINT(performance-unnecessary-value-param): ABI
{
    skald::BModule *module = nullptr;
    const int status = findPluginModule(pluginName, QStringLiteral("tessel::CreatePhyButtonList"),
                                        fullModuleName(pluginName), &module);
    if (status != 0)
        return status;
    mirel::registerPhysicalButtons(module, key, toHostButtons(list1), toHostButtons(list2), names);
    return 0;
}

int ChangePhyButtonStatus(const QString &pluginName, const QString &key, bool enable)
{
    skald::BModule *module = nullptr;
    const int status = findPluginModule(pluginName,
                                        QStringLiteral("tessel::ChangePhyButtonStatus"),
                                        fullModuleName(pluginName), &module);
    if (status != 0)
        return status;
    mirel::enableRegisterPhysicalButtons(module, key, enable);
    return 0;
}

int GetPluginDataPath(QString &path, const QString &pluginName)
{
    const int status = findPluginModule(pluginName, QStringLiteral("tessel::GetPluginDataPath"),
                                        shortModuleName(pluginName), nullptr);
    if (status != 0)
        return status;
    path = QStringLiteral("upgrade/plugins/client/%1/data/").arg(pluginName);
    return 0;
}

} // namespace tessel
