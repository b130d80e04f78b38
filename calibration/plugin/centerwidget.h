#pragma once

#include <QWidget>

class QButtonGroup;

namespace Ui {
class centerWidget;
}

// The plug-in's main page: three navigation buttons over the information, calibration and ISO
// tabs. It places the page instances and ties the calibration tab's pages together.
class centerWidget : public QWidget
{
    Q_OBJECT

public:
    explicit centerWidget(QWidget *parent = nullptr);
    ~centerWidget() override;

private:
    void placePages();
    void wireCalibrationTab();
    void applyNavStyles();
    void fitToCurrentTab();

    Ui::centerWidget *ui;
    QButtonGroup *navGroup;
};
