#include "identifier.h"

#include "positionresidual.h"

#include <ceres/ceres.h>

#include <Eigen/SVD>

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// A parameter whose column is this much shorter than the longest does not move the flange.
constexpr double kNoEffect = 1e-12;
// Parameters that take this share of the weakest direction are named as its partners.
constexpr double kPartnerShare = 0.1;

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
// the parameter of that direction that comes last in the vector (zero offsets before link
// thetas, later links before earlier ones) is held. Removes them from `free`.
QStringList holdUnidentifiable(Eigen::MatrixXd j, std::vector<int> *free,
                               const QStringList &labels, IdentificationResult *result)
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
        int hold = 0;
        for (int c = 0; c < weakest.size(); ++c) {
            if (weakest[c] >= 0.5 * largest)
                hold = c;
        }
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

} // namespace

IdentificationResult Identifier::identify(const IdentificationProblem &problem)
{
    IdentificationResult result;
    result.labels = problem.labels();
    result.values = problem.startValues();
    if (!problem.isValid()) {
        result.error = QStringLiteral("no robot model to identify");
        return result;
    }
    const int axes = problem.axisCount();
    split(&result, axes);
    for (int m = 0; m < problem.measurements.size(); ++m) {
        const PoseMeasurement &reading = problem.measurements.at(m);
        bool finite = reading.positionMm.allFinite();
        for (double q : reading.jointsDeg)
            finite = finite && std::isfinite(q);
        if (reading.jointsDeg.size() != axes || !finite) {
            result.error = QStringLiteral("reading %1 does not fit a %2-axis robot")
                               .arg(m + 1)
                               .arg(axes);
            return result;
        }
    }
    if (problem.measurements.isEmpty()) {
        result.error = QStringLiteral("no readings to identify from");
        return result;
    }
    result.rmsBeforeMm = rms(positionErrorsMm(result.values, axes, problem.measurements));
    result.rmsAfterMm = result.rmsBeforeMm;

    const int count = problem.parameterCount();
    std::vector<double> values(result.values.cbegin(), result.values.cend());
    std::vector<double *> blocks;
    blocks.reserve(values.size());
    for (double &v : values)
        blocks.push_back(&v);
    ceres::Problem solver;
    for (const PoseMeasurement &reading : problem.measurements) {
        solver.AddResidualBlock(
            PositionResidual::create(reading.jointsDeg, reading.positionMm, axes, count), nullptr,
            blocks);
    }
    std::vector<int> free;
    for (int i = 0; i < count; ++i) {
        if (problem.isFree(i))
            free.push_back(i);
        else
            solver.SetParameterBlockConstant(blocks[static_cast<size_t>(i)]);
    }
    if (free.empty()) {
        result.converged = true;
        return result;
    }

    result.heldLabels = holdUnidentifiable(jacobianOf(&solver, blocks, free), &free,
                                           result.labels, &result);
    for (const QString &label : qAsConst(result.heldLabels))
        solver.SetParameterBlockConstant(blocks[static_cast<size_t>(result.labels.indexOf(label))]);
    for (int i : free)
        result.identifiedLabels.append(result.labels.at(i));
    if (free.empty()) {
        result.converged = true;
        return result;
    }

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
    result.iterations = int(summary.iterations.size());
    if (!summary.IsSolutionUsable()) {
        result.error = QString::fromStdString(summary.message);
        return result;
    }
    result.converged = summary.termination_type == ceres::CONVERGENCE;
    if (!result.converged)
        result.warnings.append(QStringLiteral("the solver stopped before converging: %1")
                                   .arg(QString::fromStdString(summary.message)));
    result.values = QVector<double>(values.cbegin(), values.cend());
    split(&result, axes);
    result.rmsAfterMm = rms(positionErrorsMm(result.values, axes, problem.measurements));
    return result;
}

QVector<double> Identifier::positionErrorsMm(const QVector<double> &values, int axes,
                                             const QVector<PoseMeasurement> &measurements)
{
    QVector<double> errors;
    if (axes < 1 || values.size() != 4 * (axes + 1) + axes + IdentificationProblem::kBaseParameters)
        return errors;
    errors.reserve(measurements.size());
    for (const PoseMeasurement &reading : measurements) {
        if (reading.jointsDeg.size() != axes)
            return QVector<double>();
        errors.append((predictFlangeMm(values.constData(), reading.jointsDeg, axes)
                       - reading.positionMm)
                          .norm());
    }
    return errors;
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
