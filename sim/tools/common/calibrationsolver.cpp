#include "calibrationsolver.h"

#include <sim/metrology/identifier.h>

namespace sim {

namespace {

constexpr int kTheta = 3;

QJsonArray toArray(const QVector<double> &numbers)
{
    QJsonArray array;
    for (double n : numbers)
        array.append(n);
    return array;
}

QJsonObject outlierJson(const PoseMeasurement &reading, double residualMm)
{
    return QJsonObject{{QStringLiteral("pose"), reading.pose},
                       {QStringLiteral("target"), reading.target},
                       {QStringLiteral("residual_mm"), residualMm}};
}

} // namespace

CalibrationSolver::CalibrationSolver(const QVector<double> &dh, int axes)
    : m_dh(dh)
    , m_axes(axes)
    , m_problem(dh, QVector<double>(axes > 0 ? axes : 0, 0.0), axes)
{
    m_problem.setBaseFree(true);
}

void CalibrationSolver::setZeroOffsets(const QVector<double> &zeroOffsetsDeg)
{
    IdentificationProblem problem(m_dh, zeroOffsetsDeg, m_axes);
    if (!problem.isValid())
        return;
    const QStringList targets = m_problem.targets();
    QVector<Eigen::Vector3d> nominal;
    const QVector<double> start = m_problem.startValues();
    for (const QString &t : targets) {
        const int at = m_problem.targetIndex(t);
        nominal.append(Eigen::Vector3d(start.at(at), start.at(at + 1), start.at(at + 2)));
    }
    problem.setTargets(targets, nominal);
    for (int i = 0; i < problem.parameterCount(); ++i)
        problem.setFree(i, m_problem.isFree(i));
    m_problem = problem;
}

void CalibrationSolver::setTargets(const QStringList &names,
                                   const QVector<Eigen::Vector3d> &nominalMm)
{
    m_problem.setTargets(names, nominalMm);
}

void CalibrationSolver::setTrackerFree(bool free)
{
    m_trackerFree = free;
    m_problem.setBaseFree(free);
}

bool CalibrationSolver::setConstraints(const QJsonArray &constraints, QString *error)
{
    if (!m_problem.applyConstraints(constraints, error))
        return false;
    m_problem.setBaseFree(m_trackerFree);
    // The zero offset of joint k stands in for the theta of joint k's row.
    for (int joint = 0; joint < m_axes; ++joint) {
        const int theta = IdentificationProblem::dhIndex(joint, kTheta);
        m_problem.setFree(m_problem.zeroIndex(joint), m_problem.isFree(theta));
        m_problem.setFree(theta, false);
    }
    return true;
}

QVector<double> CalibrationSolver::configuredZeroOffsets(const QVector<double> &dh, int axes,
                                                         const QVector<CalibPose> &poses)
{
    IdentificationProblem configured(dh, QVector<double>(axes > 0 ? axes : 0, 0.0), axes);
    if (!configured.isValid())
        return {};
    configured.robust = false;
    for (int joint = 0; joint < axes; ++joint)
        configured.setFree(configured.zeroIndex(joint), true);
    for (const CalibPose &pose : poses)
        configured.measurements.append(PoseMeasurement{pose.jointsDeg, pose.commandedMm, {}, 0,
                                                       false, Eigen::Vector3d::Zero()});
    const IdentificationResult fit = Identifier::identify(configured);
    return fit.error.isEmpty() ? fit.zeroOffsetsDeg : QVector<double>(axes, 0.0);
}

bool CalibrationSolver::solve(const QVector<PoseMeasurement> &identification, QString *error)
{
    if (!m_problem.isValid()) {
        *error = QStringLiteral("no robot model to identify");
        return false;
    }
    m_problem.measurements = identification;
    if (m_problem.freeCount() > 0 && 3 * identification.size() < m_problem.freeCount()) {
        *error = QStringLiteral("%1 readings cannot determine %2 free parameters")
                     .arg(identification.size())
                     .arg(m_problem.freeCount());
        return false;
    }
    m_before = m_problem;
    if (m_trackerFree)
        m_before.setBaseStart(Identifier::rigidStart(m_problem));
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

QVector<double> CalibrationSolver::errorsBefore(const QVector<PoseMeasurement> &readings) const
{
    return Identifier::positionErrorsMm(m_before, m_before.startValues(), readings);
}

QVector<double> CalibrationSolver::errorsAfter(const QVector<PoseMeasurement> &readings) const
{
    return Identifier::positionErrorsMm(m_problem, m_result.values, readings);
}

QVector<int> CalibrationSolver::validationOutliers(
    const QVector<PoseMeasurement> &validation) const
{
    QVector<int> outliers;
    if (!m_problem.robust)
        return outliers;
    const QVector<double> after = errorsAfter(validation);
    const double limit = qMax(m_problem.outlierFactor * m_result.residualSpreadMm,
                              m_problem.outlierFloorMm);
    for (int i = 0; i < after.size(); ++i) {
        if (after.at(i) > limit)
            outliers.append(i);
    }
    return outliers;
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

QJsonObject CalibrationSolver::resultJson(const QVector<PoseMeasurement> &identification,
                                          const QVector<PoseMeasurement> &validation,
                                          bool production) const
{
    const QVector<double> after = errorsAfter(validation);
    const QVector<int> dropped = validationOutliers(validation);
    QVector<double> kept;
    for (int i = 0; i < after.size(); ++i) {
        if (!dropped.contains(i))
            kept.append(after.at(i));
    }
    QJsonArray outliers;
    for (int i = 0; i < m_result.outliers.size(); ++i)
        outliers.append(outlierJson(identification.value(m_result.outliers.at(i)),
                                    m_result.outlierResidualsMm.at(i)));
    for (int i : dropped)
        outliers.append(outlierJson(validation.at(i), after.at(i)));

    QJsonObject result{
        {QStringLiteral("status"), 1},
        {QStringLiteral("dh_parameters"), dhParametersJson()},
        {QStringLiteral("zero_points"), toArray(m_result.zeroOffsetsDeg)},
        {QStringLiteral("avg_valid_position_error"), Identifier::mean(kept)},
        {QStringLiteral("max_valid_position_error"), Identifier::max(kept)},
        {QStringLiteral("threshold"),
         QJsonArray{kAvgErrorLimitMm, kMaxErrorLimitMm, kLengthChangeLimitMm,
                    kAngleChangeLimitDeg}},
        {QStringLiteral("identified_parameters"),
         QJsonArray::fromStringList(m_result.identifiedLabels)},
        {QStringLiteral("held_parameters"), QJsonArray::fromStringList(m_result.heldLabels)},
        {QStringLiteral("outliers"),
         QJsonObject{{QStringLiteral("count"), outliers.size()},
                     {QStringLiteral("readings"), outliers}}}};
    QJsonObject targets;
    for (const QString &t : m_problem.targets()) {
        const int at = m_problem.targetIndex(t);
        targets.insert(t, QJsonArray{m_result.values.at(at), m_result.values.at(at + 1),
                                     m_result.values.at(at + 2)});
    }
    if (!targets.isEmpty())
        result.insert(QStringLiteral("targets_mm"), targets);
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
