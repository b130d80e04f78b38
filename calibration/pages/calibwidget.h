#pragma once

#include <QWidget>

#include "common/records.h"

// The calibration run card: starts the pose collector and follows its progress.
class calibWidget : public QWidget
{
    Q_OBJECT

public:
    static calibWidget *instance(QWidget *parent = nullptr);
    ~calibWidget() override;

signals:
    void isAllOptionsSelect(bool &isSelected);
    void isSNEmpty();
    void writeIntoJson();
    void changeBtnsStatus(bool enable);
    void calibrationDoneVec(bool isReset);
    void calibrationDoneStr(QString calibAvgPosError, QString validAvgPosError);
    void qualityGateFailed(common::QualityGateResult result);

public slots:
    void resetAll();

private:
    explicit calibWidget(QWidget *parent = nullptr);
};
