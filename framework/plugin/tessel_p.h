#pragma once

// The host module of one plug-in. Internal to the framework; exported for its tests only.

#include "tessel_global.h"

#include <nabuSkald/bmodule.h>

#include <QPointer>

#include <functional>

namespace tessel {

class PluginBase;
class PluginSettingPage;

class TESSEL_EXPORT Tessel : public skald::BModule
{
    Q_OBJECT

public:
    Tessel(const QString &name, QObject *parent);
    // Cancels the registration, removes the page and the navigation entry; the plug-in goes
    // with the module as its child.
    ~Tessel() override;

    // What the host's module factory calls: the module with its plug-in created as its child.
    static Tessel *create(const QString &name, QObject *parent);

    QString name() const override;
    void setup() override;
    void init() override;
    void afterInit() override;
    void render() override;
    void idle() override;
    void detach() override;

    bool cancelPage(const QString &group, const QString &nav);

    QString pluginName() const;
    PluginBase *plugin() const;
    PluginSettingPage *settingPage() const;

private:
    // Runs one lifecycle call of the plug-in: what it throws must not reach the host, which
    // would end. It is logged, and the plug-in gets no further call but its detach().
    void guarded(const char *stage, const std::function<void()> &call, bool afterFailure = false);

    QString m_pluginName;
    QPointer<PluginBase> m_plugin;
    bool m_failed = false;
    QPointer<PluginSettingPage> m_settingPage;
};

} // namespace tessel
