#pragma once

#include "tessel_global.h"

#include <QDebug>
#include <QString>
#include <QVariant>

namespace tessel {

// The file part of a log statement: one line appended to the file that PluginLogFileManager
// chooses, written when the statement is destroyed. A file that cannot be opened makes every
// operation a no-op.
class TESSEL_EXPORT FLog
{
public:
    FLog(const QString &tag, const QString &location, const QString &base, const QString &ext);
    ~FLog();

    FLog &operator<<(const QString &text);
    FLog &operator<<(const QVariant &value);
    FLog &operator<<(const void *pointer);
    // Anything else the debug stream prints (string literals, numbers, JSON values, ...).
    template <typename T>
    FLog &operator<<(const T &value)
    {
        if (isOpen())
            m_stream << value;
        return *this;
    }

    // Automatic spaces for the rest of the statement.
    FLog &space();

private:
    Q_DISABLE_COPY(FLog)

    bool isOpen() const { return m_handle != -1; }

    // Opened for appending only (a POSIX descriptor or a Windows HANDLE); -1 when closed. Not a
    // QFile: its open and close cost four system calls more than the append needs, and on
    // Windows it opens with plain write access, so concurrent appends could overwrite each other.
    qintptr m_handle = -1;
    QString m_line;
    QDebug m_stream; // into m_line
    QString m_fileName;
};

} // namespace tessel
