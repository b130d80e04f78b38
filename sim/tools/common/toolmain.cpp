#include "toolmain.h"

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

} // namespace sim
