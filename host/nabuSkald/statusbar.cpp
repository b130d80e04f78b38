#include "statusbar.h"

#include <QHBoxLayout>
#include <QLabel>

namespace skald {

namespace {
QPointer<StatusBar> s_instance;
QPointer<StatusBar> s_fallback;
} // namespace

StatusBar::StatusBar(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    setObjectName(QStringLiteral("statusBar"));
    m_layout->setContentsMargins(4, 2, 4, 2);
    const QStringList keys = hostItemKeys();
    for (const QString &key : keys) {
        QWidget *widget = nullptr;
        if (key.endsWith(QLatin1String("wgtStrech2"))) {
            widget = new QWidget(this);
            widget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        } else {
            widget = new QLabel(this);
        }
        widget->setObjectName(key);
        insertAt(nullptr, key, m_order.size(), widget);
    }
    if (!s_instance || s_instance == s_fallback)
        s_instance = this;
}

StatusBar::~StatusBar()
{
    if (s_instance == this)
        s_instance = nullptr;
}

QStringList StatusBar::hostItemKeys()
{
    return {QStringLiteral("rovan.body.statuspage.robot"),
            QStringLiteral("rovan.body.statuspage.wgtStrech2"),
            QStringLiteral("rovan.body.statuspage.link")};
}

bool StatusBar::addItem(QObject *owner, const QString &key, QWidget *widget)
{
    return insertAt(owner, key, m_order.size(), widget);
}

bool StatusBar::addBeforeItem(QObject *owner, const QString &key, const QString &before,
                              QWidget *widget)
{
    const int pos = m_order.indexOf(before);
    if (pos < 0)
        return false;
    return insertAt(owner, key, pos, widget);
}

bool StatusBar::removeItem(QObject *owner, const QString &key)
{
    Q_UNUSED(owner)
    if (!m_items.contains(key) || hostItemKeys().contains(key))
        return false;
    QPointer<QWidget> widget = m_items.take(key);
    m_owners.remove(key);
    m_order.removeAll(key);
    if (widget)
        disconnect(widget, &QObject::destroyed, &m_watch, nullptr);
    delete widget.data();
    emit itemsChanged();
    return true;
}

QStringList StatusBar::itemKeys() const
{
    return m_order;
}

QWidget *StatusBar::item(const QString &key) const
{
    return m_items.value(key).data();
}

bool StatusBar::insertAt(QObject *owner, const QString &key, int pos, QWidget *widget)
{
    // A widget under two keys would sit in the row once and break the key-to-position mapping.
    if (!widget || key.isEmpty() || m_items.contains(key) || m_layout->indexOf(widget) >= 0)
        return false;
    m_layout->insertWidget(pos, widget);
    m_order.insert(pos, key);
    m_items.insert(key, widget);
    m_owners.insert(key, owner);
    // An item widget deleted by someone else leaves the layout by itself; its key must go too,
    // or every later position would be one off.
    connect(widget, &QObject::destroyed, &m_watch, [this, key, widget] {
        const auto it = m_items.find(key);
        if (it == m_items.end() || (!it->isNull() && it->data() != widget))
            return;
        m_items.erase(it);
        m_owners.remove(key);
        m_order.removeAll(key);
        emit itemsChanged();
    });
    if (owner)
        connect(owner, &QObject::destroyed, &m_watch, [this, owner] { dropItemsOf(owner); });
    emit itemsChanged();
    return true;
}

void StatusBar::dropItemsOf(QObject *owner)
{
    const QStringList keys = m_order;
    for (const QString &key : keys) {
        if (m_owners.value(key) == owner && !hostItemKeys().contains(key))
            removeItem(owner, key);
    }
}

StatusBar *instantiatedStatusBar(QObject *owner)
{
    Q_UNUSED(owner)
    if (!s_instance) {
        // The framework uses the status bar without testing it, so there always is one.
        if (!s_fallback)
            s_fallback = new StatusBar(nullptr);
        s_instance = s_fallback;
    }
    return s_instance.data();
}

} // namespace skald
