#include "rlmanager.h"

#include <QRegularExpression>

namespace mirel {

RlManager *RlManager::getRlManager()
{
    static RlManager manager;
    return &manager;
}

void RlManager::addCmdKeyword(const QString &name)
{
    record(QStringLiteral("addCmdKeyword"), {name});
    if (!m_keywords.contains(name))
        m_keywords.append(name);
}

void RlManager::addSkeleton(const QString &key, const QString &skeleton)
{
    record(QStringLiteral("addSkeleton"), {key, skeleton});
    m_skeletons.insert(key, skeleton);
}

void RlManager::addPattern(const QString &key, const QString &pattern)
{
    record(QStringLiteral("addPattern"), {key, pattern});
    if (!m_patternOrder.contains(key))
        m_patternOrder.append(key);
    m_patterns.insert(key, pattern);
}

void RlManager::addInsUsage(const QString &name, const QString &usage)
{
    record(QStringLiteral("addInsUsage"), {name, usage});
    m_usages.insert(name, usage);
}

void RlManager::addInsDefault(const QString &name, const QString &text)
{
    record(QStringLiteral("addInsDefault"), {name, text});
    m_defaults.insert(name, text);
}

// Assigned rather than inserted: Qt 5's QHash::insert copies the factory.
void RlManager::addInsertWidget(const QString &name, WidgetFactory factory)
{
    record(QStringLiteral("addInsertWidget"), {name});
    m_insertWidgets[name] = std::move(factory);
}

void RlManager::addPropertyWidget(const QString &name, WidgetFactory factory)
{
    record(QStringLiteral("addPropertyWidget"), {name});
    m_propertyWidgets[name] = std::move(factory);
}

void RlManager::addInsGroup(const QString &group, const QString &text)
{
    record(QStringLiteral("addInsGroup"), {group, text});
    noteGroup(group);
    m_groupTexts.insert(group, text);
}

void RlManager::addInsGroupInsList(const QString &group, const QStringList &names, bool replace)
{
    record(QStringLiteral("addInsGroupInsList"),
           {group, names.join(QLatin1Char(',')),
            replace ? QStringLiteral("true") : QStringLiteral("false")});
    noteGroup(group);
    QStringList &list = m_groupLists[group];
    if (replace)
        list.clear();
    for (const QString &name : names) {
        if (!list.contains(name))
            list.append(name);
    }
}

QList<RlManager::Registration> RlManager::registrations() const
{
    return m_registrations;
}

QStringList RlManager::insGroups() const
{
    return m_groups;
}

QStringList RlManager::patternKeys() const
{
    return m_patternOrder;
}

QString RlManager::matchPattern(const QString &line) const
{
    for (const QString &key : m_patternOrder) {
        const QRegularExpression expression(m_patterns.value(key));
        if (expression.isValid() && expression.match(line).hasMatch())
            return key;
    }
    return QString();
}

void RlManager::record(const QString &operation, const QStringList &arguments)
{
    m_registrations.append(Registration{operation, arguments});
}

void RlManager::noteGroup(const QString &group)
{
    if (!m_groups.contains(group))
        m_groups.append(group);
}

QStringList RlManager::cmdKeywords() const
{
    return m_keywords;
}

QString RlManager::skeleton(const QString &key) const
{
    return m_skeletons.value(key);
}

QString RlManager::pattern(const QString &key) const
{
    return m_patterns.value(key);
}

QString RlManager::usage(const QString &name) const
{
    return m_usages.value(name);
}

QString RlManager::insDefault(const QString &name) const
{
    return m_defaults.value(name);
}

bool RlManager::hasInsDefault(const QString &name) const
{
    return m_defaults.contains(name);
}

QString RlManager::insGroupText(const QString &group) const
{
    return m_groupTexts.value(group);
}

QStringList RlManager::insGroupInsList(const QString &group) const
{
    return m_groupLists.value(group);
}

BaseContentWidget *RlManager::createInsertWidget(const QString &name, QWidget *parent) const
{
    const WidgetFactory factory = m_insertWidgets.value(name);
    return factory ? factory(parent) : nullptr;
}

BaseContentWidget *RlManager::createPropertyWidget(const QString &name, QWidget *parent) const
{
    const WidgetFactory factory = m_propertyWidgets.value(name);
    return factory ? factory(parent) : nullptr;
}

} // namespace mirel
