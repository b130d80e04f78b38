#pragma once

// The page the framework gives each plug-in in the host's centre area. Internal.

#include "tessel_global.h"

#include <mirel/basesettingpage.h>

namespace tessel {

class TESSEL_EXPORT PluginSettingPage : public mirel::BaseSettingPage
{
    Q_OBJECT

public:
    PluginSettingPage(const QString &type, const QString &name, QWidget *parentWidget,
                      QObject *owner);

    // Puts a widget into the page's content row.
    void addContentWidget(QWidget *widget);
};

} // namespace tessel
