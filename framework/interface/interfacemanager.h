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

/// The one way for plug-ins to the robot controller and the host's data: link state, the
/// command service's values and commands, controller requests, data subscriptions, robot
/// identity and the robot data programs use (teach points, variables, projects, motion, IO).
///
/// Use the process-wide instance, tesselInterface(). Every operation runs on the GUI thread.
/// Operations that "wait" block the caller in a nested event loop until the controller answers
/// or the host's time-out passes (5 s in the host stand-in); signals and timers are handled
/// meanwhile. Operations marked "guarded" send nothing while the link is down and return the
/// fixed value their comment gives.
class TESSEL_EXPORT InterfaceManager : public QObject
{
    Q_OBJECT

public:
    /// Connects to the host's link signals. Plug-ins use tesselInterface() instead.
    explicit InterfaceManager(QObject *parent = nullptr);
    /// Subscriptions and network tasks stay registered with the host.
    ~InterfaceManager() override;

    /// Whether the controller link is up, as the command service's "connected" flag says.
    bool getRobotConnected() const;
    /// Registers `task` with the host, which runs it each time the link comes up (`onConnect`
    /// true) or goes down (false), on behalf of `receiver`. An empty `key` makes one from
    /// `name` and a process-wide counter (`name` + "_1", "_2", ...). Returns the key used, for
    /// disconnectNetworkStatus(). Does not block.
    QString connectNetworkStatus(bool onConnect, const QString &name, QObject *receiver,
                                 std::function<void()> task, const QString &key = QString());
    /// Unregisters the task registered under `key` for the same `onConnect`.
    void disconnectNetworkStatus(bool onConnect, const QString &key);

    /// The command-service value under `key`, as JSON; waits for the controller. Guarded: a
    /// JSON null while the link is down; also null when the controller gives no answer in time.
    QJsonValue getVantorData(const QString &key);
    /// The part `sub` (a path below `key`) of a command-service value; otherwise as
    /// getVantorData(key).
    QJsonValue getVantorData(const QString &key, const QString &sub);
    /// Writes `value` as the command-service value `key`; does not wait. Guarded: false while
    /// the link is down, else true once sent (the controller's verdict is not awaited).
    bool setVantorData(const QString &key, const QVariant &value);
    /// Writes the part `sub` of the command-service value `key`; otherwise as
    /// setVantorData(key, value).
    bool setVantorData(const QString &key, const QString &sub, const QVariant &value);
    /// Sends the controller command `command` with payload `value`; does not wait. Guarded:
    /// false while the link is down, else true once sent.
    bool commandVantorData(const QString &command, const QVariant &value);
    /// Sends the controller command `command` with payload `value` and waits for its answer,
    /// which it returns as JSON (null when no answer came in time). Guarded: the JSON value
    /// false (not null) while the link is down.
    QJsonValue execCommandVantorData(const QString &command, const QVariant &value);

    /// Subscribes `callback` to live changes of the command-service value `key`. The
    /// subscription is known by (`owner`, `name`); the first subscription of a key asks the
    /// controller to watch it. Callbacks run on the GUI thread, in the order subscribed, with
    /// the new value. Returns false, and keeps the earlier callback, when (`owner`, `name`) is
    /// taken. A callback must not outlive what it captures: remove it with
    /// disconnectVantorData() before those objects go. Not guarded.
    bool connectVantorData(const QString &owner, const QString &key,
                           std::function<void(const QVariant &)> callback, const QString &name);
    /// Removes the subscription (`owner`, `name`) of `key`; the controller stops watching the
    /// key when its last subscription goes. True also when there is no such subscription;
    /// false, and nothing changes, when (`owner`, `name`) is subscribed to another key.
    bool disconnectVantorData(const QString &owner, const QString &key, const QString &name);
    /// The `name`s of `owner`'s subscriptions, in name order.
    QStringList getConnectVantorKeyList(const QString &owner) const;

    /// The host data-tree node at the dotted `path` (for example "rovan.project.cur_project"),
    /// as JSON: an array for list nodes, an object for keyed nodes, a plain value for leaves.
    /// An absent node reads as an empty value. Does not block; not guarded.
    QJsonValue getNodeData(const QString &path);

