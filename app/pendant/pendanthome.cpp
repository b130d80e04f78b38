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

} // namespace

QString PendantHome::workFolder()
{
    return QStringLiteral("D:/VeltraPemba");
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
