#pragma once

#include <sim/kinematics/massmodel.h>

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QVector>

namespace sim {

struct MotionPlan;

// The controller's joint compliance, as an accuracy option keeps it: a compliance per joint
// (rad/(N*m)) and the payload it was identified with. The arm bends under gravity: joint k
// stands at reading_k + c_k * tau_k(reading) (tau from the robot model's catalogue masses, the
// tool plate and the payload), so a move is planned for where the arm should stand and each
// joint is then turned by minus the deflection predicted there. Readings, positions and
// limits the controller reports stay those of its joint readings.
//
// "factory.set_compliance" {"values": [one per joint], "payload_kg": p, "unit": "rad/(N*m)"}
// ("payload_kg" 0 and the unit when left out) and "factory.get_compliance", which answers
// {"data": {"unit", "values", "payload_kg"}}. A robot model starts with all zeros: nothing
// is turned.
class ComplianceBook
{
public:
    static const QString SetCommand;
    static const QString GetCommand;
    static const QString Unit;
    // The largest compliance a joint of these robots could have: 100 N*m would turn it by
    // more than 5 degrees.
    static constexpr double kMaxRadPerNm = 1e-3;

    static bool handles(const QString &command);

    // A new robot model: its catalogue masses, no compliance.
    void setRobot(const QString &modelName, int axes);
    // `changed` is set when the compliance now differs from before.
    QJsonObject runCommand(const QString &command, const QJsonValue &payload, bool *changed);

    // {"unit", "values", "payload_kg"}, as the read answers it inside "data".
    QJsonObject toJson() const;
    QVector<double> values() const;
    double payloadKg() const;
    bool isActive() const;

    // Where the arm stands for joint readings, with the configured model `chain`.
    QVector<double> armFor(const DhChain &chain, const QVector<double> &readingsDeg) const;
    // The readings that make the arm stand at `armDeg`.
    QVector<double> readingsFor(const DhChain &chain, const QVector<double> &armDeg) const;
    // A plan made for the arm, turned into the readings the drives follow.
    void compensate(const DhChain &chain, MotionPlan *plan) const;

private:
    QVector<double> deflectionDeg(const DhChain &chain, const QVector<double> &readingsDeg) const;

    MassModel m_masses;
    QVector<double> m_values;
    double m_payloadKg = 0;
};

} // namespace sim
