#include "qflog.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace nabu {

QFLog::QFLog(const QString &colour, const QString &tag, const QString &location,
             const QString &base, const QString &ext)
    : m_console(QMessageLogger().debug())
    , m_fileName(fileNameFor(base, ext))
    , m_fileStream(&m_fileLine)
{
    m_console.noquote().nospace();
    m_fileStream.noquote().nospace();
    m_console << colour << tag;
    m_fileStream << tag;
    if (!location.isEmpty()) {
        m_console << location;
        m_fileStream << location;
    }
}

// The file line is collected in memory and appended in one write, so that statements from
// several threads or processes never interleave within a line.
QFLog::~QFLog()
{
    QDir().mkpath(QFileInfo(m_fileName).absolutePath());
    QFile file(m_fileName);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write((m_fileLine + QLatin1Char('\n')).toLocal8Bit());
    m_console << "\033[0m";
}

QFLog &QFLog::operator<<(const QString &text)
{
    m_console << text;
    m_fileStream << text;
    return *this;
}

QFLog &QFLog::operator<<(const QVariant &value)
{
    return *this << value.toString();
}

QFLog &QFLog::operator<<(const void *pointer)
{
    m_console << pointer;
    m_fileStream << pointer;
    return *this;
}

QFLog &QFLog::space()
{
    m_console.space();
    m_fileStream.space();
    return *this;
}

QString QFLog::fileNameFor(const QString &base, const QString &ext)
{
    return QStringLiteral("%1_%2.%3")
        .arg(base, QDate::currentDate().toString(QStringLiteral("yyyyMMdd")), ext);
}

} // namespace nabu
