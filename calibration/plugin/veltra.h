#pragma once

#include "plugin/pluginbase.h"

namespace tessel {

// The calibration plug-in: hands the framework its main page and nothing else; the pages do
// the work.
class Veltra : public PluginBase
{
    Q_OBJECT

public:
    explicit Veltra(QObject *parent);

    void init() override;
    void afterInit() override;
};

} // namespace tessel
