#pragma once

#include "nabucore_global.h"

#include <QDebug>
#include <QString>
#include <QVariant>

namespace nabu {

// The host's log statement: one coloured console line and one line appended to the day's file
// "<base>_<yyyyMMdd>.<ext>", both written when the statement is destroyed.
class NABUCORE_EXPORT QFLog
{
public:
    QFLog(const QString &colour, const QString &tag, const QString &location,
          const QString &base, const QString &ext);
    ~QFLog();

    QFLog(const QFLog &) = delete;
    QFLog &operator=(const QFLog &) = delete;

    QFLog &operator<<(const QString &text);
    QFLog &operator<<(const QVariant &value);
    QFLog &operator<<(const void *pointer);
    template <typename T>
    QFLog &operator<<(const T &value)
    {
        m_console << value;
        m_fileStream << value;
        return *this;
    }
    QFLog &space();

    static QString fileNameFor(const QString &base, const QString &ext);

private:
    QDebug m_console;
    QString m_fileName;
    QString m_fileLine;
    QDebug m_fileStream;
};

} // namespace nabu
