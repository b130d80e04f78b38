#pragma once

#include "nabuskald_global.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

class QHBoxLayout;

namespace skald {

// The host's status bar: keyed items in a row. The host's own items are always there.
class NABUSKALD_EXPORT StatusBar : public QWidget
{
    Q_OBJECT

public:
    explicit StatusBar(QWidget *parent = nullptr);
    ~StatusBar() override;

    static QStringList hostItemKeys();

    bool addItem(QObject *owner, const QString &key, QWidget *widget);
    // Puts `widget` under `key` in front of the item `before`; false when the key is taken,
    // `before` is unknown or the widget is null.
    bool addBeforeItem(QObject *owner, const QString &key, const QString &before,
                       QWidget *widget);
    bool removeItem(QObject *owner, const QString &key);

    QStringList itemKeys() const;
    QWidget *item(const QString &key) const;

signals:
    void itemsChanged();

private:
    bool insertAt(QObject *owner, const QString &key, int pos, QWidget *widget);
    void dropItemsOf(QObject *owner);

    QHBoxLayout *m_layout;
    QStringList m_order;
    QHash<QString, QPointer<QWidget>> m_items;
    QHash<QString, QObject *> m_owners; // compared only, never dereferenced
    // Receives the widget and owner watches. Declared last, so it goes first: widgets deleted
    // by QWidget's destructor afterwards find no handler working on members already gone.
    QObject m_watch;
};

// The host's status bar; one is made (hidden) when the host shows none.
NABUSKALD_EXPORT StatusBar *instantiatedStatusBar(QObject *owner = nullptr);

} // namespace skald
