#pragma once

#include <QWidget>

// The information tab: logo, usage steps, mode introduction and versions.
class infoWidget : public QWidget
{
    Q_OBJECT

public:
    static infoWidget *instance(QWidget *parent = nullptr);
    ~infoWidget() override;

private:
    explicit infoWidget(QWidget *parent = nullptr);
};
