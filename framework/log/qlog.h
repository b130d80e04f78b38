#pragma once

#include <tessel/tessel_global.h>

#include <QDebug>
#include <QString>
#include <QVariant>

#include <memory>

namespace tessel {

/// The console part of a log statement: one debug message, emitted when the last copy goes.
/// Copies share the stream; a statement and its copies belong to one thread.
class TESSEL_EXPORT QLog
{
public:
    /// Starts a message with the terminal `colour`, the `tag` and the `location` (logline.h).
    QLog(const QString &colour, const QString &tag, const QString &location);
    /// Shares `other`'s message.
    QLog(const QLog &other);
    /// Shares `other`'s message; the one held before is emitted if this was its last copy.
    QLog &operator=(const QLog &other);
    /// Emits the message to the debug output when this is its last copy.
    ~QLog();

    /// Appends `text`, unquoted.
    QLog &operator<<(const QString &text);
    /// Appends `text`, unquoted.
    QLog &operator<<(QLatin1String text);
    /// Appends `text`, read as UTF-8.
    QLog &operator<<(const char *text);
    /// Appends `value` as the debug stream prints it.
    QLog &operator<<(const QVariant &value);
    /// Appends the pointer's address.
    QLog &operator<<(const void *pointer);
    /// Appends anything else the debug stream prints (numbers, JSON values, ...).
    template <typename T>
    QLog &operator<<(const T &value)
    {
        if (m_message)
            stream() << value;
        return *this;
    }

    /// Separates the rest of the statement's parts by spaces.
    QLog &space();

private:
    class Message;

    void release();
    void appendText(const QString &text);
    void appendText(QLatin1String text);
    QDebug &stream();

    // Shared by the copies; null for a statement made while the process exits: Qt's objects
    // behind a debug message may be gone then.
    std::shared_ptr<Message> m_message;
    bool m_counted = false;
};

} // namespace tessel
