#include "projectoverview.h"

#include "controllermanager.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

namespace mirel {

namespace {

const QString kSetAutoload = QStringLiteral("project.overview.set_autoload");
const QString kAutoloadField = QStringLiteral("autoload_pri_path");
const QString kAutoloadPath = QStringLiteral("rovan.project.autoload_prj_path");

void ensureValue(QObject *source, const QString &path, const QVariant &value)
{
    nabu::ModuleObject *node = nabu::m(path);
    if (!node->get().isValid() && node->cmobjCount() == 0)
        node->set(source, value);
}

} // namespace

void ProjectOverview::install(QObject *source, ControllerManager *controller)
{
    ensureValue(source, QStringLiteral("rovan.project.cur_project"), QString());
    ensureValue(source, QStringLiteral("rovan.project.projetc_info.description"), QString());
    ensureValue(source, QStringLiteral("rovan.project.projetc_info.create_time"), QString());
    ensureValue(source, kAutoloadPath, QString());
    ensureValue(source, QStringLiteral("rovan.project.refresh_project"), 0);
    ensureValue(source, QStringLiteral("rovan.toolpage.tool"), QStringLiteral("tool0"));
    ensureValue(source, QStringLiteral("rovan.toolpage.wobj"), QStringLiteral("wobj0"));
    nabu::ModuleObject *request = controller->requestMobj(kSetAutoload);
    if (!request->hasCmobj(kAutoloadField, false))
        request->set(source, kAutoloadField, nabu::m(kAutoloadPath)->getString(QString()));
}

bool ProjectOverview::setAutoload(QObject *source, ControllerManager *controller,
                                  const QString &path)
{
    controller->requestMobj(kSetAutoload)->set(source, kAutoloadField, path);
    nabu::ModuleObject *response =
        controller->execRequest(kSetAutoload, nullptr, false, AutoloadTimeoutMs);
    const bool answered = response->cmobjCount() > 0 || response->get().isValid();
    if (!answered || response->r(QStringLiteral("error"))->getInt(0) != 0)
        return false;
    nabu::m(kAutoloadPath)->set(source, path);
    return true;
}

} // namespace mirel
