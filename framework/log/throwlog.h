#pragma once

#include <tessel/tessel_global.h>

#include <QString>

namespace tessel {

// The level of an operator message. Any other value is shown as information.
enum enThrowLogLevel : int { enInfo = 0, enWarning = 1, enError = 2 };

// Shows `text` to the operator as coming from the plug-in's module. 0 when shown, -1 for an
// empty name, -2 when the host has no module for the plug-in.
TESSEL_EXPORT int ThrowLog(const QString &pluginName, enThrowLogLevel level, const QString &text);

} // namespace tessel
