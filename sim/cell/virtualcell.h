#pragma once

#include "asbuiltrobot.h"
#include "seededrandom.h"

#include <sim/kinematics/jointlimits.h>
#include <sim/kinematics/robotbody.h>
#include <sim/kinematics/robotcatalogue.h>

#include <Eigen/Geometry>

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QVector>

namespace sim {

// The measuring cell around a robot, as imperfect as a real one. Everything is drawn once from
// the robot id, so the same robot in the same cell is the same after every restart:
//   - a laser tracker 2-4 m from the base, in front of it (within 60 degrees of its x axis),
//     turned by any angle about the vertical and tilted by up to a degree; its readings are in
//     its own frame;
//   - a tool plate with the catalogue's reflectors, each off its nominal place by 0.1-0.5 mm;
//   - tracker noise of 5 um + 2.5 um per metre of distance per axis, and one reading in about
//     200 off by 0.5-3 mm (a broken beam re-caught);
//   - a joint scatter on each arrival at a pose, so the flange repeats to 0.01-0.02 mm (sigma);
//   - joint compliance under gravity, c_k * tau_k(q), the largest flange deflection over the
//     joint limits being 0.1-0.3 mm;
//   - a gear transmission error per joint, one and two cycles per turn, 0.002-0.004 degrees each,
//     and a ripple of 0.0005-0.0015 degrees with each turn of the motor through the gear (80-160
//     cycles per turn of the joint): from one pose to the next it is as good as random, yet it
//     is the same at every return to a pose, so it costs accuracy, not repeatability;
//   - lost motion in each joint's gear of 0.25-0.5 arcminute: a joint that gravity loads rests on
//     the flank it is pushed to; in one that carries (almost) no torque the motor takes up the
//     play before the output follows, so the same pose reads differently when approached from
//     another side;
//   - each joint's bearing and housing tilting under the moment gravity puts across its axis,
//     the largest flange deflection over the joint limits being 0.03-0.08 mm. No joint angle
//     can express it, so a model of joint compliance leaves it, as on a real arm;
//   - now and then someone or something crossing the beam: about one reading in 500 finds no
//     beam (`beamInterrupted`), and asked again, the tracker has it back;
//   - the arm's own body in the beam: a reflector behind a link (the catalogue's capsules around
//     the as-built arm) is not seen (`inSight`), however often it is asked. The reflectors sit in
//     nests that turn them to the tracker, as robot cells use, so only the body hides them.
// The joints the controller reads stay the commanded ones; only the tracker sees the rest.
class VirtualCell
{
public:
    // Which imperfections act; a test switches them off to check the rest exactly. Placement and
    // plate errors are drawn either way; off means the tracker at the base and nominal reflectors.
    struct Imperfections
    {
        bool trackerPlacement = true;
        bool plateErrors = true;
        bool noise = true;
        bool scatter = true;
        bool compliance = true;
        bool gearError = true;
        bool outliers = true;
        bool backlash = true;
        bool tilt = true;
        bool beamBreaks = true;
        bool lineOfSight = true;

        static Imperfections none();
    };

    struct Reading
    {
        Eigen::Vector3d positionMm = Eigen::Vector3d::Zero(); // tracker frame
        // Fixed-axis X-Y-Z angles (deg) of the flange in the tracker frame, for 6-DoF probes.
        Eigen::Vector3d orientationDeg = Eigen::Vector3d::Zero();
        double sigmaMm = 0; // noise per axis at this distance
        bool outlier = false;
    };

    static constexpr double kNoiseBaseMm = 0.005;
    static constexpr double kNoisePerMetreMm = 0.0025;
    static constexpr double kOutlierRate = 1.0 / 200.0;
    static constexpr double kBeamBreakRate = 1.0 / 500.0;

    VirtualCell();
    VirtualCell(const CatalogueModel &model, const JointLimits &limits, const QString &robotId);
    // The same cell around a robot with given as-built errors, for tests.
    VirtualCell(const CatalogueModel &model, const JointLimits &limits, const QString &robotId,
                const AsBuiltRobot &robot);

    bool isValid() const;
    void setImperfections(const Imperfections &on);
    Imperfections imperfections() const;
    // Scales the tracker's noise (1 as drawn, 0 measures exactly; outliers stay as set).
    void setNoiseScale(double scale);
    double noiseScale() const;
    // Restarts the sequence of noise, scatter and outliers.
    void reseed(std::uint64_t seed);

