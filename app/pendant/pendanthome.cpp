#include "pendanthome.h"

#include <sim/paths/drivepath.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PendantHome", text);
}

bool sameContent(const QString &a, const QString &b)
{
    QFile left(a);
    QFile right(b);
    if (left.size() != right.size() || !left.open(QIODevice::ReadOnly)
        || !right.open(QIODevice::ReadOnly))
        return false;
    return left.readAll() == right.readAll();
}

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

// Absolute, with the links of its existing part resolved: the home is made only later.
QString resolved(const QString &path)
{
    QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    QString missing;
    while (!info.exists() && !info.isRoot()) {
        missing.prepend(QLatin1Char('/') + info.fileName());
        info = QFileInfo(info.path());
    }
    const QString existing = info.canonicalFilePath();
    return QDir::cleanPath((existing.isEmpty() ? info.absoluteFilePath() : existing) + missing);
}

} // namespace

bool PendantHome::liesWithin(const QString &path, const QString &folder)
{
    const QString inner = resolved(path);
    QString outer = resolved(folder);
    if (inner.compare(outer, kPathCase) == 0)
        return true;
    if (!outer.endsWith(QLatin1Char('/')))
        outer += QLatin1Char('/');
    return inner.startsWith(outer, kPathCase);
}

QString PendantHome::workFolder()
{
    return QStringLiteral("D:/VeltraPemba");
}

std::unique_ptr<QLockFile> PendantHome::claim(const QString &home, QString *error)
{
    const QString path = home.isEmpty() ? QDir::currentPath() : home;
    auto lock = std::make_unique<QLockFile>(QDir(path).absoluteFilePath(QStringLiteral(".pendant.lock")));
    // Never stale by age: a session lasts as long as it likes.
    lock->setStaleLockTime(0);
    if (QDir().mkpath(path) && lock->tryLock(0))
        return lock;
    if (error) {
        qint64 pid = 0;
        QString host;
        QString application;
        *error = lock->error() == QLockFile::LockFailedError
                         && lock->getLockInfo(&pid, &host, &application)
                     ? tr("Home folder %1 is in use by another pendant (process %2)")
                           .arg(QDir::toNativeSeparators(path))
                           .arg(pid)
                     : tr("Cannot use %1 as home folder").arg(QDir::toNativeSeparators(path));
    }
    return nullptr;
}

bool PendantHome::prepare(const QString &home, QString *error, const QString &workFolderTemplate)
{
    const QString path = home.isEmpty() ? QDir::currentPath() : home;
    if (!QDir().mkpath(path) || !QDir::setCurrent(path)) {
        if (error)
            *error = tr("Cannot use %1 as home folder").arg(QDir::toNativeSeparators(path));
        return false;
    }
    QDir().mkpath(QStringLiteral("log"));
    if (workFolderTemplate.isEmpty())
        return true;
    const QString target = sim::DrivePath::toLocal(workFolder(), QDir::currentPath());
    return installTree(workFolderTemplate, target, error);
}

bool PendantHome::installTree(const QString &from, const QString &to, QString *error)
{
    const QDir source(from);
    if (!source.exists()) {
        if (error)
            *error = tr("No stand-in programs at %1").arg(QDir::toNativeSeparators(from));
        return false;
    }
    // A copy into the folder being copied would take itself along, one level deeper at every
    // start; the same folder needs no copy.
    if (liesWithin(to, from)) {
        if (liesWithin(from, to))
            return true;
        if (error)
            *error = tr("Cannot install %1 into %2, which lies inside it")
                         .arg(QDir::toNativeSeparators(from), QDir::toNativeSeparators(to));
        return false;
    }
    QDirIterator files(from, QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        const QString target = QDir(to).filePath(source.relativeFilePath(file));
        if (QFileInfo::exists(target) && sameContent(file, target))
            continue;
        // QFile::copy keeps the permissions, so the programs stay executable.
        const bool copied = QDir().mkpath(QFileInfo(target).absolutePath())
                            && (!QFileInfo::exists(target) || QFile::remove(target))
                            && QFile::copy(file, target);
        if (!copied) {
            if (error)
                *error = tr("Cannot install %1").arg(QDir::toNativeSeparators(target));
            return false;
        }
    }
    return true;
}
