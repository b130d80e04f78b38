#include "infowidget.h"

#include "plugin/pageinstance.h"

// Placeholder until the page is built; keeps the plug-in linkable meanwhile.
infoWidget *infoWidget::instance(QWidget *parent)
{
    static QPointer<infoWidget> page;
    return pageInstance(page, parent, [](QWidget *p) { return new infoWidget(p); });
}

infoWidget::infoWidget(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("infoWidget"));
}

infoWidget::~infoWidget() = default;