    /// Sends the controller request `b` on behalf of the host module `a`, with payload `value`,
    /// without waiting. `n` is passed to the host unchanged: the host stand-in takes it as the
    /// time in milliseconds after which an answer is no longer expected. The shipped plug-ins do
    /// not call it. Returns false when the link is down (the stand-in's behaviour), true once
    /// sent. Not guarded.
    bool rcRequest(const QString &a, const QString &b, const QJsonValue &value, int n);
    /// Sends the controller request `command` with payload `value` without waiting. `n` is
    /// passed to the host unchanged; the calibration plug-in passes 4800 with
    /// "system.controller.reboot", and the host stand-in takes it as the time in milliseconds
    /// after which an answer is no longer expected. Returns false when the link is down (the
    /// stand-in's behaviour), true once sent. Not guarded.
    bool rcRequestFullCommand(const QString &command, const QJsonValue &value, int n);
    /// Sends the controller request `b` on behalf of the host module `a` and waits for the
    /// answer, which it returns as JSON (null when none came). `flag` and `n` are passed to the
    /// host unchanged. In the host stand-in, `flag` true shows the operator an answer that
    /// carries a non-zero "error", and `n` bounds the wait in milliseconds. The framework itself
    /// asks "project", "rl_program.get_rob_pos" this way with `flag` true and `n` 1600 (for
    /// addCurrentPoint()); the shipped plug-ins do not call it. Not guarded.
    QJsonValue rcExecRequest(const QString &a, const QString &b, const QJsonValue &value,
                             bool flag, int n);
    /// Sends the controller request `command` with payload `value` and waits for the answer,
    /// which it returns as JSON (null when none came). `flag` and `n` are passed to the host
    /// unchanged; in the host stand-in as for rcExecRequest(). The shipped plug-ins do not call
    /// it. Not guarded.
    QJsonValue rcExecRequestFullCommand(const QString &command, const QJsonValue &value,
                                        bool flag, int n);

    /// Sends `items` to the controller's plug-in service ("ServiceAPI.plugin") on behalf of
    /// `sender`, waits, and returns the answer's "data" array (empty when it is no array or no
    /// answer came). Each call gets the id "ServiceAPI.plugin_<k>", k cycling through 0 to 254.
    /// Not guarded: the host reports a link that is down.
    QJsonArray commandCustomData(QObject *sender, const QJsonArray &items);
    /// Sends the array [`item`]; otherwise as commandCustomData(sender, items).
    QJsonArray commandCustomData(QObject *sender, const QJsonObject &item);
    /// Sends [{`name`: `body`}]; otherwise as commandCustomData(sender, items).
    QJsonArray commandCustomData(QObject *sender, const QString &name, const QJsonObject &body);
    /// Sends [{`name`: {`field`: `text`}}]; otherwise as commandCustomData(sender, items).
    QJsonArray commandCustomData(QObject *sender, const QString &name, const QString &field,
                                 const QString &text);
    /// Sends [{`name`: {`field`: ""}}]; otherwise as commandCustomData(sender, items).
    QJsonArray commandCustomData(QObject *sender, const QString &name, const QString &field);

    /// The robot model name the host read from the controller ("mirel.setting.robot", for
    /// example "SR6-900"); empty before the first link-up.
    QString getRobotType() const;
    /// The controller's address from the host's settings ("server.ip"); empty when unset.
    QString getRobotIP() const;
    /// The model number the controller last gave ("robot_template" of its answer to
    /// "system.controller.get_params", which the host asks on every link-up); 0 before that.
    int getRobotModelType() const;
    /// The robot's serial id ("mirel.r.id"); empty before the first link-up.
    QString getRobotID() const;
    /// The robot's state as the controller names it ("mirel.r.state"); empty when unknown.
    QString getRobotPhyStatus() const;
    /// Whether the drives are powered: true exactly when "mirel.r.power" is "on".
    bool getRobotEleStatus() const;
    /// The operator's access level ("mirel.r.level"); 0 when unknown.
    int getUserOperateLevel() const;

    /// Records the robot's current position as the teach point `name` of the current project:
    /// joint values (degrees) when `joint` is true, else the Cartesian pose in `tool` and `wobj`
    /// (mm and degrees). A point of that name, in any case, is replaced. Waits for the
    /// controller's answer. False, and nothing changes, while the link is down or when no
    /// usable position comes back.
    bool addCurrentPoint(const QString &name, bool joint, const QString &tool,
                         const QString &wobj);
    /// Changes the Cartesian point `name` (found ignoring case) to `pose`: x, y, z (mm), a, b,
    /// c (deg); fewer than six values change nothing, more are ignored. Does not block.
    void changeCartPoint(const QString &name, const QVector<double> &pose);
    /// x, y, z (mm), a, b, c (deg) of the teach point `name` (exact name); empty when none.
    QVector<double> getPointDataByName(const QString &name) const;
    /// The names of the current project's teach points, in list order.
    QStringList getPointNameList() const;
    /// The teach point `name` (exact name) as the host stores it; an empty object when none.
    QJsonObject getPointObjDataByName(const QString &name) const;
    /// 1 when `a` and `b` are the same name (exact comparison), else 0.
    int checkPointSame(const QString &a, const QString &b) const;
    /// 1 same point, 0 the controller finds the path possible, -2 refused or unanswered.
    /// Waits for the controller ("move.path.check") unless the names are equal.
    int checkPointMoveTo(const QString &from, const QString &to);

