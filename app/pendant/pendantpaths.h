#pragma once

#include <QString>
#include <QStringList>

// Where the emulator finds what it ships with, relative to the folder of its executable: the
// installed layout first (bin/, lib/tessel/plugins, share/tessel/workfolder), then the build
// tree (bin/, plugins/, workfolder/).
class PendantPaths
{
public:
    explicit PendantPaths(const QString &binDir);
    // For the running executable; needs a QCoreApplication.
    static PendantPaths ofApplication();

    // The candidate plug-in folders, in the order they are tried.
    QStringList pluginDirCandidates() const;
    // The first candidate that exists; empty when none does.
    QString pluginDir() const;

    // The stand-in external programs for the home's work folder: installed, else built, else
    // the ones in the source tree.
    QString workFolderTemplate() const;

    // The per-user home of the emulator when none is given.
    static QString defaultHome();

private:
    QString m_binDir;
};
