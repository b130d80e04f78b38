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
