#pragma once

#include "nabuskald_global.h"

#include <nabuCore/creatormanager.h>

#include <QObject>

class QWidget;

namespace nabu {
class ModuleObject;
}

namespace skald {

// A module of the host: bound to a data-tree node by name, driven through its lifecycle.
class NABUSKALD_EXPORT BModule : public QObject
{
    Q_OBJECT

public:
    explicit BModule(QObject *parent = nullptr);
    ~BModule() override;

    // Binds the module to the node m(name); bModule(name) finds it from then on.
    void bindMobj(const QString &name);
    nabu::ModuleObject *mobj() const;
    QString boundName() const;

    // Asks the host to render the module's page.
    void startRender();
    int renderRequests() const;

    virtual QString name() const;
    virtual QWidget *wgt();
    virtual void setup();
    virtual void afterSetup();
    virtual void init();
    virtual void afterInit();
    virtual void render();
    virtual void afterRender();
    virtual void idle();
    virtual void afterIdle();
    virtual void detach();
    virtual void beforeDetach();

signals:
    void renderRequested();

private:
    nabu::ModuleObject *m_mobj = nullptr;
    QString m_boundName;
    int m_renderRequests = 0;
};

using ModuleFactory = nabu::CreatorManager<BModule *(QObject *)>;

// The host's module factory.
NABUSKALD_EXPORT ModuleFactory &bfactory();
// The live module bound under `name`, or null.
NABUSKALD_EXPORT BModule *bModule(const QString &name);

} // namespace skald
