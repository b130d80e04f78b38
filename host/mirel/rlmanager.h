#pragma once

#include "mirel_global.h"

#include <QHash>
#include <QStringList>

#include <functional>

class QWidget;

namespace mirel {

class BaseContentWidget;

// The program editor's registry of robot-language instructions.
class MIREL_EXPORT RlManager
{
public:
    using WidgetFactory = std::function<BaseContentWidget *(QWidget *)>;

    // One registration as the program editor's log shows it: the operation and its texts
    // ("addInsGroupInsList" gives the group, the names joined by ",", then "true"/"false").
    struct Registration
    {
        QString operation;
        QStringList arguments;
    };

    static RlManager *getRlManager();

    void addCmdKeyword(const QString &name);
    void addSkeleton(const QString &key, const QString &skeleton);
    void addPattern(const QString &key, const QString &pattern);
    void addInsUsage(const QString &name, const QString &usage);
    void addInsDefault(const QString &name, const QString &text);
    void addInsertWidget(const QString &name, WidgetFactory factory);
    void addPropertyWidget(const QString &name, WidgetFactory factory);
    void addInsGroup(const QString &group, const QString &text);
    // `replace` false appends names not yet in the group.
    void addInsGroupInsList(const QString &group, const QStringList &names, bool replace);

    QList<Registration> registrations() const;
    // Groups in the order they first appeared, patterns in the order they were first added.
    QStringList insGroups() const;
    QStringList patternKeys() const;
    // The key of the first pattern that the whole line matches, or an empty text.
    QString matchPattern(const QString &line) const;

    QStringList cmdKeywords() const;
    QString skeleton(const QString &key) const;
    QString pattern(const QString &key) const;
    QString usage(const QString &name) const;
    QString insDefault(const QString &name) const;
    bool hasInsDefault(const QString &name) const;
    QString insGroupText(const QString &group) const;
    QStringList insGroupInsList(const QString &group) const;
    // Null when no factory is registered under the name.
    BaseContentWidget *createInsertWidget(const QString &name, QWidget *parent) const;
    BaseContentWidget *createPropertyWidget(const QString &name, QWidget *parent) const;

private:
    void record(const QString &operation, const QStringList &arguments);
    void noteGroup(const QString &group);

    QList<Registration> m_registrations;
    QStringList m_groups;
    QStringList m_patternOrder;
    QStringList m_keywords;
    QHash<QString, QString> m_skeletons;
    QHash<QString, QString> m_patterns;
    QHash<QString, QString> m_usages;
    QHash<QString, QString> m_defaults;
    QHash<QString, WidgetFactory> m_insertWidgets;
    QHash<QString, WidgetFactory> m_propertyWidgets;
    QHash<QString, QString> m_groupTexts;
    QHash<QString, QStringList> m_groupLists;
};

} // namespace mirel
