#include "identifier.h"

#include "observabilityindices.h"
#include "orientationresidual.h"
#include "positionresidual.h"

#include <ceres/ceres.h>

#include <Eigen/Geometry>
#include <Eigen/SVD>

#include <QSet>

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// A parameter whose column is this much shorter than the longest does not move the flange.
constexpr double kNoEffect = 1e-12;
// Parameters that take this share of the weakest direction are named as its partners.
constexpr double kPartnerShare = 0.1;
// A joint whose gravity torque stays below this in every reading bears none (N m).
constexpr double kNoTorqueNm = 1e-6;
// A joint whose largest gravity torque is below this share of the most loaded joint's turns by
// less than its gears' errors: a wrist's compliance would only soak those up.
constexpr double kLightTorqueShare = 0.02;

// The gravity torque of each joint at a reading for the model `values`; empty without a
// compliance model, zeros when the mass model does not fit the robot.
QVector<double> torquesAt(const IdentificationProblem &problem, const QVector<double> &values,
                          const PoseMeasurement &reading)
{
    if (!problem.hasCompliance())
        return {};
    const QVector<double> tau = problem.gravityTorquesNm(values, reading.jointsDeg);
    return tau.isEmpty() ? QVector<double>(problem.axisCount(), 0.0) : tau;
}

// The poses behind the readings: readings of one pose share its joints.
int poseCount(const QVector<PoseMeasurement> &readings)
{
    QVector<QVector<double>> joints;
    for (const PoseMeasurement &r : readings)
        joints.append(r.jointsDeg);
    std::sort(joints.begin(), joints.end());
    return int(std::unique(joints.begin(), joints.end()) - joints.begin());
}

Eigen::MatrixXd jacobianOf(ceres::Problem *solver, const std::vector<double *> &blocks,
                           const std::vector<int> &columns)
{
    ceres::Problem::EvaluateOptions options;
    for (int i : columns)
        options.parameter_blocks.push_back(blocks[static_cast<size_t>(i)]);
    ceres::CRSMatrix crs;
    solver->Evaluate(options, nullptr, nullptr, nullptr, &crs);
    Eigen::MatrixXd j = Eigen::MatrixXd::Zero(crs.num_rows, crs.num_cols);
    for (int r = 0; r < crs.num_rows; ++r) {
        for (int k = crs.rows[static_cast<size_t>(r)]; k < crs.rows[static_cast<size_t>(r) + 1];
             ++k)
            j(r, crs.cols[static_cast<size_t>(k)]) = crs.values[static_cast<size_t>(k)];
    }
    return j;
}

