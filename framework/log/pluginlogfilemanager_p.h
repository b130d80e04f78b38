#pragma once

#include "tessel_global.h"

namespace tessel {

// How many folder walks the log clean-up has made in this process: a seam for tests, which
// must tell a walk per statement from one per roll-over without timing anything.
TESSEL_EXPORT int logCleanupWalkCount();

} // namespace tessel
