#pragma once

#include "nabuskald_global.h"

#include <QString>

class QObject;

namespace skald {

class BModule;

// How the host brings a module up and down.
namespace lifecycle {

// Creates the module registered under `name` in bfactory(); null when there is none.
NABUSKALD_EXPORT BModule *create(const QString &name, QObject *parent);
// setup, afterSetup, init, afterInit, render, afterRender, idle, afterIdle.
NABUSKALD_EXPORT void start(BModule *module);
// beforeDetach, detach.
NABUSKALD_EXPORT void stop(BModule *module);

} // namespace lifecycle
} // namespace skald
