#pragma once

#include "mirel_global.h"

#include <QJsonArray>
#include <QJsonObject>

class QObject;

namespace mirel {

// The program variables the host keeps for the current project under "rovan.project.var":
// "_list" (the project's own), "system_list" (the controller's predefined speeds and zones),
// the template "default" that new variables copy, and "built" (false once the project has
// changed since it was last built).
class MIREL_EXPORT VariableData
{
public:
    // Makes the nodes that are missing; variables already there stay.
    static void install(QObject *source);
    // Forgets the project's own variables, as when another project is opened.
    static void clearVariables(QObject *source);

    static QJsonObject variableTemplate();
    // The controller's predefined speed ("v5" ... "v7000") and zone ("fine", "z0" ... "z200")
    // data, each {"name", "type", "value": {"[0][0][0]": ...}}.
    static QJsonArray systemVariables();
};

} // namespace mirel