// Holds free parameters until the rest are told apart by the readings: a column without
// effect goes at once; then, while the scaled Jacobian's weakest singular value is negligible,
// a parameter of that direction is held: the robot's before the base's or a target's (those
// are the cell's, and the robot's model is what the calibration is for), and among them the one
// that comes last in the vector (zero offsets before link thetas, later links before earlier
// ones). Removes them from `free`.
QStringList holdUnidentifiable(Eigen::MatrixXd j, std::vector<int> *free,
                               const QStringList &labels, int robotEnd,
                               IdentificationResult *result)
{
    QStringList held;
    const Eigen::VectorXd norms = j.colwise().norm();
    const double longest = norms.size() > 0 ? norms.maxCoeff() : 0.0;
    for (int c = int(free->size()) - 1; c >= 0; --c) {
        if (norms[c] > kNoEffect * longest)
            continue;
        const QString &label = labels.at(free->at(static_cast<size_t>(c)));
        held.prepend(label);
        result->warnings.append(QStringLiteral("%1 held: it does not move the flange").arg(label));
        free->erase(free->begin() + c);
        const Eigen::Index keep = j.cols() - c - 1;
        j.block(0, c, j.rows(), keep) = j.rightCols(keep).eval();
        j.conservativeResize(Eigen::NoChange, j.cols() - 1);
    }
    for (int c = 0; c < j.cols(); ++c)
        j.col(c).normalize();

    while (!free->empty()) {
        const Eigen::JacobiSVD<Eigen::MatrixXd> svd(j, Eigen::ComputeThinV);
        const Eigen::VectorXd &s = svd.singularValues();
        result->singularValues = QVector<double>(s.data(), s.data() + s.size());
        const double ratio = s[s.size() - 1] / s[0];
        result->conditionNumber = 1.0 / ratio;
        if (ratio >= Identifier::kRankTolerance && j.rows() >= j.cols())
            break;
        const Eigen::VectorXd weakest = svd.matrixV().col(svd.matrixV().cols() - 1).cwiseAbs();
        const double largest = weakest.maxCoeff();
        int hold = -1;
        int fallback = 0;
        for (int c = 0; c < weakest.size(); ++c) {
            if (weakest[c] < 0.5 * largest)
                continue;
            fallback = c;
            if (free->at(static_cast<size_t>(c)) < robotEnd)
                hold = c;
        }
        if (hold < 0)
            hold = fallback;
        QStringList partners;
        for (int c = 0; c < weakest.size(); ++c) {
            if (c != hold && weakest[c] >= kPartnerShare * largest)
                partners.append(labels.at(free->at(static_cast<size_t>(c))));
        }
        const QString &label = labels.at(free->at(static_cast<size_t>(hold)));
        held.append(label);
        result->warnings.append(
            partners.isEmpty()
                ? QStringLiteral("%1 held: the poses do not determine it").arg(label)
                : QStringLiteral("%1 held: the poses cannot tell it apart from %2")
                      .arg(label, partners.join(QStringLiteral(", "))));
        free->erase(free->begin() + hold);
        const Eigen::Index keep = j.cols() - hold - 1;
        j.block(0, hold, j.rows(), keep) = j.rightCols(keep).eval();
        j.conservativeResize(Eigen::NoChange, j.cols() - 1);
    }
    return held;
}

void split(IdentificationResult *result, int axes)
{
    result->dh = result->values.mid(0, 4 * (axes + 1));
    result->zeroOffsetsDeg = result->values.mid(4 * (axes + 1), axes);
}

bool anyFree(const IdentificationProblem &problem, int from, int to)
{
    for (int i = from; i < to; ++i) {
        if (problem.isFree(i))
            return true;
    }
    return false;
}

