#include "qflog.h"

namespace tessel {

QFLog::QFLog(const QString &colour, const QString &tag, const QString &location,
             const QString &base, const QString &ext)
    : m_console(colour, tag, location)
    , m_file(tag, location, base, ext)
{
}

// Members go in reverse order: the file line is written and counted before the console line is
// emitted.
QFLog::~QFLog() = default;

QFLog &QFLog::operator<<(const QString &text)
{
    m_console << text;
    m_file << text;
    return *this;
}

QFLog &QFLog::operator<<(const QVariant &value)
{
    m_console << value;
    m_file << value;
    return *this;
}

QFLog &QFLog::operator<<(const void *pointer)
{
    m_console << pointer;
    m_file << pointer;
    return *this;
}

QFLog &QFLog::space()
{
    m_console.space();
    m_file.space();
    return *this;
}

} // namespace tessel
