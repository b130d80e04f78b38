#pragma once

#include <tessel/tessel_global.h>

#include <QDebug>
#include <QString>
#include <QVariant>

#include <memory>

namespace tessel {

// The console part of a log statement: one debug message, emitted when the last copy goes.
// Copies share the stream.
class TESSEL_EXPORT QLog
{
public:
    QLog(const QString &colour, const QString &tag, const QString &location);
    QLog(const QLog &other);
    QLog &operator=(const QLog &other);
    ~QLog();

    QLog &operator<<(const QString &text);
    QLog &operator<<(QLatin1String text);
    QLog &operator<<(const char *text); // UTF-8
    QLog &operator<<(const QVariant &value);
    QLog &operator<<(const void *pointer);
    // Anything else the debug stream prints (string literals, numbers, JSON values, ...).
    template <typename T>
    QLog &operator<<(const T &value)
    {
        if (m_message)
            stream() << value;
        return *this;
    }

    // Automatic spaces for the rest of the statement.
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
