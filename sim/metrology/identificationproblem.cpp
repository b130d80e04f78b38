#include "identificationproblem.h"

#include <sim/kinematics/dhchain.h>

#include <QJsonObject>

#include <cmath>

namespace sim {

namespace {

const char *const kColumnNames[] = {"alpha", "a", "d", "theta"};
const char *const kBaseNames[] = {"x", "y", "z", "rx", "ry", "rz"};
constexpr double kDegPerRad = 180.0 / 3.14159265358979323846;

} // namespace

IdentificationProblem::IdentificationProblem() = default;

IdentificationProblem::IdentificationProblem(const QVector<double> &dh,
                                             const QVector<double> &zeroOffsetsDeg, int axes)
{
    if (axes < 1 || dh.size() != 4 * (axes + 1) || zeroOffsetsDeg.size() != axes)
        return;
    for (double v : dh + zeroOffsetsDeg) {
        if (!std::isfinite(v))
            return;
    }
    m_axes = axes;
    m_start = dh + zeroOffsetsDeg + QVector<double>(kBaseParameters, 0.0);
    m_free = QVector<bool>(m_start.size(), false);
}

bool IdentificationProblem::isValid() const
{
    return m_axes > 0;
}

int IdentificationProblem::axisCount() const
{
    return m_axes;
}

int IdentificationProblem::parameterCount() const
{
    return m_start.size();
}

QStringList IdentificationProblem::labels() const
{
    QStringList result;
    for (int group = 0; group <= m_axes && m_axes > 0; ++group) {
        for (const char *column : kColumnNames)
            result.append(QStringLiteral("link%1.%2").arg(group + 1).arg(QLatin1String(column)));
    }
    for (int k = 0; k < m_axes; ++k)
        result.append(QStringLiteral("joint%1.zero").arg(k + 1));
    if (m_axes > 0) {
        for (const char *name : kBaseNames)
            result.append(QStringLiteral("base.%1").arg(QLatin1String(name)));
    }
    for (int k = 0; k < m_axes && m_compliance; ++k)
        result.append(QStringLiteral("joint%1.compliance").arg(k + 1));
    for (const QString &target : m_targets) {
        for (const char *axis : {"x", "y", "z"})
            result.append(QStringLiteral("target.%1.%2").arg(target, QLatin1String(axis)));
    }
    return result;
}

int IdentificationProblem::indexOf(const QString &label) const
{
    return labels().indexOf(label);
}

QVector<double> IdentificationProblem::startValues() const
{
    return m_start;
}

bool IdentificationProblem::isFree(int index) const
{
    return index >= 0 && index < m_free.size() && m_free.at(index);
}

void IdentificationProblem::setFree(int index, bool free)
{
    Q_ASSERT(index >= 0 && index < m_free.size());
    if (index >= 0 && index < m_free.size())
        m_free[index] = free;
}

int IdentificationProblem::freeCount() const
{
    return int(m_free.count(true));
}

bool IdentificationProblem::applyConstraints(const QJsonArray &constraints, QString *error)
{
    if (!isValid()) {
        if (error)
            *error = QStringLiteral("no robot model to identify");
        return false;
    }
    QVector<bool> free(m_free.size(), false);
    for (int i = 0; i < 4 * m_axes; ++i)
        free[i] = true;
    for (int k = 0; k < m_axes; ++k)
        free[zeroIndex(k)] = true;

    for (const QJsonValue &element : constraints) {
        const QJsonObject constraint = element.toObject();
        const QJsonValue jointValue = constraint.value(QStringLiteral("joint_index"));
        const double number = jointValue.toDouble(-2.0);
        const bool whole = jointValue.isDouble() && number == std::floor(number);
        // -1 names the last joint; anything else must be a joint of this robot.
        int joint = -1;
        if (whole && number == -1.0)
            joint = m_axes - 1;
        else if (whole && number >= 0 && number < m_axes)
            joint = int(number);
        if (joint < 0) {
            if (error)
                *error = QStringLiteral("constraint names no joint of a %1-axis robot").arg(m_axes);
            return false;
        }
        const QJsonArray locked = constraint.value(QStringLiteral("locked_params")).toArray();
        for (const QJsonValue &name : locked) {
            int column = -1;
            for (int c = 0; c < 4; ++c) {
                if (name.toString() == QLatin1String(kColumnNames[c]))
                    column = c;
            }
            if (column < 0) {
                if (error)
                    *error = QStringLiteral("unknown parameter \"%1\" locked on joint %2")
                                 .arg(name.toString())
                                 .arg(joint + 1);
                return false;
            }
            free[dhIndex(joint, column)] = false;
        }
    }
    // Compliances and targets keep their own choice.
    for (int i = baseIndex(kBaseParameters); i < free.size(); ++i)
        free[i] = m_free.at(i);
    m_free = free;
    return true;
}

void IdentificationProblem::setBaseFree(bool free)
{
    for (int i = 0; i < kBaseParameters && isValid(); ++i)
        m_free[baseIndex(i)] = free;
}

void IdentificationProblem::setBaseStart(const Eigen::Isometry3d &trackerFromBase)
{
    if (!isValid())
        return;
    const Eigen::AngleAxisd turn(trackerFromBase.linear());
    const Eigen::Vector3d rotation = turn.angle() * kDegPerRad * turn.axis();
    for (int i = 0; i < 3; ++i) {
        m_start[baseIndex(i)] = trackerFromBase.translation()[i];
        m_start[baseIndex(3 + i)] = rotation[i];
    }
}

Eigen::Isometry3d IdentificationProblem::baseStart() const
{
    Eigen::Isometry3d t = Eigen::Isometry3d::Identity();
    if (!isValid())
        return t;
    const Eigen::Vector3d rotation(m_start.at(baseIndex(3)), m_start.at(baseIndex(4)),
                                   m_start.at(baseIndex(5)));
    t.translation() = Eigen::Vector3d(m_start.at(baseIndex(0)), m_start.at(baseIndex(1)),
                                      m_start.at(baseIndex(2)));
    if (rotation.norm() > 0)
        t.linear() = Eigen::AngleAxisd(rotation.norm() / kDegPerRad, rotation.normalized())
                         .toRotationMatrix();
    return t;
}

void IdentificationProblem::setTargets(const QStringList &names,
                                       const QVector<Eigen::Vector3d> &nominalMm)
{
    Q_ASSERT(names.size() == nominalMm.size());
    if (!isValid() || names.size() != nominalMm.size())
        return;
    m_start.resize(robotParameterCount());
    m_free.resize(robotParameterCount());
    m_targets = names;
    for (const Eigen::Vector3d &p : nominalMm) {
        for (int i = 0; i < 3; ++i) {
            m_start.append(p[i]);
            m_free.append(true);
        }
    }
}

QStringList IdentificationProblem::targets() const
{
    return m_targets;
}

void IdentificationProblem::setTargetsFree(bool free)
{
    for (int i = robotParameterCount(); i < m_free.size(); ++i)
        m_free[i] = free;
}

void IdentificationProblem::setComplianceModel(const MassModel &masses, double payloadKg,
                                               const QVector<double> &startRadPerNm)
{
    if (!isValid())
        return;
    const int at = complianceIndex(0);
    if (!m_compliance) {
        m_start.insert(at, m_axes, 0.0);
        m_free.insert(at, m_axes, true);
    }
    m_compliance = true;
    m_masses = masses;
    m_payloadKg = payloadKg;
    for (int k = 0; k < m_axes; ++k)
        m_start[at + k] = startRadPerNm.value(k, 0.0) / kCompliancePerUnit;
}

bool IdentificationProblem::hasCompliance() const
{
    return m_compliance;
}

double IdentificationProblem::payloadKg() const
{
    return m_payloadKg;
}

QVector<double> IdentificationProblem::gravityTorquesNm(const QVector<double> &values,
                                                        const QVector<double> &jointsDeg) const
{
    if (!m_compliance || values.size() < robotParameterCount())
        return {};
    // The arm's own geometry: each zero offset turns the theta of the group its joint drives.
    QVector<double> dh = values.mid(0, 4 * (m_axes + 1));
    for (int k = 0; k < m_axes; ++k)
        dh[dhIndex(k + 1, 3)] += values.at(zeroIndex(k));
    return m_masses.gravityTorqueNm(DhChain(dh, m_axes), jointsDeg, m_payloadKg);
}

int IdentificationProblem::targetIndex(const QString &name) const
{
    const int k = m_targets.indexOf(name);
    return name.isEmpty() || k < 0 ? -1 : robotParameterCount() + 3 * k;
}

} // namespace sim
