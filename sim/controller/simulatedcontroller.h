#pragma once

#include <mirel/controllerlink.h>
#include <sim/cell/asbuiltrobot.h>
#include <sim/cell/virtualcell.h>
#include <sim/kinematics/jointlimits.h>

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QSet>
#include <QVector3D>
#include <QVector>

#include <functional>
#include <memory>

namespace sim {

class ComplianceBook;
class ProgramStore;

// A robot model the simulator can be: its DH set has one link group more than it has joints.
struct RobotModel
{
    QString name;
    int axes = 0;
    int templateId = 0;
    QVector<double> dh; // 4 x (axes + 1): alpha (deg), a (mm), d (mm), theta (deg) per link
    JointLimits limits;
    QVector<double> homeDeg; // where a freshly selected robot stands
};

// A robot controller in a box, plugged into the host through its link interface. It keeps its
// DH parameters and zero offsets across a reboot. Tests script it: replace any command's
// answer, read the record of what was sent, drop and restore the link, add latency.
class SimulatedController : public mirel::ControllerLink
{
    Q_OBJECT

public:
    struct Call
    {
        mirel::ControllerMessage::Kind kind;
        QString name;
        QJsonValue payload;
    };
    using Handler = std::function<QJsonValue(const QJsonValue &payload)>;
    // Saves what a message changed just before its answer goes out; false when it could not,
    // after it put back the state it last saved. Every change that arrived before that and is
    // not answered yet is then answered NotSaved too.
    using Keeper = std::function<bool()>;
    // Answer "code" of a change that was undone because it could not be saved.
    static constexpr int NotSaved = -4;
    // How many of the latest messages calls() remembers, unless told to remember all.
    static constexpr int RecentCalls = 64;

    explicit SimulatedController(QObject *parent = nullptr);
    ~SimulatedController() override;

    // ControllerLink
    bool isUp() const override;
    QString address() const override;
    // Where external programs reach this controller, once it is also served on the network.
    void setAddress(const QString &address);
    void send(const mirel::ControllerMessage &message) override;

    // Robot
    static QList<RobotModel> models();
    static QStringList modelNames();
    // Selects a model with its factory DH set and zero offsets; false for an unknown name.
    bool setModel(const QString &name);
    RobotModel model() const;
    int axisCount() const;
    QVector<double> dhParams() const;
    void setDhParams(const QVector<double> &dh);
    QVector<double> productDhParams() const;
    QVector<double> zeroOffsets() const;
    QVector<double> productZeroOffsets() const;
    QString version() const;
    void setVersion(const QString &version);
    QString robotId() const;
    void setRobotId(const QString &id);
    // Controllers of versions 2.3, 3.0 and 3.1 move with "move.move_to.jc" / "move.move_to.l",
    // all others with "move.j" / "move.l"; each answers only its own family.
    static bool usesMoveTo(const QString &version);

    // Motion (degrees and millimetres; see README.md for the command units)
    QVector<double> jointPositions() const;
    // Places the robot at once, ending any move; false (and no change) outside the limits.
    bool setJointPositions(const QVector<double> &jointsDeg);
    // Base origin, the origin of each joint's frame, then the flange, from the configured DH set.
    QVector<QVector3D> linkPositions() const;
    bool isMoving() const;
    // 1 runs moves in real time; 10 runs them ten times as fast.
    void setMotionPace(double factor);
    double motionPace() const;

    // The physical robot behind the controller: its as-built kinematics, drawn from the model and
    // the robot id, which no controller command reveals, in a measuring cell whose tracker reads
    // the reflectors of its tool plate ("sim.tracker.measure"). Moves are planned with the
    // configured DH set and zero offsets; the flange ends where the as-built robot, bent by
    // gravity, puts it. The cell is the truth, for tests only.
    AsBuiltRobot asBuiltRobot() const;
    VirtualCell *cell() const;
    // Without the arrival scatter, in the base frame.
    Eigen::Vector3d trueFlangePositionMm() const;
    // The tracker's noise per axis at the base (mm), growing with distance; 0 measures exactly.
    void setTrackerNoise(double sigmaMm);
    double trackerNoise() const;
    void setTrackerSeed(quint64 seed);

    // Link
    void bringUp();
    void bringDown(bool expected = false);
    // Drops the link on purpose and brings it back after the reboot delay.
    void reboot();
    void setRebootDelay(int ms);
    int rebootDelay() const;
    // Delay before each answer and update; 0 answers on the next turn of the event loop.
    void setLatency(int ms);
    int rebootCount() const;

    // Command-service values (Get, Set, Watch)
    void setValue(const QString &key, const QJsonValue &value);
    QJsonValue value(const QString &key) const;
    // The keys that hold a value set on the controller (not a built-in one).
    QStringList valueKeys() const;
    bool isWatched(const QString &key) const;

    // IO: sets an input signal (DI, GI, AI) as the cell would and publishes the signal list;
    // false, and nothing changes, for an unknown name, an output or a value not a number.
    bool setInput(const QString &name, const QJsonValue &value);

    // Messages that neither move the robot nor change what the controller keeps: gets, watches
    // and the reading commands. Everything else needs the network token.
    static bool isReadOnly(mirel::ControllerMessage::Kind kind, const QString &name);
    // Called as the answer of every message that is not read-only goes out; see Keeper.
    void setKeeper(Keeper keeper);

    // Scripting. A handler or a fixed answer replaces the built-in command of that name.
    void setHandler(const QString &command, Handler handler);
    void setAnswer(const QString &command, const QJsonValue &answer);
    // Messages of that name (any kind) are recorded but neither carried out nor answered.
    void setSilent(const QString &command, bool silent = true);
    void resetScript();
    // The latest RecentCalls messages, oldest first; every message since the last clearCalls()
    // once setCallLogUnbounded(true) was called (tests only: it grows without end).
    QList<Call> calls() const;
    QList<Call> callsOf(const QString &name) const;
    void clearCalls();
    void setCallLogUnbounded(bool unbounded);

    // Projects, start-up project and PERS values the controller keeps.
    ProgramStore *programs() const;
    // The joint compliance its moves compensate ("factory.set_compliance").
    const ComplianceBook &compliance() const;

signals:
    void received(const QString &name);
    // While a move runs (at most every 20 ms), at its end and on setJointPositions.
    void jointsChanged(const QVector<double> &joints);

private:
    struct Outcome;
    QJsonValue handle(const mirel::ControllerMessage &message, Outcome *outcome);
    QJsonValue runCommand(const QString &command, const QJsonValue &payload, Outcome *outcome);
    QJsonValue runInstrument(const QString &command, const QJsonObject &args);
    static QJsonValue unknownCommand(const QString &command);
    bool keepState();
    void deliver(std::function<void()> emitter);
    void publish(const QString &key);
    void robotChanged();

    // Every member is defined in the .cpp; see there for the state kept.
    struct State;
    std::unique_ptr<State> d;
};

} // namespace sim
