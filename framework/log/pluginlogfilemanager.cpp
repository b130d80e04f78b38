#include "pluginlogfilemanager.h"

#include "tessellog_p.h"

#include <QDate>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QPair>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <atomic>

namespace tessel {

namespace {

constexpr qint64 kRollOverSize = 10 * 1024 * 1024;
constexpr qint64 kCleanupLimit = 200 * 1024 * 1024;

// Constant-initialised, so it is valid before the manager exists and after it is gone.
std::atomic<bool> s_managerDestroyed{false};

// "yyyyMMdd" without going through QLocale for every statement.
QString dateText(const QDate &date)
{
    const int year = date.year();
    if (!date.isValid() || year < 1000 || year > 9999)
        return date.toString(QStringLiteral("yyyyMMdd"));
    QString text(8, Qt::Uninitialized);
    const int fields[3][2] = {{year, 4}, {date.month(), 2}, {date.day(), 2}};
    int position = 0;
    for (const auto &field : fields) {
        for (int i = field[1] - 1, value = field[0]; i >= 0; --i, value /= 10)
            text[position + i] = QLatin1Char(char('0' + value % 10));
        position += field[1];
    }
    return text;
}

// The file name up to its first ".".
QString baseNameOf(const QString &fileName)
{
    return QFileInfo(fileName).baseName();
}

// Reads back what buildFileName() writes, "<stem>_<yyyyMMdd>[_<index>].<ext>": the key
// "<stem>_<yyyyMMdd>" and, when the name carries one that is a number, the roll-over index (0
// without one). A last part of eight characters is the date, so that a stem holding "_" keeps
// its index-0 file ("my_plugin_20260104"); otherwise the date is the second-to-last part. False
// when there is no eight-character date there.
bool keyOfLogFile(const QString &fileName, QString *key, int *index, bool *hasIndex)
{
    const QStringList parts = baseNameOf(fileName).split(QLatin1Char('_'));
    if (parts.size() < 2)
        return false;
    const bool dateLast = parts.last().size() == 8;
    if (!dateLast && parts.size() < 3)
        return false;
    const int datePosition = dateLast ? parts.size() - 1 : parts.size() - 2;
    const QString &day = parts.at(datePosition);
    if (day.size() != 8)
        return false;
    QString stem = parts.first();
    for (int i = 1; i < datePosition; ++i)
        stem += QLatin1Char('_') + parts.at(i);
    *key = stem + QLatin1Char('_') + day;
    *hasIndex = true;
    *index = dateLast ? 0 : parts.last().toInt(hasIndex);
    return true;
}

} // namespace

class PluginLogFileManagerPrivate
{
public:
    QMutex mutex; // held for the whole of getProperLogFileName and updateFileSize
    QStringList scannedBases;
    QMap<QString, int> fileIndex;
    QMap<QString, qint64> fileSize;
    qint64 totalSize = 0;
    // Files deleted under the mutex, reported once it is released.
    QVector<QPair<QString, qint64>> cleaned;

