#pragma once

#include "nabuskald_global.h"

#include <QHash>
#include <QPointer>
#include <QStackedWidget>

namespace skald {

// The host's centre area: one page per key; a page leaves when its owner is destroyed.
class NABUSKALD_EXPORT CenterWidget : public QStackedWidget
{
    Q_OBJECT

public:
    explicit CenterWidget(QWidget *parent = nullptr);
    ~CenterWidget() override;

    // False when the key is taken or the widget is null.
    bool addPage(QObject *owner, const QString &key, QWidget *widget);
    // Takes the page out; with deleteWidget false the widget is handed back parentless.
    bool removeItem(QObject *owner, const QString &key, bool deleteWidget = true);
    bool showPage(const QString &key);

    QStringList pageKeys() const;
    QWidget *page(const QString &key) const;
    QString currentKey() const;

signals:
    void pagesChanged();

private:
    struct Page
    {
        QObject *owner = nullptr; // compared only, never dereferenced
        QPointer<QWidget> widget;
    };
    void dropPagesOf(QObject *owner);

    QStringList m_order;
    QHash<QString, Page> m_pages;
};

// The centre area the host has made, or null.
NABUSKALD_EXPORT CenterWidget *instantiatedCenterWidget();

} // namespace skald