// Parameters that a free base or free targets take over whatever the readings: the base's
// pose absorbs the first link group and every screw about and along the first joint's axis
// before the second joint (its zero offset, the second group's theta and d); the targets'
// positions absorb the flange group and the last joint's zero offset (without orientation
// readings; with them only the flange group's a and d). They are held and named.
QStringList holdTakenOver(const IdentificationProblem &problem, std::vector<int> *free,
                          IdentificationResult *result)
{
    const int axes = problem.axisCount();
    QVector<int> base;
    QVector<int> targets;
    if (anyFree(problem, problem.baseIndex(0), problem.robotParameterCount())) {
        base = {IdentificationProblem::dhIndex(0, 0), IdentificationProblem::dhIndex(0, 1),
                IdentificationProblem::dhIndex(0, 2), IdentificationProblem::dhIndex(0, 3),
                problem.zeroIndex(0), IdentificationProblem::dhIndex(1, 2),
                IdentificationProblem::dhIndex(1, 3)};
    }
    bool targetReadings = false;
    bool orientations = false;
    for (const PoseMeasurement &m : problem.measurements) {
        targetReadings = targetReadings || problem.targetIndex(m.target) >= 0;
        orientations = orientations || m.hasOrientation;
    }
    // A probe's orientation sees the turns of the flange the targets' positions would absorb.
    if (targetReadings
        && anyFree(problem, problem.robotParameterCount(), problem.parameterCount())) {
        targets = {IdentificationProblem::dhIndex(axes, 1),
                   IdentificationProblem::dhIndex(axes, 2)};
        if (!orientations) {
            targets += {IdentificationProblem::dhIndex(axes, 0),
                        IdentificationProblem::dhIndex(axes, 3), problem.zeroIndex(axes - 1)};
        }
    }
    QStringList held;
    const auto hold = [&](const QVector<int> &indices, const QString &by) {
        for (int i : indices) {
            const auto at = std::find(free->begin(), free->end(), i);
            if (at == free->end())
                continue;
            free->erase(at);
            held.append(result->labels.at(i));
            result->warnings.append(QStringLiteral("%1 held: %2").arg(result->labels.at(i), by));
        }
    };
    hold(base, QStringLiteral("the tracker's pose takes it over"));
    hold(targets, QStringLiteral("the targets' positions take it over"));
    // A joint that carries no torque in any pose (the first, about the vertical) shows nothing
    // of its compliance.
    if (problem.hasCompliance()) {
        QVector<double> largest(axes, 0.0);
        const QVector<double> start = problem.startValues();
        for (const PoseMeasurement &m : problem.measurements) {
            const QVector<double> tau = torquesAt(problem, start, m);
            for (int k = 0; k < axes; ++k)
                largest[k] = qMax(largest.at(k), std::abs(tau.at(k)));
        }
        const double most = *std::max_element(largest.cbegin(), largest.cend());
        QVector<int> unloaded;
        QVector<int> light;
        for (int k = 0; k < axes; ++k) {
            if (largest.at(k) < kNoTorqueNm)
                unloaded.append(problem.complianceIndex(k));
            else if (largest.at(k) < kLightTorqueShare * most)
                light.append(problem.complianceIndex(k));
        }
        hold(unloaded, QStringLiteral("the joint carries no torque in any pose"));
        hold(light, QStringLiteral("the joint carries too little torque to tell its bending from "
                                   "the unmodelled errors"));
    }
    return held;
}

// Owns the numbers Ceres changes: one block of one per parameter, never resized once added.
struct Fit
{
    std::vector<double> values;
    std::vector<double *> blocks;
    ceres::Problem solver;

    explicit Fit(const QVector<double> &start)
        : values(start.cbegin(), start.cend())
    {
        blocks.reserve(values.size());
        for (double &v : values)
            blocks.push_back(&v);
    }

    // Adds the readings not in `skip`; a positive `huberMm` puts each under a Huber loss. The
    // gravity torques of a compliance model come from the values the fit starts from.
    void add(const IdentificationProblem &problem, const QSet<int> &skip, double huberMm)
    {
        const QVector<double> start(values.cbegin(), values.cend());
        const int axes = problem.axisCount();
        const int robot = problem.robotParameterCount();
        const auto &w = problem.componentWeights;
        for (int m = 0; m < problem.measurements.size(); ++m) {
            if (skip.contains(m))
                continue;
            const PoseMeasurement &r = problem.measurements.at(m);
            const int target = problem.targetIndex(r.target);
            const QVector<double> torque = torquesAt(problem, start, r);
            std::vector<double *> used(blocks.begin(), blocks.begin() + robot);
            if (target >= 0) {
                for (size_t i = 0; i < 3; ++i)
                    used.push_back(blocks[static_cast<size_t>(target) + i]);
            }
            solver.AddResidualBlock(
                PositionResidual::create(r.jointsDeg, r.positionMm, axes, target >= 0,
                                         Eigen::Vector3d(w[0], w[1], w[2]), torque),
                huberMm > 0 ? new ceres::HuberLoss(huberMm) : nullptr, used);
            if (r.hasOrientation) {
                solver.AddResidualBlock(
                    OrientationResidual::create(r.jointsDeg, r.orientationDeg, axes,
                                                Eigen::Vector3d(w[3], w[4], w[5]), torque),
                    nullptr,
                    std::vector<double *>(blocks.begin(), blocks.begin() + robot));
            }
        }
    }

    // Parameters no reading uses (a target never read) are unknown to Ceres.
    bool has(int i) { return solver.HasParameterBlock(blocks[static_cast<size_t>(i)]); }

