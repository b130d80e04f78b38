#include "calibrationsolver.h"

#include <sim/kinematics/dhchain.h>
#include <sim/metrology/identifier.h>

#include <QtMath>

#include <cmath>

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

// NaN, an unknown number, as null.
QJsonArray toArray(const QVector<double> &numbers)
{
    QJsonArray array;
    for (double n : numbers)
        array.append(std::isfinite(n) ? QJsonValue(n) : QJsonValue(QJsonValue::Null));
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
// `known` gets the same offsets with NaN for those the positions cannot tell.
QVector<double> CalibrationSolver::configuredZeroOffsets(const QVector<CalibPose> &poses,
                                                         QVector<double> *known) const
{
    IdentificationProblem configured(m_dh, QVector<double>(m_axes, 0.0), m_axes);
    for (int joint = 0; joint < m_axes; ++joint)
        configured.setFree(configured.zeroIndex(joint), true);
    for (const CalibPose &pose : poses)
        configured.measurements.append(PoseMeasurement{pose.jointsDeg, pose.commandedMm});
    const IdentificationResult fit = Identifier::identify(configured);
    if (!fit.error.isEmpty()) {
        *known = QVector<double>(m_axes, std::nan(""));
        return QVector<double>(m_axes, 0.0);
    }
    *known = fit.zeroOffsetsDeg;
    const QStringList labels = configured.labels();
    for (int joint = 0; joint < m_axes; ++joint) {
        if (fit.heldLabels.contains(labels.value(configured.zeroIndex(joint))))
            (*known)[joint] = std::nan("");
    }
    // The last joint turns the flange about its own centre: only the reported orientation
    // tells its zero offset.
    QVector<double> zeros = fit.zeroOffsetsDeg;
    if (m_axes > 0 && !std::isfinite(known->constLast())) {
        (*known)[m_axes - 1] = lastZeroFromRotation(poses, *known);
        // Held in the identification, so written back as the controller has it.
        if (std::isfinite(known->constLast()))
            zeros[m_axes - 1] = known->constLast();
    }
    return zeros;
}

// With the other zero offsets known, the flange's reported orientation leaves one rotation
// about the last joint's axis: Rz(q_n + z_n) = A^T * R * B^T, A the frame of joint n, B the
// last link group. The controller computes R without noise, so the poses must agree.
double CalibrationSolver::lastZeroFromRotation(const QVector<CalibPose> &poses,
                                               const QVector<double> &zeros) const
{
    constexpr double kAgreeDeg = 1e-3;
    const int last = m_axes - 1;
    QVector<double> dh = m_dh;
    for (int joint = 0; joint < last; ++joint) {
        if (!std::isfinite(zeros.at(joint)))
            return std::nan("");
        dh[IdentificationProblem::dhIndex(joint + 1, kTheta)] += zeros.at(joint);
    }
    const DhChain chain(dh, m_axes);
    const int g = IdentificationProblem::dhIndex(m_axes, 0);
    const Eigen::Matrix3d b =
        DhChain::groupTransform(qDegreesToRadians(m_dh.at(g)), m_dh.at(g + 1), m_dh.at(g + 2),
                                qDegreesToRadians(m_dh.at(g + kTheta)))
            .rotation();
    QVector<double> found;
    for (const CalibPose &pose : poses) {
        if (!pose.rotationKnown || pose.jointsDeg.size() != m_axes)
            return std::nan("");
        const QVector<Eigen::Isometry3d> frames = chain.frames(pose.jointsDeg);
        if (frames.size() < m_axes + 2)
            return std::nan("");
        // frames[m_axes] is joint n's frame before its own turn.
        const Eigen::Matrix3d a = frames.at(m_axes).rotation();
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

QVector<double> CalibrationSolver::zeroPointsBeforeDeg() const
{
    return m_zeroBefore;
}

bool CalibrationSolver::solve(const QVector<CalibPose> &identification, QString *error)
{
    IdentificationProblem problem(m_dh, configuredZeroOffsets(identification, &m_zeroBefore),
                                  m_axes);
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
        {QStringLiteral("held_parameters"), QJsonArray::fromStringList(m_result.heldLabels)},
        {QStringLiteral("zero_points_before"), toArray(m_zeroBefore)}};
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
