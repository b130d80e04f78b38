#pragma once

#include <tessel/tessel_global.h>

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>

namespace tessel {

class InterfaceManagerPrivate;

// The one way for plug-ins to the robot controller and the host's data: link state, the
// command service's values and commands, controller requests, data subscriptions and robot
// identity. Operations that need the link return fixed values while it is down.
class TESSEL_EXPORT InterfaceManager : public QObject
{
    Q_OBJECT

public:
    explicit InterfaceManager(QObject *parent = nullptr);
    ~InterfaceManager() override;

    // Link state and tasks run by the host on link events.
    bool getRobotConnected() const;
    QString connectNetworkStatus(bool onConnect, const QString &name, QObject *receiver,
                                 std::function<void()> task, const QString &key = QString());
    void disconnectNetworkStatus(bool onConnect, const QString &key);

    // Command-service values and commands. Down: null, false, false, false, JSON false.
    QJsonValue getVantorData(const QString &key);
    QJsonValue getVantorData(const QString &key, const QString &sub);
    bool setVantorData(const QString &key, const QVariant &value);
    bool setVantorData(const QString &key, const QString &sub, const QVariant &value);
    bool commandVantorData(const QString &command, const QVariant &value);
    // Waits for the controller's answer.
    QJsonValue execCommandVantorData(const QString &command, const QVariant &value);

    // Live updates of a command-service key, one callback per (owner, name).
    bool connectVantorData(const QString &owner, const QString &key,
                           std::function<void(const QVariant &)> callback, const QString &name);
    bool disconnectVantorData(const QString &owner, const QString &key, const QString &name);
    QStringList getConnectVantorKeyList(const QString &owner) const;

    QJsonValue getNodeData(const QString &path);

    // Controller requests; `n` and `flag` are passed to the host unchanged.
    bool rcRequest(const QString &a, const QString &b, const QJsonValue &value, int n);
    bool rcRequestFullCommand(const QString &command, const QJsonValue &value, int n);
    QJsonValue rcExecRequest(const QString &a, const QString &b, const QJsonValue &value,
                             bool flag, int n);
    QJsonValue rcExecRequestFullCommand(const QString &command, const QJsonValue &value,
                                        bool flag, int n);

    // Custom plug-in commands; each waits and returns the answer's "data" array.
    QJsonArray commandCustomData(QObject *sender, const QJsonArray &items);
    QJsonArray commandCustomData(QObject *sender, const QJsonObject &item);
    QJsonArray commandCustomData(QObject *sender, const QString &name, const QJsonObject &body);
    QJsonArray commandCustomData(QObject *sender, const QString &name, const QString &field,
                                 const QString &text);
    QJsonArray commandCustomData(QObject *sender, const QString &name, const QString &field);

    // Robot identity and state, read from the host at each call.
    QString getRobotType() const;
    QString getRobotIP() const;
    int getRobotModelType() const;
    QString getRobotID() const;
    QString getRobotPhyStatus() const;
    bool getRobotEleStatus() const;
    int getUserOperateLevel() const;

    // Teach points of the current project. Recording asks the controller for the current
    // position and changes nothing when no usable position comes back. Look-ups by name are
    // exact, except that recording replaces and editing finds points ignoring case.
    bool addCurrentPoint(const QString &name, bool joint, const QString &tool,
                         const QString &wobj);
    // `pose` is x, y, z (mm), a, b, c (deg); fewer than six values change nothing.
    void changeCartPoint(const QString &name, const QVector<double> &pose);
    QVector<double> getPointDataByName(const QString &name) const;
    QStringList getPointNameList() const;
    QJsonObject getPointObjDataByName(const QString &name) const;
    int checkPointSame(const QString &a, const QString &b) const;
    // 1 same point, 0 the controller finds the path possible, -2 refused or unanswered.
    int checkPointMoveTo(const QString &from, const QString &to);

    // Motion to a teach point; `result` becomes -1 when no point has that name. The move is
    // not awaited: its end comes on "move.last_error_with_setting".
    void moveToStart(int &result, const QString &pointName, int speed, bool withConf,
                     bool jointMove);
    void moveToStart(int &result, const QString &pointName, int speed, bool jointMove);
    void moveToStop();

    // Program variables of the current project. Removal asks the controller first and changes
    // nothing when it refuses; sockets and serial ports are never removed.
    bool addVarData(const QString &name, QVariant value, bool pers);
    bool updateVarData(const QString &name, QVariant value);
    bool delVarData(const QList<QString> &names);
    bool delVarData(const QString &name);
    QStringList getVarDataList(const QString &type);
    QJsonObject getVarObjDataByName(const QString &name);
    QStringList getSpeedList();
    QStringList getZoneList();
    // PERS values on controllers 2.3, 3.0 and 3.1; others give -240 or nothing.
    int registPERSVars(const QVector<QString> &names);
    QVector<QVariant> getRegistedPERSVars();
    QVector<QString> getValuesOfPERSVars(const QVector<QString> &names);
    int setValuesOfPERSVars(const QVector<QString> &names, const QVector<QVariant> &values);

    // Robot projects in the host's workspace. A name must be one plain folder name, not
    // "_temp": -1 otherwise. Create: -2 exists, -3 no folder (also without a workspace).
    int createProject(const QString &name, const QString &description, bool makeCurrent);
    int changeProject(const QString &name);
    int removeProject(const QString &name);
    QStringList getProjectList();
    // IO signals, registers, tools and work objects as the host keeps them. Signal kinds:
    // "DI" 1, "DO" 2, "GI" 3, "GO" 4, "AI" 5, "AO" 6; any other kind gives an empty list.
    QStringList getIOByType(const QString &type) const;
    QStringList getIOByType(int kind) const;
    QHash<QString, QVariant> getIOHash() const;
    QJsonValue getRegisterValue() const;
    // Registers holding both a name and a value, by name.
    QHash<QString, QStringList> getRegisterHash() const;
    // System, project, then global ones.
    QStringList getToolList() const;
    QStringList getWobjList() const;
    QString getCurTool() const;
    QString getCurWobj() const;

signals:
    void sigNetworkConnect();
    void sigNetworkDisConnect(bool status);

private:
    friend class InterfaceManagerPrivate;
    const std::unique_ptr<InterfaceManagerPrivate> d;
};

// The process-wide facade.
TESSEL_EXPORT InterfaceManager &tesselInterface();

} // namespace tessel
