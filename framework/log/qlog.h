#pragma once

#include <tessel/tessel_global.h>

#include <QDebug>
#include <QScopedPointer>
#include <QString>
#include <QVariant>

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
    QLog &operator<<(const QVariant &value);
    QLog &operator<<(const void *pointer);
    // Anything else the debug stream prints (string literals, numbers, JSON values, ...).
    template <typename T>
    QLog &operator<<(const T &value)
    {
        if (m_stream)
            *m_stream << value;
        return *this;
    }

    // Automatic spaces for the rest of the statement.
    QLog &space();

private:
    void release();

    // Null for a statement made while the process exits: Qt's objects behind a debug stream
    // may be gone then.
    QScopedPointer<QDebug> m_stream;
    bool m_counted = false;
};

} // namespace tessel
