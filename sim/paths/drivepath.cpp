#include "drivepath.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>

namespace sim {

bool DrivePath::isDrivePath(const QString &path)
{
    if (path.size() < 2 || !path.at(0).isLetter() || path.at(0).unicode() > 127
        || path.at(1) != QLatin1Char(':'))
        return false;
    return path.size() == 2 || path.at(2) == QLatin1Char('/') || path.at(2) == QLatin1Char('\\');
}

QString DrivePath::toLocal(const QString &path, const QString &root)
{
#ifdef Q_OS_WIN
    Q_UNUSED(root)
    return path;
#else
    return mapBelow(path, root);
#endif
}

QString DrivePath::mapBelow(const QString &path, const QString &root)
{
    if (!isDrivePath(path))
        return path;
    // "..", as on a real drive, stops at the drive's top and never leaves the root.
    QStringList folders;
    const QStringList parts = path.mid(2).split(QRegularExpression(QStringLiteral("[/\\\\]")),
                                                Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (part == QLatin1String("..")) {
            if (!folders.isEmpty())
                folders.removeLast();
        } else if (part != QLatin1String(".")) {
            folders.append(part);
        }
    }
    folders.prepend(path.left(2));
    const QString relative = folders.join(QLatin1Char('/'));
    return root.isEmpty() ? relative : QDir(root).filePath(relative);
}

} // namespace sim
