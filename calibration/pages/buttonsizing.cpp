#include "buttonsizing.h"

#include <QWidget>

void applyActionButtonSizing(QWidget *button)
{
    button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    button->setMinimumHeight(25);
    button->setMaximumHeight(75);
    button->setMinimumWidth(200);
    button->setMaximumWidth(300);
}
