#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>

#include <cstdio>
#include <cstring>

// What every logging benchmark writes and checks: lines of 100 bytes with the line end, each
// "<thread>-<index>-" then padding, so that a lost, torn or doubled line is found afterwards.
namespace benchlines {

constexpr int kLineBytes = 100; // with the line end

// Line number `index` of thread `thread`, `length` bytes without the line end, into `out`.
inline int format(char *out, int length, int thread, long long index)
{
    const int n = std::snprintf(out, size_t(length) + 1, "%d-%lld-", thread, index);
    std::memset(out + n, 'x', size_t(length - n));
    return length;
}

// The lines of every "*.log" file below `folder` (one run's files) hold each (thread, index)
// with thread < threads and index < perThread exactly once, whole, after a prefix of fixed
// length `prefix` (a tag the logger adds); the first `skip` bytes of `skipFile` are not lines.
// Prints what is wrong and returns false otherwise.
bool verify(const QString &folder, int prefix, int threads, long long perThread,
            const QString &skipFile = QString(), qint64 skip = 0);

// A fresh folder for one run below the benchmark's own temporary folder, and in it the base
// of the run's log files, of a stem no other run uses (the log file manager keys by stem).
QString runBase(const char *name);

} // namespace benchlines
