#pragma once

#include "mirel_global.h"

#include <QJsonValue>
#include <QObject>

namespace mirel {

class ControllerManager;

// The robot's IO signals, registers, tools and work objects as the host keeps them: read from
// the controller when the link comes up, then kept current from the controller's updates.
//   "rovan.robot.io.signal_detail.<signal>.signal_type"  kind: DI 1, DO 2, GI 3, GO 4, AI 5, AO 6
//   "rovan.robot.io.signal_value.<signal>"               the signal's value
//   "rovan.robot.register._list"                         [{"name", "value"}]
//   "rovan.project.tool.system_list", "rovan.project.tool._list", "rovan.setting.g_tool.g_tools"
//   "rovan.project.wobj.system_list", "rovan.project.wobj._list", "rovan.setting.g_wobj.g_wobjs"
//   "rovan.toolpage.tool", "rovan.toolpage.wobj"          the current tool and work object
class MIREL_EXPORT RobotIoData : public QObject
{
    Q_OBJECT

public:
    // The controller's command-service keys the data comes from.
    static const QString SignalsKey;
    static const QString RegistersKey;
    static const QString ToolsKey;
    static const QString WobjsKey;
    static const QString CurrentKey;

    RobotIoData(ControllerManager *controller, QObject *parent);
    ~RobotIoData() override;

    // Puts a controller value of one of the keys above into the data tree.
    void apply(const QString &key, const QJsonValue &value);

private:
    void readAll();
    void applySignals(const QJsonValue &value);
    void applyLists(const QJsonValue &value, const QString &projectRoot,
                    const QString &globalList);

    ControllerManager *m_controller;
};

} // namespace mirel
