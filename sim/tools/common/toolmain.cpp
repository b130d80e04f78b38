#include "toolmain.h"

#include "calibrequest.h"
#include "toolarguments.h"

#include <QCoreApplication>

#include <cstdio>

namespace sim {

int failTool(ToolExit code, const QString &message)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                 message.toUtf8().constData());
    std::fflush(stderr);
    return code;
}

void printLine(const QString &line)
{
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

void warnLine(const QString &line)
{
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

int readToolRequest(bool withIsoSettings, ToolArguments *arguments, CalibRequest *request)
{
    QString error;
    if (!arguments->parse(QCoreApplication::arguments(), &error))
        return failTool(ExitBadArguments, error);
    if (!request->read(arguments->workFolder(), &error)
        || (withIsoSettings && !request->readIsoConfig(&error)))
        return failTool(ExitBadRequest, error);
    return ExitOk;
}

} // namespace sim
