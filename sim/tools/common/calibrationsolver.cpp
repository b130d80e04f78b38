#include "calibrationsolver.h"

#include <sim/kinematics/dhchain.h>
#include <sim/metrology/identifier.h>

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr int kTheta = 3;

// NaN, an unknown number, as null.
QJsonArray toArray(const QVector<double> &numbers)
{
    QJsonArray array;
    for (double n : numbers)
        array.append(std::isfinite(n) ? QJsonValue(n) : QJsonValue(QJsonValue::Null));
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
    if (m_compliance)
        problem.setComplianceModel(m_masses, m_payloadKg);
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

bool CalibrationSolver::setCompliance(const MassModel &masses, double payloadKg,
                                      QString *error)
{
    if (!masses.isValid() || masses.axisCount() != m_axes) {
        *error = QStringLiteral("no mass model of a %1-axis robot for its compliance").arg(m_axes);
        return false;
    }
    m_compliance = true;
    m_masses = masses;
    m_payloadKg = payloadKg;
    m_problem.setComplianceModel(masses, payloadKg);
    return true;
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
                                                         const QVector<CalibPose> &poses,
                                                         QVector<double> *known)
{
    QVector<double> unknown(axes > 0 ? axes : 0, std::nan(""));
    if (known)
        *known = unknown;
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
    if (!fit.error.isEmpty())
        return QVector<double>(axes, 0.0);
    QVector<double> found = fit.zeroOffsetsDeg;
    const QStringList labels = configured.labels();
    for (int joint = 0; joint < axes; ++joint) {
        if (fit.heldLabels.contains(labels.value(configured.zeroIndex(joint))))
            found[joint] = std::nan("");
    }
    // The last joint turns the flange about its own centre: only the reported orientation
    // tells its zero offset. Held in the fit, so written back as the controller has it.
    QVector<double> zeros = fit.zeroOffsetsDeg;
    if (axes > 0 && !std::isfinite(found.constLast())) {
        found[axes - 1] = lastZeroFromRotation(dh, axes, poses, found);
        if (std::isfinite(found.constLast()))
            zeros[axes - 1] = found.constLast();
    }
    if (known)
        *known = found;
    return zeros;
}

// With the other zero offsets known, the flange's reported orientation leaves one rotation
// about the last joint's axis: Rz(q_n + z_n) = A^T * R * B^T, A the frame of joint n, B the
// last link group. The controller computes R without noise, so the poses must agree.
double CalibrationSolver::lastZeroFromRotation(const QVector<double> &dh, int axes,
                                               const QVector<CalibPose> &poses,
                                               const QVector<double> &zeros)
{
    constexpr double kAgreeDeg = 1e-3;
    const int last = axes - 1;
    QVector<double> shifted = dh;
    for (int joint = 0; joint < last; ++joint) {
        if (!std::isfinite(zeros.at(joint)))
            return std::nan("");
        shifted[IdentificationProblem::dhIndex(joint + 1, kTheta)] += zeros.at(joint);
    }
    const DhChain chain(shifted, axes);
    const int g = IdentificationProblem::dhIndex(axes, 0);
    const Eigen::Matrix3d b =
        DhChain::groupTransform(qDegreesToRadians(dh.at(g)), dh.at(g + 1), dh.at(g + 2),
                                qDegreesToRadians(dh.at(g + kTheta)))
            .rotation();
    QVector<double> found;
    for (const CalibPose &pose : poses) {
        if (!pose.rotationKnown || pose.jointsDeg.size() != axes)
            return std::nan("");
        const QVector<Eigen::Isometry3d> frames = chain.frames(pose.jointsDeg);
        if (frames.size() < axes + 2)
            return std::nan("");
        // frames[axes] is joint n's frame before its own turn.
        const Eigen::Matrix3d a = frames.at(axes).rotation();
        const Eigen::Matrix3d turn =
            a.transpose() * pose.flangeRotation.toRotationMatrix() * b.transpose();
        const double angle = qRadiansToDegrees(std::atan2(turn(1, 0), turn(0, 0)));
        found.append(std::remainder(angle - pose.jointsDeg.at(last), 360.0));
    }
    if (found.isEmpty())
        return std::nan("");
    for (double zero : found) {
        if (std::abs(std::remainder(zero - found.first(), 360.0)) > kAgreeDeg)
            return std::nan("");
    }
    return found.first();
}

void CalibrationSolver::setZeroPointsBefore(const QVector<double> &zeroOffsetsDeg)
{
    m_zeroBefore = zeroOffsetsDeg;
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

int CalibrationSolver::judgedValidationCount(const QVector<PoseMeasurement> &validation) const
{
    const QVector<double> after = errorsAfter(validation);
    const int finite = int(std::count_if(after.cbegin(), after.cend(),
                                         [](double e) { return std::isfinite(e); }));
    const QVector<int> dropped = validationOutliers(validation);
    const int droppedFinite = int(std::count_if(dropped.cbegin(), dropped.cend(), [&](int i) {
        return std::isfinite(after.at(i));
    }));
    return finite - droppedFinite;
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
        {QStringLiteral("zero_points_before"), toArray(m_zeroBefore)},
        {QStringLiteral("outliers"),
         QJsonObject{{QStringLiteral("count"), outliers.size()},
                     {QStringLiteral("readings"), outliers}}}};
    result.insert(QStringLiteral("observability"),
                  QJsonObject{{QStringLiteral("o1"), m_result.o1},
                              {QStringLiteral("condition"), m_result.conditionNumber},
                              {QStringLiteral("o5"), m_result.o5},
                              {QStringLiteral("poses"), m_result.poses}});
    if (m_problem.hasCompliance()) {
        QVector<double> compliance;
        for (int joint = 0; joint < m_axes; ++joint)
            compliance.append(m_result.values.at(m_problem.complianceIndex(joint))
                              * IdentificationProblem::kCompliancePerUnit);
        result.insert(QStringLiteral("joint_compliance"),
                      QJsonObject{{QStringLiteral("unit"), QStringLiteral("rad/(N*m)")},
                                  {QStringLiteral("values"), toArray(compliance)},
                                  {QStringLiteral("payload_kg"), m_payloadKg}});
    }
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
