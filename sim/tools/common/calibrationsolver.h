#pragma once

#include <sim/metrology/identificationproblem.h>
#include <sim/metrology/identificationresult.h>

#include <Eigen/Geometry>

#include <QJsonArray>
#include <QJsonObject>
#include <QVector>

namespace sim {

// One pose of a calibration run: the joints the controller read, where it computed the flange
// with its configured model, and where the tracker saw it (base frame, mm).
struct CalibPose
{
    QVector<double> jointsDeg;
    Eigen::Vector3d commandedMm = Eigen::Vector3d::Zero();
    Eigen::Vector3d measuredMm = Eigen::Vector3d::Zero();
    // The flange's orientation as the controller reports it, when it does.
    Eigen::Quaterniond flangeRotation = Eigen::Quaterniond::Identity();
    bool rotationKnown = false;
};

// Identifies a robot's DH set and joint zero offsets from calibration poses and puts the outcome
// in the form the pendant applies: it writes alpha, a and d of each joint's link group and the
// zero offsets, and keeps its own theta. A joint's theta and its zero offset turn the same
// axis, so theta is identified as the zero offset: a joint whose theta is locked keeps its
// zero offset, and "theta_offset" shows the configured theta plus the zero offset.
class CalibrationSolver
{
public:
    // The acceptance limits written with the result: mean and largest validation error (mm),
    // largest change of a or d (mm), of alpha or theta (deg).
    static constexpr double kAvgErrorLimitMm = 0.1;
    static constexpr double kMaxErrorLimitMm = 0.3;
    static constexpr double kLengthChangeLimitMm = 2.0;
    static constexpr double kAngleChangeLimitDeg = 0.5;

    // `dh` is the controller's set, 4 * (axes + 1) numbers.
    CalibrationSolver(const QVector<double> &dh, int axes);

    // False, with the reason, for a constraint that names no joint or parameter.
    bool setConstraints(const QJsonArray &constraints, QString *error);
    bool solve(const QVector<CalibPose> &identification, QString *error);

    const IdentificationProblem &problem() const;
    const IdentificationResult &result() const;
    QVector<double> zeroPointsDeg() const;
    // Per pose, |commanded - measured| with the controller's model and |predicted - measured|
    // with the identified one.
    QVector<double> errorsBefore(const QVector<CalibPose> &poses) const;
    QVector<double> errorsAfter(const QVector<CalibPose> &poses) const;

    // The controller's zero offsets before the run, NaN where the poses cannot tell them.
    QVector<double> zeroPointsBeforeDeg() const;

    // The result file's members: "status", "dh_parameters", "zero_points", the validation
    // errors and "threshold", "zero_points_before" (null where unknown); "product_result" too
    // when asked.
    QJsonObject resultJson(const QVector<CalibPose> &validation, bool production) const;

private:
    QVector<double> configuredZeroOffsets(const QVector<CalibPose> &poses,
                                          QVector<double> *known) const;
    double lastZeroFromRotation(const QVector<CalibPose> &poses,
                                const QVector<double> &zeros) const;
    QJsonObject dhParametersJson() const;

    QVector<double> m_dh;
    int m_axes;
    IdentificationProblem m_problem;
    IdentificationResult m_result;
    QVector<double> m_zeroBefore;
};

} // namespace sim
