#include "drivepath.h"

#include <QDir>

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
    QString rest = path.mid(2);
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // Cleaned as an absolute path: "..", as on a real drive, stops at the drive's top and never
    // leaves the root.
    rest = QDir::cleanPath(QLatin1Char('/') + rest);
    const QString relative = path.left(2) + (rest == QLatin1String("/") ? QString() : rest);
    return root.isEmpty() ? relative : QDir(root).filePath(relative);
}

} // namespace sim
