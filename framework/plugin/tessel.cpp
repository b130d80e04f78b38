#include "tessel_p.h"

#include "log/tessellog_p.h"
#include "pluginbase.h"
#include "pluginregister.h"
#include "pluginsettingpage_p.h"
#include "catalogtranslator.h"

#include <mirel/managerhelper.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <nabuSkald/centerwidget.h>
#include <nabusrv/lumo.h>

#include <QJsonArray>
#include <QJsonObject>

#include <exception>

namespace tessel {

namespace {
const QString kNavGroup = QStringLiteral("robot.pack");
} // namespace

Tessel::Tessel(const QString &name, QObject *parent)
    : skald::BModule(parent)
    , m_pluginName(name)
{
    mirel::ManagerHelper::instance()->registQrcAlias(name);
    bindMobj(nabu::mName(QStringLiteral("nabu"), QStringLiteral("tessel"), name));
}

Tessel::~Tessel()
{
    TESSEL_LOG(Error, "tessel::Tessel::~Tessel") << "~Tessel";
    tesselFactory().cancel(m_pluginName);
    const QString key = nabu::mName(QStringLiteral("tessel"), m_pluginName);
    if (skald::CenterWidget *center = skald::instantiatedCenterWidget())
        center->removeItem(this, key, false);
    cancelPage(kNavGroup, key);
}

Tessel *Tessel::create(const QString &name, QObject *parent)
{
    // The framework's own texts (a new teach point's description) follow the host's language too.
    CatalogTranslator::install(QStringLiteral("tessel"));
    auto *module = new Tessel(name, parent);
    module->m_plugin = tesselFactory().create(name, module);
    // For example the module made again after its plug-in's registration was cancelled.
    if (!module->m_plugin) {
        TESSEL_LOG(Error, "tessel::Tessel::create")
            << "no plug-in could be created for " << name << "; its lifecycle calls do nothing";
    }
    return module;
}

QString Tessel::name() const
{
    return QStringLiteral("tessel");
}

void Tessel::setup()
{
    skald::CenterWidget *center = skald::instantiatedCenterWidget();
    if (!center) {
        TESSEL_LOG(Error, "tessel::Tessel::setup")
            << "the host has no centre area; no page for " << m_pluginName;
        return;
    }
    m_settingPage = new PluginSettingPage(QStringLiteral("tessel"), m_pluginName, center, this);
    center->addPage(this, nabu::mName(QStringLiteral("tessel"), m_pluginName),
                    m_settingPage->wgt());
}

void Tessel::init()
{
    QString title;
    guarded("getPluginLabel", [this, &title] { title = m_plugin->getPluginLabel(); });
    if (title.isEmpty())
        title = m_pluginName;
    nabu::ModuleObject *entry = sv::lumo::registerPage(this, title, kNavGroup, QString(), -1);
    entry->set(this, QStringLiteral("nav"), nabu::mName(QStringLiteral("tessel"), m_pluginName),
               true);
    guarded("init", [this] { m_plugin->init(); });
}

void Tessel::afterInit()
{
    guarded("afterInit", [this] { m_plugin->afterInit(); });
}

void Tessel::render()
{
    guarded("render", [this] {
        if (m_plugin->getDefaultGlobalSheet() && m_settingPage)
            m_settingPage->startRender();
        m_plugin->render();
    });
}

void Tessel::idle()
{
    guarded("idle", [this] { m_plugin->idle(); });
}

void Tessel::detach()
{
    // A plug-in that failed still gets to let go of what it holds.
    guarded("detach", [this] { m_plugin->detach(); }, true);
}

void Tessel::guarded(const char *stage, const std::function<void()> &call, bool afterFailure)
{
    if (!m_plugin || (m_failed && !afterFailure))
        return;
    try {
        call();
        return;
    } catch (const std::exception &e) {
        TESSEL_LOG(Error, "tessel::Tessel")
            << "plug-in " << m_pluginName << " threw in " << stage << ": " << e.what()
            << "; it gets no further lifecycle call";
    } catch (...) {
        TESSEL_LOG(Error, "tessel::Tessel")
            << "plug-in " << m_pluginName << " threw in " << stage
            << "; it gets no further lifecycle call";
    }
    m_failed = true;
}

bool Tessel::cancelPage(const QString &group, const QString &nav)
{
    TESSEL_LOG(Info, "tessel::Tessel::cancelPage") << "tessel::Tessel::cancelPage";
    nabu::ModuleObject *registry = nabu::m(QStringLiteral("lumo.page"));
    if (group.isEmpty())
        return false;
    QString path = group;
    path.replace(QLatin1Char('.'), QLatin1String(".page."));
    nabu::ModuleObject *list = registry->r(path)->c(QStringLiteral("page"));

    QJsonArray entries = list->exportToJson(true).toArray();
    TESSEL_LOG(Info, "tessel::Tessel::cancelPage") << entries;
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).toObject().value(QStringLiteral("nav")).toString() == nav) {
            entries.removeAt(i);
            break;
        }
    }
    TESSEL_LOG(Info, "tessel::Tessel::cancelPage") << entries;
    list->importFromJson(this, entries, true, true, true);
    return true;
}

QString Tessel::pluginName() const
{
    return m_pluginName;
}

PluginBase *Tessel::plugin() const
{
    return m_plugin.data();
}

PluginSettingPage *Tessel::settingPage() const
{
    return m_settingPage.data();
}

} // namespace tessel
