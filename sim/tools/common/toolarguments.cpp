#include "toolarguments.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace sim {

namespace {

QString valueOf(const QStringList &arguments, const QString &option)
{
    const int at = arguments.indexOf(option);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
}

// The programs lie in <work folder>/<area>/<program folder>/.
QString fromProgramFolder(const QString &relative)
{
    QDir up(QCoreApplication::applicationDirPath());
    if (!up.cdUp() || !up.cdUp())
        return QString();
    QString candidate = QDir::cleanPath(up.absolutePath());
    const QString wanted = QDir::cleanPath(relative);
    if (candidate.endsWith(QLatin1Char('/') + wanted) && QFileInfo(candidate).isDir())
        return candidate;
    return QString();
}

} // namespace

bool ToolArguments::parse(const QStringList &arguments, QString *error)
{
    m_arguments = arguments;
    const QString path = valueOf(arguments, QStringLiteral("--path"));
    if (path.isEmpty()) {
        *error = QStringLiteral("no work folder: start with --path <folder>");
        return false;
    }
    QString folder = QFileInfo(path).isDir() ? QFileInfo(path).absoluteFilePath() : QString();
    if (folder.isEmpty() && QFileInfo(path).isRelative())
        folder = fromProgramFolder(path);
    if (folder.isEmpty()) {
        *error = QStringLiteral("work folder %1 does not exist").arg(path);
        return false;
    }
    m_workFolder = QDir::cleanPath(folder);
    return true;
}

QString ToolArguments::workFolder() const
{
    return m_workFolder;
}

int ToolArguments::number(const QString &name, int fallback, int minimum, int maximum) const
{
    bool ok = false;
    const int value = valueOf(m_arguments, QStringLiteral("--") + name).toInt(&ok);
    return ok && value >= minimum && value <= maximum ? value : fallback;
}

QString ToolArguments::text(const QString &name) const
{
    return valueOf(m_arguments, QStringLiteral("--") + name);
}

} // namespace sim
