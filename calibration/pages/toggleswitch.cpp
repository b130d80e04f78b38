#include "toggleswitch.h"

#include <QPainter>

ToggleSwitch::ToggleSwitch(QWidget *parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
}

QSize ToggleSwitch::sizeHint() const
{
    return QSize(44, 24);
}

QSize ToggleSwitch::minimumSizeHint() const
{
    return QSize(44, 24);
}

// No animation: the thumb jumps to its side when the state changes.
void ToggleSwitch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);

    QColor track(QStringLiteral("#BDBDBD"));
    if (!isEnabled())
        track = QColor(QStringLiteral("#E0E0E0"));
    else if (isChecked())
        track = QColor(QStringLiteral("#4CAF50"));
    const qreal radius = height() / 2.0;
    painter.setBrush(track);
    painter.drawRoundedRect(QRectF(rect()), radius, radius);

    const int diameter = height() - 4;
    const int x = isChecked() ? width() - diameter - 2 : 2;
    painter.setBrush(QColor(isEnabled() ? QStringLiteral("#FFFFFF") : QStringLiteral("#F5F5F5")));
    painter.drawEllipse(QRect(x, 2, diameter, diameter));
}
