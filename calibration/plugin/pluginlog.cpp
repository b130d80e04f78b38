#include "pluginlog.h"

#include "log/logline.h"

tessel::QFLog pluginLog()
{
    return tessel::QFLog(tessel::logColour(tessel::LogKind::Service),
                         tessel::logTag(tessel::LogKind::Service), QString(),
                         QStringLiteral("./log/tessel/Veltra/Veltra"), QStringLiteral("log"));
}
