#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>

#include <memory>
#include <vector>

class QLibrary;

namespace skald {
class BModule;
}

// Loads plug-in libraries, creates every module they announce in the host's module factory and
// drives the modules' lifecycle, as the pendant host does.
class PluginLoader : public QObject
{
    Q_OBJECT

public:
    explicit PluginLoader(QObject *parent = nullptr);
    // Detaches and destroys the modules, newest first.
    ~PluginLoader() override;

    // Loads every library in `folder`; returns how many loaded. Failures are reported.
    int loadFolder(const QString &folder);
    bool loadLibrary(const QString &path);

    // Creates and starts each announced module not made yet; returns the names made.
    QStringList startModules();
    void stopModules();

    QStringList loadedLibraries() const;
    // What went wrong while loading, one line per library, each naming it: a library that does
    // not load, or one that adds no plug-in (none, or only names another library took first).
    QStringList problems() const;
    QStringList moduleNames() const;
    skald::BModule *module(const QString &name) const;

signals:
    void message(const QString &text);

private:
    std::vector<std::unique_ptr<QLibrary>> m_libraries;
    QStringList m_problems;
    QHash<QString, QString> m_registeredBy; // plug-in name -> library file name
    QStringList m_moduleNames;
    QList<skald::BModule *> m_modules;
    bool m_started = false;
};
