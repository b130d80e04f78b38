#include "calibrationsolver.h"

#include <sim/metrology/identifier.h>

namespace sim {

namespace {

constexpr int kTheta = 3;

QVector<PoseMeasurement> readingsOf(const QVector<CalibPose> &poses)
{
    QVector<PoseMeasurement> readings;
    readings.reserve(poses.size());
    for (const CalibPose &pose : poses)
        readings.append(PoseMeasurement{pose.jointsDeg, pose.measuredMm});
    return readings;
}

QJsonArray toArray(const QVector<double> &numbers)
{
    QJsonArray array;
    for (double n : numbers)
        array.append(n);
    return array;
}

} // namespace

CalibrationSolver::CalibrationSolver(const QVector<double> &dh, int axes)
    : m_dh(dh)
    , m_axes(axes)
    , m_problem(dh, QVector<double>(axes > 0 ? axes : 0, 0.0), axes)
{
}

bool CalibrationSolver::setConstraints(const QJsonArray &constraints, QString *error)
{
    if (!m_problem.applyConstraints(constraints, error))
        return false;
    // The zero offset of joint k stands in for the theta of joint k's row.
    for (int joint = 0; joint < m_axes; ++joint) {
        const int theta = IdentificationProblem::dhIndex(joint, kTheta);
        m_problem.setFree(m_problem.zeroIndex(joint), m_problem.isFree(theta));
        m_problem.setFree(theta, false);
    }
    return true;
}

// The controller offers no read of its zero offsets, but it computes the flange from them:
// fitting only the zero offsets to its own positions finds them exactly (those that move the
// flange), so that a held or locked zero offset is written back as the controller had it.
QVector<double> CalibrationSolver::configuredZeroOffsets(const QVector<CalibPose> &poses) const
{
    IdentificationProblem configured(m_dh, QVector<double>(m_axes, 0.0), m_axes);
    for (int joint = 0; joint < m_axes; ++joint)
        configured.setFree(configured.zeroIndex(joint), true);
    for (const CalibPose &pose : poses)
        configured.measurements.append(PoseMeasurement{pose.jointsDeg, pose.commandedMm});
    const IdentificationResult fit = Identifier::identify(configured);
    return fit.error.isEmpty() ? fit.zeroOffsetsDeg : QVector<double>(m_axes, 0.0);
}

bool CalibrationSolver::solve(const QVector<CalibPose> &identification, QString *error)
{
    IdentificationProblem problem(m_dh, configuredZeroOffsets(identification), m_axes);
    if (!problem.isValid()) {
        *error = QStringLiteral("no robot model to identify");
        return false;
    }
    for (int i = 0; i < problem.parameterCount(); ++i)
        problem.setFree(i, m_problem.isFree(i));
    m_problem = problem;
    m_problem.measurements = readingsOf(identification);
    m_result = Identifier::identify(m_problem);
    if (!m_result.error.isEmpty()) {
        *error = m_result.error;
        return false;
    }
    return true;
}

const IdentificationProblem &CalibrationSolver::problem() const
{
    return m_problem;
}

const IdentificationResult &CalibrationSolver::result() const
{
    return m_result;
}

QVector<double> CalibrationSolver::zeroPointsDeg() const
{
    return m_result.zeroOffsetsDeg;
}

QVector<double> CalibrationSolver::errorsBefore(const QVector<CalibPose> &poses) const
{
    QVector<double> errors;
    for (const CalibPose &pose : poses)
        errors.append((pose.commandedMm - pose.measuredMm).norm());
    return errors;
}

QVector<double> CalibrationSolver::errorsAfter(const QVector<CalibPose> &poses) const
{
    return Identifier::positionErrorsMm(m_result.values, m_axes, readingsOf(poses));
}

QJsonObject CalibrationSolver::dhParametersJson() const
{
    QJsonObject joints;
    for (int joint = 0; joint < m_axes; ++joint) {
        const int at = IdentificationProblem::dhIndex(joint, 0);
        joints.insert(QStringLiteral("joint_%1").arg(joint + 1),
                      QJsonObject{{QStringLiteral("alpha"), m_result.dh.at(at)},
                                  {QStringLiteral("a"), m_result.dh.at(at + 1)},
                                  {QStringLiteral("d"), m_result.dh.at(at + 2)},
                                  {QStringLiteral("theta_offset"),
                                   m_result.dh.at(at + kTheta)
                                       + m_result.zeroOffsetsDeg.at(joint)}});
    }
    return joints;
}

QJsonObject CalibrationSolver::resultJson(const QVector<CalibPose> &validation,
                                          bool production) const
{
    const QVector<double> after = errorsAfter(validation);
    QJsonObject result{
        {QStringLiteral("status"), 1},
        {QStringLiteral("dh_parameters"), dhParametersJson()},
        {QStringLiteral("zero_points"), toArray(m_result.zeroOffsetsDeg)},
        {QStringLiteral("avg_valid_position_error"), Identifier::mean(after)},
        {QStringLiteral("max_valid_position_error"), Identifier::max(after)},
        {QStringLiteral("threshold"),
         QJsonArray{kAvgErrorLimitMm, kMaxErrorLimitMm, kLengthChangeLimitMm,
                    kAngleChangeLimitDeg}},
        {QStringLiteral("identified_parameters"),
         QJsonArray::fromStringList(m_result.identifiedLabels)},
        {QStringLiteral("held_parameters"), QJsonArray::fromStringList(m_result.heldLabels)}};
    // The cell has one arm model, so the second set of a production run is the same.
    if (production) {
        result.insert(QStringLiteral("product_result"),
                      QJsonObject{{QStringLiteral("dh_parameters"), dhParametersJson()},
                                  {QStringLiteral("zero_points"),
                                   toArray(m_result.zeroOffsetsDeg)}});
    }
    return result;
}

} // namespace sim
