#pragma once

// Everything the pages share: the calibration state, its records and the result-file readers.
#include "common/calibrationstate.h"
#include "common/records.h"
#include "common/resultfile.h"
