#include "setupwidget.h"

#include "plugin/pageinstance.h"

// Placeholder until the page is built; keeps the plug-in linkable meanwhile.
setupWidget *setupWidget::instance(QWidget *parent)
{
    static QPointer<setupWidget> page;
    return pageInstance(page, parent, [](QWidget *p) { return new setupWidget(p); });
}

setupWidget::setupWidget(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("setupWidget"));
}

setupWidget::~setupWidget() = default;

void setupWidget::refreshDHTable() {}

void setupWidget::loadDHParamsFromController() {}

void setupWidget::writeIntoJson() {}

void setupWidget::isAllOptionsSelect(bool &) {}

void setupWidget::isSNEmpty() {}

void setupWidget::resetAll() {}