    void hold(const std::vector<int> &free)
    {
        for (int i = 0; i < int(blocks.size()); ++i) {
            if (has(i) && std::find(free.begin(), free.end(), i) == free.end())
                solver.SetParameterBlockConstant(blocks[static_cast<size_t>(i)]);
        }
    }

    ceres::Solver::Summary solve()
    {
        ceres::Solver::Options options;
        options.linear_solver_type = ceres::DENSE_QR;
        options.max_num_iterations = 100;
        options.function_tolerance = 1e-16;
        options.gradient_tolerance = 1e-16;
        options.parameter_tolerance = 1e-14;
        options.logging_type = ceres::SILENT;
        options.num_threads = 1;
        ceres::Solver::Summary summary;
        ceres::Solve(options, &solver, &summary);
        return summary;
    }
};

QString checkReadings(const IdentificationProblem &problem)
{
    const int axes = problem.axisCount();
    if (problem.measurements.isEmpty())
        return QStringLiteral("no readings to identify from");
    for (int m = 0; m < problem.measurements.size(); ++m) {
        const PoseMeasurement &reading = problem.measurements.at(m);
        bool finite = reading.positionMm.allFinite()
                      && (!reading.hasOrientation || reading.orientationDeg.allFinite());
        for (double q : reading.jointsDeg)
            finite = finite && std::isfinite(q);
        if (reading.jointsDeg.size() != axes || !finite)
            return QStringLiteral("reading %1 does not fit a %2-axis robot").arg(m + 1).arg(axes);
        if (!reading.target.isEmpty() && problem.targetIndex(reading.target) < 0)
            return QStringLiteral("reading %1 names the unknown target \"%2\"")
                .arg(m + 1)
                .arg(reading.target);
    }
    return QString();
}

} // namespace

