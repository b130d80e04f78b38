#include "pluginbase.h"

#include "pluginbase_p.h"

namespace tessel {

PluginBasePrivate::PluginBasePrivate(PluginBase *q)
    : q(q)
{
}

PluginBasePrivate::~PluginBasePrivate() = default;

PluginBase::PluginBase(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<PluginBasePrivate>(this))
{
}

PluginBase::~PluginBase() = default;

QString PluginBase::getPluginLabel() const
{
    return d->pluginLabel;
}

void PluginBase::setPluginLabel(const QString &label)
{
    d->pluginLabel = label;
}

bool PluginBase::getDefaultGlobalSheet() const
{
    return d->defaultGlobalSheet;
}

void PluginBase::setDefaultGlobalSheet(bool on)
{
    d->defaultGlobalSheet = on;
}

void PluginBase::init() {}
void PluginBase::afterInit() {}
void PluginBase::render() {}
void PluginBase::idle() {}
void PluginBase::detach() {}

} // namespace tessel