    /// Moves the robot to the teach point `pointName` (exact name) at `speed`: mm/s of the
    /// flange for a linear move, deg/s of the joint with the longest way for a joint move
    /// (`jointMove` true); with the point's configuration when `withConf` is true. Waits for the
    /// controller to reset the previous move, then sends the move and its start without
    /// waiting; the end comes on the command-service value "move.last_error_with_setting".
    /// `result` becomes -1 when no point has that name (nothing is sent); otherwise it is left
    /// as it was.
    void moveToStart(int &result, const QString &pointName, int speed, bool withConf,
                     bool jointMove);
    /// moveToStart() without the point's configuration.
    void moveToStart(int &result, const QString &pointName, int speed, bool jointMove);
    /// Stops the robot where it is ("move.stop"); does not wait.
    void moveToStop();

    /// Appends the program variable `name` with `value` (its type named after the value's) to
    /// the current project, as a PERS variable when `pers` is true. No duplicate or link check.
    /// Always true.
    bool addVarData(const QString &name, QVariant value, bool pers);
    /// Sets the value of every variable named `name` (exact name). Always true.
    bool updateVarData(const QString &name, QVariant value);
    /// Removes the named variables: asks the controller first ("project.variable", waits) and
    /// changes nothing when it refuses (false). Sockets and serial ports are never removed;
    /// names that match no variable are skipped. True when done.
    bool delVarData(const QList<QString> &names);
    /// delVarData() of the one name.
    bool delVarData(const QString &name);
    /// The names of the current project's variables of `type` ("speed", "zone", ...); every
    /// variable for an empty `type`.
    QStringList getVarDataList(const QString &type);
    /// The entry `name` (exact name) of the current project's teach-point list as JSON; an
    /// empty object when none.
    QJsonObject getVarObjDataByName(const QString &name);
    /// The names of the speed variables: the system's, then the project's.
    QStringList getSpeedList();
    /// The names of the zone variables: the system's, then the project's.
    QStringList getZoneList();
    /// Selects the PERS variables the controller reports. 0 when sent; -240 on a controller
    /// whose version is not 2.3, 3.0 or 3.1. Does not wait.
    int registPERSVars(const QVector<QString> &names);
    /// The PERS variables selected last, as the controller reports them; waits. Empty on an
    /// unsupported controller version.
    QVector<QVariant> getRegistedPERSVars();
    /// The current values of the named PERS variables, one string per name ("" where the
    /// controller gave none); waits. All empty on an unsupported controller version.
    QVector<QString> getValuesOfPERSVars(const QVector<QString> &names);
    /// Writes `values[i]` to the PERS variable `names[i]`; does not wait. 0 when sent, -1 when
    /// the vectors differ in length (nothing is sent), -240 on an unsupported controller
    /// version.
    int setValuesOfPERSVars(const QVector<QString> &names, const QVector<QVariant> &values);

    /// Creates the robot project `name` in the host's workspace with `description`, and makes
    /// it current when `makeCurrent` is true. A name must be one plain folder name (no
    /// separators, "..", drive prefix or control characters) and not "_temp". 0 created, -1
    /// name refused, -2 the project exists, -3 the folder could not be made (also without a
    /// workspace).
    int createProject(const QString &name, const QString &description, bool makeCurrent);
    /// Makes the project `name` current. 0 done, -1 name refused.
    int changeProject(const QString &name);
    /// Removes the project `name` from the workspace and the controller (waits for the
    /// controller). 0 done, -1 name refused.
    int removeProject(const QString &name);
    /// The names of the projects in the workspace.
    QStringList getProjectList();
    /// The names of the IO signals of kind `type`: "DI", "DO", "GI", "GO", "AI" or "AO"
    /// (case-sensitive); any other text gives an empty list and an error log line.
    QStringList getIOByType(const QString &type) const;
    /// The names of the IO signals of kind `kind`: DI 1, DO 2, GI 3, GO 4, AI 5, AO 6; any
    /// other number gives an empty list and an error log line.
    QStringList getIOByType(int kind) const;
    /// Every IO signal's value by name, as the host last heard from the controller: digital 0
    /// or 1, group an integer, analogue a number in the signal's unit.
    QHash<QString, QVariant> getIOHash() const;
    /// The register list as the host keeps it, as JSON.
    QJsonValue getRegisterValue() const;
    /// Registers holding both a name and a value, by name; each value as a list of strings.
    QHash<QString, QStringList> getRegisterHash() const;
    /// The tool names: system, project, then global ones.
    QStringList getToolList() const;
    /// The work-object names: system, project, then global ones.
    QStringList getWobjList() const;
    /// The current tool's name; "tool0" when the host has none.
    QString getCurTool() const;
    /// The current work object's name; "wobj0" when the host has none.
    QString getCurWobj() const;

signals:
    /// The controller link came up. May come more than once per link-up: make handlers
    /// idempotent.
    void sigNetworkConnect();
    /// The controller link went down; `status` is the host's reason flag, passed on unchanged
    /// (the host stand-in sets it true for a planned drop such as a reboot).
    void sigNetworkDisConnect(bool status);

private:
    friend class InterfaceManagerPrivate;
    const std::unique_ptr<InterfaceManagerPrivate> d;
};

/// The process-wide InterfaceManager, made on first use (thread-safe) and destroyed at exit.
TESSEL_EXPORT InterfaceManager &tesselInterface();

} // namespace tessel
