#include "pluginlogfilemanager.h"
#include "pluginlogfilemanager_p.h"

#include "tessellog_p.h"

#include <QDate>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPair>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <unordered_map>

namespace tessel {

namespace {

constexpr qint64 kRollOverSize = 10 * 1024 * 1024;
constexpr qint64 kCleanupLimit = 200 * 1024 * 1024;

// Folder walks of the clean-up, for tests to count.
std::atomic<int> s_cleanupWalks{0};

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

// "<stem>_<yyyyMMdd>[_<index>]" read into its key and index; see keyOfLogFile().
bool keyOfName(const QString &name, QString *key, int *index, bool *hasIndex)
{
    const QStringList parts = name.split(QLatin1Char('_'));
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

// Reads back what buildFileName() writes, "<stem>_<yyyyMMdd>[_<index>].<ext>": the key
// "<stem>_<yyyyMMdd>" and, when the name carries one that is a number, the roll-over index (0
// without one). A last part of eight characters is the date, so that a stem holding "_" keeps
// its index-0 file ("my_plugin_20260104"); otherwise the date is the second-to-last part. A stem
// may hold "." too ("V2.1"), and so may the extension: suffixes are taken off one at a time until
// the rest reads as a key. False when no eight-character date is found.
bool keyOfLogFile(const QString &fileName, QString *key, int *index, bool *hasIndex)
{
    QString name = QFileInfo(fileName).fileName();
    if (!name.contains(QLatin1Char('.')))
        return keyOfName(name, key, index, hasIndex);
    for (int dot = name.lastIndexOf(QLatin1Char('.')); dot > 0;
         dot = name.lastIndexOf(QLatin1Char('.'))) {
        name.truncate(dot);
        if (keyOfName(name, key, index, hasIndex))
            return true;
    }
    return false;
}

// How file names compare where the logs are: Windows ignores case.
#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kNameCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kNameCase = Qt::CaseSensitive;
#endif

bool isAsciiNumber(const QStringRef &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

// Whether `name` is one that buildFileName() gives `stem` and `ext`, "<stem>_<yyyyMMdd>.<ext>"
// or "<stem>_<yyyyMMdd>_<index>.<ext>" (index from 1, no leading zero), on `day` unless that is
// empty; `*index` gets the index, 0 without one. A folder shared by stems holds names like
// "my_plugin_20260104.log", which a prefix match would count for the stem "my" as well.
bool isOwnLogFile(const QString &name, const QString &stem, const QString &day,
                  const QString &ext, int *index)
{
    const int dateSize = day.isEmpty() ? 8 : day.size();
    if (name.size() < stem.size() + dateSize + ext.size() + 2
        || !name.startsWith(stem + QLatin1Char('_'), kNameCase)
        || !name.endsWith(QLatin1Char('.') + ext, kNameCase))
        return false;
    const QStringRef middle
        = name.midRef(stem.size() + 1, name.size() - stem.size() - ext.size() - 2);
    const QStringRef date = middle.left(dateSize);
    if (day.isEmpty() ? !isAsciiNumber(date) : date != day)
        return false;
    const QStringRef rest = middle.mid(dateSize);
    *index = 0;
    if (rest.isEmpty())
        return true;
    const QStringRef number = rest.mid(1);
    if (rest.at(0) != QLatin1Char('_') || !isAsciiNumber(number)
        || number.at(0) == QLatin1Char('0'))
        return false;
    bool ok = false;
    *index = number.toInt(&ok);
    return ok;
}

} // namespace

class PluginLogFileManagerPrivate
{
public:
    // What is known of a key "<stem>_<yyyyMMdd>": whether a name was chosen for it (its index is
    // then the current one), that index, and the size counted for its current file.
    struct KeyState
    {
        bool chosen = false;
        int index = 0;
        qint64 size = 0;
    };
    struct StringHash
    {
        size_t operator()(const QString &text) const { return qHash(text); }
    };

    // The name last given for a base and what it was made of: while its key stays at that index
    // below the roll-over, the next statement of the base gets it again without building a
    // string. Statements come many to a base, so this spares most of the cost of choosing.
    struct LastName
    {
        QString ext;
        QDate date;
        KeyState *key;
        int index;
        QString name;
    };

    // What keyOfLogFile() read from a name reported, which is mostly the same few names.
    struct ReportedName
    {
        bool valid;
        KeyState *key;
        int index;
        bool hasIndex;
    };

    // Held for the bookkeeping and the folder work (making the folder, picking the file, clean-up),
    // never across a statement's open, write and close. A standard mutex rather
    // than QMutex: the thread sanitizer sees its hand-overs, not those inside Qt's uninstrumented
    // code.
    std::mutex mutex;
    QStringList scannedBases;
    // Never erased, so the pointers of LastName and ReportedName stay valid.
    std::unordered_map<QString, KeyState, StringHash> keys;
    qint64 totalSize = 0;
    // Files deleted under the mutex, reported once it is released.
    QVector<QPair<QString, qint64>> cleaned;
    // For each folder whose walk ended with nothing more to delete while still over the limit,
    // the total then. Walking it again before the total moved by a roll-over's worth would find
    // the same files, at the cost of about fifty statements each time.
    QHash<QString, qint64> exhaustedAt;

    std::unordered_map<QString, LastName, StringHash> lastNames;
    QHash<QString, ReportedName> reportedNames;
    // The base and the name met last: a statement usually meets the same ones as the one before
    // it, and comparing them costs less than hashing them.
    QString lastBase;
    LastName *lastBaseName = nullptr;
    QString lastReportedName;
    ReportedName lastReported = {false, nullptr, 0, false};

    // With the mutex held: what was last chosen for `base`, or null.
    LastName *lastNameOf(const QString &base)
    {
        if (lastBaseName && base == lastBase)
            return lastBaseName;
        const auto it = lastNames.find(base);
        if (it == lastNames.end())
            return nullptr;
        lastBase = base;
        lastBaseName = &it->second;
        return lastBaseName;
    }

    // With the mutex held: `fileName` read back into its key and index.
    const ReportedName &reportedNameOf(const QString &fileName)
    {
        if (lastReported.key && fileName == lastReportedName)
            return lastReported;
        auto reported = reportedNames.constFind(fileName);
        if (reported == reportedNames.constEnd()) {
            if (reportedNames.size() >= 1024) // names of days long gone
                reportedNames.clear();
            ReportedName parsed = {false, nullptr, 0, false};
            QString key;
            parsed.valid = keyOfLogFile(fileName, &key, &parsed.index, &parsed.hasIndex);
            if (parsed.valid)
                parsed.key = &keys[key];
            reported = reportedNames.insert(fileName, parsed);
        }
        lastReportedName = fileName;
        lastReported = reported.value();
        return lastReported;
    }

    // With the mutex held: whether `fileName` is the file that a key is writing now.
    bool isCurrentFile(const QString &fileName) const
    {
        QString key;
        int index = 0;
        bool hasIndex = false;
        if (!keyOfLogFile(fileName, &key, &index, &hasIndex) || !hasIndex)
            return false;
        const auto current = keys.find(key);
        return current != keys.end() && current->second.chosen && current->second.index == index;
    }
};

int logCleanupWalkCount()
{
    return s_cleanupWalks.load();
}

PluginLogFileManager::PluginLogFileManager()
    : d(new PluginLogFileManagerPrivate)
{
}

PluginLogFileManager::~PluginLogFileManager() = default;

// Never destroyed: a thread may still log while static destructors run at exit, and no check
// made before using the manager could rule out its destruction right after. It holds no open
// file, so nothing is lost by leaving it to the end of the process.
PluginLogFileManager &PluginLogFileManager::instance()
{
    static PluginLogFileManager *const manager = new PluginLogFileManager;
    return *manager;
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
    {
        const std::lock_guard<std::mutex> locker(d->mutex);
        const PluginLogFileManagerPrivate::LastName *last = d->lastNameOf(base);
        if (last && last->date == date && last->ext == ext && last->key->index == last->index
            && last->key->size < kRollOverSize)
            return last->name;
    }

    const QString day = dateText(date);
    const QFileInfo baseInfo(base);
    const QString stem = baseInfo.fileName();
    const QString folder = baseInfo.path();
    const QString key = stem + QLatin1Char('_') + day;

    QString name;
    QVector<QPair<QString, qint64>> cleaned;
    {
        const std::lock_guard<std::mutex> locker(d->mutex);

        if (!d->scannedBases.contains(stem)) {
            QDir().mkpath(folder);
            // No name filter: a glob would take a stem's "[" or "*" for its own.
            const QFileInfoList existing = QDir(folder).entryInfoList(QDir::Files);
            int index = 0;
            for (const QFileInfo &file : existing) {
                if (isOwnLogFile(file.fileName(), stem, QString(), ext, &index))
                    d->totalSize += file.size();
            }
            d->scannedBases.append(stem);
        }

        PluginLogFileManagerPrivate::KeyState &state = d->keys[key];
        const bool newKey = !state.chosen;
        if (newKey) {
            state.size = 0;
            QDir().mkpath(folder);
            const QStringList names = QDir(folder).entryList(QDir::Files);
            int highest = 0;
            for (const QString &existing : names) {
                // Read after the stem rather than by splitting at "_", so that a stem holding
                // "_" ("my_plugin") resumes at its last file after a restart too.
                int index = 0;
                if (isOwnLogFile(existing, stem, day, ext, &index))
                    highest = std::max(highest, index);
            }
            state.chosen = true;
            state.index = highest;
        }

        int &index = state.index;
        if (newKey) {
            // Later on the size read after each line's write is the size on disk, whoever made
            // the file grow; only the file met anew has to be looked at here.
            const QFileInfo current(buildFileName(base, day, index, ext));
            if (current.exists())
                state.size = current.size();
        }

        if (state.size >= kRollOverSize) {
            // A file already at the next index was counted by the folder's scan, or is another
            // process's to count: only what it grows by from now on is added here, and a full
            // one is passed over rather than given one more line.
            do {
                ++index;
                const QFileInfo next(buildFileName(base, day, index, ext));
                state.size = next.exists() ? next.size() : 0;
            } while (state.size >= kRollOverSize);
            // The file just left is no longer current: a walk may now find it.
            d->exhaustedAt.remove(QFileInfo(base).path());
            cleanupOldFiles(base);
        }
        name = buildFileName(base, day, index, ext);
        d->lastNames[base] = {ext, date, &state, index, name};
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
    QVector<QPair<QString, qint64>> cleaned;
    {
        const std::lock_guard<std::mutex> locker(d->mutex);

        const PluginLogFileManagerPrivate::ReportedName &reported = d->reportedNameOf(fileName);
        if (!reported.valid)
            return;
        PluginLogFileManagerPrivate::KeyState &state = *reported.key;

        // A statement that chose its file before another statement rolled over to the next
        // index reports the size of the full file. Taken as the size of the new file, it would
        // count the full file a second time; its last line stays uncounted instead.
        if (reported.hasIndex && state.chosen && reported.index != state.index)
            return;

        const qint64 previous = state.size;
        state.size = size;
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
    const std::lock_guard<std::mutex> locker(d->mutex);
    return d->totalSize;
}

// Called with the mutex held. Deletes *.log files in the folder of `path` and its subfolders,
// oldest first, while more than the limit is counted; may take other stems' files too, never a
// file that a key is writing now.
void PluginLogFileManager::cleanupOldFiles(const QString &path)
{
    const QString folder = QFileInfo(path).path();
    // Below the limit nothing would be deleted: spare the walk.
    if (d->totalSize <= kCleanupLimit)
        return;
    const auto exhausted = d->exhaustedAt.constFind(folder);
    if (exhausted != d->exhaustedAt.constEnd()
        && qAbs(d->totalSize - exhausted.value()) < kRollOverSize)
        return;
    if (!QFileInfo(folder).isDir())
        return;

    ++s_cleanupWalks;
    QVector<QPair<QDateTime, QFileInfo>> files;
    QDirIterator it(folder, {QStringLiteral("*.log")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (!d->isCurrentFile(it.fileName()))
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
        }
    }
    if (d->totalSize > kCleanupLimit)
        d->exhaustedAt.insert(folder, d->totalSize);
    else
        d->exhaustedAt.remove(folder);
}

} // namespace tessel
