#include "projectdata.h"

#include "interfacemanager.h"
#include "log/tessellog_p.h"

#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <mirel/settingmanager.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <nabusrv/vantor.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tessel {

namespace {

const QString kCurProject = QStringLiteral("rovan.project.cur_project");
const QString kProjectInfo = QStringLiteral("rovan.project.projetc_info");
const QString kAutoloadPath = QStringLiteral("rovan.project.autoload_prj_path");
const QString kRefresh = QStringLiteral("rovan.project.refresh_project");
const QString kTool = QStringLiteral("rovan.toolpage.tool");
const QString kWobj = QStringLiteral("rovan.toolpage.wobj");
const QString kRemoveTask = QStringLiteral("project.remove_task");
const QString kSetAutoload = QStringLiteral("project.overview.set_autoload");
const QString kBackupList = QStringLiteral("backup.backup_list");
const QString kInfoFile = QStringLiteral("projectinfo.json");
const QString kDefaultTool = QStringLiteral("tool0");
const QString kDefaultWobj = QStringLiteral("wobj0");
constexpr int kAutoloadTimeoutMs = 1600;

// Characters that no file name may hold on the pendant's platforms, control characters aside.
const QString kForbidden = QStringLiteral("/\\:*?\"<>|");

bool isReservedDevice(const QString &name)
{
    static const QStringList devices = {QStringLiteral("CON"), QStringLiteral("PRN"),
                                        QStringLiteral("AUX"), QStringLiteral("NUL")};
    const QString stem = name.section(QLatin1Char('.'), 0, 0).toUpper();
    if (devices.contains(stem))
        return true;
    return stem.size() == 4 && (stem.startsWith(QLatin1String("COM"))
                                || stem.startsWith(QLatin1String("LPT")))
           && stem.at(3) >= QLatin1Char('1') && stem.at(3) <= QLatin1Char('9');
}

// A project or robot folder name: one path segment, the same on Windows and Linux.
bool isSafeSegment(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
        || name.size() > 255)
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || kForbidden.contains(c))
            return false;
    }
    // Windows drops a trailing dot or space, so "a." would be the folder "a".
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return false;
    return !isReservedDevice(name);
}

void setString(QObject *source, const QString &path, const QString &value)
{
    nabu::m(path)->set(source, value);
}

// Projects keep the host's global tools and work objects; a project's own go with it.
void resetToolAndWobj(QObject *source)
{
    if (!nabu::m(kTool)->getString(QString()).startsWith(QLatin1String("g_tool_")))
        setString(source, kTool, kDefaultTool);
    if (!nabu::m(kWobj)->getString(QString()).startsWith(QLatin1String("g_wobj_")))
        setString(source, kWobj, kDefaultWobj);
}

bool writeInfo(nabu::ModuleObject *info, const QString &folder, const QString &description)
{
    info->c(QStringLiteral("description"))->set(nullptr, description);
    info->c(QStringLiteral("create_time"))
        ->set(nullptr,
              QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    return nabu::ModuleManager::writeToJson(folder + QLatin1Char('/') + kInfoFile,
                                            info->exportToJson(true), true);
}

// A project folder that is a link is unlinked: what it points to is not the project's.
bool removeFolder(const QString &folder)
{
    if (QFileInfo(folder).isSymLink())
        return QFile::remove(folder);
    return QDir(folder).removeRecursively();
}

bool answered(nabu::ModuleObject *response)
{
    if (response->cmobjCount() == 0 && !response->get().isValid())
        return false;
    return !response->hasCmobj(QStringLiteral("error"), false)
           || response->c(QStringLiteral("error"), false)->getInt(0) == 0;
}

} // namespace

ProjectData::ProjectData(InterfaceManager *q)
    : q(q)
{
}

bool ProjectData::isUsableName(const QString &name)
{
    return name != QLatin1String("_temp") && isSafeSegment(name);
}

QString ProjectData::robotId()
{
    const QString id = nabu::m(QStringLiteral("mirel.r.id"))->getString(QString());
    return id.isEmpty() ? QStringLiteral("LOCALHOST") : id;
}

QString ProjectData::projectFolder(const QString &name)
{
    const QString workspace = mirel::ManagerHelper::instance()->settingManager()->getStr(
        QStringLiteral("workspace"), QString());
    // The robot id comes from the controller; it must not lead out of the workspace either.
    if (workspace.isEmpty() || !isSafeSegment(robotId()))
        return QString();
    return workspace + QLatin1Char('/') + robotId() + QLatin1Char('/') + name;
}

