#include "lumo.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

namespace sv {
namespace lumo {

nabu::ModuleObject *pageList(const QString &group)
{
    QString path = group;
    path.replace(QLatin1Char('.'), QLatin1String(".page."));
    nabu::ModuleObject *list = nabu::m(QStringLiteral("lumo.page"))->r(path)->c(QStringLiteral("page"));
    list->setIsList(true);
    return list;
}

nabu::ModuleObject *registerPage(QObject *owner, const QString &title, const QString &group,
                                 const QString &text, int index)
{
    nabu::ModuleObject *list = pageList(group);
    auto *entry = new nabu::ModuleObject(nabu::ModuleObject::generateId(list));
    entry->set(owner, QStringLiteral("title"), title);
    entry->set(owner, QStringLiteral("text"), text);
    entry->set(owner, QStringLiteral("group"), group);
    entry->set(owner, QStringLiteral("index"), index);
    return list->insert(owner, entry, true, index);
}

} // namespace lumo
} // namespace sv
