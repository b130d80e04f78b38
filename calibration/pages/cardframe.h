#pragma once

#include <QString>
#include <Qt>

class QPainter;
class QWidget;

// Paints a white rounded card over the widget with its caption set into the top edge.
void drawCardFrame(QWidget *widget, QPainter &painter, const QString &caption,
                   Qt::Alignment captionAlignment = Qt::AlignLeft | Qt::AlignVCenter);