int ProjectData::createProject(const QString &name, const QString &description,
                               bool makeCurrent)
{
    if (!isUsableName(name)) {
        TESSEL_LOG(Error, "tessel::InterfaceManager::createProject") << "Project name unuesful!";
        return -1;
    }
    const QString folder = projectFolder(name);
    if (folder.isEmpty()) {
        // Without a workspace the folder would land at the file-system root.
        TESSEL_LOG(Error, "tessel::InterfaceManager::createProject")
            << "Path create error! Path : " << QStringLiteral("/%1/%2").arg(robotId(), name);
        return -3;
    }
    if (QFileInfo::exists(folder)) {
        TESSEL_LOG(Error, "tessel::InterfaceManager::createProject")
            << "Projrct already exists! Path : " << folder;
        return -2;
    }
    if (!QDir().mkpath(folder)) {
        TESSEL_LOG(Error, "tessel::InterfaceManager::createProject")
            << "Path create error! Path : " << folder;
        return -3;
    }
    bool written = false;
    if (makeCurrent) {
        written = writeInfo(nabu::m(kProjectInfo), folder, description);
        resetToolAndWobj(q);
        setString(q, kCurProject, robotId() + QLatin1Char('/') + name);
    } else {
        nabu::ModuleObject info(QStringLiteral("projetc_info"));
        written = writeInfo(&info, folder, description);
    }
    if (!written) {
        TESSEL_LOG(Error, "tessel::InterfaceManager::createProject")
            << "Write error! Path : " << folder + QLatin1Char('/') + kInfoFile;
    }
    return 0;
}

int ProjectData::changeProject(const QString &name)
{
    if (!isUsableName(name)) {
        TESSEL_LOG(Error, "tessel::InterfaceManager::changeProject") << "Project name unuesful!";
        return -1;
    }
    setString(q, kCurProject, robotId() + QLatin1Char('/') + name);
    return 0;
}

int ProjectData::removeProject(const QString &name)
{
    if (!isUsableName(name)) {
        TESSEL_LOG(Error, "tessel::InterfaceManager::removeProject") << "Project name unuesful!";
        return -1;
    }
    nabu::ModuleObject request(QStringLiteral("tmp"));
    request.set(nullptr, QStringLiteral("name"), name);
    sv::vantor()->execCommand(nullptr, kRemoveTask, &request);

    const QString folder = projectFolder(name);
    if (folder.isEmpty()) {
        TESSEL_LOG(Error, "tessel::InterfaceManager::removeProject")
            << "Path remove error! No workspace folder for project " << name;
    } else if (removeFolder(folder)) {
        clearAutoload(name);
    } else {
        TESSEL_LOG(Error, "tessel::InterfaceManager::removeProject")
            << "Path remove error! Path : " << folder;
    }

    resetToolAndWobj(q);
    if (nabu::m(kCurProject)->getString(QString()) == robotId() + QLatin1Char('/') + name)
        setString(q, kCurProject, QString());
    nabu::m(kRefresh)->trigger();
    return 0;
}

void ProjectData::clearAutoload(const QString &name)
{
    const QString autoload = nabu::m(kAutoloadPath)->getString(QString());
    if (autoload.section(QLatin1Char('/'), 0, 0) != name)
        return;
    mirel::ControllerManager *controller = mirel::ManagerHelper::instance()->controllerManager();
    controller->requestMobj(kSetAutoload)
        ->set(nullptr, QStringLiteral("autoload_pri_path"), QString());
    nabu::ModuleObject *response =
        controller->execRequest(kSetAutoload, nullptr, true, kAutoloadTimeoutMs);
    // The pendant forgets the path only once the controller has.
    if (answered(response))
        setString(q, kAutoloadPath, QString());
    else
        TESSEL_LOG(Error, "tessel::InterfaceManager::removeProject")
            << kSetAutoload << " unanswered, autoload path kept: " << autoload;
}

QStringList ProjectData::getProjectList() const
{
    QStringList names;
    const QList<nabu::ModuleObject *> backups =
        sv::vantor()->get(nullptr, kBackupList)->cmobjs(false);
    for (nabu::ModuleObject *backup : backups) {
        names.append(backup->hasCmobj(QStringLiteral("name"), false)
                         ? backup->c(QStringLiteral("name"), false)->getString(QString())
                         : QString());
    }
    return names;
}

} // namespace tessel
