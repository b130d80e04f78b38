#include "versioninfo.h"

#include "common/calibrationstate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringList>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <dlfcn.h>
#ifdef Q_OS_LINUX
#include <link.h>
#endif
#endif

namespace {

QString notFound()
{
    return QCoreApplication::translate("infoWidget", "未找到程序，Veltra可能无法运行");
}

// The folder of the library this code was linked into; empty when it cannot be found.
QString ownLibraryFolder()
{
    // Any function of this library gives its address.
    const auto address = &readPluginVersion;
#ifdef Q_OS_WIN
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(address), &module))
        return QString();
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, buffer, MAX_PATH);
    FreeLibrary(module);
    // A name of MAX_PATH characters was cut short.
    if (length == 0 || length >= MAX_PATH)
        return QString();
    const QString file = QString::fromWCharArray(buffer, static_cast<int>(length));
#else
    Dl_info info;
#ifdef Q_OS_LINUX
    link_map *map = nullptr;
    if (dladdr1(reinterpret_cast<void *>(address), &info, reinterpret_cast<void **>(&map),
                RTLD_DL_LINKMAP)
            == 0
        || !info.dli_fname || !*info.dli_fname)
        return QString();
    // For code in the executable itself the loader reports argv[0], which may be relative to a
    // current directory left since; the kernel knows the executable's real file.
    const QString file = map && map->l_name && !*map->l_name
                             ? QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()
                             : QFile::decodeName(info.dli_fname);
#else
    if (dladdr(reinterpret_cast<void *>(address), &info) == 0 || !info.dli_fname
        || !*info.dli_fname)
        return QString();
    const QString file = QFile::decodeName(info.dli_fname);
#endif
#endif
    return QFileInfo(file).absolutePath();
}

} // namespace

QString readPluginVersion()
{
    const QString folder = ownLibraryFolder();
    return folder.isEmpty() ? QString() : readPluginVersionFile(folder);
}

QString readPluginVersionFile(const QString &folder)
{
    QFile file(QDir(folder).filePath(QStringLiteral("Veltra.json")));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return QString();
    return document.object()
        .value(QStringLiteral("client_plugin"))
        .toObject()
        .value(QStringLiteral("version"))
        .toString();
}

QString versionFromFileName(const QString &folder, const QString &pattern, const QString &prefix)
{
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return QString();
    const QStringList names =
        dir.entryList({pattern}, QDir::Files | QDir::NoSymLinks, QDir::Name);
    if (names.size() != 1)
        return QString();
    const QString &name = names.first();
    const QString head = prefix + QLatin1Char('-');
    if (!name.startsWith(head, Qt::CaseInsensitive))
        return QString();
    QString version = name.mid(head.size());
    if (version.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        version.chop(4);
    return version;
}

VersionInfo collectVersions()
{
    const auto programVersion = [](const QString &subfolder, const QString &pattern,
                                   const QString &prefix) {
        if (common::workFolder.isEmpty())
            return QString();
        return versionFromFileName(common::workFolder + QLatin1Char('/') + subfolder, pattern,
                                   prefix);
    };

    VersionInfo info;
    info.title = QCoreApplication::translate("infoWidget", "版本");
    info.items = {
        {QStringLiteral("Veltra Plugin Version"), readPluginVersion(), false},
        {QStringLiteral("Veltra Algorithm Version"),
         programVersion(QStringLiteral("calib/veltraalgorithm"), QStringLiteral("calib-*.exe"),
                        QStringLiteral("calib")),
         false},
        {QStringLiteral("posesCollector Version"),
         programVersion(QStringLiteral("calib/collectcalibposes"),
                        QStringLiteral("collectCalibPoses-*.exe"),
                        QStringLiteral("collectCalibPoses")),
         false},
    };
    for (VersionItem &item : info.items) {
        if (item.value.isEmpty()) {
            item.value = notFound();
            item.missing = true;
        }
    }
    return info;
}

QString versionsToHtml(const VersionInfo &info)
{
    QStringList lines;
    for (const VersionItem &item : info.items) {
        const QString line = item.missing
                                 ? QStringLiteral("<span style=\"color:#d32f2f;\">%1: %2</span>")
                                 : QStringLiteral("%1: %2");
        lines.append(line.arg(item.name, item.value));
    }
    return QStringLiteral("<div style=\"line-height: 160%;\">%1</div>")
        .arg(lines.join(QStringLiteral("<br/>")));
}
