#pragma once

#include <QWidget>

// The calibration setup page: mode, DH parameters to optimise, auto apply and serial number.
class setupWidget : public QWidget
{
    Q_OBJECT

public:
    static setupWidget *instance(QWidget *parent = nullptr);
    ~setupWidget() override;

    void refreshDHTable();
    void loadDHParamsFromController();

signals:
    void dhParamsReady();
    void setupWidgetReady();
    void autoApplyToggled(bool enabled);

public slots:
    void writeIntoJson();
    void isAllOptionsSelect(bool &isSelected);
    void isSNEmpty();
    void resetAll();

private:
    explicit setupWidget(QWidget *parent = nullptr);
};
