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
        if (document.isObject())
            root = document.object();
    }
    root.insert(QStringLiteral("iso_config"), isoConfig);
    *merged = QJsonDocument(root).toJson(QJsonDocument::Indented);
    return true;
}
