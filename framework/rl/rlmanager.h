#pragma once

#include <tessel/tessel_global.h>

#include <QObject>
#include <QStringList>

#include <functional>

namespace tessel {

class RLContentBase;

/// Registers robot-language instructions of a plug-in with the host's program editor: keyword,
/// skeleton, recognition pattern, usage, default text, group and the two editor widgets. Every
/// instance works on the host's one registry; a later registration of a name replaces the
/// earlier one. GUI thread only; nothing blocks.
class TESSEL_EXPORT RLManager : public QObject
{
    Q_OBJECT

public:
    /// Makes a fresh editor each time the host needs one; the host owns it.
    using ContentCreator = std::function<RLContentBase *()>;

    /// A registrar; `parent` is usually the plug-in.
    explicit RLManager(QObject *parent);
    /// Registrations stay with the host.
    ~RLManager() override;

    /// Registers a whole instruction `name` in `group` with its `usage` text and editors: its
    /// keyword, the skeleton `name`, a pattern that recognises the bare name (optionally
    /// followed by a "//" comment), an empty default text, and the two editor creators.
    /// Override the skeleton, pattern and default afterwards for instructions with arguments.
    void createData(const QString &group, const QString &name, const QString &usage,
                    ContentCreator insertCreator, ContentCreator propertyCreator);

    /// Registers the instruction group `group` with its display `text`.
    void createGroups(const QString &group, const QString &text);
    /// Sets the text the program editor inserts for `name` by default.
    void createInsDefault(const QString &name, const QString &text);
    /// Sets the usage text the program editor shows for `name`.
    void createInsDescribe(const QString &name, const QString &text);
    /// Registers the editor shown when `name` is inserted. An empty creator is refused with an
    /// error log line; nothing is registered for it.
    void createInsertWidget(const QString &name, ContentCreator creator);
    /// Sets the regular expression that recognises a program line as the instruction `name`.
    void createPattern(const QString &name, const QString &pattern);
    /// Registers the editor of the property panel for `name`; an empty creator is refused with
    /// an error log line.
    void createPropertyWidget(const QString &name, ContentCreator creator);
    /// Sets the instruction's skeleton, the text shown for it in the instruction list.
    void createSkeleton(const QString &name, const QString &skeleton);
    /// Registers `name` as an instruction keyword.
    void createTypeKey(const QString &name);
    /// Adds the instruction `name` to `group`.
    void createTypeToGroup(const QString &group, const QString &name);
    /// Adds the instructions `names` to `group`, in order.
    void createTypeToGroup(const QString &group, const QStringList &names);

private:
    static QString CName(const QString &name);
    static QString NName(const QString &name);
    static QString PName(const QString &name);
    static QString SName(const QString &name);
};

} // namespace tessel
