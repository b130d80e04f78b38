#pragma once

#include "mirel_global.h"

#include <QString>

class QObject;

namespace mirel {

class ControllerManager;

// The host's project overview: the current project ("rovan.project.cur_project", robot id
// "/" project name), the information of a new project ("rovan.project.projetc_info"), the
// project the controller loads at start-up ("rovan.project.autoload_prj_path", kept in the
// controller manager's request for "project.overview.set_autoload"), the refresh trigger of
// the project list ("rovan.project.refresh_project") and the chosen tool and work object
// ("rovan.toolpage.tool", "rovan.toolpage.wobj"). The workspace folder is the setting
// "workspace".
class MIREL_EXPORT ProjectOverview
{
public:
    static constexpr int AutoloadTimeoutMs = 1600;

    // Makes the nodes that are missing and the kept autoload request.
    static void install(QObject *source, ControllerManager *controller);

    // What the overview page does when the operator picks the start-up project: asks the
    // controller and, once it agreed, keeps the path. False when it did not answer or refused.
    static bool setAutoload(QObject *source, ControllerManager *controller, const QString &path);
};

} // namespace mirel
