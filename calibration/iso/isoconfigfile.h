#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVector>

// The member "iso_config" of "calibInfo.json", and its merge into the file's other members.
class IsoConfigFile
{
public:
    static QJsonObject build(int sampleTimes, const QString &savePath,
                             const QVector<QVector<double>> &poses);
    // The file's text with "iso_config" put in; false when the text is not JSON. Empty text and
    // a top level that is not an object count as an empty object.
    static bool merge(const QByteArray &content, const QJsonObject &isoConfig, QByteArray *merged);
};
