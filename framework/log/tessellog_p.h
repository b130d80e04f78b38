#pragma once

// The framework's own diagnostic lines, written through the host's log stream:
//     TESSEL_LOG(Error, "tessel::Tessel::~Tessel") << "~Tessel";
// The statement is a temporary, so the line is complete at the end of the full expression.

#include "log/logline.h"

#include <nabuCore/qflog.h>

#include <QDate>

#define TESSEL_LOG(kind, function)                                                             \
    ::nabu::QFLog(::tessel::logColour(::tessel::LogKind::kind),                               \
                  ::tessel::logTag(::tessel::LogKind::kind),                                  \
                  ::tessel::logLocation(QStringLiteral(function), __LINE__),                  \
                  QStringLiteral("./log/tessel"), QStringLiteral("log"))

namespace tessel {

// Today's local date, from the same per-second cache as logTag() (logline.cpp).
QDate currentLogDate();

// Brackets what a statement does with Qt's global objects (codecs, the message handler, the
// file system engine), so that the exit waits for statements in progress. False once the
// process has started tearing those objects down: the statement then writes nothing.
bool beginLogStatement();
void endLogStatement();

} // namespace tessel