    // With the mutex held. When a deleted file was the one a key is writing, that key starts
    // again from nothing: its bytes already left the total.
    void forgetCurrentFile(const QString &fileName)
    {
        QString key;
        int index = 0;
        bool hasIndex = false;
        if (!keyOfLogFile(fileName, &key, &index, &hasIndex) || !hasIndex)
            return;
        const auto current = fileIndex.constFind(key);
        if (current != fileIndex.constEnd() && current.value() == index)
            fileSize.insert(key, 0);
    }
};

bool logFileManagerAlive()
{
    return !s_managerDestroyed.load(std::memory_order_acquire);
}

PluginLogFileManager::PluginLogFileManager()
    : d(new PluginLogFileManagerPrivate)
{
}

PluginLogFileManager::~PluginLogFileManager()
{
    s_managerDestroyed.store(true, std::memory_order_release);
}

PluginLogFileManager &PluginLogFileManager::instance()
{
    static PluginLogFileManager manager;
    return manager;
}

QString PluginLogFileManager::getProperLogFileName(const QString &base, const QString &ext)
{
    return getProperLogFileName(base, ext, currentLogDate());
}

// Folders are listed only the first time a stem, and a stem's day, are met; afterwards each
// statement costs one look at the current file.
QString PluginLogFileManager::getProperLogFileName(const QString &base, const QString &ext,
                                                   const QDate &date)
{
    const QString day = dateText(date);
    const QFileInfo baseInfo(base);
    const QString stem = baseInfo.fileName();
    const QString folder = baseInfo.path();
    const QString key = stem + QLatin1Char('_') + day;

    QString name;
    QVector<QPair<QString, qint64>> cleaned;
    {
        QMutexLocker locker(&d->mutex);

        if (!d->scannedBases.contains(stem)) {
            QDir().mkpath(folder);
            const QFileInfoList existing
                = QDir(folder).entryInfoList({stem + QLatin1String("*.") + ext}, QDir::Files);
            for (const QFileInfo &file : existing)
                d->totalSize += file.size();
            d->scannedBases.append(stem);
        }

        const bool newKey = !d->fileIndex.contains(key);
        if (newKey) {
            d->fileSize.insert(key, 0);
            QDir().mkpath(folder);
            const QStringList names = QDir(folder).entryList(
                {key + QLatin1Char('*') + QLatin1Char('.') + ext}, QDir::Files);
            int highest = 0;
            for (const QString &existing : names) {
                const QStringList parts = baseNameOf(existing).split(QLatin1Char('_'));
                // The date in the middle: for a stem holding "_", "my_plugin_<date>" also
                // splits into three, and its date is no index.
                bool isNumber = false;
                const int index
                    = parts.size() == 3 && parts.at(1) == day ? parts.at(2).toInt(&isNumber) : 0;
                if (isNumber)
                    highest = std::max(highest, index);
            }
            d->fileIndex.insert(key, highest);
        }

        int &index = d->fileIndex[key];
        name = buildFileName(base, day, index, ext);
        // size() first: its one stat also answers exists().
        const QFileInfo current(name);
        const qint64 currentSize = current.size();
        const bool exists = current.exists();
        // The size on disk decides the roll-over, whoever made the file grow. It becomes the
        // last known size only for a new key (the scan counted those bytes); otherwise the sizes
        // reported after each line stay the base of the total, which a reading taken while
        // other threads' lines are still unreported would make drift down without bound.
        if (newKey && exists)
            d->fileSize.insert(key, currentSize);

        if ((exists ? currentSize : d->fileSize.value(key)) >= kRollOverSize) {
            ++index;
            d->fileSize.insert(key, 0);
            cleanupOldFiles(base);
            name = buildFileName(base, day, index, ext);
        }
        cleaned.swap(d->cleaned);
    }
    // Outside the mutex: a message handler that itself logs must not deadlock.
    for (const auto &file : qAsConst(cleaned))
        qDebug() << "Cleaned old log file:" << file.first << "size:" << file.second;
    return name;
}

QString PluginLogFileManager::buildFileName(const QString &base, const QString &date, int index,
                                            const QString &ext)
{
    QString name = base + QLatin1Char('_') + date;
    if (index != 0)
        name += QLatin1Char('_') + QString::number(index);
    return name + QLatin1Char('.') + ext;
}

void PluginLogFileManager::updateFileSize(const QString &fileName, long long size)
{
    QString key;
    int index = 0;
    bool hasIndex = false;
    if (!keyOfLogFile(fileName, &key, &index, &hasIndex))
        return;

    QVector<QPair<QString, qint64>> cleaned;
    {
        QMutexLocker locker(&d->mutex);

        // A statement that chose its file before another statement rolled over to the next
        // index reports the size of the full file. Taken as the size of the new file, it would
        // count the full file a second time; its last line stays uncounted instead.
        const auto current = d->fileIndex.constFind(key);
        if (hasIndex && current != d->fileIndex.constEnd() && index != current.value())
            return;

        const qint64 previous = d->fileSize.value(key, 0);
        d->fileSize.insert(key, size);
        d->totalSize += size - previous;
        if (d->totalSize > kCleanupLimit)
            cleanupOldFiles(fileName);
        cleaned.swap(d->cleaned);
    }
    for (const auto &file : qAsConst(cleaned))
        qDebug() << "Cleaned old log file:" << file.first << "size:" << file.second;
}

long long PluginLogFileManager::totalSize() const
{
    QMutexLocker locker(&d->mutex);
    return d->totalSize;
}

// Called with the mutex held. Deletes *.log files in the folder of `path` and its subfolders,
// oldest first, while more than the limit is counted; may take other stems' files too.
void PluginLogFileManager::cleanupOldFiles(const QString &path)
{
    const QString folder = QFileInfo(path).path();
    // Below the limit nothing would be deleted: spare the walk.
    if (d->totalSize <= kCleanupLimit || !QFileInfo(folder).isDir())
        return;

    QVector<QPair<QDateTime, QFileInfo>> files;
    QDirIterator it(folder, {QStringLiteral("*.log")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        files.append({it.fileInfo().lastModified(), it.fileInfo()});
    }
    std::stable_sort(files.begin(), files.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });

    for (const auto &file : qAsConst(files)) {
        if (d->totalSize <= kCleanupLimit)
            break;
        const qint64 size = file.second.size();
        if (QFile::remove(file.second.filePath())) {
            d->totalSize -= size;
            d->cleaned.append({file.second.filePath(), size});
            d->forgetCurrentFile(file.second.fileName());
        }
    }
}

} // namespace tessel
