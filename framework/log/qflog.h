#pragma once

#include <tessel/tessel_global.h>
#include <tessel/log/flog.h>
#include <tessel/log/qlog.h>

#include <QString>
#include <QVariant>

namespace tessel {

/// A log statement for plug-ins: the same line on the debug output (with its colour) and in the
/// day's log file below `base`, both complete when the statement is destroyed:
/// @code
/// QFLog(logColour(LogKind::Info), logTag(LogKind::Info), QString(), base, "log") << "ready";
/// @endcode
/// A statement is used by one thread; statements on different threads may run at once. The
/// file part's failures (a folder that cannot be made, a full disk) lose the file line only.
class TESSEL_EXPORT QFLog
{
public:
    /// Starts a line with `colour` (console only), `tag` and `location` (see logline.h). The
    /// file is "<base>_<yyyyMMdd>.<ext>", with "_<n>" before the extension once a day's file
    /// reached 10 MiB; relative `base` paths resolve against the current folder. The plug-ins'
    /// convention is the base "./log/tessel/<name>/<name>" and the extension "log".
    QFLog(const QString &colour, const QString &tag, const QString &location,
          const QString &base, const QString &ext);
    /// Writes the line to the debug output and appends it to the file.
    ~QFLog();

    /// Appends `text`, unquoted.
    QFLog &operator<<(const QString &text);
    /// Appends `value` as the debug stream prints it.
    QFLog &operator<<(const QVariant &value);
    /// Appends the pointer's address.
    QFLog &operator<<(const void *pointer);
    /// Appends anything else the debug stream prints (string literals, numbers, JSON values).
    template <typename T>
    QFLog &operator<<(const T &value)
    {
        m_console << value;
        m_file << value;
        return *this;
    }

    /// Separates the rest of the statement's parts by spaces, on both lines.
    QFLog &space();

private:
    Q_DISABLE_COPY(QFLog)

    QLog m_console;
    FLog m_file;
};

} // namespace tessel
