#include "pluginloader.h"

#include "bmodule.h"
#include "modulelifecycle.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QSet>

namespace skald {

PluginLoader::PluginLoader(QObject *parent)
    : QObject(parent)
{
}

PluginLoader::~PluginLoader()
{
    // The libraries stay loaded (QLibrary does not unload on destruction): their static
    // objects are destroyed at process exit, not before.
    stopModules();
}

int PluginLoader::loadFolder(const QString &folder)
{
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists()) {
        emit message(tr("no plug-in folder %1").arg(QDir::toNativeSeparators(folder)));
        return 0;
    }
    int loaded = 0;
    // A versioned library comes as libX.so -> libX.so.1 -> libX.so.1.0: one library under three
    // names, which loaded thrice would find its own plug-in names taken. Each file is loaded
    // once, under the first of its names in name order (libX.so).
    QSet<QString> listed;
    const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &file : files) {
        if (!QLibrary::isLibrary(file.fileName()))
            continue;
        const QString canonical = file.canonicalFilePath();
        if (!canonical.isEmpty()) { // empty for a dangling link, which fails to load
            if (listed.contains(canonical))
                continue;
            listed.insert(canonical);
        }
        if (loadLibrary(file.absoluteFilePath()))
            ++loaded;
    }
    return loaded;
}

bool PluginLoader::loadLibrary(const QString &path)
{
    m_lastRegistered.clear();
    m_error.clear();
    auto library = std::make_unique<QLibrary>(path);
    // Every function bound now: bound at its first call, one the host lacks would end the
    // whole pendant then, long after the library was reported loaded.
    library->setLoadHints(QLibrary::ResolveAllSymbolsHint);
    // A plug-in registers itself while its library loads: what is new afterwards is its own.
    const QStringList before = bfactory().keys();
    const QString file = QFileInfo(path).fileName();
    if (!library->load()) {
        m_error = tr("cannot load %1: %2").arg(path, library->errorString());
        m_problems.append(tr("cannot load %1: %2").arg(file, library->errorString()));
        emit message(m_error);
        return false;
    }
    emit message(tr("loaded plug-in library %1").arg(QDir::toNativeSeparators(path)));
    QStringList added = bfactory().keys();
    for (const QString &name : before)
        added.removeAll(name);
    for (const QString &name : qAsConst(added))
        m_registeredBy.insert(name, file);
    if (added.isEmpty()) {
        // The registry keeps the first creator of a name and says nothing: a library whose
        // every name is taken looks like one that registers nothing.
        QStringList taken;
        for (const QString &name : before)
            taken.append(m_registeredBy.contains(name)
                             ? QStringLiteral("%1 (%2)").arg(name, m_registeredBy.value(name))
                             : name);
        m_error = taken.isEmpty()
                      ? tr("%1 registers no new plug-in: it registers none").arg(file)
                      : tr("%1 registers no new plug-in: none, or only a name already taken (%2)")
                            .arg(file, taken.join(QStringLiteral(", ")));
        m_problems.append(m_error);
        emit message(m_error);
    }
    m_lastRegistered = added;
    m_libraries.push_back(std::move(library));
    return true;
}

QStringList PluginLoader::lastRegistered() const
{
    return m_lastRegistered;
}

QString PluginLoader::errorString() const
{
    return m_error;
}

QStringList PluginLoader::startModules()
{
    QStringList made;
    const QStringList names = bfactory().keys();
    for (const QString &name : names) {
        if (!m_moduleNames.contains(name) && startModule(name))
            made.append(name);
    }
    return made;
}

BModule *PluginLoader::startModule(const QString &name)
{
    if (m_moduleNames.contains(name))
        return nullptr;
    BModule *created = lifecycle::create(name, this);
    if (!created) {
        emit message(tr("module %1 could not be created").arg(name));
        return nullptr;
    }
    m_moduleNames.append(name);
    m_modules.append(created);
    emit message(tr("created module %1").arg(name));
    lifecycle::start(created);
    return created;
}

void PluginLoader::stopModules()
{
    while (!m_modules.isEmpty()) {
        BModule *module = m_modules.takeLast();
        const QString name = m_moduleNames.takeLast();
        lifecycle::stop(module);
        delete module;
        emit message(tr("module %1 stopped").arg(name));
    }
}

QStringList PluginLoader::loadedLibraries() const
{
    QStringList paths;
    for (const auto &library : m_libraries)
        paths.append(library->fileName());
    return paths;
}

QStringList PluginLoader::problems() const
{
    return m_problems;
}

QStringList PluginLoader::moduleNames() const
{
    return m_moduleNames;
}

BModule *PluginLoader::module(const QString &name) const
{
    const int i = m_moduleNames.indexOf(name);
    return i >= 0 ? m_modules.at(i) : nullptr;
}

} // namespace skald
