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
#  include <unistd.h>
#endif

namespace tessel {

namespace {

#ifdef Q_OS_WIN
using NativeName = QString;
NativeName nativeName(const QString &fileName)
{
    return QDir::toNativeSeparators(fileName);
}
#else
using NativeName = QByteArray;
NativeName nativeName(const QString &fileName)
{
    return QFile::encodeName(fileName);
}
#endif

// The name as the system takes it. A thread's statements mostly go to the file of its last one,
// so the last conversion is kept rather than made again for every line.
struct LastConversion
{
    ~LastConversion();
    QString fileName;
    NativeName native;
};
// Plain data, so valid to the thread's very end: a statement made after the thread's conversion
// is gone (from a static destructor at exit) converts without it.
thread_local bool t_conversionGone = false;
thread_local LastConversion t_conversion;

LastConversion::~LastConversion()
{
    t_conversionGone = true;
}

NativeName nativeNameOf(const QString &fileName)
{
    if (t_conversionGone)
        return nativeName(fileName);
    LastConversion &last = t_conversion;
    if (fileName != last.fileName || last.native.isEmpty()) {
        last.native = nativeName(fileName);
        last.fileName = fileName;
    }
    return last.native;
}

// The platform's append-only open: every write lands at the end of the file at the moment it is
// made, even when another thread or process opened the same file in between, so lines written
// whole are never overwritten or torn. -1 when the file cannot be opened.
qintptr openForAppend(const QString &fileName)
{
    const NativeName native = nativeNameOf(fileName);
#ifdef Q_OS_WIN
    // FILE_APPEND_DATA without FILE_WRITE_DATA is what makes the system place each write at the
    // end; the sharing flags let other statements and processes open the file meanwhile.
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(native.utf16()),
                                      FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return -1;
    return reinterpret_cast<qintptr>(handle);
#else
    int fd = -1;
    do {
        fd = ::open(native.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
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
    // The end of the file is its size. Asked for with fstat(), the answer would carry the file's
    // times too, and a file system with fine-grained times (ext4, xfs, btrfs on recent Linux)
    // then stamps the next write with a new time: the inode goes through the journal on every
    // line, which costs about as much as the write itself and serialises concurrent writers.
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0)
        return -1;
    return qint64(end);
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
        appendText(text);
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
    appendSpace();
}

void FLog::appendText(QLatin1String text)
{
    m_line += text;
    appendSpace();
}

void FLog::appendSpace()
{
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
