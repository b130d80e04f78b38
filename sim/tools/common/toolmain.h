#pragma once

#include <QString>

namespace sim {

class CalibRequest;
class ToolArguments;

// Exit codes of the measuring programs, and the one way they say why they stop.
enum ToolExit {
    ExitOk = 0,
    ExitBadArguments = 2,
    ExitBadRequest = 3,
    ExitNoController = 4,
    ExitUnreachable = 5,
    ExitNoResult = 6,
    ExitCannotWrite = 7,
};

// Prints "<program>: <message>" on standard error and returns `code`.
int failTool(ToolExit code, const QString &message);
// A line on standard output, flushed at once: the pendant follows it while the program runs.
void printLine(const QString &line);
// A note on standard error that does not stop the program.
void warnLine(const QString &line);

// The start the programs that read the request share: the command line and the request file in
// its work folder, with the ISO settings when `withIsoSettings`. ExitOk, or the reason said on
// standard error and the exit code to return.
int readToolRequest(bool withIsoSettings, ToolArguments *arguments, CalibRequest *request);

} // namespace sim
