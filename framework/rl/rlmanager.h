#pragma once

#include <tessel/tessel_global.h>

#include <QObject>
#include <QStringList>

#include <functional>

namespace tessel {

class RLContentBase;

// Registers robot-language instructions of a plug-in with the host's program editor: keyword,
// skeleton, recognition pattern, usage, default text, group and the two editor widgets. Every
// instance works on the host's one registry.
class TESSEL_EXPORT RLManager : public QObject
{
    Q_OBJECT

public:
    // Makes a fresh editor each time the host needs one; the host owns it.
    using ContentCreator = std::function<RLContentBase *()>;

    explicit RLManager(QObject *parent);
    ~RLManager() override;

    // A whole instruction whose text is its bare name, optionally followed by a "//" comment.
    void createData(const QString &group, const QString &name, const QString &usage,
                    ContentCreator insertCreator, ContentCreator propertyCreator);

    void createGroups(const QString &group, const QString &text);
    void createInsDefault(const QString &name, const QString &text);
    void createInsDescribe(const QString &name, const QString &text);
    // An empty creator is refused with an error log line; nothing is registered for it.
    void createInsertWidget(const QString &name, ContentCreator creator);
    void createPattern(const QString &name, const QString &pattern);
    void createPropertyWidget(const QString &name, ContentCreator creator);
    void createSkeleton(const QString &name, const QString &skeleton);
    void createTypeKey(const QString &name);
    void createTypeToGroup(const QString &group, const QString &name);
    void createTypeToGroup(const QString &group, const QStringList &names);

private:
    static QString CName(const QString &name);
    static QString NName(const QString &name);
    static QString PName(const QString &name);
    static QString SName(const QString &name);
};

} // namespace tessel
