#pragma once

#include <tessel/tessel_global.h>

#include <QString>

namespace tessel {

// The three kinds of log line and their fixed parts.
enum class LogKind { Error, Info, Service };

// "\033[31m", "\033[36m" or "\033[35m".
TESSEL_EXPORT QString logColour(LogKind kind);
// "[E|%1]", "[I|%1]" or "[S|%1]" with the local time now as "MM/dd hh:mm:ss.zzz".
TESSEL_EXPORT QString logTag(LogKind kind);
// The same tag for the instant `msecsSinceEpoch` (UTC milliseconds), in local time.
TESSEL_EXPORT QString logTag(LogKind kind, qint64 msecsSinceEpoch);
// "{%1@%2}" of function and line; empty when the function is empty.
TESSEL_EXPORT QString logLocation(const QString &function, int line);

} // namespace tessel
