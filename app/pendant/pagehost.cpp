#include "pagehost.h"

#include <QEvent>
#include <QStackedWidget>

PageHost::PageHost(QStackedWidget *pages, QWidget *parent)
    : QWidget(parent)
    , m_pages(pages)
{
    m_pages->setParent(this);
    followCurrentPage();
}

QSize PageHost::sizeHint() const
{
    return m_pages->sizeHint();
}

QSize PageHost::minimumSizeHint() const
{
    return m_pages->minimumSizeHint().expandedTo(m_pages->minimumSize());
}

bool PageHost::hasHeightForWidth() const
{
    const QWidget *page = m_pages->currentWidget();
    return page && page->hasHeightForWidth();
}

int PageHost::heightForWidth(int width) const
{
    const QWidget *page = m_pages->currentWidget();
    return page ? page->heightForWidth(width) : -1;
}

void PageHost::followCurrentPage()
{
    // The scroll area asks the size policy whether the height follows the width.
    const QWidget *page = m_pages->currentWidget();
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(page && page->hasHeightForWidth());
    setSizePolicy(policy);
    updateGeometry();
}

bool PageHost::event(QEvent *event)
{
    // A page that changed its needs asks its parent, the host, which passes it on.
    if (event->type() == QEvent::LayoutRequest)
        followCurrentPage();
    return QWidget::event(event);
}

void PageHost::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_pages->setGeometry(rect());
}
