#include "isometrics.h"

#include <cmath>

namespace sim {

IsoPoseResult computeIsoPose(const Eigen::Vector3d &commandedMm,
                             const std::vector<Eigen::Vector3d> &attainedMm)
{
    IsoPoseResult result;
    const int n = int(attainedMm.size());
    result.cycles = n;
    if (n < 2) {
        result.error = QStringLiteral("%1 cycle(s): the figures need at least two").arg(n);
        return result;
    }
    bool finite = commandedMm.allFinite();
    Eigen::Vector3d sum = Eigen::Vector3d::Zero();
    for (const Eigen::Vector3d &p : attainedMm) {
        finite = finite && p.allFinite();
        sum += p;
    }
    if (!finite) {
        result.error = QStringLiteral("a position is not a number");
        return result;
    }
    result.barycentreMm = sum / n;
    result.accuracyAxesMm = result.barycentreMm - commandedMm;
    result.accuracyMm = result.accuracyAxesMm.norm();

    double distanceSum = 0;
    double commandedSquares = 0;
    for (const Eigen::Vector3d &p : attainedMm) {
        distanceSum += (p - result.barycentreMm).norm();
        commandedSquares += (p - commandedMm).squaredNorm();
    }
    result.meanDistanceMm = distanceSum / n;
    double squares = 0;
    for (const Eigen::Vector3d &p : attainedMm) {
        const double deviation = (p - result.barycentreMm).norm() - result.meanDistanceMm;
        squares += deviation * deviation;
    }
    result.stdDevMm = std::sqrt(squares / (n - 1));
    result.repeatabilityMm = result.meanDistanceMm + 3.0 * result.stdDevMm;
    result.rmsMm = std::sqrt(commandedSquares / n);
    // Finite positions far enough apart overflow the squares: figures that are no figures.
    if (!std::isfinite(result.accuracyMm) || !std::isfinite(result.repeatabilityMm)
        || !std::isfinite(result.rmsMm)) {
        result.error = QStringLiteral("the positions lie too far apart for finite figures");
        return result;
    }
    result.valid = true;
    return result;
}

} // namespace sim