IdentificationResult Identifier::identify(const IdentificationProblem &input)
{
    IdentificationResult result;
    result.labels = input.labels();
    result.values = input.startValues();
    if (!input.isValid()) {
        result.error = QStringLiteral("no robot model to identify");
        return result;
    }
    const int axes = input.axisCount();
    split(&result, axes);
    result.error = checkReadings(input);
    if (!result.error.isEmpty())
        return result;

    IdentificationProblem problem = input;
    if (anyFree(problem, problem.baseIndex(0), problem.robotParameterCount()))
        problem.setBaseStart(rigidStart(problem));
    result.values = problem.startValues();
    split(&result, axes);
    result.rmsBeforeMm = rms(positionErrorsMm(problem, result.values, problem.measurements));
    result.rmsAfterMm = result.rmsBeforeMm;

    Fit first(result.values);
    first.add(problem, {}, 0.0);
    std::vector<int> free;
    for (int i = 0; i < problem.parameterCount(); ++i) {
        if (problem.isFree(i) && first.has(i))
            free.push_back(i);
    }
    result.heldLabels = holdTakenOver(problem, &free, &result);
    if (!free.empty()) {
        result.heldLabels += holdUnidentifiable(jacobianOf(&first.solver, first.blocks, free),
                                                &free, result.labels,
                                                problem.robotParameterCount(), &result);
    }
    for (int i : free)
        result.identifiedLabels.append(result.labels.at(i));
    result.poses = poseCount(problem.measurements);
    if (free.empty()) {
        result.converged = true;
        return result;
    }
    const ObservabilityIndices seen = ObservabilityIndices::fromSingularValues(
        Eigen::Map<const Eigen::VectorXd>(result.singularValues.constData(),
                                          result.singularValues.size()),
        result.poses);
    result.o1 = seen.o1;
    result.o5 = seen.o5;
    first.hold(free);
    ceres::Solver::Summary summary = first.solve();
    result.iterations = int(summary.iterations.size());
    if (!summary.IsSolutionUsable()) {
        result.error = QString::fromStdString(summary.message);
        return result;
    }
    QVector<double> values(first.values.cbegin(), first.values.cend());
    // A fit again from where the last one ended: the readings not in `skip`, the torques of a
    // compliance model from the geometry identified so far.
    const auto refit = [&](const QSet<int> &skip, double huberMm) {
        Fit again(values);
        again.add(problem, skip, huberMm);
        again.hold(free);
        summary = again.solve();
        result.iterations += int(summary.iterations.size());
        if (!summary.IsSolutionUsable()) {
            result.error = QString::fromStdString(summary.message);
            return false;
        }
        values = QVector<double>(again.values.cbegin(), again.values.cend());
        return true;
    };
    // The torques were the start model's: once more with the identified geometry's, which
    // leaves the fit at its own fixed point (the robust fit below does so anyway).
    if (problem.hasCompliance() && !problem.robust && !refit({}, 0.0))
        return result;

    // Residuals hold what no parameter models besides the noise: judge them by their own spread.
    QSet<int> dropped;
    if (problem.robust) {
        QVector<double> components;
        const QVector<double> residuals =
            positionErrorsMm(problem, values, problem.measurements, &components);
        result.residualSpreadMm = robustSpread(components);
        const double limit =
            qMax(problem.outlierFactor * result.residualSpreadMm, problem.outlierFloorMm);
        for (int m = 0; m < residuals.size(); ++m) {
            if (residuals.at(m) > limit) {
                result.outliers.append(m);
                result.outlierResidualsMm.append(residuals.at(m));
                dropped.insert(m);
            }
        }
        // Huber's 1.345 spreads keep 95 % of a normal sample's efficiency.
        if (!refit(dropped, 1.345 * qMax(result.residualSpreadMm, 1e-9)))
            return result;
    }
    // A joint bends with its load, never against it: a negative compliance is the fit soaking
    // up another error, and a controller compensating it would double that error. It is held at
    // zero and the fit repeated (a bound in the fit itself tripled its time).
    for (int k = 0; k < axes && problem.hasCompliance(); ++k) {
        const int i = problem.complianceIndex(k);
        const auto at = std::find(free.begin(), free.end(), i);
        if (at == free.end() || values.at(i) >= 0.0)
            continue;
        free.erase(at);
        values[i] = 0.0;
        result.warnings.append(QStringLiteral("%1 is zero: the readings show no bending of "
                                              "the joint under its load")
                                   .arg(result.labels.at(i)));
        const double huberMm =
            problem.robust ? 1.345 * qMax(result.residualSpreadMm, 1e-9) : 0.0;
        if (!refit(dropped, huberMm))
            return result;
        k = -1; // the others' values moved: judge them again
    }
    result.converged = summary.termination_type == ceres::CONVERGENCE;
    if (!result.converged)
        result.warnings.append(QStringLiteral("the solver stopped before converging: %1")
                                   .arg(QString::fromStdString(summary.message)));
    result.values = values;
    split(&result, axes);
    QVector<PoseMeasurement> kept;
    for (int m = 0; m < problem.measurements.size(); ++m) {
        if (!dropped.contains(m))
            kept.append(problem.measurements.at(m));
    }
    result.rmsAfterMm = rms(positionErrorsMm(problem, result.values, kept));
    return result;
}

Eigen::Isometry3d Identifier::rigidStart(const IdentificationProblem &problem)
{
    const int n = int(problem.measurements.size());
    Eigen::Isometry3d start = Eigen::Isometry3d::Identity();
    if (!problem.isValid() || n < 3)
        return start;
    QVector<double> values = problem.startValues();
    for (int i = 0; i < IdentificationProblem::kBaseParameters; ++i)
        values[problem.baseIndex(i)] = 0.0;
    Eigen::Matrix3Xd predicted(3, n);
    Eigen::Matrix3Xd measured(3, n);
    for (int m = 0; m < n; ++m) {
        const PoseMeasurement &r = problem.measurements.at(m);
        const int target = problem.targetIndex(r.target);
        const Eigen::Vector3d offset = target < 0 ? Eigen::Vector3d::Zero()
                                                  : Eigen::Vector3d(values.at(target),
                                                                    values.at(target + 1),
                                                                    values.at(target + 2));
        predicted.col(m) = predictFlangeInTracker(values.constData(), r.jointsDeg,
                                                  problem.axisCount(),
                                                  torquesAt(problem, values, r))
                           * offset;
        measured.col(m) = r.positionMm;
    }
    rigidFit(predicted, measured, &start);
    return start;
}

