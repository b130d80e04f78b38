#include "interfacemanager.h"

#include "interfacemanager_p.h"
#include "log/tessellog_p.h"

#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <mirel/settingmanager.h>
#include <mirel/tasknetworkmanager.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <nabusrv/vantor.h>

#include <exception>

namespace tessel {

namespace {

const QString kPluginService = QStringLiteral("ServiceAPI.plugin");
const QString kGetParams = QStringLiteral("system.controller.get_params");

int commandSequence = 0;
int networkTaskCounter = 0;

mirel::ControllerManager *controller()
{
    return mirel::ManagerHelper::instance()->controllerManager();
}

nabu::ModuleObject *connectedNode()
{
    return sv::vantor()->mobj()->c(QStringLiteral("connected"), false);
}

// Joined with a character no owner or name holds, rather than the host's ".": owners and names
// are often dotted ("move.report"), and ("a.b", "c") must stay apart from ("a", "b.c").
const QChar kIdSeparator(0x1F);

QString subscriptionId(const QString &owner, const QString &name)
{
    return owner + kIdSeparator + name;
}

} // namespace

InterfaceManagerPrivate::InterfaceManagerPrivate(InterfaceManager *q)
    : points(q)
    , motion(q)
    , variables(q)
    , projects(q)
    , q(q)
{
}

bool InterfaceManagerPrivate::connected() const
{
    return connectedNode()->getBool(false);
}

void InterfaceManagerPrivate::deliver(const QString &key, const QVariant &value)
{
    // Callbacks may subscribe or unsubscribe while they run: walk a copy, call copies.
    const QStringList ids = watchedKeys.value(key);
    for (const QString &id : ids) {
        const auto it = dataCallbacks.constFind(id);
        if (it == dataCallbacks.constEnd())
            continue;
        const std::function<void(const QVariant &)> callback = it.value();
        // A plug-in's callback must not throw into the host's signal.
        try {
            callback(value);
        } catch (const std::exception &e) {
            TESSEL_LOG(Error, "tessel::InterfaceManager::connectVantorData")
                << "callback " << id << " of " << key << " failed: "
                << QString::fromLocal8Bit(e.what());
        } catch (...) {
            TESSEL_LOG(Error, "tessel::InterfaceManager::connectVantorData")
                << "callback " << id << " of " << key << " failed";
        }
    }
}

InterfaceManager::InterfaceManager(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<InterfaceManagerPrivate>(this))
{
    connect(controller(), &mirel::ControllerManager::rcConnected, this, [this] {
        if (d->connected())
            emit sigNetworkConnect();
    });
    connect(controller(), &mirel::ControllerManager::rcDisconnected, this,
            [this](bool status) { emit sigNetworkDisConnect(status); });
    connect(connectedNode(), &nabu::ModuleObject::changed, this,
            [this](const QVariant &value) {
                if (value.toBool() && controller()->isLinkUp())
                    emit sigNetworkConnect();
            });
}

InterfaceManager::~InterfaceManager() = default;

bool InterfaceManager::getRobotConnected() const
{
    return d->connected();
}

QString InterfaceManager::connectNetworkStatus(bool onConnect, const QString &name,
                                               QObject *receiver, std::function<void()> task,
                                               const QString &key)
{
    QString taskKey = key;
    if (taskKey.isEmpty()) {
        ++networkTaskCounter;
        taskKey = name + QStringLiteral("_%1").arg(networkTaskCounter);
    }
    auto hostTask = [task = std::move(task),
                     taskKey](const mirel::TaskNetworkManager::Done &done) {
        bool ok = true;
        try {
            if (task)
                task();
        } catch (...) {
            ok = false;
            TESSEL_LOG(Error, "tessel::InterfaceManager::connectNetworkStatus")
                << "network task " << taskKey << " failed";
        }
        done(ok, QVariant());
    };
    mirel::ManagerHelper::instance()->taskNetworkManager()->registerTask(
        onConnect ? 0 : 1, receiver, taskKey, hostTask, QStringList());
    return taskKey;
}

void InterfaceManager::disconnectNetworkStatus(bool onConnect, const QString &key)
{
    mirel::ManagerHelper::instance()->taskNetworkManager()->unRegisterTask(onConnect ? 0 : 1, key);
}

QJsonValue InterfaceManager::getVantorData(const QString &key)
{
    if (!d->connected())
        return QJsonValue(QJsonValue::Null);
    return sv::vantor()->get(nullptr, key)->exportToJson(true);
}

QJsonValue InterfaceManager::getVantorData(const QString &key, const QString &sub)
{
    if (!d->connected())
        return QJsonValue(QJsonValue::Null);
    return sv::vantor()->get(nullptr, key, sub)->exportToJson(true);
}

bool InterfaceManager::setVantorData(const QString &key, const QVariant &value)
{
    return setVantorData(key, QString(), value);
}

bool InterfaceManager::setVantorData(const QString &key, const QString &sub,
                                     const QVariant &value)
{
    if (!d->connected())
        return false;
    sv::vantor()->set(nullptr, key, sub, value);
    return true;
}

bool InterfaceManager::commandVantorData(const QString &command, const QVariant &value)
{
    if (!d->connected())
        return false;
    sv::vantor()->command(nullptr, command, value);
    return true;
}

QJsonValue InterfaceManager::execCommandVantorData(const QString &command, const QVariant &value)
{
    if (!d->connected())
        return QJsonValue(false);
    return sv::vantor()->execCommand(nullptr, command, value)->exportToJson(true);
}

bool InterfaceManager::connectVantorData(const QString &owner, const QString &key,
                                         std::function<void(const QVariant &)> callback,
                                         const QString &name)
{
    // An empty callback would fail only later, at delivery, inside the host's signal.
    if (!callback) {
        TESSEL_LOG(Error, "tessel::InterfaceManager::connectVantorData")
            << "refused an empty callback for " << key;
        return false;
    }
    const QString id = subscriptionId(owner, name);
    if (d->dataCallbacks.contains(id))
        return false;
    // QMap::insert would copy: Qt 5 has no inserting overload that moves.
    d->dataCallbacks[id] = std::move(callback);
    if (!d->watchedKeys.contains(key)) {
        d->watchedKeys.insert(key, QStringList());
        d->keyConnections.insert(
            key, connect(sv::vantor()->watchNode(key), &nabu::ModuleObject::changed, this,
                         [this, key](const QVariant &value) { d->deliver(key, value); }));
        TESSEL_LOG(Service, "tessel::InterfaceManager::connectVantorData")
            << "connectVantorData - serviceKey : " << key;
        sv::vantor()->watch(nullptr, key, true);
    }
    d->watchedKeys[key].append(id);
    return true;
}

bool InterfaceManager::disconnectVantorData(const QString &owner, const QString &key,
                                            const QString &name)
{
    const QString id = subscriptionId(owner, name);
    auto it = d->watchedKeys.find(key);
    if (it == d->watchedKeys.end() || !it->contains(id)) {
        // Dropping the callback of a subscription to another key would leave its id listed
        // there, to be run for whatever takes the id next.
        if (!d->dataCallbacks.contains(id))
            return true;
        TESSEL_LOG(Error, "tessel::InterfaceManager::disconnectVantorData")
            << nabu::mName(owner, name) << " is not subscribed to " << key;
        return false;
    }
    d->dataCallbacks.remove(id);
    it->removeAll(id);
    if (it->isEmpty()) {
        d->watchedKeys.erase(it);
        disconnect(d->keyConnections.take(key));
        sv::vantor()->watch(nullptr, key, false);
    }
    return true;
}

QStringList InterfaceManager::getConnectVantorKeyList(const QString &owner) const
{
    QStringList names;
    for (auto it = d->dataCallbacks.constBegin(); it != d->dataCallbacks.constEnd(); ++it) {
        const int at = it.key().indexOf(kIdSeparator);
        if (it.key().leftRef(at) == owner)
            names.append(it.key().mid(at + 1));
    }
    return names;
}

QJsonValue InterfaceManager::getNodeData(const QString &path)
{
    return nabu::m(path)->exportToJson(true);
}

bool InterfaceManager::rcRequest(const QString &a, const QString &b, const QJsonValue &value,
                                 int n)
{
    return controller()->request(a, b, value, n);
}

bool InterfaceManager::rcRequestFullCommand(const QString &command, const QJsonValue &value,
                                            int n)
{
    nabu::ModuleObject request(QStringLiteral("request"));
    request.importFromJson(nullptr, value, true, true, false);
    return controller()->request(command, &request, n);
}

QJsonValue InterfaceManager::rcExecRequest(const QString &a, const QString &b,
                                           const QJsonValue &value, bool flag, int n)
{
    return controller()->execRequest(a, b, value, flag, n)->exportToJson(true);
}

QJsonValue InterfaceManager::rcExecRequestFullCommand(const QString &command,
                                                      const QJsonValue &value, bool flag, int n)
{
    nabu::ModuleObject request(QStringLiteral("request"));
    request.importFromJson(nullptr, value, true, true, false);
    return controller()->execRequest(command, &request, flag, n)->exportToJson(true);
}

QJsonArray InterfaceManager::commandCustomData(QObject *sender, const QJsonArray &items)
{
    if (commandSequence >= 255)
        commandSequence = 0;
    TESSEL_LOG(Service, "tessel::InterfaceManager::commandCustomData")
        << "send : " << "tessel::command : " << items;
    const QString id = QStringLiteral("%1_%2").arg(kPluginService).arg(commandSequence);
    ++commandSequence;
    nabu::ModuleObject *result =
        sv::vantor()->execPluginCommand(sender, id, kPluginService, items.toVariantList());
    const QJsonValue data = result->c(QStringLiteral("data"))->exportToJson(true);
    TESSEL_LOG(Service, "tessel::InterfaceManager::commandCustomData")
        << "ret : " << "tessel::command : " << data;
    return data.toArray();
}

QJsonArray InterfaceManager::commandCustomData(QObject *sender, const QJsonObject &item)
{
    return commandCustomData(sender, QJsonArray{item});
}

QJsonArray InterfaceManager::commandCustomData(QObject *sender, const QString &name,
                                               const QJsonObject &body)
{
    return commandCustomData(sender, QJsonArray{QJsonObject{{name, body}}});
}

QJsonArray InterfaceManager::commandCustomData(QObject *sender, const QString &name,
                                               const QString &field, const QString &text)
{
    return commandCustomData(sender, name, QJsonObject{{field, text}});
}

QJsonArray InterfaceManager::commandCustomData(QObject *sender, const QString &name,
                                               const QString &field)
{
    return commandCustomData(sender, name, field, QString(QLatin1String("")));
}

QString InterfaceManager::getRobotType() const
{
    return nabu::m(QStringLiteral("mirel.setting.robot"))->getString(QString());
}

QString InterfaceManager::getRobotIP() const
{
    return mirel::ManagerHelper::instance()->settingManager()->getStr(QStringLiteral("server.ip"),
                                                                      QString());
}

int InterfaceManager::getRobotModelType() const
{
    return controller()->responseMobj(kGetParams)->c(QStringLiteral("robot_template"))->getInt(0);
}

QString InterfaceManager::getRobotID() const
{
    return nabu::m(QStringLiteral("mirel.r.id"))->getString(QString());
}

QString InterfaceManager::getRobotPhyStatus() const
{
    return nabu::m(QStringLiteral("mirel.r.state"))->getString(QString());
}

bool InterfaceManager::getRobotEleStatus() const
{
    return nabu::m(QStringLiteral("mirel.r.power"))->getString(QString()) == QLatin1String("on");
}

int InterfaceManager::getUserOperateLevel() const
{
    return nabu::m(QStringLiteral("mirel.r.level"))->getInt(0);
}

bool InterfaceManager::addCurrentPoint(const QString &name, bool joint, const QString &tool,
                                       const QString &wobj)
{
    return d->points.addCurrentPoint(name, joint, tool, wobj);
}

void InterfaceManager::changeCartPoint(const QString &name, const QVector<double> &pose)
{
    d->points.changeCartPoint(name, pose);
}

QVector<double> InterfaceManager::getPointDataByName(const QString &name) const
{
    return d->points.getPointDataByName(name);
}

QStringList InterfaceManager::getPointNameList() const
{
    return d->points.getPointNameList();
}

QJsonObject InterfaceManager::getPointObjDataByName(const QString &name) const
{
    return d->points.getPointObjDataByName(name);
}

int InterfaceManager::checkPointSame(const QString &a, const QString &b) const
{
    return d->points.checkPointSame(a, b);
}

int InterfaceManager::checkPointMoveTo(const QString &from, const QString &to)
{
    return d->points.checkPointMoveTo(from, to);
}

void InterfaceManager::moveToStart(int &result, const QString &pointName, int speed,
                                   bool withConf, bool jointMove)
{
    d->motion.moveToStart(result, pointName, speed, withConf, jointMove);
}

void InterfaceManager::moveToStart(int &result, const QString &pointName, int speed,
                                   bool jointMove)
{
    d->motion.moveToStart(result, pointName, speed, false, jointMove);
}

void InterfaceManager::moveToStop()
{
    d->motion.moveToStop();
}

QStringList InterfaceManager::getIOByType(const QString &type) const
{
    return d->io.getIOByType(RobotIo::signalKind(type));
}

QStringList InterfaceManager::getIOByType(int kind) const
{
    return d->io.getIOByType(kind);
}

QHash<QString, QVariant> InterfaceManager::getIOHash() const
{
    return d->io.getIOHash();
}

QJsonValue InterfaceManager::getRegisterValue() const
{
    return d->io.getRegisterValue();
}

QHash<QString, QStringList> InterfaceManager::getRegisterHash() const
{
    return d->io.getRegisterHash();
}

QStringList InterfaceManager::getToolList() const
{
    return d->io.getToolList();
}

QStringList InterfaceManager::getWobjList() const
{
    return d->io.getWobjList();
}

QString InterfaceManager::getCurTool() const
{
    return d->io.getCurTool();
}

QString InterfaceManager::getCurWobj() const
{
    return d->io.getCurWobj();
}

InterfaceManager &tesselInterface()
{
    static InterfaceManager instance(nullptr);
    return instance;
}

// NOLINTNEXTLINE(performance-unnecessary-value-param): plug-ins compile against this signature
bool InterfaceManager::addVarData(const QString &name, QVariant value, bool pers)
{
    return d->variables.addVarData(name, value, pers);
}

// NOLINTNEXTLINE(performance-unnecessary-value-param): plug-ins compile against this signature
bool InterfaceManager::updateVarData(const QString &name, QVariant value)
{
    return d->variables.updateVarData(name, value);
}

bool InterfaceManager::delVarData(const QList<QString> &names)
{
    return d->variables.delVarData(names);
}

bool InterfaceManager::delVarData(const QString &name)
{
    return d->variables.delVarData(QList<QString>{name});
}

QStringList InterfaceManager::getVarDataList(const QString &type)
{
    return d->variables.getVarDataList(type);
}

QJsonObject InterfaceManager::getVarObjDataByName(const QString &name)
{
    return d->variables.getVarObjDataByName(name);
}

QStringList InterfaceManager::getSpeedList()
{
    return d->variables.getSpeedList();
}

QStringList InterfaceManager::getZoneList()
{
    return d->variables.getZoneList();
}

int InterfaceManager::registPERSVars(const QVector<QString> &names)
{
    return d->variables.registPERSVars(names);
}

QVector<QVariant> InterfaceManager::getRegistedPERSVars()
{
    return d->variables.getRegistedPERSVars();
}

QVector<QString> InterfaceManager::getValuesOfPERSVars(const QVector<QString> &names)
{
    return d->variables.getValuesOfPERSVars(names);
}

int InterfaceManager::setValuesOfPERSVars(const QVector<QString> &names,
                                          const QVector<QVariant> &values)
{
    return d->variables.setValuesOfPERSVars(names, values);
}

int InterfaceManager::createProject(const QString &name, const QString &description,
                                    bool makeCurrent)
{
    return d->projects.createProject(name, description, makeCurrent);
}

int InterfaceManager::changeProject(const QString &name)
{
    return d->projects.changeProject(name);
}

int InterfaceManager::removeProject(const QString &name)
{
    return d->projects.removeProject(name);
}

QStringList InterfaceManager::getProjectList()
{
    return d->projects.getProjectList();
}

} // namespace tessel
