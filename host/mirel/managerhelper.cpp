#include "managerhelper.h"

#include "controllermanager.h"
#include "projectdata.h"
#include "projectmirror.h"
#include "projectoverview.h"
#include "robotiodata.h"
#include "settingmanager.h"
#include "tasknetworkmanager.h"
#include "variabledata.h"

namespace mirel {

class ManagerHelperHolder
{
public:
    ManagerHelper helper;
};

Q_GLOBAL_STATIC(ManagerHelperHolder, s_holder)

ManagerHelper::ManagerHelper()
    : m_controller(new ControllerManager(this))
    , m_settings(new SettingManager(this))
    , m_robotIo(new RobotIoData(m_controller, this))
    , m_tasks(new TaskNetworkManager(m_controller, this))
{
    ProjectData::install(this);
    VariableData::install(this);
    ProjectOverview::install(this, m_controller);
    m_projectMirror = new ProjectMirror(m_controller, this);
}

ManagerHelper::~ManagerHelper() = default;

ManagerHelper *ManagerHelper::instance()
{
    return &s_holder()->helper;
}

ControllerManager *ManagerHelper::controllerManager() const
{
    return m_controller;
}

SettingManager *ManagerHelper::settingManager() const
{
    return m_settings;
}

TaskNetworkManager *ManagerHelper::taskNetworkManager() const
{
    return m_tasks;
}

void ManagerHelper::registQrcAlias(const QString &name)
{
    if (!m_aliases.contains(name))
        m_aliases.append(name);
}

QStringList ManagerHelper::qrcAliases() const
{
    return m_aliases;
}

void ManagerHelper::throwLog(QObject *source, const QString &level, const QString &text)
{
    ManagerHelper *self = instance();
    QString who;
    if (source)
        who = source->objectName().isEmpty() ? QString::fromLatin1(source->metaObject()->className())
                                             : source->objectName();
    self->m_messages.append(Message{who, level, text});
    emit self->operatorMessage(level, text);
}

QList<ManagerHelper::Message> ManagerHelper::messages() const
{
    return m_messages;
}

void ManagerHelper::clearMessages()
{
    m_messages.clear();
}

} // namespace mirel
