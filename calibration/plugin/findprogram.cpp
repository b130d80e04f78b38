#include "findprogram.h"

#include <QDir>

ProgramMatch findProgram(const QString &folder, const QString &word)
{
    ProgramMatch match;
    QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return match;
    const QFileInfoList entries =
        dir.entryInfoList({QStringLiteral("*%1*.exe").arg(word)},
                          QDir::Files | QDir::NoSymLinks, QDir::Name);
    match.count = entries.size();
    if (match.count == 1)
        match.path = entries.first().absoluteFilePath();
    return match;
}
