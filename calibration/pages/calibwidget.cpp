#include "calibwidget.h"

#include "plugin/pageinstance.h"

// Placeholder until the page is built; keeps the plug-in linkable meanwhile.
calibWidget *calibWidget::instance(QWidget *parent)
{
    static QPointer<calibWidget> page;
    return pageInstance(page, parent, [](QWidget *p) { return new calibWidget(p); });
}

calibWidget::calibWidget(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("calibWidget"));
}

calibWidget::~calibWidget() = default;

void calibWidget::resetAll() {}
