#include "cardframe.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

void drawCardFrame(QWidget *widget, QPainter &painter, const QString &caption,
                   Qt::Alignment captionAlignment)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    QFont font = painter.font();
    font.setWeight(75);
    font.setPointSize(font.pointSize() > 0 ? font.pointSize() + 4 : 12);
    const QFontMetrics metrics(font);
    const QRect title(14, 0, metrics.horizontalAdvance(caption) + 12, metrics.height() + 6);

    QRectF card = QRectF(widget->rect()).adjusted(1, 0, -1, -1);
    card.setTop(title.center().y());
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(card, 10, 10);
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(card, 10, 10);

    painter.fillRect(title, Qt::white);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(title.adjusted(6, 3, -6, -3), captionAlignment, caption);
}
