#pragma once

#include <QJsonObject>
#include <QString>

namespace sim {

// A JSON file whose top level is an object, read whole and replaced whole (never left half
// written: a reader of the work folder sees the old file or the new one).
class JsonFile
{
public:
    // False, with the reason, when the file cannot be read or holds no JSON object.
    static bool read(const QString &path, QJsonObject *object, QString *error);
    // A missing file reads as an empty object; a file that is there but broken is an error.
    static bool readOrEmpty(const QString &path, QJsonObject *object, QString *error);
    static bool write(const QString &path, const QJsonObject &object, QString *error);
};

} // namespace sim
