#include "observabilityindices.h"

#include <Eigen/SVD>

#include <cmath>
#include <limits>

namespace sim {

ObservabilityIndices ObservabilityIndices::of(const Eigen::MatrixXd &jacobian, int poses)
{
    if (jacobian.cols() == 0 || jacobian.rows() == 0) {
        ObservabilityIndices none;
        none.poses = poses;
        none.parameters = int(jacobian.cols());
        return none;
    }
    const Eigen::JacobiSVD<Eigen::MatrixXd> svd(scaledColumns(jacobian));
    Eigen::VectorXd s = svd.singularValues();
    // Fewer rows than parameters leaves directions unseen: their singular values are zero.
    if (s.size() < jacobian.cols()) {
        const Eigen::Index seen = s.size();
        s.conservativeResize(jacobian.cols());
        s.tail(jacobian.cols() - seen).setZero();
    }
    return fromSingularValues(s, poses);
}

ObservabilityIndices ObservabilityIndices::fromSingularValues(const Eigen::VectorXd &s, int poses)
{
    ObservabilityIndices result;
    result.poses = poses;
    result.parameters = int(s.size());
    if (s.size() == 0 || poses < 1)
        return result;
    const double largest = s.maxCoeff();
    const double smallest = s.minCoeff();
    if (!(largest > 0))
        return result;
    if (!(smallest > 0)) {
        result.condition = std::numeric_limits<double>::infinity();
        return result;
    }
    // The geometric mean through logarithms: a product of 40 values may leave the double range.
    result.o1 = std::exp(s.array().log().mean()) / std::sqrt(double(poses));
    result.condition = largest / smallest;
    result.o5 = smallest * smallest / largest;
    return result;
}

Eigen::MatrixXd ObservabilityIndices::scaledColumns(const Eigen::MatrixXd &jacobian)
{
    Eigen::MatrixXd scaled = jacobian;
    for (Eigen::Index c = 0; c < scaled.cols(); ++c) {
        const double norm = scaled.col(c).norm();
        if (norm > 0)
            scaled.col(c) /= norm;
    }
    return scaled;
}

} // namespace sim
