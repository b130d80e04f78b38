#pragma once

#include <QString>
#include <QVector>

// One line of the information page's version card.
struct VersionItem
{
    QString name;
    QString value;
    bool missing = false;
};

struct VersionInfo
{
    QString title;
    QVector<VersionItem> items;
};

// The versions of the plug-in, the optimiser and the pose collector; a piece not found carries
// the "program not found" text and is marked missing.
VersionInfo collectVersions();

// The "client_plugin"."version" of the "Veltra.json" beside the plug-in's own library file;
// empty when not found.
QString readPluginVersion();

// The same, from the "Veltra.json" in `folder`.
QString readPluginVersionFile(const QString &folder);

// The version in the name of the one file of `folder` matching `pattern`: the part after
// "<prefix>-" without ".exe". Empty unless exactly one file matches.
QString versionFromFileName(const QString &folder, const QString &pattern, const QString &prefix);

// The version lines as rich text, missing ones in red. Values go in as they are.
QString versionsToHtml(const VersionInfo &info);
