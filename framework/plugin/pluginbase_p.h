#pragma once

#include <QString>

namespace tessel {

class PluginBase;

class PluginBasePrivate
{
public:
    explicit PluginBasePrivate(PluginBase *q);
    virtual ~PluginBasePrivate();

    PluginBase *const q;
    bool defaultGlobalSheet = true;
    QString pluginLabel;
};

} // namespace tessel
