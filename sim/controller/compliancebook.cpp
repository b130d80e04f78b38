#include "compliancebook.h"

#include "controllerjson.h"
#include "motionplan.h"

#include <sim/kinematics/robotcatalogue.h>

#include <QJsonArray>

#include <cmath>

namespace sim {

const QString ComplianceBook::SetCommand = QStringLiteral("factory.set_compliance");
const QString ComplianceBook::GetCommand = QStringLiteral("factory.get_compliance");
const QString ComplianceBook::Unit = QStringLiteral("rad/(N*m)");

using controllerjson::verdict;

namespace {

constexpr double kDegPerRad = 180.0 / 3.14159265358979323846;
// The deflection hardly changes over the few hundredths of a degree it turns a joint, so the
// readings for an arm position settle within a few steps.
constexpr int kSettleSteps = 4;

} // namespace

bool ComplianceBook::handles(const QString &command)
{
    return command == SetCommand || command == GetCommand;
}

void ComplianceBook::setRobot(const QString &modelName, int axes)
{
    const CatalogueModel *catalogue = RobotCatalogue::builtIn().model(modelName);
    m_masses = catalogue && catalogue->axes == axes ? catalogue->masses : MassModel();
    m_values = QVector<double>(qMax(0, axes), 0.0);
    m_payloadKg = 0;
}

QJsonObject ComplianceBook::runCommand(const QString &command, const QJsonValue &payload,
                                       bool *changed)
{
    *changed = false;
    if (command == GetCommand)
        return QJsonObject{{QStringLiteral("data"), toJson()}};

    const QJsonObject args = payload.toObject();
    const QJsonValue unit = args.value(QStringLiteral("unit"));
    const QJsonValue load = args.value(QStringLiteral("payload_kg"));
    const QJsonArray list = args.value(QStringLiteral("values")).toArray();
    if (!args.value(QStringLiteral("values")).isArray() || list.size() != m_values.size()
        || (!unit.isUndefined() && unit.toString() != Unit)
        || (!load.isUndefined()
            && (!load.isDouble() || !std::isfinite(load.toDouble()) || load.toDouble() < 0)))
        return verdict(false);
    QVector<double> values;
    for (const QJsonValue &v : list) {
        if (!v.isDouble() || !std::isfinite(v.toDouble()) || std::abs(v.toDouble()) > kMaxRadPerNm)
            return verdict(false);
        values.append(v.toDouble());
    }
    const double payloadKg = load.toDouble(0.0);
    *changed = values != m_values || payloadKg != m_payloadKg;
    m_values = values;
    m_payloadKg = payloadKg;
    return verdict(true);
}

QJsonObject ComplianceBook::toJson() const
{
    QJsonArray values;
    for (double c : m_values)
        values.append(c);
    return QJsonObject{{QStringLiteral("unit"), Unit},
                       {QStringLiteral("values"), values},
                       {QStringLiteral("payload_kg"), m_payloadKg}};
}

QVector<double> ComplianceBook::values() const
{
    return m_values;
}

double ComplianceBook::payloadKg() const
{
    return m_payloadKg;
}

bool ComplianceBook::isActive() const
{
    if (!m_masses.isValid())
        return false;
    for (double c : m_values) {
        if (c != 0.0)
            return true;
    }
    return false;
}

QVector<double> ComplianceBook::deflectionDeg(const DhChain &chain,
                                              const QVector<double> &readingsDeg) const
{
    const QVector<double> tau = m_masses.gravityTorqueNm(chain, readingsDeg, m_payloadKg);
    QVector<double> turn(readingsDeg.size(), 0.0);
    for (int k = 0; k < tau.size() && k < m_values.size() && k < turn.size(); ++k)
        turn[k] = m_values.at(k) * tau.at(k) * kDegPerRad;
    return turn;
}

QVector<double> ComplianceBook::armFor(const DhChain &chain,
                                       const QVector<double> &readingsDeg) const
{
    if (!isActive())
        return readingsDeg;
    QVector<double> arm = readingsDeg;
    const QVector<double> turn = deflectionDeg(chain, readingsDeg);
    for (int k = 0; k < arm.size(); ++k)
        arm[k] += turn.at(k);
    return arm;
}

QVector<double> ComplianceBook::readingsFor(const DhChain &chain,
                                            const QVector<double> &armDeg) const
{
    if (!isActive())
        return armDeg;
    QVector<double> readings = armDeg;
    for (int step = 0; step < kSettleSteps; ++step) {
        const QVector<double> turn = deflectionDeg(chain, readings);
        for (int k = 0; k < readings.size(); ++k)
            readings[k] = armDeg.at(k) - turn.at(k);
    }
    return readings;
}

void ComplianceBook::compensate(const DhChain &chain, MotionPlan *plan) const
{
    if (!isActive())
        return;
    for (QVector<double> &sample : plan->jointsDeg)
        sample = readingsFor(chain, sample);
}

} // namespace sim
