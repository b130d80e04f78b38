#pragma once

#include <tessel/tessel_global.h>

#include <QDebug>
#include <QScopedPointer>
#include <QString>
#include <QVariant>

namespace tessel {

/// The file part of a log statement: one line appended to the file that PluginLogFileManager
/// chooses, written when the statement is destroyed. A file that cannot be opened makes every
/// operation a no-op. A statement belongs to one thread; statements on several threads may
/// append to one file at once, each line whole.
class TESSEL_EXPORT FLog
{
public:
    /// Opens the day's file below `base` with extension `ext` for appending (making its folder)
    /// and starts the line with `tag` and `location`.
    FLog(const QString &tag, const QString &location, const QString &base, const QString &ext);
    /// Appends the line and its end to the file and closes it.
    ~FLog();

    /// Appends `text`, unquoted.
    FLog &operator<<(const QString &text);
    /// Appends `text`, unquoted.
    FLog &operator<<(QLatin1String text);
    /// Appends `text`, read as UTF-8.
    FLog &operator<<(const char *text);
    /// Appends `value` as the debug stream prints it.
    FLog &operator<<(const QVariant &value);
    /// Appends the pointer's address.
    FLog &operator<<(const void *pointer);
    /// Appends anything else the debug stream prints (numbers, JSON values, ...).
    template <typename T>
    FLog &operator<<(const T &value)
    {
        if (isOpen())
            stream() << value;
        return *this;
    }

    /// Separates the rest of the statement's parts by spaces.
    FLog &space();

private:
    Q_DISABLE_COPY(FLog)

    bool isOpen() const { return m_handle != -1; }
    // Text goes straight into the line, as the debug stream would write it; the stream, whose
    // making costs about as much as the file's write, is made only for other types.
    void appendText(const QString &text);
    void appendText(QLatin1String text);
    void appendSpace();
    void appendLine();
    QDebug &stream();

    // Opened for appending only (a POSIX descriptor or a Windows HANDLE); -1 when closed. Not a
    // QFile: its open and close cost four system calls more than the append needs, and on
    // Windows it opens with plain write access, so concurrent appends could overwrite each other.
    qintptr m_handle = -1;
    QString m_line;
    QScopedPointer<QDebug> m_stream; // into m_line, once needed
    bool m_spaces = false;
    bool m_counted = false; // between beginLogStatement() and endLogStatement()
    QString m_fileName;
};

} // namespace tessel
