#include "isoconfigfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

QJsonObject IsoConfigFile::build(int sampleTimes, const QString &savePath,
                                 const QVector<QVector<double>> &poses)
{
    QJsonObject isoPoses;
    for (int k = 0; k < poses.size(); ++k) {
        QJsonArray values;
        for (double v : poses.at(k))
            values.append(v);
        isoPoses.insert(QStringLiteral("point%1").arg(k + 1), values);
    }
    QJsonObject config;
    config.insert(QStringLiteral("sample_times"), sampleTimes);
    config.insert(QStringLiteral("save_path"), savePath);
    config.insert(QStringLiteral("iso_poses"), isoPoses);
    return config;
}

bool IsoConfigFile::merge(const QByteArray &content, const QJsonObject &isoConfig,
                          QByteArray *merged)
{
    QJsonObject root;
    if (!content.isEmpty()) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(content, &error);
        if (error.error != QJsonParseError::NoError)
            return false;
        // Member by member: Qt's reader drops a U+FEFF that starts a name but leaves the member
        // where the whole name sorts, so that a lookup of an earlier "iso_config" could miss it
        // and the file would end up with two.
        const QJsonObject parsed = document.object();
        for (auto it = parsed.begin(); it != parsed.end(); ++it)
            root.insert(it.key(), it.value());
    }
    root.insert(QStringLiteral("iso_config"), isoConfig);
    *merged = QJsonDocument(root).toJson(QJsonDocument::Indented);
    return true;
}
