#include "buttonsizing.h"

#include <QWidget>

void applyActionButtonSizing(QWidget *button)
{
    button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    button->setMinimumHeight(25);
    button->setMaximumHeight(75);
    // As narrow as its text allows: two buttons side by side fit a card on a pendant's screen.
    button->setMinimumWidth(0);
    button->setMaximumWidth(300);
}
