#include "guitestmain.h"

namespace support {

// An empty value counts as unset: Qt itself then falls back to the build's default platform,
// which needs a display.
bool prepareOffscreen()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return false;
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    return true;
}

} // namespace support
