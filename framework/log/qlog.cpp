#include "qlog.h"

#include <QMessageLogger>

namespace tessel {

// No file, line or function: the line carries its own location.
QLog::QLog(const QString &colour, const QString &tag, const QString &location)
    : m_stream(QMessageLogger().debug())
{
    m_stream.noquote().nospace();
    m_stream << colour << tag;
    if (!location.isEmpty())
        m_stream << location;
}

QLog::QLog(const QLog &other) = default;

QLog &QLog::operator=(const QLog &other) = default;

// Each copy ends with the reset sequence; the message goes out when the last copy releases the
// shared stream.
QLog::~QLog()
{
    m_stream << "\033[0m";
}

QLog &QLog::operator<<(const QString &text)
{
    m_stream << text;
    return *this;
}

QLog &QLog::operator<<(const QVariant &value)
{
    m_stream << value.toString();
    return *this;
}

QLog &QLog::operator<<(const void *pointer)
{
    m_stream << pointer;
    return *this;
}

QLog &QLog::space()
{
    m_stream.space();
    return *this;
}

} // namespace tessel
