#include "flog.h"

#include "pluginlogfilemanager.h"
#include "tessellog_p.h"

#include <QDir>
#include <QFileInfo>

namespace tessel {

namespace {

// Unbuffered: the whole line goes to the file in the one write() of the destructor.
constexpr QIODevice::OpenMode kAppend
    = QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered;

} // namespace

FLog::FLog(const QString &tag, const QString &location, const QString &base, const QString &ext)
    : m_stream(&m_line)
{
    m_stream.noquote().nospace();
    if (!logFileManagerAlive())
        return;
    m_fileName = PluginLogFileManager::instance().getProperLogFileName(base, ext);
    m_file.setFileName(m_fileName);
    // The folder almost always exists (the manager makes it when it first meets the stem), so it
    // is only looked at when the open fails.
    if (!m_file.open(kAppend)) {
        const QString folder = QFileInfo(m_fileName).absolutePath();
        if (QFileInfo::exists(folder) || !QDir().mkpath(folder) || !m_file.open(kAppend))
            return;
    }
    m_stream << tag;
    if (!location.isEmpty())
        m_stream << location;
}

// The line is collected in memory and appended with a single write, so statements of several
// threads or processes never interleave within a line. The size is read after the write, so
// the manager sees the line counted.
FLog::~FLog()
{
    if (!m_file.isOpen())
        return;
    m_line += QLatin1Char('\n');
    m_file.write(m_line.toLocal8Bit()); // the system locale's encoding, as a text stream's
    m_file.flush();
    const qint64 size = m_file.size();
    m_file.close();
    if (logFileManagerAlive())
        PluginLogFileManager::instance().updateFileSize(m_fileName, size);
}

FLog &FLog::operator<<(const QString &text)
{
    if (m_file.isOpen())
        m_stream << text;
    return *this;
}

FLog &FLog::operator<<(const QVariant &value)
{
    if (m_file.isOpen())
        m_stream << value.toString();
    return *this;
}

FLog &FLog::operator<<(const void *pointer)
{
    if (m_file.isOpen())
        m_stream << pointer;
    return *this;
}

FLog &FLog::space()
{
    m_stream.space();
    return *this;
}

} // namespace tessel
