#pragma once

#include "nabucore_global.h"

#include <QHash>
#include <QJsonValue>
#include <QObject>
#include <QVariant>
#include <QVector>

namespace nabu {

// A node of the host's data tree: a key, a value and ordered children.
// A node is a list node (exported as a JSON array) or a keyed node (exported as an object);
// a node without children exports its own value.
class NABUCORE_EXPORT ModuleObject : public QObject
{
    Q_OBJECT

public:
    explicit ModuleObject(const QString &name = QString(), QObject *parent = nullptr);
    ~ModuleObject() override;

    QString name() const;
    ModuleObject *pmobj() const;

    bool isList() const;
    void setIsList(bool list);

    // Getters: an absent (invalid) value reads as the default.
    QVariant get(const QVariant &defaultValue = QVariant()) const;
    QString getString(const QString &defaultValue = QString()) const;
    int getInt(int defaultValue = 0) const;
    double getDouble(double defaultValue = 0.0) const;
    bool getBool(bool defaultValue = false) const;

    // Navigation. Lookups by key or path create what is missing, so they always yield a node.
    ModuleObject *c(const QString &name, bool caseInsensitive = false);
    ModuleObject *c(int index);
    ModuleObject *cmobj(const QString &name, bool caseInsensitive = false);
    QList<ModuleObject *> cmobjs(bool recursive = false) const;
    int cmobjCount() const;
    bool hasCmobj(const QString &name, bool caseInsensitive = false) const;
    int indexOf(const ModuleObject *child) const;
    ModuleObject *r(const QString &path);
    ModuleObject *rmobj(const QString &path);

    static QString generateId(const ModuleObject *node);

    // Writers: the first argument is the object on whose behalf the change is made.
    ModuleObject *set(QObject *source, const QString &path, const QVariant &value,
                      bool create = true);
    ModuleObject *set(QObject *source, const QVariant &value);
    void setList(QObject *source, const QVariantList &list, bool notify = true);
    ModuleObject *append(QObject *source, const QString &name = QString());
    ModuleObject *insert(QObject *source, ModuleObject *node, bool notify = true, int pos = -1);
    bool remove(QObject *source, ModuleObject *child, bool destroy = true);
    bool remove(QObject *source, const QString &name, bool destroy = true);
    void clear(QObject *source, bool destroy = true, bool notify = true);
    void copyFrom(QObject *source, const ModuleObject *other, bool deep = true,
                  bool notify = false);
    void importFromJson(QObject *source, const QJsonValue &value, bool replace = true,
                        bool notify = true, bool triggerParents = false);
    QJsonValue exportToJson(bool deep = true) const;
    void trigger(QObject *source = nullptr);
    void watch(bool on, bool recursive = false);
    bool isWatched() const;

signals:
    void changed(const QVariant &newValue, const QVariant &oldValue, QObject *source);
    void childAdded(nabu::ModuleObject *child);
    void childRemoved(const QString &name);

private:
    ModuleObject *childAt(const QString &segment, bool create);
    ModuleObject *lookup(const QString &name, bool caseInsensitive) const;
    ModuleObject *adopt(ModuleObject *child, int pos);
    ModuleObject *takeChild(int index);
    void importInto(const QJsonValue &value);

    QString m_name;
    QVariant m_value;
    QVector<ModuleObject *> m_children;
    QHash<QString, ModuleObject *> m_index;
    ModuleObject *m_parent = nullptr;
    bool m_isList = false;
    bool m_isObject = false;
    bool m_watched = false;
    int m_shadowed = 0; // children whose key an earlier sibling holds in the index
    mutable int m_nextId = 0; // where generateId starts looking
};

} // namespace nabu
