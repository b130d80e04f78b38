#include "jsonfile.h"

#include <sim/paths/wholefile.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>

namespace sim {

bool JsonFile::read(const QString &path, QJsonObject *object, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QByteArray text = file.readAll();
    // Written by tools that put a byte order mark first.
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parse);
    if (parse.error != QJsonParseError::NoError || !document.isObject()) {
        *error = parse.error != QJsonParseError::NoError
                     ? QStringLiteral("%1 is no JSON: %2").arg(path, parse.errorString())
                     : QStringLiteral("%1 holds no JSON object").arg(path);
        return false;
    }
    *object = document.object();
    return true;
}

bool JsonFile::readOrEmpty(const QString &path, QJsonObject *object, QString *error)
{
    if (!QFileInfo::exists(path)) {
        *object = QJsonObject();
        return true;
    }
    return read(path, object, error);
}

bool JsonFile::write(const QString &path, const QJsonObject &object, QString *error)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        *error = QStringLiteral("cannot make the folder of %1").arg(path);
        return false;
    }
    return WholeFile::replace(path, QJsonDocument(object).toJson(QJsonDocument::Indented), error);
}

} // namespace sim
