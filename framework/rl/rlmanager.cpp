#include "rlmanager.h"

#include "log/tessellog_p.h"
#include "rlbasewidget.h"
#include "rlcontentbase.h"

#include <mirel/rlmanager.h>

#include <exception>
#include <utility>

namespace tessel {

namespace {

mirel::RlManager *registry()
{
    return mirel::RlManager::getRlManager();
}

// The host makes editors from a parent; a plug-in from nothing. The wrapper keeps its own
// copy of the creator, since the host keeps the wrapper for the rest of the process.
mirel::RlManager::WidgetFactory wrap(const QString &name, RLManager::ContentCreator creator)
{
    return [name, creator = std::move(creator)](QWidget *parent) -> mirel::BaseContentWidget * {
        RLContentBase *content = nullptr;
        // A plug-in's failure must not unwind through the host.
        try {
            content = creator();
        } catch (const std::exception &e) {
            TESSEL_LOG(Error, "tessel::RLManager::createData")
                << "editor of " << name << " not made: " << QString::fromLocal8Bit(e.what());
        } catch (...) {
            TESSEL_LOG(Error, "tessel::RLManager::createData")
                << "editor of " << name << " not made";
        }
        return new RLBaseWidget(content, parent);
    };
}

// An empty creator would throw through the host when it asks for the editor.
bool usable(const RLManager::ContentCreator &creator, const QString &name, const char *which)
{
    if (creator)
        return true;
    TESSEL_LOG(Error, "tessel::RLManager::createWidget")
        << "empty " << QString::fromLatin1(which) << " editor creator for " << name
        << ", nothing registered";
    return false;
}

} // namespace

RLManager::RLManager(QObject *parent)
    : QObject(parent)
{
}

RLManager::~RLManager() = default;

void RLManager::createData(const QString &group, const QString &name, const QString &usage,
                           ContentCreator insertCreator, ContentCreator propertyCreator)
{
    mirel::RlManager *host = registry();
    host->addCmdKeyword(name);
    host->addSkeleton(SName(name), name);
    // The name goes in as it is: a plug-in may give a pattern fragment on purpose.
    host->addPattern(CName(name), QStringLiteral("^\\s*%1\\s*(?://.*)?$").arg(name));
    host->addInsUsage(name, usage);
    host->addInsDefault(name, QString());
    createInsertWidget(name, std::move(insertCreator));
    createPropertyWidget(name, std::move(propertyCreator));
    host->addInsGroupInsList(group, QStringList{name}, false);
}

void RLManager::createGroups(const QString &group, const QString &text)
{
    registry()->addInsGroup(group, text);
}

void RLManager::createInsDefault(const QString &name, const QString &text)
{
    registry()->addInsDefault(name, text);
}

void RLManager::createInsDescribe(const QString &name, const QString &text)
{
    registry()->addInsUsage(name, text);
}

void RLManager::createInsertWidget(const QString &name, ContentCreator creator)
{
    if (usable(creator, name, "insert"))
        registry()->addInsertWidget(name, wrap(name, std::move(creator)));
}

void RLManager::createPattern(const QString &name, const QString &pattern)
{
    registry()->addPattern(CName(name), pattern);
}

void RLManager::createPropertyWidget(const QString &name, ContentCreator creator)
{
    if (usable(creator, name, "property"))
        registry()->addPropertyWidget(name, wrap(name, std::move(creator)));
}

void RLManager::createSkeleton(const QString &name, const QString &skeleton)
{
    registry()->addSkeleton(SName(name), skeleton);
}

void RLManager::createTypeKey(const QString &name)
{
    registry()->addCmdKeyword(name);
}

void RLManager::createTypeToGroup(const QString &group, const QString &name)
{
    registry()->addInsGroupInsList(group, QStringList{name}, false);
}

void RLManager::createTypeToGroup(const QString &group, const QStringList &names)
{
    registry()->addInsGroupInsList(group, names, false);
}

QString RLManager::CName(const QString &name)
{
    return QStringLiteral("c_") + name;
}

QString RLManager::NName(const QString &name)
{
    return QStringLiteral("n_") + name;
}

QString RLManager::PName(const QString &name)
{
    return QStringLiteral("p_") + name;
}

QString RLManager::SName(const QString &name)
{
    return QStringLiteral("s_") + name;
}

} // namespace tessel
