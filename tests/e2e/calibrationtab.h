#pragma once

#include "pages/calibwidget.h"
#include "pages/dhparameterwidget.h"
#include "pages/setupwidget.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QWidget>

#include <memory>

// The calibration tab assembled by hand, wired as the plug-in's main page wires it: setup page
// and run card on the left, result card on the right.
inline std::unique_ptr<QWidget> makeCalibrationTab()
{
    auto tab = std::make_unique<QWidget>();
    auto *row = new QHBoxLayout(tab.get());
    auto *left = new QVBoxLayout();
    row->addLayout(left, 1);
    left->addWidget(setupWidget::instance(tab.get()), 3);
    left->addWidget(calibWidget::instance(tab.get()), 1);
    row->addWidget(dhparameterWidget::instance(tab.get()), 1);
    dhparameterWidget *result = dhparameterWidget::instance();
    calibWidget *run = calibWidget::instance();
    setupWidget *setup = setupWidget::instance();
    QObject::connect(result, &dhparameterWidget::giveupBtnSignals, run, &calibWidget::resetAll);
    QObject::connect(result, &dhparameterWidget::giveupBtnSignals, setup,
                     &setupWidget::resetAll);
    QObject::connect(result, &dhparameterWidget::confirmBtnSingals, run, &calibWidget::resetAll);
    QObject::connect(result, &dhparameterWidget::confirmBtnSingals, setup,
                     &setupWidget::resetAll);
    QObject::connect(setup, &setupWidget::autoApplyToggled, result,
                     &dhparameterWidget::onAutoApplyToggled);
    tab->resize(1000, 600);
    return tab;
}
