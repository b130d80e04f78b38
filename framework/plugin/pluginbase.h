#pragma once

#include <tessel/tessel_global.h>

#include <QObject>

#include <memory>

namespace tessel {

class PluginBasePrivate;

/// Base class of every plug-in. A plug-in overrides the lifecycle operations it needs; the
/// framework calls them on the GUI thread in the order init, afterInit, render, idle, detach.
/// The plug-in is a child of its host module and is destroyed with it.
class TESSEL_EXPORT PluginBase : public QObject
{
    Q_OBJECT

public:
    /// Made by the plug-in's creator with the host module as `parent`.
    explicit PluginBase(QObject *parent);
    ~PluginBase() override;

    /// The title in the host's navigation; empty (the default) means the registered name.
    QString getPluginLabel() const;
    /// Sets the navigation title; takes effect when the host module registers its entry,
    /// just before init().
    void setPluginLabel(const QString &label);

    /// Whether the host renders the plug-in's page before the plug-in's own render()
    /// (default true).
    bool getDefaultGlobalSheet() const;
    /// Sets whether the host renders the page before render().
    void setDefaultGlobalSheet(bool on);

    /// Builds the plug-in's page: called once, after the module's page and navigation entry
    /// exist; hand the page to CreateCenterWidget() here. Does nothing by default.
    virtual void init();
    /// Called once after init() of every module. Does nothing by default.
    virtual void afterInit();
    /// Called when the host renders the module. Does nothing by default.
    virtual void render();
    /// Called when the host is idle after rendering. Does nothing by default.
    virtual void idle();
    /// Called before the module goes: release what the host holds for the plug-in
    /// (subscriptions, network tasks). Does nothing by default.
    virtual void detach();

private:
    const std::unique_ptr<PluginBasePrivate> d;
};

} // namespace tessel
