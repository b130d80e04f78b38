#pragma once

#include <tessel/tessel_global.h>
#include <tessel/ui/physicalbutton.h>

#include <QList>
#include <QStringList>

class QWidget;

namespace tessel {

// Placing a plug-in's user interface into the host, addressed by the plug-in's registered name.
// Each returns 0 on success, -1 for an empty name and -2 when the plug-in has no host module.

// Adds `widget` to the plug-in's page; the host owns it from then on. -3 when the plug-in's
// module has no page (the host has no centre area): the widget is not taken.
TESSEL_EXPORT int CreateCenterWidget(const QString &pluginName, QWidget *widget);
// Puts `widget` into the host's status bar; different `index` values give different items.
TESSEL_EXPORT int CreateStatusBar(const QString &pluginName, QWidget *widget, int index);
TESSEL_EXPORT int CreatePhyButtonList(const QString &pluginName, const QString &key,
                                      const QList<PhysicalButton> &list1,
                                      const QList<PhysicalButton> &list2, QStringList names);
TESSEL_EXPORT int ChangePhyButtonStatus(const QString &pluginName, const QString &key,
                                        bool enable);
// Sets `path` to "upgrade/plugins/client/<pluginName>/data/"; unchanged on failure.
TESSEL_EXPORT int GetPluginDataPath(QString &path, const QString &pluginName);

} // namespace tessel
