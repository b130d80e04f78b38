#include "qlog.h"

#include "tessellog_p.h"

#include <QMessageLogger>

namespace tessel {

// No file, line or function: the line carries its own location.
QLog::QLog(const QString &colour, const QString &tag, const QString &location)
{
    m_counted = beginLogStatement();
    if (!m_counted)
        return;
    m_stream.reset(new QDebug(QMessageLogger().debug()));
    m_stream->noquote().nospace();
    *m_stream << colour << tag;
    if (!location.isEmpty())
        *m_stream << location;
}

QLog::QLog(const QLog &other)
{
    *this = other;
}

// As a debug stream's assignment: this copy's share of its old stream goes (emitting the message
// when it was the last), then it shares the other's.
QLog &QLog::operator=(const QLog &other)
{
    if (this == &other)
        return *this;
    release();
    if (other.m_stream) {
        m_counted = beginLogStatement();
        if (m_counted)
            m_stream.reset(new QDebug(*other.m_stream));
    }
    return *this;
}

// Each copy ends with the reset sequence; the message goes out when the last copy releases the
// shared stream.
QLog::~QLog()
{
    if (m_stream)
        *m_stream << "\033[0m";
    release();
}

void QLog::release()
{
    m_stream.reset();
    if (m_counted)
        endLogStatement();
    m_counted = false;
}

QLog &QLog::operator<<(const QString &text)
{
    if (m_stream)
        *m_stream << text;
    return *this;
}

QLog &QLog::operator<<(const QVariant &value)
{
    if (m_stream)
        *m_stream << value.toString();
    return *this;
}

QLog &QLog::operator<<(const void *pointer)
{
    if (m_stream)
        *m_stream << pointer;
    return *this;
}

QLog &QLog::space()
{
    if (m_stream)
        m_stream->space();
    return *this;
}

} // namespace tessel
