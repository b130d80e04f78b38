#pragma once

#include <QFile>
#include <QString>

#include <cstdio>
#include <iostream>

#ifdef _WIN32
#  include <io.h>
#else
#  include <unistd.h>
#endif

// Sends what the process writes to standard error into a file until text() gives it back.
class StderrCapture
{
public:
    explicit StderrCapture(const QString &path)
        : m_path(path)
    {
        std::cerr.flush();
        std::fflush(stderr);
        m_saved = duplicate(descriptor(stderr));
        if (std::FILE *file = openForWriting(path)) {
            redirect(descriptor(file), descriptor(stderr));
            std::fclose(file);
        }
    }
    ~StderrCapture() { restore(); }
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;

    QString text()
    {
        restore();
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::cerr.flush();
        std::fflush(stderr);
        redirect(m_saved, descriptor(stderr));
        release(m_saved);
        m_saved = -1;
    }
#ifdef _WIN32
    static std::FILE *openForWriting(const QString &path)
    {
        std::FILE *file = nullptr;
        return _wfopen_s(&file, reinterpret_cast<const wchar_t *>(path.utf16()), L"w") == 0
                   ? file
                   : nullptr;
    }
    static int descriptor(std::FILE *file) { return _fileno(file); }
    static int duplicate(int fd) { return _dup(fd); }
    static void redirect(int from, int to) { _dup2(from, to); }
    static void release(int fd) { _close(fd); }
#else
    static std::FILE *openForWriting(const QString &path)
    {
        return std::fopen(path.toLocal8Bit().constData(), "w");
    }
    static int descriptor(std::FILE *file) { return fileno(file); }
    static int duplicate(int fd) { return dup(fd); }
    static void redirect(int from, int to) { dup2(from, to); }
    static void release(int fd) { close(fd); }
#endif

    QString m_path;
    int m_saved = -1;
};
