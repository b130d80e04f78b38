#include "pendantpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString firstFolder(const QStringList &candidates)
{
    for (const QString &candidate : candidates) {
        if (QFileInfo(candidate).isDir())
            return candidate;
    }
    return QString();
}

} // namespace

PendantPaths::PendantPaths(const QString &binDir)
    : m_binDir(binDir)
{
}

PendantPaths PendantPaths::ofApplication()
{
    return PendantPaths(QCoreApplication::applicationDirPath());
}

QStringList PendantPaths::pluginDirCandidates() const
{
    const QDir bin(m_binDir);
    return {QDir::cleanPath(bin.filePath(QStringLiteral(PENDANT_INSTALLED_PLUGINS))),
            QDir::cleanPath(bin.filePath(QStringLiteral("../plugins")))};
}

QString PendantPaths::pluginDir() const
{
    return firstFolder(pluginDirCandidates());
}

QString PendantPaths::workFolderTemplate() const
{
    const QDir bin(m_binDir);
    const QString found =
        firstFolder({QDir::cleanPath(bin.filePath(QStringLiteral(PENDANT_INSTALLED_WORKFOLDER))),
                     QDir::cleanPath(bin.filePath(QStringLiteral("../workfolder")))});
    return found.isEmpty() ? QStringLiteral(TESSEL_WORKFOLDER_TEMPLATE) : found;
}

QString PendantPaths::defaultHome()
{
    // Named after the application: ~/.local/share/pendant on Linux, %APPDATA%/pendant on Windows.
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}
