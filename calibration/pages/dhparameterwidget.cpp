#include "dhparameterwidget.h"

#include "plugin/pageinstance.h"

// Placeholder until the page is built; keeps the plug-in linkable meanwhile.
dhparameterWidget *dhparameterWidget::instance(QWidget *parent)
{
    static QPointer<dhparameterWidget> page;
    return pageInstance(page, parent, [](QWidget *p) { return new dhparameterWidget(p); });
}

dhparameterWidget::dhparameterWidget(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("dhparameterWidget"));
}

dhparameterWidget::~dhparameterWidget() = default;

void dhparameterWidget::initTableWithData() {}

void dhparameterWidget::onAutoApplyToggled(bool) {}

void dhparameterWidget::changeBtnsStatus(bool) {}

void dhparameterWidget::writeDHResLabls(bool) {}

void dhparameterWidget::updateErrorLabels(QString, QString) {}

void dhparameterWidget::markQualityGateFailures(common::QualityGateResult) {}
