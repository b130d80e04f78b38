#pragma once

#include <QWidget>

#include "common/records.h"

// The calibration result card: original and optimised DH parameters, apply and give up.
class dhparameterWidget : public QWidget
{
    Q_OBJECT

public:
    static dhparameterWidget *instance(QWidget *parent = nullptr);
    ~dhparameterWidget() override;

signals:
    void giveupBtnSignals();
    void confirmBtnSingals();

public slots:
    void initTableWithData();
    void onAutoApplyToggled(bool checked);
    void changeBtnsStatus(bool enable);
    void writeDHResLabls(bool isReset = false);
    void updateErrorLabels(QString validAvgPosError, QString validMaxPosError);
    void markQualityGateFailures(common::QualityGateResult result);

private:
    explicit dhparameterWidget(QWidget *parent = nullptr);
};
