#pragma once

#include <tessel/tessel_global.h>

#include <QObject>

#include <memory>

namespace tessel {

class PluginBasePrivate;

// Base class of every plug-in. A plug-in overrides the lifecycle operations it needs; the
// framework calls them in the order init, afterInit, render, idle, detach.
class TESSEL_EXPORT PluginBase : public QObject
{
    Q_OBJECT

public:
    explicit PluginBase(QObject *parent);
    ~PluginBase() override;

    // The title in the host's navigation; empty means the plug-in's registered name.
    QString getPluginLabel() const;
    void setPluginLabel(const QString &label);

    // Whether the host renders the plug-in's page before the plug-in's own render().
    bool getDefaultGlobalSheet() const;
    void setDefaultGlobalSheet(bool on);

    virtual void init();
    virtual void afterInit();
    virtual void render();
    virtual void idle();
    virtual void detach();

private:
    const std::unique_ptr<PluginBasePrivate> d;
};

} // namespace tessel
