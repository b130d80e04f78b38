#pragma once

// The catalogue translator belongs to the plug-in base since the host module installs the
// framework's own catalogue; plug-ins written against this path keep compiling.
#include <tessel/plugin/catalogtranslator.h>
