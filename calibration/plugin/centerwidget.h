#pragma once

#include <QWidget>

class QBoxLayout;
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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placePages();
    void wireCalibrationTab();
    void applyNavStyles();
    void fitToCurrentTab();
    static void arrangeCards(QWidget *tab, QBoxLayout *layout);

    Ui::centerWidget *ui;
    QButtonGroup *navGroup;
};
