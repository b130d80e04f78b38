#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// The folder the emulator runs in: relative paths of plug-ins (logs, work folder) resolve here.
class PendantHome
{
public:
    // The calibration plug-in's fixed work folder; off Windows the folder of that name below
    // the home (sim::DrivePath).
    static QString workFolder();

    // Takes the home for this process until the lock goes: two pendants on one home would
    // drive each other's robot through the shared work folder and write over each other's
    // records. A lock left by a process that is gone is taken over. Null, with the reason,
    // when another pendant holds it or the folder cannot be used.
    static std::unique_ptr<QLockFile> claim(const QString &home, QString *error);

    // Creates the folder and its fixed layout, makes it the current directory and installs the
    // stand-in external programs from `workFolderTemplate` (when not empty) into the work folder.
    static bool prepare(const QString &home, QString *error,
                        const QString &workFolderTemplate = QString());

    // Copies every file of `from` into `to`, replacing older copies and keeping whatever else
    // `to` holds (results of earlier runs). Copies nothing when they are the same folder, and
    // fails when `to` lies inside `from`.
    static bool installTree(const QString &from, const QString &to, QString *error);

    // Whether `path` is `folder` or lies below it, symbolic links resolved; neither needs to
    // exist.
    static bool liesWithin(const QString &path, const QString &folder);
};
