// The ISO result copier: copies the ISO report, its readings and the result and request files
// into a new dated folder under the report folder of the saved ISO settings.
// Usage: copyResults --path <work folder>
#include <sim/paths/drivepath.h>
#include <sim/tools/common/calibrequest.h>
#include <sim/tools/common/toolarguments.h>
#include <sim/tools/common/toolmain.h>
#include <sim/tools/common/workfolder.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace sim;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("copyResults"));

    ToolArguments arguments;
    CalibRequest request;
    if (const int exit = readToolRequest(true, &arguments, &request))
        return exit;
    const WorkFolder folder(arguments.workFolder());
    if (request.isoSavePath().trimmed().isEmpty())
        return failTool(ExitBadRequest, QStringLiteral("the ISO settings name no report folder"));
    if (!QFileInfo::exists(folder.isoReportFile()))
        return failTool(ExitNoResult, QStringLiteral("no ISO report to save: %1")
                                          .arg(folder.isoReportFile()));

    // The pendant names the report folder on its drive D:, which off Windows is a folder below
    // the current one, the emulator's home.
    const QString target =
        QDir(DrivePath::toLocal(request.isoSavePath()))
            .absoluteFilePath(QStringLiteral("iso_report_")
                              + QDateTime::currentDateTime().toString(
                                  QStringLiteral("yyyyMMdd_hhmmss_zzz")));
    if (!QDir().mkpath(target))
        return failTool(ExitCannotWrite, QStringLiteral("cannot make %1").arg(target));
    QStringList files{folder.root() + QLatin1Char('/') + CalibRequest::fileName(),
                      folder.resultFile()};
    const QFileInfoList isoFiles = QDir(folder.isoResultFolder()).entryInfoList(QDir::Files);
    for (const QFileInfo &file : isoFiles)
        files.append(file.absoluteFilePath());
    for (const QString &file : qAsConst(files)) {
        if (!QFileInfo::exists(file))
            continue;
        const QString copy = QDir(target).filePath(QFileInfo(file).fileName());
        if (!QFile::copy(file, copy))
            return failTool(ExitCannotWrite,
                            QStringLiteral("cannot copy %1 to %2").arg(file, copy));
    }
    printLine(QStringLiteral("[INFO] report saved to %1").arg(target));
    return ExitOk;
}