bool Identifier::rigidFit(const Eigen::Matrix3Xd &from, const Eigen::Matrix3Xd &to,
                          Eigen::Isometry3d *fit)
{
    if (from.cols() < 3 || to.cols() != from.cols())
        return false;
    const Eigen::Matrix3Xd centred = from.colwise() - from.rowwise().mean();
    const Eigen::JacobiSVD<Eigen::Matrix3Xd> spread(centred);
    if (spread.singularValues()[1] < 1e-6 * qMax(1.0, spread.singularValues()[0]))
        return false;
    fit->matrix() = Eigen::umeyama(from, to, false);
    return true;
}

QVector<double> Identifier::positionErrorsMm(const IdentificationProblem &problem,
                                             const QVector<double> &values,
                                             const QVector<PoseMeasurement> &measurements,
                                             QVector<double> *components)
{
    QVector<double> errors;
    const int axes = problem.axisCount();
    if (!problem.isValid() || values.size() != problem.parameterCount())
        return errors;
    errors.reserve(measurements.size());
    for (const PoseMeasurement &reading : measurements) {
        const int target = problem.targetIndex(reading.target);
        if (reading.jointsDeg.size() != axes || (target < 0 && !reading.target.isEmpty()))
            return QVector<double>();
        const Eigen::Vector3d offset = target < 0 ? Eigen::Vector3d::Zero()
                                                  : Eigen::Vector3d(values.at(target),
                                                                    values.at(target + 1),
                                                                    values.at(target + 2));
        const Eigen::Vector3d residual =
            predictFlangeInTracker(values.constData(), reading.jointsDeg, axes,
                                   torquesAt(problem, values, reading))
                * offset
            - reading.positionMm;
        errors.append(residual.norm());
        if (components)
            *components << residual.x() << residual.y() << residual.z();
    }
    return errors;
}

QVector<double> Identifier::positionErrorsMm(const QVector<double> &values, int axes,
                                             const QVector<PoseMeasurement> &measurements)
{
    if (axes < 1 || values.size() != 4 * (axes + 1) + axes + IdentificationProblem::kBaseParameters)
        return {};
    const IdentificationProblem plain(values.mid(0, 4 * (axes + 1)),
                                      values.mid(4 * (axes + 1), axes), axes);
    return positionErrorsMm(plain, values, measurements);
}

double Identifier::robustSpread(const QVector<double> &values)
{
    if (values.isEmpty())
        return 0;
    const auto median = [](QVector<double> v) {
        std::sort(v.begin(), v.end());
        const int n = int(v.size());
        return n % 2 ? v.at(n / 2) : 0.5 * (v.at(n / 2 - 1) + v.at(n / 2));
    };
    const double middle = median(values);
    QVector<double> deviations;
    deviations.reserve(values.size());
    for (double v : values)
        deviations.append(std::abs(v - middle));
    return kMadToSigma * median(deviations);
}

double Identifier::rms(const QVector<double> &errors)
{
    if (errors.isEmpty())
        return 0;
    double sum = 0;
    for (double e : errors)
        sum += e * e;
    return std::sqrt(sum / errors.size());
}

double Identifier::mean(const QVector<double> &errors)
{
    if (errors.isEmpty())
        return 0;
    double sum = 0;
    for (double e : errors)
        sum += e;
    return sum / errors.size();
}

double Identifier::max(const QVector<double> &errors)
{
    return errors.isEmpty() ? 0 : *std::max_element(errors.cbegin(), errors.cend());
}

} // namespace sim
