#include "rlmanager.h"

namespace mirel {

RlManager *RlManager::getRlManager()
{
    static RlManager manager;
    return &manager;
}

void RlManager::addCmdKeyword(const QString &name)
{
    if (!m_keywords.contains(name))
        m_keywords.append(name);
}

void RlManager::addSkeleton(const QString &key, const QString &skeleton)
{
    m_skeletons.insert(key, skeleton);
}

void RlManager::addPattern(const QString &key, const QString &pattern)
{
    m_patterns.insert(key, pattern);
}

void RlManager::addInsUsage(const QString &name, const QString &usage)
{
    m_usages.insert(name, usage);
}

void RlManager::addInsDefault(const QString &name, const QString &text)
{
    m_defaults.insert(name, text);
}

// Assigned rather than inserted: Qt 5's QHash::insert copies the factory.
void RlManager::addInsertWidget(const QString &name, WidgetFactory factory)
{
    m_insertWidgets[name] = std::move(factory);
}

void RlManager::addPropertyWidget(const QString &name, WidgetFactory factory)
{
    m_propertyWidgets[name] = std::move(factory);
}

void RlManager::addInsGroup(const QString &group, const QString &text)
{
    m_groupTexts.insert(group, text);
}

void RlManager::addInsGroupInsList(const QString &group, const QStringList &names, bool replace)
{
    QStringList &list = m_groupLists[group];
    if (replace)
        list.clear();
    for (const QString &name : names) {
        if (!list.contains(name))
            list.append(name);
    }
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
