#include "controllerprobe.h"

#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QJsonArray>
#include <QJsonObject>

namespace {

mirel::ControllerManager *manager()
{
    return mirel::ManagerHelper::instance()->controllerManager();
}

} // namespace

const QString ControllerProbe::PoseKey = QStringLiteral("sim.robot.pose");

ControllerProbe::ControllerProbe(QObject *parent)
    : QObject(parent)
{
    // A controller forgets its watchers when the link drops: watch again on every link-up.
    connect(manager(), &mirel::ControllerManager::rcConnected, this, &ControllerProbe::watchPose);
    connect(manager(), &mirel::ControllerManager::rcDisconnected, this, [this](bool reboot) {
        m_moving = false;
        if (reboot)
            ++m_reboots;
    });
    connect(manager(), &mirel::ControllerManager::valueChanged, this,
            [this](const QString &key, const QJsonValue &value) {
                if (key == PoseKey)
                    takePose(value);
            });
    if (manager()->isLinkUp())
        watchPose();
}

ControllerProbe::~ControllerProbe() = default;

bool ControllerProbe::isUp() const
{
    return manager()->isLinkUp();
}

QVector<double> ControllerProbe::joints() const
{
    return m_joints;
}

QVector<QVector3D> ControllerProbe::links() const
{
    return m_links;
}

bool ControllerProbe::isMoving() const
{
    return m_moving;
}

int ControllerProbe::axisCount() const
{
    return m_joints.size();
}

QString ControllerProbe::robotName() const
{
    return nabu::m(QStringLiteral("mirel.setting.robot"))->getString();
}

int ControllerProbe::reboots() const
{
    return m_reboots;
}

bool ControllerProbe::setJoints(const QVector<double> &jointsDeg)
{
    QJsonArray joints;
    for (double q : jointsDeg)
        joints.append(q);
    const QJsonValue answer = command(QStringLiteral("sim.robot.set_joints"),
                                      QJsonObject{{QStringLiteral("joints_deg"), joints}});
    return answer.toObject().value(QStringLiteral("success")).toBool();
}

QJsonValue ControllerProbe::command(const QString &name, const QJsonValue &payload,
                                    int timeoutMs)
{
    QJsonValue answer;
    const quint64 id = manager()->post(mirel::ControllerMessage::Command, name, payload);
    if (!manager()->wait(id, timeoutMs, &answer))
        return QJsonValue();
    return answer;
}

void ControllerProbe::watchPose()
{
    manager()->post(mirel::ControllerMessage::Watch, PoseKey, true);
}

void ControllerProbe::takePose(const QJsonValue &pose)
{
    const QJsonObject object = pose.toObject();
    QVector<double> joints;
    const QJsonArray jointArray = object.value(QStringLiteral("joints")).toArray();
    for (const QJsonValue &q : jointArray)
        joints.append(q.toDouble());
    QVector<QVector3D> links;
    const QJsonArray linkArray = object.value(QStringLiteral("links")).toArray();
    for (const QJsonValue &link : linkArray) {
        const QJsonArray p = link.toArray();
        links.append(QVector3D(float(p.at(0).toDouble()), float(p.at(1).toDouble()),
                               float(p.at(2).toDouble())));
    }
    if (joints.isEmpty())
        return;
    m_joints = joints;
    m_links = links;
    m_moving = object.value(QStringLiteral("moving")).toBool();
    emit poseChanged(m_joints, m_links);
}
