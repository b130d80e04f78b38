#pragma once

#include <tessel/tessel_global.h>

#include <QString>

namespace tessel {

/// The level of an operator message. Any other value is shown as information.
enum enThrowLogLevel : int {
    enInfo = 0,    ///< Information ("info" to the host).
    enWarning = 1, ///< A warning ("warning").
    enError = 2    ///< An error ("error").
};

/// Shows `text` to the operator as coming from the plug-in's module (the host stand-in puts it
/// into the emulator's message area); does not block. 0 when shown, -1 for an empty name, -2
/// (with an error log line) when the host has no module for the plug-in. GUI thread only.
TESSEL_EXPORT int ThrowLog(const QString &pluginName, enThrowLogLevel level, const QString &text);

} // namespace tessel
