// The ISO result copier: copies the ISO report, its readings and the result and request files
// into a new dated folder under the report folder of the saved ISO settings.
// Usage: copyResults --path <work folder>
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

namespace {

// The pendant writes the report folder in its platform's notation.
QString localPath(const QString &path)
{
#ifdef Q_OS_WIN
    return QDir::fromNativeSeparators(path);
#else
    return QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("copyResults"));

    ToolArguments arguments;
    QString error;
    if (!arguments.parse(QCoreApplication::arguments(), &error))
        return failTool(ExitBadArguments, error);
    const WorkFolder folder(arguments.workFolder());
    CalibRequest request;
    if (!request.read(folder.root(), &error) || !request.readIsoConfig(&error))
        return failTool(ExitBadRequest, error);
    if (request.isoSavePath().trimmed().isEmpty())
        return failTool(ExitBadRequest, QStringLiteral("the ISO settings name no report folder"));
    if (!QFileInfo::exists(folder.isoReportFile()))
        return failTool(ExitNoResult, QStringLiteral("no ISO report to save: %1")
                                          .arg(folder.isoReportFile()));

    const QString target =
        QDir(localPath(request.isoSavePath()))
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
