#pragma once

#include <tessel/tessel_global.h>
#include <tessel/log/flog.h>
#include <tessel/log/qlog.h>

#include <QString>
#include <QVariant>

namespace tessel {

// A log statement for plug-ins: the same line on the debug output (with its colour) and in the
// day's log file below `base`, both complete when the statement is destroyed:
//     QFLog(logColour(LogKind::Info), logTag(LogKind::Info), QString(), base, "log") << "ready";
class TESSEL_EXPORT QFLog
{
public:
    QFLog(const QString &colour, const QString &tag, const QString &location,
          const QString &base, const QString &ext);
    ~QFLog();

    QFLog &operator<<(const QString &text);
    QFLog &operator<<(const QVariant &value);
    QFLog &operator<<(const void *pointer);
    // Anything else the debug stream prints (string literals, numbers, JSON values, ...).
    template <typename T>
    QFLog &operator<<(const T &value)
    {
        m_console << value;
        m_file << value;
        return *this;
    }

    // Automatic spaces for the rest of the statement, on both lines.
    QFLog &space();

private:
    Q_DISABLE_COPY(QFLog)

    QLog m_console;
    FLog m_file;
};

} // namespace tessel
