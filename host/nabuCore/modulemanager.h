#pragma once

#include "nabucore_global.h"

#include <QJsonValue>
#include <QString>

namespace nabu {

class ModuleObject;

// Owner of the host's global data tree.
class NABUCORE_EXPORT ModuleManager
{
public:
    static ModuleManager *instance();

    ModuleObject *root() const;

    // Writes a JSON file; true on success.
    static bool writeToJson(const QString &path, const QJsonValue &value, bool indented = true);

private:
    ModuleManager();
    ~ModuleManager();
    friend class ModuleManagerHolder;

    ModuleObject *m_root;
};

NABUCORE_EXPORT ModuleManager *m();
// The node at a dotted path below `base` (the global root when null); missing nodes are made.
NABUCORE_EXPORT ModuleObject *m(const QString &path, ModuleObject *base = nullptr);

NABUCORE_EXPORT QString mName(const QString &a, const QString &b);
NABUCORE_EXPORT QString mName(const QString &a, const QString &b, const QString &c);

} // namespace nabu
