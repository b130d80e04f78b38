#pragma once

#include <Eigen/Core>

namespace sim {

// How well a set of poses shows the parameters of an identification, from the singular values
// sigma_1 >= ... >= sigma_m of the identification Jacobian with its columns scaled to unit
// length (so that millimetres and degrees weigh alike):
//   o1        = (sigma_1 * ... * sigma_m)^(1/m) / sqrt(L), L poses (Borm and Menq), the larger
//               the better; it compares pose sets of different sizes;
//   condition = sigma_1 / sigma_m, infinite when a direction is unseen;
//   o5        = sigma_m^2 / sigma_1, the noise amplification index (Nahvi and Hollerbach): how
//               much of the readings' noise is kept out of the weakest direction.
struct ObservabilityIndices
{
    double o1 = 0;
    double condition = 0;
    double o5 = 0;
    int poses = 0;
    int parameters = 0;

    // `jacobian` has a row per residual and a column per free parameter; its columns are scaled
    // here. A column of zeros (a parameter no pose moves) makes o1 and o5 zero.
    static ObservabilityIndices of(const Eigen::MatrixXd &jacobian, int poses);
    // From singular values already computed on the scaled Jacobian, in any order.
    static ObservabilityIndices fromSingularValues(const Eigen::VectorXd &singularValues,
                                                   int poses);
    // The Jacobian with each non-zero column scaled to unit length.
    static Eigen::MatrixXd scaledColumns(const Eigen::MatrixXd &jacobian);
};

} // namespace sim
