#pragma once

#include "mirel_global.h"

#include <QObject>
#include <QStringList>

namespace mirel {

class ControllerManager;
class ProjectMirror;
class RobotIoData;
class SettingManager;
class TaskNetworkManager;

// The host's core services, and the operator message area.
class MIREL_EXPORT ManagerHelper : public QObject
{
    Q_OBJECT

public:
    struct Message
    {
        QString source; // object name of the source, or its class name
        QString level;  // "info", "warning" or "error"
        QString text;
    };

    static ManagerHelper *instance();

    ControllerManager *controllerManager() const;
    SettingManager *settingManager() const;
    TaskNetworkManager *taskNetworkManager() const;

    void registQrcAlias(const QString &name);
    QStringList qrcAliases() const;

    // Shows a message to the operator.
    static void throwLog(QObject *source, const QString &level, const QString &text);
    QList<Message> messages() const;
    void clearMessages();

signals:
    void operatorMessage(const QString &level, const QString &text);

private:
    ManagerHelper();
    ~ManagerHelper() override;
    friend class ManagerHelperHolder;

    ControllerManager *m_controller;
    SettingManager *m_settings;
    // Before the tasks: it reads the robot's IO data before they run on a link-up.
    RobotIoData *m_robotIo;
    TaskNetworkManager *m_tasks;
    ProjectMirror *m_projectMirror;
    QStringList m_aliases;
    QList<Message> m_messages;
};

} // namespace mirel
