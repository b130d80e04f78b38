#pragma once

#include <sim/metrology/identificationproblem.h>
#include <sim/metrology/identificationresult.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QVector>

namespace sim {

// One pose as the collector saw it: the joints the controller read and where it computed the
// flange with its configured model (base frame, mm).
struct CalibPose
{
    QVector<double> jointsDeg;
    Eigen::Vector3d commandedMm = Eigen::Vector3d::Zero();
    // The flange's orientation as the controller reports it, when it does.
    Eigen::Quaterniond flangeRotation = Eigen::Quaterniond::Identity();
    bool rotationKnown = false;
};

// Identifies a robot's DH set and joint zero offsets from tracker readings and puts the outcome
// in the form the pendant applies: it writes alpha, a and d of each joint's link group and the
// zero offsets, and keeps its own theta. A joint's theta and its zero offset turn the same
// axis, so theta is identified as the zero offset: a joint whose theta is locked keeps its
// zero offset, and "theta_offset" shows the configured theta plus the zero offset. The tracker's
// pose and the targets' positions on the flange are identified with them (free by default).
class CalibrationSolver
{
public:
    // The acceptance limits written with the result: mean and largest validation error (mm),
    // largest change of a or d (mm), of alpha or theta (deg). A good calibration in a cell of
    // laser-tracker class keeps the gear and compliance errors no model here identifies,
    // 0.03-0.08 mm mean and up to about 0.25 mm at the worst pose; a bad one (a wrong model,
    // a moved tracker, a loose plate) misses by tenths of a millimetre on average.
    static constexpr double kAvgErrorLimitMm = 0.12;
    static constexpr double kMaxErrorLimitMm = 0.4;
    static constexpr double kLengthChangeLimitMm = 2.0;
    static constexpr double kAngleChangeLimitDeg = 0.5;

    // `dh` is the controller's set, 4 * (axes + 1) numbers.
    CalibrationSolver(const QVector<double> &dh, int axes);

    // The controller's zero offsets, where the identification starts (zeros by default).
    void setZeroOffsets(const QVector<double> &zeroOffsetsDeg);
    // The targets on the flange and their nominal positions (mm), identified with the robot.
    void setTargets(const QStringList &names, const QVector<Eigen::Vector3d> &nominalMm);
    // Whether the tracker's pose is identified (by default) or the readings are in the base
    // frame already.
    void setTrackerFree(bool free);
    // Identifies a compliance per joint with the geometry, the gravity torques from `masses` and
    // a payload at the flange. False, with the reason, for a mass model of another robot.
    bool setCompliance(const MassModel &masses, double payloadKg, QString *error);
    // False, with the reason, for a constraint that names no joint or parameter.
    bool setConstraints(const QJsonArray &constraints, QString *error);
    bool solve(const QVector<PoseMeasurement> &identification, QString *error);

    const IdentificationProblem &problem() const;
    const IdentificationResult &result() const;
    QVector<double> zeroPointsDeg() const;
    // Per reading, the distance to the prediction of the controller's model after the rigid fit
    // of the tracker's pose, and to the identified model's.
    QVector<double> errorsBefore(const QVector<PoseMeasurement> &readings) const;
    QVector<double> errorsAfter(const QVector<PoseMeasurement> &readings) const;
    // Validation readings whose error after the identification the identification's own
    // outlier rule names (indices).
    QVector<int> validationOutliers(const QVector<PoseMeasurement> &validation) const;
    // Validation readings the identified model predicts to a finite error that is no outlier.
    int judgedValidationCount(const QVector<PoseMeasurement> &validation) const;

    // The result file's members: "status", "dh_parameters", "zero_points", the validation
    // errors (outliers left out), "threshold", the parameter lists, "outliers" and
    // "observability"; "joint_compliance" when identified; "product_result" when asked.
    QJsonObject resultJson(const QVector<PoseMeasurement> &identification,
                           const QVector<PoseMeasurement> &validation, bool production) const;

    // The controller offers no read of its zero offsets, but it computes the flange from them:
    // fitting only the zero offsets to its own positions finds them (those that move the
    // flange), so that a held or locked zero offset is written back as the controller had it.
    // `known`, when given, gets the same offsets with NaN for those the poses cannot tell; the
    // last joint's, which does not move the flange, comes from the reported orientations.
    static QVector<double> configuredZeroOffsets(const QVector<double> &dh, int axes,
                                                 const QVector<CalibPose> &poses,
                                                 QVector<double> *known = nullptr);
    // The controller's zero offsets before the run, written as "zero_points_before" (NaN, an
    // unknown one, as null).
    void setZeroPointsBefore(const QVector<double> &zeroOffsetsDeg);

private:
    static double lastZeroFromRotation(const QVector<double> &dh, int axes,
                                       const QVector<CalibPose> &poses,
                                       const QVector<double> &zeros);
    QJsonObject dhParametersJson() const;

    QVector<double> m_dh;
    int m_axes;
    bool m_trackerFree = true;
    bool m_compliance = false;
    MassModel m_masses;
    double m_payloadKg = 0;
    IdentificationProblem m_problem;
    // The start model with the tracker's pose from the rigid fit: the "before" of the errors.
    IdentificationProblem m_before;
    IdentificationResult m_result;
    QVector<double> m_zeroBefore;
};

} // namespace sim
