#pragma once

#include <QString>
#include <QStringList>

namespace tessel {

class InterfaceManager;

// Robot projects: one folder per robot and project below the host's workspace, and the
// current project the host keeps at "rovan.project.cur_project".
class ProjectData
{
public:
    explicit ProjectData(InterfaceManager *q);

    int createProject(const QString &name, const QString &description, bool makeCurrent);
    int changeProject(const QString &name);
    int removeProject(const QString &name);
    QStringList getProjectList() const;

    // A name that stays one folder inside the robot's folder on every platform.
    static bool isUsableName(const QString &name);

private:
    static QString robotId();
    // Empty when the host has no workspace: nothing may then be created or deleted.
    static QString projectFolder(const QString &name);
    void clearAutoload(const QString &name);

    InterfaceManager *const q;
};

} // namespace tessel
