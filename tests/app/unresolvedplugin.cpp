// A plug-in library built against a newer host: it calls a function this host lacks.
#include <QtGlobal>

void functionOfANewerHost(); // defined nowhere here

extern "C" Q_DECL_EXPORT void unresolvedPluginEntry()
{
    functionOfANewerHost();
}
