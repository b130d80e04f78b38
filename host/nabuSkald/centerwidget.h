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
        QWidget *raw = nullptr; // compared only: identifies the page once the widget is gone
    };
    void dropPagesOf(QObject *owner);

    QStringList m_order;
    QHash<QString, Page> m_pages;
    // Receives the widget and owner watches. Declared last, so it goes first: widgets deleted
    // by QWidget's destructor afterwards find no handler working on members already gone.
    QObject m_watch;
};

// The centre area the host has made, or null.
NABUSKALD_EXPORT CenterWidget *instantiatedCenterWidget();

} // namespace skald
