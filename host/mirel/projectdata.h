#pragma once

#include "mirel_global.h"

#include <QJsonObject>

class QObject;

namespace mirel {

// The robot data the host keeps for the current project: the teach points under
// "rovan.project.point" ("_list", the template "default" that new points copy, and the
// hot-update nodes the controller side reads), and the current function and task.
class MIREL_EXPORT ProjectData
{
public:
    // Makes the nodes that are missing; points already taught stay.
    static void install(QObject *source);
    // Forgets every point and the last hot update, as when another project is opened.
    static void clearPoints(QObject *source);

    // A point with every key, positions at 0.0, tool "tool0" and work object "wobj0".
    static QJsonObject pointTemplate();
};

} // namespace mirel
