#pragma once

#include "identificationproblem.h"
#include "identificationresult.h"

namespace sim {

// Identifies the free parameters of a problem by nonlinear least squares over the tracker
// readings. Free parameters that the readings cannot tell apart from others (a rank defect of
// the identification Jacobian at the start) are held at their start values and named in the
// result's warnings, rather than being turned into arbitrary numbers. A free base starts from a
// rigid fit of the readings to the start model's predictions, so any tracker placement converges.
class Identifier
{
public:
    // Relative singular value below which a direction of the parameters counts as unseen.
    static constexpr double kRankTolerance = 1e-7;
    // 1.4826 * median absolute deviation estimates a normal spread.
    static constexpr double kMadToSigma = 1.4826;

    static IdentificationResult identify(const IdentificationProblem &problem);

    // The rigid transform that best maps the start model's predictions of the readings onto the
    // readings (base in tracker frame); identity when fewer than three readings span a plane.
    static Eigen::Isometry3d rigidStart(const IdentificationProblem &problem);
    // The rigid transform that best carries the points `from` onto `to` (one per column); false
    // when fewer than three of them span a plane, which leaves the turn about their line open.
    static bool rigidFit(const Eigen::Matrix3Xd &from, const Eigen::Matrix3Xd &to,
                         Eigen::Isometry3d *fit);

    // Distance (mm) between each reading and where the parameter vector `values` of `problem`
    // puts its target; `components` gets the x, y and z of each difference.
    static QVector<double> positionErrorsMm(const IdentificationProblem &problem,
                                            const QVector<double> &values,
                                            const QVector<PoseMeasurement> &measurements,
                                            QVector<double> *components = nullptr);
    // The same for readings of the flange's origin and a vector without targets.
    static QVector<double> positionErrorsMm(const QVector<double> &values, int axes,
                                            const QVector<PoseMeasurement> &measurements);
    // 1.4826 times the median absolute deviation from the median.
    static double robustSpread(const QVector<double> &values);
    static double rms(const QVector<double> &errors);
    static double mean(const QVector<double> &errors);
    static double max(const QVector<double> &errors);
};

} // namespace sim
