#include "elidedpathlabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace {

// Room for a drive, the ellipsis and a few letters of the last folder.
constexpr int kMinimumCharacters = 12;

} // namespace

ElidedPathLabel::ElidedPathLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QString ElidedPathLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, qMax(0, contentsRect().width()));
}

bool ElidedPathLabel::isElided() const
{
    return shownText() != text();
}

QSize ElidedPathLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return QSize(fontMetrics().averageCharWidth() * kMinimumCharacters + margins.left()
                     + margins.right(),
                 fontMetrics().height() + margins.top() + margins.bottom());
}

QSize ElidedPathLabel::sizeHint() const
{
    const QMargins margins = contentsMargins();
    return QSize(fontMetrics().horizontalAdvance(text()) + margins.left() + margins.right(),
                 minimumSizeHint().height());
}

bool ElidedPathLabel::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty() && !text().isEmpty()) {
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text(), this);
        return true;
    }
    return QLabel::event(event);
}

void ElidedPathLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect room = contentsRect();
    style()->drawItemText(&painter, room, QStyle::visualAlignment(layoutDirection(), alignment()),
                          palette(), isEnabled(), shownText(), foregroundRole());
}
