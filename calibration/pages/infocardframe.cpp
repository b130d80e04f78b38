#include "infocardframe.h"

#include "cardframe.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

InfoCardFrame::InfoCardFrame(QWidget *parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
    setAttribute(Qt::WA_StyledBackground, true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

QString InfoCardFrame::title() const
{
    return m_title;
}

void InfoCardFrame::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    update();
}

void InfoCardFrame::paintEvent(QPaintEvent *event)
{
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    if (!m_title.isEmpty()) {
        drawCardFrame(this, painter, m_title, Qt::AlignCenter);
    } else {
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 10, 10);
    }
    painter.end();
    QFrame::paintEvent(event);
}
