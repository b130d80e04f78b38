#pragma once

#include "nabuskald_global.h"

#include <QHash>
#include <QObject>
#include <QStringList>

#include <memory>
#include <vector>

class QLibrary;

namespace skald {

class BModule;

// Loads plug-in libraries, creates every module they announce in the host's module factory and
// drives the modules' lifecycle, as the pendant host does.
class NABUSKALD_EXPORT PluginLoader : public QObject
{
    Q_OBJECT

public:
    explicit PluginLoader(QObject *parent = nullptr);
    // Detaches and destroys the modules, newest first.
    ~PluginLoader() override;

    // Loads every library in `folder`, one reached under several names (symbolic links) once;
    // returns how many loaded. Failures are reported.
    int loadFolder(const QString &folder);
    // False when the library does not load. A library that loads but registers no new plug-in
    // (none, or only names taken already) counts as loaded; lastRegistered() is then empty.
    bool loadLibrary(const QString &path);
    // The plug-in names the last loadLibrary() added to the module factory.
    QStringList lastRegistered() const;
    // Why the last loadLibrary() failed or registered nothing; empty otherwise.
    QString errorString() const;

    // Creates and starts each announced module not made yet; returns the names made.
    QStringList startModules();
    // Creates and starts the module announced under `name`; null when it cannot be made.
    BModule *startModule(const QString &name);
    void stopModules();

    QStringList loadedLibraries() const;
    // What went wrong while loading, one line per library, each naming it: a library that does
    // not load, or one that adds no plug-in (none, or only names another library took first).
    QStringList problems() const;
    QStringList moduleNames() const;
    BModule *module(const QString &name) const;

signals:
    void message(const QString &text);

private:
    std::vector<std::unique_ptr<QLibrary>> m_libraries;
    QStringList m_problems;
    QHash<QString, QString> m_registeredBy; // plug-in name -> library file name
    QStringList m_moduleNames;
    QList<BModule *> m_modules;
    QStringList m_lastRegistered;
    QString m_error;
};

} // namespace skald
