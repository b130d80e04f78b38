#include "flog.h"

#include "pluginlogfilemanager.h"
#include "tessellog_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#ifdef Q_OS_WIN
#  include <qt_windows.h>
#else
#  include <cerrno>
#  include <fcntl.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace tessel {

namespace {

// The platform's append-only open: every write lands at the end of the file at the moment it is
// made, even when another thread or process opened the same file in between, so lines written
// whole are never overwritten or torn. -1 when the file cannot be opened.
qintptr openForAppend(const QString &fileName)
{
#ifdef Q_OS_WIN
    // FILE_APPEND_DATA without FILE_WRITE_DATA is what makes the system place each write at the
    // end; the sharing flags let other statements and processes open the file meanwhile.
    const QString native = QDir::toNativeSeparators(fileName);
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(native.utf16()),
                                      FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return -1;
    return reinterpret_cast<qintptr>(handle);
#else
    const QByteArray encoded = QFile::encodeName(fileName);
    int fd = -1;
    do {
        fd = ::open(encoded.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    } while (fd == -1 && errno == EINTR);
    return fd;
#endif
}

// Appends `bytes` and returns the file's size afterwards (everyone's lines included), or -1.
qint64 appendAndSize(qintptr handle, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
#ifdef Q_OS_WIN
    const HANDLE file = reinterpret_cast<HANDLE>(handle);
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(file, data, DWORD(left), &written, nullptr))
            return -1;
        data += written;
        left -= written;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size))
        return -1;
    return size.QuadPart;
#else
    const int fd = int(handle);
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        data += written;
        left -= written;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0)
        return -1;
    return qint64(status.st_size);
#endif
}

void closeHandle(qintptr handle)
{
#ifdef Q_OS_WIN
    CloseHandle(reinterpret_cast<HANDLE>(handle));
#else
    ::close(int(handle));
#endif
}

// The line in the system locale's encoding, as a text stream writes it. The locale's codec is
// looked up once: a UTF-8 locale (the usual one) then needs no codec at all, which is faster and
// stays valid while Qt's codecs are torn down at exit.
QByteArray encodeLine(const QString &line)
{
    static const bool localeIsUtf8 = QTextCodec::codecForLocale()->mibEnum() == 106;
    return localeIsUtf8 ? line.toUtf8() : line.toLocal8Bit();
}

} // namespace

FLog::FLog(const QString &tag, const QString &location, const QString &base, const QString &ext)
{
    m_counted = beginLogStatement();
    if (!m_counted)
        return;
    m_fileName = PluginLogFileManager::instance().getProperLogFileName(base, ext);
    m_handle = openForAppend(m_fileName);
    // The folder almost always exists (the manager makes it when it first meets the stem), so it
    // is only made when the open fails. Made whether or not it exists by now: another thread or
    // process may have made it between this open and the look, and this line must not be lost.
    if (m_handle == -1) {
        if (!QDir().mkpath(QFileInfo(m_fileName).absolutePath()))
            return;
        m_handle = openForAppend(m_fileName);
        if (m_handle == -1)
            return;
    }
    m_line.reserve(160); // a usual line in one allocation
    m_line += tag;
    m_line += location;
}

// The line is collected in memory and appended with a single write, so statements of several
// threads or processes never interleave within a line. The size is read after the write, so
// the manager sees the line counted.
FLog::~FLog()
{
    if (isOpen())
        appendLine();
    m_stream.reset();
    if (m_counted)
        endLogStatement();
}

void FLog::appendLine()
{
    m_stream.reset();
    m_line += QLatin1Char('\n');
    const qint64 size = appendAndSize(m_handle, encodeLine(m_line));
    closeHandle(m_handle);
    m_handle = -1;
    if (size >= 0)
        PluginLogFileManager::instance().updateFileSize(m_fileName, size);
}

FLog &FLog::operator<<(const QString &text)
{
    if (isOpen())
        appendText(text);
    return *this;
}

FLog &FLog::operator<<(QLatin1String text)
{
    if (isOpen())
        appendText(QString(text));
    return *this;
}

FLog &FLog::operator<<(const char *text)
{
    if (isOpen())
        appendText(QString::fromUtf8(text));
    return *this;
}

FLog &FLog::operator<<(const QVariant &value)
{
    if (isOpen())
        appendText(value.toString());
    return *this;
}

FLog &FLog::operator<<(const void *pointer)
{
    if (isOpen())
        stream() << pointer;
    return *this;
}

// As QDebug::space(): a space now and after every later part.
FLog &FLog::space()
{
    if (m_stream) {
        m_stream->space();
    } else {
        m_spaces = true;
        m_line += QLatin1Char(' ');
    }
    return *this;
}

void FLog::appendText(const QString &text)
{
    m_line += text;
    if (m_stream ? m_stream->autoInsertSpaces() : m_spaces)
        m_line += QLatin1Char(' ');
}

QDebug &FLog::stream()
{
    if (!m_stream) {
        m_stream.reset(new QDebug(&m_line));
        m_stream->noquote().nospace().setAutoInsertSpaces(m_spaces);
    }
    return *m_stream;
}

} // namespace tessel
