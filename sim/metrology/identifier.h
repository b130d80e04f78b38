#pragma once

#include "identificationproblem.h"
#include "identificationresult.h"

namespace sim {

// Identifies the free parameters of a problem by nonlinear least squares over the tracker
// readings. Free parameters that the readings cannot tell apart from others (a rank defect of
// the identification Jacobian at the start) are held at their start values and named in the
// result's warnings, rather than being turned into arbitrary numbers.
class Identifier
{
public:
    // Relative singular value below which a direction of the parameters counts as unseen.
    static constexpr double kRankTolerance = 1e-7;

    static IdentificationResult identify(const IdentificationProblem &problem);

    // Distance (mm) between each reading and where the parameter vector `values` puts the flange.
    static QVector<double> positionErrorsMm(const QVector<double> &values, int axes,
                                            const QVector<PoseMeasurement> &measurements);
    static double rms(const QVector<double> &errors);
    static double mean(const QVector<double> &errors);
    static double max(const QVector<double> &errors);
};

} // namespace sim
