#include "circlefit.h"

#include <Eigen/Geometry>
#include <Eigen/SVD>

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
    const Eigen::JacobiSVD<Eigen::Matrix3Xd> svd(centred, Eigen::ComputeFullU);
    const Eigen::Vector3d s = svd.singularValues();
    if (!(s[1] > 1e-9 * std::max(1.0, s[0])))
        return fit;
    const Eigen::Vector3d u = svd.matrixU().col(0);
    const Eigen::Vector3d v = svd.matrixU().col(1);
    Eigen::Vector3d normal = svd.matrixU().col(2);

    // In the plane: x^2 + y^2 = 2 a x + 2 b y + c, with r^2 = c + a^2 + b^2.
    Eigen::MatrixXd a(n, 3);
    Eigen::VectorXd rhs(n);
    for (int i = 0; i < n; ++i) {
        const double x = centred.col(i).dot(u);
        const double y = centred.col(i).dot(v);
        a.row(i) << 2 * x, 2 * y, 1.0;
        rhs[i] = x * x + y * y;
    }
    const Eigen::Vector3d abc = a.colPivHouseholderQr().solve(rhs);
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