    // The truth, for tests only.
    const AsBuiltRobot &robot() const;
    Eigen::Isometry3d trackerFromBase() const;
    QStringList targetNames() const;
    // True position of a reflector on the flange (mm); zero for an unknown name.
    Eigen::Vector3d targetOffsetMm(const QString &target) const;
    QVector<double> complianceDegPerNm() const;
    double scatterSigmaDeg() const;
    // Amplitudes (deg) and phases (rad) of each joint's gear error: one and two cycles per turn.
    QVector<Eigen::Vector4d> gearErrors() const;
    // Each joint's ripple with its motor's turns: amplitude (deg), cycles per turn of the joint,
    // phase (rad).
    QVector<Eigen::Vector3d> gearRipple() const;
    // Each joint's lost motion (deg), the whole play between the two flanks.
    QVector<double> lostMotionDeg() const;
    // Each joint's tilt per newton metre of moment across its axis (deg/(N m)).
    QVector<double> tiltComplianceDegPerNm() const;
    QJsonObject truthJson() const;

    // The robot moved (to `jointsDeg`, when given): the next reading sees a new arrival scatter,
    // and each joint's output follows its motor through the play.
    void noteMotion(const QVector<double> &jointsDeg = QVector<double>());
    // Where the joints truly stand for the readings `jointsDeg`, with the current arrival scatter
    // and play.
    QVector<double> trueJointsDeg(const QVector<double> &jointsDeg) const;
    // Without scatter, play, noise or outliers: the flange's pose in the base frame.
    Eigen::Isometry3d trueFlangeDeterministic(const QVector<double> &jointsDeg) const;
    // A reflector measured at the joint readings; false for an unknown target.
    bool measure(const QVector<double> &jointsDeg, const QString &target, Reading *out);
    // Whether the beam is cut for the reading about to be taken: asked once a reading, from a
    // sequence of its own, so that a reading taken again after a cut beam is the one the cell
    // would have given without the cut.
    bool beamInterrupted();
    // The beam stays cut for `readings` readings (someone standing in it) after the next
    // `after`, for tests.
    void interruptBeam(int readings, int after = 0);
    // Whether the tracker sees the target at the joint readings: no link of the arm, where it
    // truly stands, is in the beam. Judged only with the tracker placed (at the base it would
    // stand inside the robot's column); true for a catalogue without the body's radii.
    bool inSight(const QVector<double> &jointsDeg, const QString &target) const;

private:
    void draw(const CatalogueModel &model, const JointLimits &limits, const QString &robotId);
    // `arrival`: with the scatter and the play of the arrival at the pose.
    QVector<double> deflectedJointsDeg(const QVector<double> &jointsDeg, bool arrival) const;
    void noteJoints(const QVector<double> &jointsDeg);
    // The flange at the true joints, its joints' bearings tilted under gravity.
    Eigen::Isometry3d bentFlange(const QVector<double> &trueJointsDeg) const;
    void sizeTilt(SeededRandom *random, const JointLimits &limits, const QString &robotId);
    Eigen::Isometry3d tilted(const QVector<double> &trueJointsDeg, const QVector<double> &compliance,
                             double toRad) const;

    AsBuiltRobot m_robot;
    MassModel m_masses;
    RobotBody m_body;
    Imperfections m_on;
    Eigen::Isometry3d m_trackerFromBase = Eigen::Isometry3d::Identity();
    QMap<QString, Eigen::Vector3d> m_nominalTargets;
    QMap<QString, Eigen::Vector3d> m_targets;
    QVector<double> m_complianceDegPerNm;
    QVector<Eigen::Vector4d> m_gear;
    QVector<Eigen::Vector3d> m_ripple;
    double m_scatterSigmaDeg = 0;
    QVector<double> m_scatterDeg;
    QVector<double> m_lostMotionDeg;
    QVector<double> m_tiltDegPerNm;
    QVector<double> m_lastJointsDeg; // as last noted, for the turn of the next move
    QVector<double> m_playDeg;       // per joint, where the output stands in its play
    bool m_moved = true;
    int m_beamCutFor = 0;
    int m_beamCutAfter = 0;
    double m_noiseScale = 1.0;
    SeededRandom m_random{1};
    SeededRandom m_beam{1};
};

} // namespace sim
