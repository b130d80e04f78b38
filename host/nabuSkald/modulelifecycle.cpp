#include "modulelifecycle.h"

#include "bmodule.h"

namespace skald {
namespace lifecycle {

BModule *create(const QString &name, QObject *parent)
{
    return bfactory().create(name, parent);
}

void start(BModule *module)
{
    if (!module)
        return;
    module->setup();
    module->afterSetup();
    module->init();
    module->afterInit();
    module->render();
    module->afterRender();
    module->idle();
    module->afterIdle();
}

void stop(BModule *module)
{
    if (!module)
        return;
    module->beforeDetach();
    module->detach();
}

} // namespace lifecycle
} // namespace skald
