#include "circlefit.h"

#include <Eigen/Geometry>
#include <Eigen/Cholesky>
#include <Eigen/Eigenvalues>

#include <cmath>

namespace sim {

CircleFit fitCircle(const std::vector<Eigen::Vector3d> &pointsMm)
{
    CircleFit fit;
    const int n = int(pointsMm.size());
    if (n < 3)
        return fit;
    Eigen::Matrix3Xd p(3, n);
    for (int i = 0; i < n; ++i)
        p.col(i) = pointsMm[static_cast<size_t>(i)];
    const Eigen::Vector3d mean = p.rowwise().mean();
    const Eigen::Matrix3Xd centred = p.colwise() - mean;
    // The plane's axes are the spread's principal directions: the eigenvectors of the 3x3
    // scatter matrix (ascending), which are the centred points' left singular vectors.
    const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> spread(centred * centred.transpose());
    const Eigen::Vector3d s = spread.eigenvalues().cwiseMax(0.0).cwiseSqrt().reverse();
    if (spread.info() != Eigen::Success || !(s[1] > 1e-9 * std::max(1.0, s[0])))
        return fit;
    const Eigen::Vector3d u = spread.eigenvectors().col(2);
    const Eigen::Vector3d v = spread.eigenvectors().col(1);
    Eigen::Vector3d normal = spread.eigenvectors().col(0);

    // In the plane: x^2 + y^2 = 2 a x + 2 b y + c, with r^2 = c + a^2 + b^2, fitted by least
    // squares (its normal equations: x and y are centred, so they are well conditioned).
    Eigen::Matrix3d normalMatrix = Eigen::Matrix3d::Zero();
    Eigen::Vector3d normalRhs = Eigen::Vector3d::Zero();
    for (int i = 0; i < n; ++i) {
        const double x = centred.col(i).dot(u);
        const double y = centred.col(i).dot(v);
        const Eigen::Vector3d row(2 * x, 2 * y, 1.0);
        normalMatrix += row * row.transpose();
        normalRhs += row * (x * x + y * y);
    }
    const Eigen::Vector3d abc = normalMatrix.ldlt().solve(normalRhs);
    fit.centreMm = mean + abc[0] * u + abc[1] * v;
    fit.radiusMm = std::sqrt(std::max(0.0, abc[2] + abc[0] * abc[0] + abc[1] * abc[1]));

    double turn = 0;
    for (int i = 0; i + 1 < n; ++i)
        turn += (p.col(i) - fit.centreMm).cross(p.col(i + 1) - fit.centreMm).dot(normal);
    fit.normal = turn < 0 ? Eigen::Vector3d(-normal) : normal;

    double sum = 0;
    for (int i = 0; i < n; ++i) {
        const Eigen::Vector3d d = p.col(i) - fit.centreMm;
        const double along = d.dot(fit.normal);
        const double radial = (d - along * fit.normal).norm() - fit.radiusMm;
        sum += along * along + radial * radial;
    }
    fit.rmsMm = std::sqrt(sum / n);
    fit.valid = std::isfinite(fit.radiusMm) && fit.centreMm.allFinite();
    return fit;
}

} // namespace sim
