#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace sim {

// What an identification found. `values` is the whole parameter vector of the problem (held
// and locked parameters at their start values); the DH set and zero offsets are cut from it.
struct IdentificationResult
{
    bool converged = false;
    QString error; // why nothing was identified; empty otherwise

    QVector<double> values;
    QVector<double> dh;
    QVector<double> zeroOffsetsDeg;
    QStringList labels;

    QStringList identifiedLabels;
    // Free parameters the measurements cannot tell apart from others: held at their start values.
    QStringList heldLabels;
    QStringList warnings;
    // Of the identification Jacobian with columns scaled to unit length, largest first, over the
    // identified parameters; the condition number is the first over the last.
    QVector<double> singularValues;
    double conditionNumber = 0;
    // The observability indices of the same Jacobian (`ObservabilityIndices`) over the poses
    // the readings were taken at.
    double o1 = 0;
    double o5 = 0;
    int poses = 0;

    double rmsBeforeMm = 0;
    double rmsAfterMm = 0;
    int iterations = 0;

    // Readings left out of the second fit (indices into the problem's measurements) with their
    // residual after the first (mm), and the robust spread of the residuals' x, y and z,
    // 1.4826 * MAD (mm), that judged them and scaled the loss.
    QVector<int> outliers;
    QVector<double> outlierResidualsMm;
    double residualSpreadMm = 0;
};

} // namespace sim
