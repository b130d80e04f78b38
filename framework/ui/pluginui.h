#pragma once

#include <tessel/tessel_global.h>
#include <tessel/ui/physicalbutton.h>

#include <QList>
#include <QStringList>

class QWidget;

namespace tessel {

/// @file
/// Placing a plug-in's user interface into the host, addressed by the plug-in's registered
/// name. Each function returns 0 on success, -1 for an empty name (silently) and -2, with an
/// error log line, when the plug-in has no host module. Call them on the GUI thread; none
/// blocks. A refusal inside the host is not reported: the function still returns 0.

/// Adds `widget` to the plug-in's page; the host owns it from then on. A null `widget` adds
/// nothing. -3 when the plug-in's module has no page (the host has no centre area): the widget
/// is not taken.
TESSEL_EXPORT int CreateCenterWidget(const QString &pluginName, QWidget *widget);
/// Puts `widget` into the host's status bar, in front of its item
/// "rovan.body.statuspage.wgtStrech2"; the host owns it.
/// Different `index` values give different items of one plug-in; a null `widget` adds nothing.
TESSEL_EXPORT int CreateStatusBar(const QString &pluginName, QWidget *widget, int index);
/// Registers the plug-in's physical buttons under `key`. The two lists and `names` are passed
/// to the host unchanged, record by record (icons loaded from the paths); their meaning is the
/// host's. The shipped examples pass one list of buttons, an empty second list and no names.
/// The host stand-in shows `list1` on the left and `list2` on the right of the emulator's
/// frame, keeps `names` without showing them, and replaces an earlier registration of the
/// same `key` by the same plug-in.
TESSEL_EXPORT int CreatePhyButtonList(const QString &pluginName, const QString &key,
                                      const QList<PhysicalButton> &list1,
                                      const QList<PhysicalButton> &list2, QStringList names);
/// Enables or disables the buttons registered under `key`; the host stand-in greys them out
/// and ignores their presses while disabled.
TESSEL_EXPORT int ChangePhyButtonStatus(const QString &pluginName, const QString &key,
                                        bool enable);
/// Sets `path` to the plug-in's data folder, "upgrade/plugins/client/<pluginName>/data/"
/// (relative to the host's current folder); unchanged on failure.
TESSEL_EXPORT int GetPluginDataPath(QString &path, const QString &pluginName);

} // namespace tessel
