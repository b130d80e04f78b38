#include "moduleobject.h"

#include <QJsonArray>
#include <QJsonObject>

#if defined(Q_PROCESSOR_X86) && (defined(Q_CC_MSVC) || defined(__SSE__))
#  include <xmmintrin.h>
#endif

namespace nabu {

namespace {

// "#k" names list element k.
bool parseListIndex(const QString &segment, int *index)
{
    if (segment.size() < 2 || segment.at(0) != QLatin1Char('#'))
        return false;
    bool ok = false;
    const int k = segment.midRef(1).toInt(&ok);
    if (!ok || k < 0)
        return false;
    *index = k;
    return true;
}

bool isAncestorOf(const ModuleObject *ancestor, const ModuleObject *node)
{
    for (const ModuleObject *p = node->pmobj(); p; p = p->pmobj()) {
        if (p == ancestor)
            return true;
    }
    return false;
}

// QVariant's operator== converts between types; a change of type is a change too.
bool sameValue(const QVariant &a, const QVariant &b)
{
    return a.userType() == b.userType() && a == b;
}

// A hint that `address` is read soon. Without the instruction, a plain no-op.
inline void prefetch(const void *address)
{
#if defined(Q_PROCESSOR_X86) && (defined(Q_CC_MSVC) || defined(__SSE__))
    _mm_prefetch(static_cast<const char *>(address), _MM_HINT_T0);
#else
    Q_UNUSED(address)
#endif
}

} // namespace

ModuleObject::ModuleObject(const QString &name, QObject *parent)
    : QObject(parent)
    , m_name(name)
{
    if (auto *treeParent = qobject_cast<ModuleObject *>(parent))
        treeParent->adopt(this, -1);
}

ModuleObject::~ModuleObject()
{
    // Children go first, while this node is still whole; then leave the parent's lists.
    const QVector<ModuleObject *> children = m_children;
    m_children.clear();
    m_index.clear();
    for (ModuleObject *child : children) {
        child->m_parent = nullptr;
        delete child;
    }
    // Deleted directly while in a tree: the parent forgets it as if it had been removed.
    if (ModuleObject *parent = m_parent) {
        const int i = parent->indexOf(this);
        if (i >= 0) {
            parent->takeChild(i);
            emit parent->childRemoved(m_name);
        }
    }
}

QString ModuleObject::name() const
{
    return m_name;
}

ModuleObject *ModuleObject::pmobj() const
{
    return m_parent;
}

bool ModuleObject::isList() const
{
    return m_isList;
}

void ModuleObject::setIsList(bool list)
{
    m_isList = list;
}

QVariant ModuleObject::get(const QVariant &defaultValue) const
{
    return m_value.isValid() ? m_value : defaultValue;
}

QString ModuleObject::getString(const QString &defaultValue) const
{
    return m_value.isValid() ? m_value.toString() : defaultValue;
}

int ModuleObject::getInt(int defaultValue) const
{
    bool ok = false;
    const int v = m_value.toInt(&ok);
    return ok ? v : defaultValue;
}

double ModuleObject::getDouble(double defaultValue) const
{
    bool ok = false;
    const double v = m_value.toDouble(&ok);
    return ok ? v : defaultValue;
}

bool ModuleObject::getBool(bool defaultValue) const
{
    return m_value.isValid() && m_value.canConvert<bool>() ? m_value.toBool() : defaultValue;
}

ModuleObject *ModuleObject::c(const QString &name, bool caseInsensitive)
{
    if (caseInsensitive) {
        if (ModuleObject *found = lookup(name, true))
            return found;
    }
    return childAt(name, true);
}

ModuleObject *ModuleObject::c(int index)
{
    if (index < 0)
        index = m_children.size();
    return childAt(QStringLiteral("#%1").arg(index), true);
}

ModuleObject *ModuleObject::cmobj(const QString &name, bool caseInsensitive)
{
    return c(name, caseInsensitive);
}

QList<ModuleObject *> ModuleObject::cmobjs(bool recursive) const
{
    QList<ModuleObject *> result;
    result.reserve(m_children.size());
    for (ModuleObject *child : m_children) {
        result.append(child);
        if (recursive)
            result.append(child->cmobjs(true));
    }
    return result;
}

int ModuleObject::cmobjCount() const
{
    return m_children.size();
}

bool ModuleObject::hasCmobj(const QString &name, bool caseInsensitive) const
{
    return lookup(name, caseInsensitive) != nullptr;
}

int ModuleObject::indexOf(const ModuleObject *child) const
{
    return m_children.indexOf(const_cast<ModuleObject *>(child));
}

ModuleObject *ModuleObject::r(const QString &path)
{
    ModuleObject *node = this;
    const QStringList segments = path.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    for (const QString &segment : segments)
        node = node->childAt(segment, true);
    return node;
}

ModuleObject *ModuleObject::rmobj(const QString &path)
{
    return r(path);
}

QString ModuleObject::generateId(const ModuleObject *node)
{
    if (!node)
        return QStringLiteral("id0");
    // Starting past the last id handed out keeps appends after front removals linear: counting
    // up from the child count would walk over every id still in use, each time.
    int n = qMax(node->m_children.size(), node->m_nextId);
    QString id = QStringLiteral("id%1").arg(n);
    while (node->m_index.contains(id))
        id = QStringLiteral("id%1").arg(++n);
    node->m_nextId = n + 1;
    return id;
}

ModuleObject *ModuleObject::set(QObject *source, const QString &path, const QVariant &value,
                                bool create)
{
    ModuleObject *node = this;
    if (create) {
        node = r(path);
    } else {
        const QStringList segments = path.split(QLatin1Char('.'), Qt::SkipEmptyParts);
        for (const QString &segment : segments) {
            node = node->childAt(segment, false);
            if (!node)
                return nullptr;
        }
    }
    node->set(source, value);
    return node;
}

ModuleObject *ModuleObject::set(QObject *source, const QVariant &value)
{
    if (sameValue(m_value, value))
        return this;
    const QVariant old = m_value;
    m_value = value;
    emit changed(m_value, old, source);
    return this;
}

void ModuleObject::setList(QObject *source, const QVariantList &list, bool notify)
{
    const QVariant old = notify ? exportToJson().toVariant() : QVariant();
    clear(source, true, false);
    m_isList = true;
    for (const QVariant &item : list)
        adopt(new ModuleObject(generateId(this)), -1)->importInto(QJsonValue::fromVariant(item));
    if (notify)
        emit changed(QVariant(list), old, source);
}

ModuleObject *ModuleObject::append(QObject *source, const QString &name)
{
    Q_UNUSED(source)
    auto *child = new ModuleObject(name.isEmpty() ? generateId(this) : name);
    adopt(child, -1);
    emit childAdded(child);
    return child;
}

ModuleObject *ModuleObject::insert(QObject *source, ModuleObject *node, bool notify, int pos)
{
    Q_UNUSED(source)
    if (!node)
        return nullptr;
    // A node cannot become a child of itself or of its own descendant: the tree would be a cycle.
    if (node == this || isAncestorOf(node, this))
        return nullptr;
    if (ModuleObject *oldParent = node->m_parent) {
        const int i = oldParent->indexOf(node);
        if (i >= 0) {
            oldParent->takeChild(i);
            if (oldParent != this)
                emit oldParent->childRemoved(node->m_name);
        }
    }
    adopt(node, pos);
    if (notify)
        emit childAdded(node);
    return node;
}

bool ModuleObject::remove(QObject *source, ModuleObject *child, bool destroy)
{
    Q_UNUSED(source)
    const int i = indexOf(child);
    if (i < 0)
        return false;
    const QString key = child->m_name;
    takeChild(i);
    if (destroy)
        delete child;
    else
        child->setParent(nullptr);
    emit childRemoved(key);
    return true;
}

bool ModuleObject::remove(QObject *source, const QString &name, bool destroy)
{
    return remove(source, lookup(name, false), destroy);
}

// All children leave at once: removing them one by one rescans the siblings each time, which
// is quadratic on lists of thousands of teach points.
void ModuleObject::clear(QObject *source, bool destroy, bool notify)
{
    Q_UNUSED(source)
    const QVector<ModuleObject *> children = m_children;
    m_children.clear();
    m_index.clear();
    m_shadowed = 0;
    for (ModuleObject *child : children)
        child->m_parent = nullptr;
    // In insertion order, so that each child is found at the front of QObject's child list.
    for (ModuleObject *child : children) {
        const QString key = notify ? child->m_name : QString();
        if (destroy)
            delete child;
        else
            child->setParent(nullptr);
        if (notify)
            emit childRemoved(key);
    }
}

void ModuleObject::copyFrom(QObject *source, const ModuleObject *other, bool deep, bool notify)
{
    if (!other || other == this)
        return;
    // From a descendant, clearing this node would delete the source before it is read; from an
    // ancestor, the copy would grow the source while it is walked. Copy from a snapshot then.
    if (deep && (isAncestorOf(this, other) || isAncestorOf(other, this))) {
        ModuleObject snapshot;
        snapshot.copyFrom(source, other, true, false);
        copyFrom(source, &snapshot, true, notify);
        return;
    }
    const QVariant old = m_value;
    m_value = other->m_value;
    m_isList = other->m_isList;
    m_isObject = other->m_isObject;
    if (deep) {
        clear(source, true, false);
        for (const ModuleObject *child : other->m_children)
            adopt(new ModuleObject(child->m_name), -1)->copyFrom(source, child, true, false);
    }
    if (notify)
        emit changed(m_value, old, source);
}

void ModuleObject::importFromJson(QObject *source, const QJsonValue &value, bool replace,
                                  bool notify, bool triggerParents)
{
    const QJsonValue old = notify ? exportToJson() : QJsonValue();
    if (replace) {
        clear(source, true, false);
        m_value = QVariant();
        m_isList = false;
        m_isObject = false;
    }
    importInto(value);
    if (notify && old != value)
        emit changed(value.toVariant(), old.toVariant(), source);
    if (triggerParents) {
        for (ModuleObject *p = m_parent; p; p = p->m_parent)
            p->trigger(source);
    }
}

QJsonValue ModuleObject::exportToJson(bool deep) const
{
    if (!m_isList && !m_isObject && m_children.isEmpty())
        return QJsonValue::fromVariant(m_value);

    // The nodes of a large tree lie scattered over the heap, and a plain walk spends most of its
    // time waiting for one child after another to load. So the walk asks ahead: for the node a
    // few children on, and, once that has had time to arrive, for its key and contents.
    const auto requestNode = [](const ModuleObject *node) {
        prefetch(&node->m_children);
        prefetch(&node->m_isList);
    };
    const auto requestContents = [](const ModuleObject *node) {
        prefetch(node->m_name.constData());
        if (!node->m_children.isEmpty())
            prefetch(node->m_children.constData());
        else if (node->m_value.userType() == QMetaType::QString)
            prefetch(static_cast<const QString *>(node->m_value.constData())->constData());
    };
    constexpr int kNodesAhead = 8;
    constexpr int kContentsAhead = 4;
    const int count = m_children.size();
    // An object is filled from the last child back: the first child of a key is the one a lookup
    // finds, so it is the one that must stay in the object.
    const bool backwards = !m_isList;
    const auto childAt = [&](int k) { return m_children.at(backwards ? count - 1 - k : k); };
    for (int k = 0; k < qMin(count, kNodesAhead); ++k)
        requestNode(childAt(k));
    for (int k = 0; k < qMin(count, kContentsAhead); ++k)
        requestContents(childAt(k));

    QJsonArray array;
    QJsonObject object;
    for (int k = 0; k < count; ++k) {
        if (k + kNodesAhead < count)
            requestNode(childAt(k + kNodesAhead));
        if (k + kContentsAhead < count)
            requestContents(childAt(k + kContentsAhead));
        const ModuleObject *child = childAt(k);
        const QJsonValue value
            = deep ? child->exportToJson(true) : QJsonValue::fromVariant(child->m_value);
        if (m_isList)
            array.append(value);
        else
            object.insert(child->m_name, value);
    }
    if (m_isList)
        return array;
    return object;
}

void ModuleObject::trigger(QObject *source)
{
    emit changed(m_value, m_value, source);
}

void ModuleObject::watch(bool on, bool recursive)
{
    m_watched = on;
    if (recursive) {
        for (ModuleObject *child : qAsConst(m_children))
            child->watch(on, true);
    }
}

bool ModuleObject::isWatched() const
{
    return m_watched;
}

ModuleObject *ModuleObject::childAt(const QString &segment, bool create)
{
    int k = 0;
    if (parseListIndex(segment, &k)) {
        if (k < m_children.size())
            return m_children.at(k);
        if (!create)
            return nullptr;
        m_isList = true;
        while (m_children.size() <= k)
            adopt(new ModuleObject(generateId(this)), -1);
        return m_children.at(k);
    }
    if (ModuleObject *found = m_index.value(segment))
        return found;
    return create ? adopt(new ModuleObject(segment), -1) : nullptr;
}

ModuleObject *ModuleObject::lookup(const QString &name, bool caseInsensitive) const
{
    int k = 0;
    if (parseListIndex(name, &k))
        return k < m_children.size() ? m_children.at(k) : nullptr;
    if (!caseInsensitive)
        return m_index.value(name);
    for (ModuleObject *child : m_children) {
        if (child->m_name.compare(name, Qt::CaseInsensitive) == 0)
            return child;
    }
    return nullptr;
}

ModuleObject *ModuleObject::adopt(ModuleObject *child, int pos)
{
    child->m_parent = this;
    if (child->parent() != this)
        child->setParent(this);
    if (pos < 0 || pos > m_children.size())
        pos = m_children.size();
    const bool appended = pos == m_children.size();
    m_children.insert(pos, child);
    if (!m_isList)
        m_isObject = true;
    // The index names the first child of each key; an earlier position takes it over.
    ModuleObject *&current = m_index[child->m_name];
    if (!current) {
        current = child;
    } else {
        ++m_shadowed;
        if (!appended && pos <= m_children.indexOf(current))
            current = child;
    }
    return child;
}

ModuleObject *ModuleObject::takeChild(int index)
{
    ModuleObject *child = m_children.takeAt(index);
    child->m_parent = nullptr;
    const auto it = m_index.find(child->m_name);
    if (it == m_index.end() || it.value() != child) {
        // It was a later duplicate of its key.
        --m_shadowed;
        return child;
    }
    m_index.erase(it);
    // Only a key with duplicates needs the siblings scanned for the next one in line.
    if (m_shadowed > 0) {
        for (ModuleObject *other : qAsConst(m_children)) {
            if (other->m_name == child->m_name) {
                m_index.insert(other->m_name, other);
                --m_shadowed;
                break;
            }
        }
    }
    return child;
}

void ModuleObject::importInto(const QJsonValue &value)
{
    if (value.isArray()) {
        m_isList = true;
        const QJsonArray items = value.toArray();
        for (const QJsonValue &item : items)
            adopt(new ModuleObject(generateId(this)), -1)->importInto(item);
    } else if (value.isObject()) {
        m_isObject = true;
        const QJsonObject object = value.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it)
            childAt(it.key(), true)->importInto(it.value());
    } else {
        // null is how an absent value exports; it reads back as absent, not as a null value.
        m_value = value.isNull() || value.isUndefined() ? QVariant() : value.toVariant();
    }
}

} // namespace nabu
