#pragma once

// The records the pages exchange.
#include "dhparam.h"
#include "isoresult.h"
#include "qualitygateresult.h"
