#pragma once

#include <QWidget>

class InfoCardFrame;
class QHBoxLayout;
class QLabel;
class QVBoxLayout;

// The information tab: logo, usage steps, mode introduction and versions. Filled once, when
// it is made.
class infoWidget : public QWidget
{
    Q_OBJECT

public:
    static infoWidget *instance(QWidget *parent = nullptr);
    ~infoWidget() override;

private:
    explicit infoWidget(QWidget *parent = nullptr);

    void setupUi();
    void retranslateUi();
    void fill();
    void resizeEvent(QResizeEvent *event) override;

    QVBoxLayout *mainLayout = nullptr;
    QLabel *logoLabel = nullptr;
    InfoCardFrame *usageCard = nullptr;
    QVBoxLayout *usageLayout = nullptr;
    QLabel *usageTitleLabel = nullptr;
    QLabel *usageLabel = nullptr;
    QHBoxLayout *bottomCardsLayout = nullptr;
    InfoCardFrame *modeIntroCard = nullptr;
    QVBoxLayout *modeIntroLayout = nullptr;
    QLabel *modeIntroTitleLabel = nullptr;
    QLabel *modeIntroLabel = nullptr;
    InfoCardFrame *versionCard = nullptr;
    QVBoxLayout *versionLayout = nullptr;
    QLabel *versionTitleLabel = nullptr;
    QLabel *versionValueLabel = nullptr;
};
