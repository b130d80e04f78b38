#include "pendanthome.h"

#include <QCoreApplication>
#include <QDir>

bool PendantHome::prepare(const QString &home, QString *error)
{
    const QString path = home.isEmpty() ? QDir::currentPath() : home;
    if (!QDir().mkpath(path) || !QDir::setCurrent(path)) {
        if (error)
            *error = QCoreApplication::translate("PendantHome", "Cannot use %1 as home folder")
                         .arg(QDir::toNativeSeparators(path));
        return false;
    }
    QDir().mkpath(QStringLiteral("log"));
    return true;
}
