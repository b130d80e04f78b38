#pragma once

#include "log/qflog.h"

// The plug-in's log line: service kind, no location, in ./log/tessel/Veltra/. Each call is one
// line, written when the returned statement is destroyed:
//     pluginLog() << "resetAll" << "[in]";
tessel::QFLog pluginLog();
