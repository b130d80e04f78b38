#include "centerwidget.h"

namespace skald {

namespace {
QPointer<CenterWidget> s_instance;
} // namespace

CenterWidget::CenterWidget(QWidget *parent)
    : QStackedWidget(parent)
{
    setObjectName(QStringLiteral("centerWidget"));
    s_instance = this;
}

CenterWidget::~CenterWidget()
{
    if (s_instance == this)
        s_instance = nullptr;
}

bool CenterWidget::addPage(QObject *owner, const QString &key, QWidget *widget)
{
    // One widget under two keys would leave the second key pointing outside the stack once the
    // first is removed.
    if (!widget || key.isEmpty() || m_pages.contains(key) || indexOf(widget) >= 0)
        return false;
    addWidget(widget);
    m_pages.insert(key, Page{owner, widget, widget});
    m_order.append(key);
    // A page widget deleted by someone else frees its key; the stack drops it by itself.
    connect(widget, &QObject::destroyed, &m_watch, [this, key, widget] {
        const auto it = m_pages.find(key);
        if (it == m_pages.end() || it->raw != widget)
            return;
        m_pages.erase(it);
        m_order.removeAll(key);
        emit pagesChanged();
    });
    if (owner) {
        connect(owner, &QObject::destroyed, &m_watch,
                [this, owner] { dropPagesOf(owner); });
    }
    emit pagesChanged();
    return true;
}

bool CenterWidget::removeItem(QObject *owner, const QString &key, bool deleteWidget)
{
    Q_UNUSED(owner)
    const auto it = m_pages.find(key);
    if (it == m_pages.end())
        return false;
    QPointer<QWidget> widget = it->widget;
    m_pages.erase(it);
    m_order.removeAll(key);
    if (widget) {
        disconnect(widget, &QObject::destroyed, &m_watch, nullptr);
        removeWidget(widget);
        if (deleteWidget)
            delete widget.data();
        else
            widget->setParent(nullptr);
    }
    emit pagesChanged();
    return true;
}

bool CenterWidget::showPage(const QString &key)
{
    QWidget *widget = page(key);
    if (!widget)
        return false;
    setCurrentWidget(widget);
    return true;
}

QStringList CenterWidget::pageKeys() const
{
    return m_order;
}

QWidget *CenterWidget::page(const QString &key) const
{
    return m_pages.value(key).widget.data();
}

QString CenterWidget::currentKey() const
{
    for (auto it = m_pages.constBegin(); it != m_pages.constEnd(); ++it) {
        if (it->widget && it->widget == currentWidget())
            return it.key();
    }
    return QString();
}

// An owner that goes without removing its pages takes them along.
void CenterWidget::dropPagesOf(QObject *owner)
{
    const QStringList keys = m_order;
    for (const QString &key : keys) {
        const Page page = m_pages.value(key);
        if (page.owner == owner)
            removeItem(owner, key, true);
    }
}

CenterWidget *instantiatedCenterWidget()
{
    return s_instance.data();
}

} // namespace skald
