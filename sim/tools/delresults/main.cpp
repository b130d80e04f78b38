// The ISO result remover: takes "iso_results" out of "optimized_dh.json" (keeping its other
// members) and deletes the ISO run's readings and report. Usage: delResults --path <work folder>
#include <sim/tools/common/jsonfile.h>
#include <sim/tools/common/toolarguments.h>
#include <sim/tools/common/toolmain.h>
#include <sim/tools/common/workfolder.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace sim;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("delResults"));

    ToolArguments arguments;
    QString error;
    if (!arguments.parse(QCoreApplication::arguments(), &error))
        return failTool(ExitBadArguments, error);
    const WorkFolder folder(arguments.workFolder());
    if (QFileInfo::exists(folder.resultFile())) {
        QJsonObject result;
        if (!JsonFile::read(folder.resultFile(), &result, &error))
            return failTool(ExitBadRequest, error);
        if (result.contains(QStringLiteral("iso_results"))) {
            result.remove(QStringLiteral("iso_results"));
            if (!JsonFile::write(folder.resultFile(), result, &error))
                return failTool(ExitCannotWrite, error);
        }
    }
    // A link put there (to a share, a stick) goes, never what it leads to.
    const QFileInfo isoFolder(folder.isoResultFolder());
    const bool removed = isoFolder.isSymLink() ? QFile::remove(isoFolder.filePath())
                         : isoFolder.exists()  ? QDir(isoFolder.filePath()).removeRecursively()
                                               : true;
    if (!removed)
        return failTool(ExitCannotWrite,
                        QStringLiteral("cannot delete %1").arg(folder.isoResultFolder()));
    printLine(QStringLiteral("[INFO] ISO results removed"));
    return ExitOk;
}
