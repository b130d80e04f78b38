#pragma once

#include "nabusrv_global.h"

#include <QString>

class QObject;

namespace nabu {
class ModuleObject;
}

namespace sv {
namespace lumo {

// The list node of a navigation group below m("lumo.page"): "robot.pack" lives at
// "robot.page.pack", child "page".
NABUSRV_EXPORT nabu::ModuleObject *pageList(const QString &group);

// Adds a navigation entry (children "title", "text", "group", "index") and returns it;
// index -1 appends.
NABUSRV_EXPORT nabu::ModuleObject *registerPage(QObject *owner, const QString &title,
                                                const QString &group, const QString &text,
                                                int index);

} // namespace lumo
} // namespace sv
