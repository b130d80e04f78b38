#pragma once

#include <mirel/controllerlink.h>

#include <QHash>
#include <QJsonValue>
#include <QSet>
#include <QVector>

#include <functional>
#include <memory>

namespace sim {

// A robot model the simulator can be: its DH set has one link group more than it has joints.
struct RobotModel
{
    QString name;
    int axes = 0;
    int templateId = 0;
    QVector<double> dh; // 4 x (axes + 1): alpha (deg), a (mm), d (mm), theta (deg) per link
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

    explicit SimulatedController(QObject *parent = nullptr);
    ~SimulatedController() override;

    // ControllerLink
    bool isUp() const override;
    QString address() const override;
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
    bool isWatched(const QString &key) const;

    // Scripting. A handler or a fixed answer replaces the built-in command of that name.
    void setHandler(const QString &command, Handler handler);
    void setAnswer(const QString &command, const QJsonValue &answer);
    // Messages of that name (any kind) are recorded but neither carried out nor answered.
    void setSilent(const QString &command, bool silent = true);
    void resetScript();
    QList<Call> calls() const;
    QList<Call> callsOf(const QString &name) const;
    void clearCalls();

signals:
    void received(const QString &name);

private:
    struct Outcome;
    QJsonValue handle(const mirel::ControllerMessage &message, Outcome *outcome);
    QJsonValue runCommand(const QString &command, const QJsonValue &payload, Outcome *outcome);
    void deliver(std::function<void()> emitter);
    void publish(const QString &key);

    // Every member is defined in the .cpp; see there for the state kept.
    struct State;
    std::unique_ptr<State> d;
};

} // namespace sim
