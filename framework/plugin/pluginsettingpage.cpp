#include "pluginsettingpage_p.h"

#include <QHBoxLayout>
#include <QWidget>

namespace tessel {

PluginSettingPage::PluginSettingPage(const QString &type, const QString &name,
                                     QWidget *parentWidget, QObject *owner)
    : mirel::BaseSettingPage(type, name, parentWidget, owner)
{
    titleWgt()->setVisible(false);
    auto *layout = new QHBoxLayout(contentWgt());
    layout->setContentsMargins(0, 0, 0, 0);
}

void PluginSettingPage::addContentWidget(QWidget *widget)
{
    if (widget)
        contentWgt()->layout()->addWidget(widget);
}

} // namespace tessel
