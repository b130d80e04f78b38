#pragma once

#include "mirel_global.h"

#include <QIcon>
#include <QObject>
#include <QStringList>

#include <functional>

namespace mirel {

using ButtonCallback = std::function<void()>;

// A button on the pendant's frame.
struct PhysicalButton
{
    QString text;
    QIcon icon;
    QIcon icon2;
    ButtonCallback action;
};

// The host's registry of physical-button sets, keyed by owner and key.
class MIREL_EXPORT PhysicalButtonRegistry : public QObject
{
    Q_OBJECT

public:
    struct Registration
    {
        QObject *owner = nullptr; // compared only
        QString key;
        QList<PhysicalButton> list1;
        QList<PhysicalButton> list2;
        QStringList names;
        bool enabled = true;
    };

    static PhysicalButtonRegistry *instance();

    bool registerButtons(QObject *owner, const QString &key, const QList<PhysicalButton> &list1,
                         const QList<PhysicalButton> &list2, const QStringList &names);
    bool enable(QObject *owner, const QString &key, bool enable);
    QList<Registration> registrations() const;
    // Runs a button's action if its set is enabled; false otherwise.
    bool press(const QString &key, int list, int index);

signals:
    void changed();

private:
    using QObject::QObject;
    int find(QObject *owner, const QString &key) const;

    QList<Registration> m_registrations;
};

MIREL_EXPORT bool registerPhysicalButtons(QObject *owner, const QString &key,
                                          const QList<PhysicalButton> &list1,
                                          const QList<PhysicalButton> &list2,
                                          const QStringList &names);
MIREL_EXPORT bool enableRegisterPhysicalButtons(QObject *owner, const QString &key, bool enable);

} // namespace mirel
