#pragma once

#include <tessel/tessel_global.h>

#include <QString>

namespace tessel {

/// The three kinds of log line; each has a colour and a tag letter.
enum class LogKind {
    Error,  ///< Red, tag "E".
    Info,   ///< Cyan, tag "I".
    Service ///< Magenta, tag "S": traffic with the controller and the plug-ins' own lines.
};

/// The terminal colour of a kind: "\033[31m", "\033[36m" or "\033[35m". Any thread.
TESSEL_EXPORT QString logColour(LogKind kind);
/// The tag "[E|<time>]", "[I|<time>]" or "[S|<time>]" with the local time now as
/// "MM/dd hh:mm:ss.zzz". Any thread.
TESSEL_EXPORT QString logTag(LogKind kind);
/// The same tag for the instant `msecsSinceEpoch` (UTC milliseconds), in local time.
TESSEL_EXPORT QString logTag(LogKind kind, qint64 msecsSinceEpoch);
/// "{<function>@<line>}"; empty when `function` is empty.
TESSEL_EXPORT QString logLocation(const QString &function, int line);

} // namespace tessel
