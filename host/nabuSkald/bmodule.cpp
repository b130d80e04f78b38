#include "bmodule.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QHash>
#include <QPointer>
#include <QWidget>

namespace skald {

namespace {
using ModuleRegistry = QHash<QString, QPointer<BModule>>;
Q_GLOBAL_STATIC(ModuleRegistry, s_boundModules)
} // namespace

BModule::BModule(QObject *parent)
    : QObject(parent)
{
}

BModule::~BModule()
{
    if (!m_boundName.isEmpty() && !s_boundModules.isDestroyed()) {
        if (s_boundModules->value(m_boundName) == this)
            s_boundModules->remove(m_boundName);
    }
}

void BModule::bindMobj(const QString &name)
{
    if (!m_boundName.isEmpty() && s_boundModules->value(m_boundName) == this)
        s_boundModules->remove(m_boundName);
    m_boundName = name;
    m_mobj = nabu::m(name);
    s_boundModules->insert(name, this);
}

nabu::ModuleObject *BModule::mobj() const
{
    return m_mobj;
}

QString BModule::boundName() const
{
    return m_boundName;
}

void BModule::startRender()
{
    ++m_renderRequests;
    if (QWidget *page = wgt())
        page->update();
    emit renderRequested();
}

int BModule::renderRequests() const
{
    return m_renderRequests;
}

QString BModule::name() const
{
    return QStringLiteral("module");
}

QWidget *BModule::wgt()
{
    return nullptr;
}

void BModule::setup() {}
void BModule::afterSetup() {}
void BModule::init() {}
void BModule::afterInit() {}
void BModule::render() {}
void BModule::afterRender() {}
void BModule::idle() {}
void BModule::afterIdle() {}
void BModule::detach() {}
void BModule::beforeDetach() {}

ModuleFactory &bfactory()
{
    static ModuleFactory factory(QStringLiteral("bfactory"));
    return factory;
}

BModule *bModule(const QString &name)
{
    if (s_boundModules.isDestroyed())
        return nullptr;
    return s_boundModules->value(name).data();
}

} // namespace skald
