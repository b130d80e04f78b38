#pragma once

#include <tessel/tessel_global.h>

#include <QObject>
#include <QString>

#include <memory>

class QDate;

namespace tessel {

class PluginLogFileManagerPrivate;

/// Chooses the file of each log line, one per stem and day, rolling over to a new index at
/// 10 MiB, and deletes the oldest log files while more than 200 MiB are counted. One instance per
/// process; every operation may be called from any thread (one mutex serialises them; none
/// waits for anything else).
class TESSEL_EXPORT PluginLogFileManager : public QObject
{
    Q_OBJECT

public:
    /// The process-wide instance, made on first use and destroyed at exit.
    static PluginLogFileManager &instance();

    /// The file that the next line below `base` goes to, for today's local date.
    QString getProperLogFileName(const QString &base, const QString &ext);
    /// The file that the next line below `base` goes to, for `date`.
    QString getProperLogFileName(const QString &base, const QString &ext, const QDate &date);
    /// "<base>_<date>.<ext>" for index 0, "<base>_<date>_<index>.<ext>" for any other.
    static QString buildFileName(const QString &base, const QString &date, int index,
                                 const QString &ext);
    /// Records the size in bytes of a log file after a line was appended; may delete the
    /// oldest log files.
    void updateFileSize(const QString &fileName, long long size);
    /// The bytes of log files counted so far.
    long long totalSize() const;

private:
    Q_DISABLE_COPY(PluginLogFileManager)

    PluginLogFileManager();
    ~PluginLogFileManager() override;

    void cleanupOldFiles(const QString &path);

    const std::unique_ptr<PluginLogFileManagerPrivate> d;
};

} // namespace tessel
