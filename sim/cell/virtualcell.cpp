#include "virtualcell.h"

#include <sim/kinematics/cartesianpose.h>

#include <QJsonArray>

#include <cmath>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegPerRad = 180.0 / kPi;

constexpr double kTrackerMinDistanceMm = 2000.0;
constexpr double kTrackerMaxDistanceMm = 4000.0;
constexpr double kTrackerMinHeightMm = -300.0;
constexpr double kTrackerMaxHeightMm = 700.0;
constexpr double kTrackerMaxTiltDeg = 1.0;
// Set up in front of the robot, on the side of its test poses, where the arm hides the least.
constexpr double kTrackerMaxAzimuthDeg = 60.0;
constexpr double kPlateErrorMinMm = 0.1;
constexpr double kPlateErrorMaxMm = 0.5;
constexpr double kOutlierMinMm = 0.5;
constexpr double kOutlierMaxMm = 3.0;
constexpr double kRepeatMinMm = 0.01;
constexpr double kRepeatMaxMm = 0.02;
constexpr double kDeflectionMinMm = 0.1;
constexpr double kDeflectionMaxMm = 0.3;
constexpr double kGearMinDeg = 0.002;
constexpr double kGearMaxDeg = 0.004;
// The part of a reducer's transmission error that comes round with every turn of its input, and
// the reduction ratios of a mid-size arm's joints.
constexpr double kRippleMinDeg = 0.0005;
constexpr double kRippleMaxDeg = 0.0015;
constexpr double kRatioMin = 80;
constexpr double kRatioMax = 160;
// Lost motion of a precision reducer as measured, 0.25-0.5 arcminute (catalogues promise at
// most 1); below kPreloadNm of gravity torque a joint's friction, not gravity, decides the
// flank it rests on.
constexpr double kLostMotionMinDeg = 0.25 / 60.0;
constexpr double kLostMotionMaxDeg = 0.5 / 60.0;
constexpr double kPreloadNm = 2.0;
// The largest flange deflection from the joints' tilting, as a reducer's main bearing (a moment
// rigidity of 400-1000 N m per arcminute) and its housing give on an arm of this size.
constexpr double kTiltMinMm = 0.03;
constexpr double kTiltMaxMm = 0.08;
// A 6-DoF probe's orientation noise per axis.
constexpr double kOrientationNoiseDeg = 0.001;
// Poses over the joint limits on which deflection and scatter are sized.
constexpr int kSizingPoses = 200;

// Draws are sequenced one statement each: the order of a call's arguments is the compiler's
// choice, and a seeded cell must come out the same from every compiler. The order, last
// component first, is the one the cells were first drawn in.
Eigen::Vector3d gaussianVector(SeededRandom *random)
{
    Eigen::Vector3d v;
    v.z() = random->gaussian();
    v.y() = random->gaussian();
    v.x() = random->gaussian();
    return v;
}

Eigen::Vector3d randomDirection(SeededRandom *random)
{
    const Eigen::Vector3d v = gaussianVector(random);
    return v.norm() > 1e-12 ? v.normalized() : Eigen::Vector3d::UnitX();
}

QJsonArray toArray(const Eigen::Vector3d &v)
{
    return QJsonArray{v.x(), v.y(), v.z()};
}

QJsonArray toArray(const QVector<double> &v)
{
    QJsonArray a;
    for (double x : v)
        a.append(x);
    return a;
}

} // namespace

VirtualCell::Imperfections VirtualCell::Imperfections::none()
{
    return Imperfections{false, false, false, false, false, false,
                         false, false, false, false, false};
}

VirtualCell::VirtualCell() = default;

VirtualCell::VirtualCell(const CatalogueModel &model, const JointLimits &limits,
                         const QString &robotId)
    : m_robot(model.dh, model.axes, robotId)
{
    draw(model, limits, robotId);
}

VirtualCell::VirtualCell(const CatalogueModel &model, const JointLimits &limits,
                         const QString &robotId, const AsBuiltRobot &robot)
    : m_robot(robot)
{
    draw(model, limits, robotId);
}

// The draws come from their own sequence, after the robot's, so that the as-built errors of a
// robot id stay what they were before the cell had more to it.
void VirtualCell::draw(const CatalogueModel &model, const JointLimits &limits,
                       const QString &robotId)
{
    const int n = model.axes;
    if (!m_robot.isValid() || m_robot.axisCount() != n || !model.masses.isValid()
        || model.masses.axisCount() != n || limits.size() != n || !limits.isValid()) {
        m_robot = AsBuiltRobot();
        return;
    }
    m_masses = model.masses;
    m_body = model.body;
    SeededRandom random(SeededRandom::seedFromText(robotId + QStringLiteral("/cell")));

    const double distance = random.uniform(kTrackerMinDistanceMm, kTrackerMaxDistanceMm);
    const double azimuth =
        random.uniform(-kTrackerMaxAzimuthDeg, kTrackerMaxAzimuthDeg) / kDegPerRad;
    const double height = random.uniform(kTrackerMinHeightMm, kTrackerMaxHeightMm);
    const double heading = random.uniform(0.0, 2 * kPi);
    const double tiltAxis = random.uniform(0.0, 2 * kPi);
    const double tilt = random.uniform(0.0, kTrackerMaxTiltDeg) / kDegPerRad;
    Eigen::Isometry3d baseFromTracker = Eigen::Isometry3d::Identity();
    baseFromTracker.translate(Eigen::Vector3d(distance * std::cos(azimuth),
                                              distance * std::sin(azimuth), height));
    baseFromTracker.rotate(Eigen::AngleAxisd(heading, Eigen::Vector3d::UnitZ()));
    baseFromTracker.rotate(Eigen::AngleAxisd(
        tilt, Eigen::Vector3d(std::cos(tiltAxis), std::sin(tiltAxis), 0.0)));
    m_trackerFromBase = baseFromTracker.inverse();

    m_nominalTargets = model.targetsMm;
    m_targets.clear();
    for (auto it = model.targetsMm.constBegin(); it != model.targetsMm.constEnd(); ++it) {
        const Eigen::Vector3d direction = randomDirection(&random);
        const double errorMm = random.uniform(kPlateErrorMinMm, kPlateErrorMaxMm);
        m_targets.insert(it.key(), it.value() + errorMm * direction);
    }

    m_gear.clear();
    for (int k = 0; k < n; ++k) {
        Eigen::Vector4d gear;
        gear[3] = random.uniform(0.0, 2 * kPi);
        gear[2] = random.uniform(0.0, 2 * kPi);
        gear[1] = random.uniform(kGearMinDeg, kGearMaxDeg);
        gear[0] = random.uniform(kGearMinDeg, kGearMaxDeg);
        m_gear.append(gear);
    }

    // Compliance: the big joints carry most of the load and are stiffer per newton metre than
    // the wrist. Relative values first, then scaled to the drawn largest deflection.
    QVector<double> relative(n);
    for (int k = 0; k < n; ++k)
        relative[k] = (k < 3 ? 1.0 : 3.0) * random.uniform(0.7, 1.3);
    const double deflectionMm = random.uniform(kDeflectionMinMm, kDeflectionMaxMm);
    const double repeatMm = random.uniform(kRepeatMinMm, kRepeatMaxMm);

    const DhChain &chain = m_robot.chain();
    SeededRandom poses(SeededRandom::seedFromText(robotId + QStringLiteral("/sizing")));
    double largest = 0;
    double leverSum = 0;
    for (int i = 0; i < kSizingPoses; ++i) {
        QVector<double> q(n);
        for (int k = 0; k < n; ++k)
            q[k] = poses.uniform(limits.lowerDeg.at(k), limits.upperDeg.at(k));
        const QVector<double> tau = m_masses.gravityTorqueNm(chain, q);
        // Relative compliances are tiny angles: the flange's move is linear in them.
        const Eigen::Matrix<double, 6, Eigen::Dynamic> j = chain.jacobian(q);
        Eigen::VectorXd dq(n);
        for (int k = 0; k < n; ++k)
            dq[k] = relative.at(k) * tau.at(k);
        largest = qMax(largest, (j.topRows<3>() * dq).norm());
        leverSum += std::sqrt(j.topRows<3>().squaredNorm());
    }
    m_complianceDegPerNm.fill(0.0, n);
    for (int k = 0; k < n && largest > 0; ++k)
        m_complianceDegPerNm[k] = relative.at(k) * deflectionMm / largest * kDegPerRad;
    // sqrt(sum |J_k|^2) maps an equal joint sigma onto the flange's 3-D sigma.
    m_scatterSigmaDeg = repeatMm / (leverSum / kSizingPoses) * kDegPerRad;
    m_scatterDeg.fill(0.0, n);
    // Drawn last, so that every draw before it is what it was in cells without play.
    m_lostMotionDeg.resize(n);
    for (int k = 0; k < n; ++k)
        m_lostMotionDeg[k] = random.uniform(kLostMotionMinDeg, kLostMotionMaxDeg);
    m_lastJointsDeg.clear();
    // As after a move up: the output half the play behind the motor.
    m_playDeg.resize(n);
    for (int k = 0; k < n; ++k)
        m_playDeg[k] = -0.5 * m_lostMotionDeg.at(k);
    sizeTilt(&random, limits, robotId);
    m_random = SeededRandom(SeededRandom::seedFromText(robotId + QStringLiteral("/readings")));
    m_beam = SeededRandom(SeededRandom::seedFromText(robotId + QStringLiteral("/beam")));
    // From a sequence of its own, so that every other draw is what it was without it.
    SeededRandom ripple(SeededRandom::seedFromText(robotId + QStringLiteral("/ripple")));
    m_ripple.clear();
    for (int k = 0; k < n; ++k) {
        Eigen::Vector3d r;
        r[2] = ripple.uniform(0.0, 2 * kPi);
        r[1] = std::round(ripple.uniform(kRatioMin, kRatioMax));
        r[0] = ripple.uniform(kRippleMinDeg, kRippleMaxDeg);
        m_ripple.append(r);
    }
    m_moved = true;
}

// Drawn after everything else, on the same sizing poses as the compliance.
void VirtualCell::sizeTilt(SeededRandom *random, const JointLimits &limits, const QString &robotId)
{
    const int n = m_robot.axisCount();
    QVector<double> relative(n);
    for (int k = 0; k < n; ++k)
        relative[k] = random->uniform(0.7, 1.3);
    const double tiltMm = random->uniform(kTiltMinMm, kTiltMaxMm);
    SeededRandom poses(SeededRandom::seedFromText(robotId + QStringLiteral("/sizing")));
    double largest = 0;
    for (int i = 0; i < kSizingPoses; ++i) {
        QVector<double> q(n);
        for (int k = 0; k < n; ++k)
            q[k] = poses.uniform(limits.lowerDeg.at(k), limits.upperDeg.at(k));
        // With relative values in rad/(N m) the deflection is linear in them too.
        largest = qMax(largest, (tilted(q, relative, 1.0).translation()
                                 - m_robot.flangePositionMm(q)).norm());
    }
    m_tiltDegPerNm.resize(n);
    for (int k = 0; k < n; ++k)
        m_tiltDegPerNm[k] = largest > 0 ? relative.at(k) * tiltMm / largest * kDegPerRad : 0.0;
}

// Each joint's bearing turns everything beyond it about its origin by the compliance times the
// gravity moment across its axis; the turns are tiny, so they add.
Eigen::Isometry3d VirtualCell::tilted(const QVector<double> &trueJointsDeg,
                                      const QVector<double> &compliance, double toRad) const
{
    const DhChain &chain = m_robot.chain();
    const QVector<Eigen::Isometry3d> frames = chain.frames(trueJointsDeg);
    const Eigen::Isometry3d &flange = frames.constLast();
    const QVector<Eigen::Vector3d> moments = m_masses.gravityMomentNm(chain, trueJointsDeg);
    Eigen::Vector3d turn = Eigen::Vector3d::Zero();
    Eigen::Vector3d shift = Eigen::Vector3d::Zero();
    for (int k = 0; k < moments.size() && k < compliance.size(); ++k) {
        const Eigen::Vector3d axis = frames.at(k + 1).linear().col(2);
        const Eigen::Vector3d across = moments.at(k) - moments.at(k).dot(axis) * axis;
        const Eigen::Vector3d rotation = compliance.at(k) * toRad * across;
        turn += rotation;
        shift += rotation.cross(flange.translation() - frames.at(k + 1).translation());
    }
    Eigen::Isometry3d bent = flange;
    bent.translation() += shift;
    if (turn.norm() > 0)
        bent.linear() = Eigen::AngleAxisd(turn.norm(), turn.normalized()) * flange.linear();
    return bent;
}

Eigen::Isometry3d VirtualCell::bentFlange(const QVector<double> &trueJointsDeg) const
{
    return m_on.tilt ? tilted(trueJointsDeg, m_tiltDegPerNm, 1.0 / kDegPerRad)
                     : m_robot.flange(trueJointsDeg);
}

bool VirtualCell::isValid() const
{
    return m_robot.isValid();
}

void VirtualCell::setImperfections(const Imperfections &on)
{
    m_on = on;
}

VirtualCell::Imperfections VirtualCell::imperfections() const
{
    return m_on;
}

void VirtualCell::setNoiseScale(double scale)
{
    m_noiseScale = std::isfinite(scale) && scale > 0 ? scale : 0.0;
}

double VirtualCell::noiseScale() const
{
    return m_noiseScale;
}

void VirtualCell::reseed(std::uint64_t seed)
{
    m_random = SeededRandom(seed);
    m_beam = SeededRandom(~seed);
    m_moved = true;
}

bool VirtualCell::beamInterrupted()
{
    const bool drawn = m_beam.uniform() < kBeamBreakRate;
    if (m_beamCutAfter > 0) {
        --m_beamCutAfter;
    } else if (m_beamCutFor > 0) {
        --m_beamCutFor;
        return true;
    }
    return m_on.beamBreaks && drawn;
}

void VirtualCell::interruptBeam(int readings, int after)
{
    m_beamCutFor = qMax(0, readings);
    m_beamCutAfter = qMax(0, after);
}

bool VirtualCell::inSight(const QVector<double> &jointsDeg, const QString &target) const
{
    if (!m_on.lineOfSight || !m_on.trackerPlacement || !isValid()
        || jointsDeg.size() != m_robot.axisCount())
        return true;
    const QVector<double> joints = deflectedJointsDeg(jointsDeg, false);
    const Eigen::Vector3d reflector = bentFlange(joints) * targetOffsetMm(target);
    return !m_body.hidesBeam(m_robot.chain().frames(joints),
                             m_trackerFromBase.inverse().translation(), reflector);
}

const AsBuiltRobot &VirtualCell::robot() const
{
    return m_robot;
}

Eigen::Isometry3d VirtualCell::trackerFromBase() const
{
    return m_on.trackerPlacement ? m_trackerFromBase : Eigen::Isometry3d::Identity();
}

QStringList VirtualCell::targetNames() const
{
    return m_targets.keys();
}

Eigen::Vector3d VirtualCell::targetOffsetMm(const QString &target) const
{
    const auto &targets = m_on.plateErrors ? m_targets : m_nominalTargets;
    return targets.value(target, Eigen::Vector3d::Zero());
}

QVector<double> VirtualCell::complianceDegPerNm() const
{
    return m_on.compliance ? m_complianceDegPerNm : QVector<double>(m_complianceDegPerNm.size());
}

double VirtualCell::scatterSigmaDeg() const
{
    return m_on.scatter ? m_scatterSigmaDeg : 0.0;
}

QVector<Eigen::Vector4d> VirtualCell::gearErrors() const
{
    return m_on.gearError ? m_gear : QVector<Eigen::Vector4d>(m_gear.size(),
                                                              Eigen::Vector4d::Zero());
}

QVector<Eigen::Vector3d> VirtualCell::gearRipple() const
{
    return m_on.gearError ? m_ripple : QVector<Eigen::Vector3d>(m_ripple.size(),
                                                                Eigen::Vector3d::Zero());
}

QJsonObject VirtualCell::truthJson() const
{
    const Eigen::Isometry3d t = trackerFromBase();
    const Eigen::AngleAxisd turn(t.linear());
    QJsonObject targets;
    for (const QString &name : targetNames())
        targets.insert(name, toArray(targetOffsetMm(name)));
    QJsonArray gear;
    for (const Eigen::Vector4d &g : gearErrors())
        gear.append(QJsonArray{g[0], g[1], g[2], g[3]});
    QJsonArray ripple;
    for (const Eigen::Vector3d &r : gearRipple())
        ripple.append(QJsonArray{r[0], r[1], r[2]});
    return QJsonObject{
        {QStringLiteral("dh"), toArray(m_robot.dh())},
        {QStringLiteral("zero_offsets"), toArray(m_robot.zeroOffsetsDeg())},
        {QStringLiteral("base_in_tracker"),
         QJsonObject{{QStringLiteral("position_mm"), toArray(Eigen::Vector3d(t.translation()))},
                     {QStringLiteral("rotation_vector_deg"),
                      toArray(Eigen::Vector3d(turn.angle() * kDegPerRad * turn.axis()))}}},
        {QStringLiteral("targets_mm"), targets},
        {QStringLiteral("compliance_deg_per_nm"), toArray(complianceDegPerNm())},
        {QStringLiteral("scatter_sigma_deg"), scatterSigmaDeg()},
        {QStringLiteral("gear_errors"), gear},
        {QStringLiteral("gear_ripple"), ripple},
        {QStringLiteral("lost_motion_deg"), toArray(lostMotionDeg())},
        {QStringLiteral("tilt_compliance_deg_per_nm"), toArray(tiltComplianceDegPerNm())}};
}

void VirtualCell::noteMotion(const QVector<double> &jointsDeg)
{
    m_moved = true;
    if (!jointsDeg.isEmpty())
        noteJoints(jointsDeg);
}

QVector<double> VirtualCell::deflectedJointsDeg(const QVector<double> &jointsDeg,
                                                bool arrival) const
{
    const int n = m_robot.axisCount();
    QVector<double> q = jointsDeg;
    if (m_on.gearError) {
        for (int k = 0; k < n; ++k) {
            const Eigen::Vector4d &g = m_gear.at(k);
            const double turn = jointsDeg.at(k) / kDegPerRad;
            const Eigen::Vector3d &r = m_ripple.at(k);
            q[k] += g[0] * std::sin(turn + g[2]) + g[1] * std::sin(2 * turn + g[3])
                    + r[0] * std::sin(r[1] * turn + r[2]);
        }
    }
    if (arrival && m_on.scatter) {
        for (int k = 0; k < n && k < m_scatterDeg.size(); ++k)
            q[k] += m_scatterDeg.at(k);
    }
    if (arrival && m_on.backlash) {
        // Where gravity holds the output on one flank it rests there; elsewhere it stands where
        // the motor's last turns left it in the play.
        const QVector<double> tau = m_masses.gravityTorqueNm(m_robot.chain(), jointsDeg);
        for (int k = 0; k < n && k < m_playDeg.size(); ++k) {
            const double t = tau.value(k);
            const double half = 0.5 * m_lostMotionDeg.at(k);
            q[k] += std::abs(t) > kPreloadNm ? (t > 0 ? half : -half) : m_playDeg.at(k);
        }
    }
    if (m_on.compliance) {
        const QVector<double> tau = m_masses.gravityTorqueNm(m_robot.chain(), q);
        for (int k = 0; k < n && k < tau.size(); ++k)
            q[k] += m_complianceDegPerNm.at(k) * tau.at(k);
    }
    return q;
}

QVector<double> VirtualCell::trueJointsDeg(const QVector<double> &jointsDeg) const
{
    if (!isValid() || jointsDeg.size() != m_robot.axisCount())
        return {};
    return deflectedJointsDeg(jointsDeg, true);
}

QVector<double> VirtualCell::lostMotionDeg() const
{
    return m_on.backlash ? m_lostMotionDeg : QVector<double>(m_lostMotionDeg.size(), 0.0);
}

QVector<double> VirtualCell::tiltComplianceDegPerNm() const
{
    return m_on.tilt ? m_tiltDegPerNm : QVector<double>(m_tiltDegPerNm.size(), 0.0);
}

// The motor turns within the play before it drives the output: the output stands between half
// the play behind and half ahead of the motor, and a turn moves it only once it reaches a flank.
void VirtualCell::noteJoints(const QVector<double> &jointsDeg)
{
    for (int k = 0; k < jointsDeg.size() && k < m_lastJointsDeg.size() && k < m_playDeg.size();
         ++k) {
        const double half = 0.5 * m_lostMotionDeg.at(k);
        m_playDeg[k] = qBound(-half, m_playDeg.at(k) - (jointsDeg.at(k) - m_lastJointsDeg.at(k)),
                              half);
    }
    m_lastJointsDeg = jointsDeg;
}

Eigen::Isometry3d VirtualCell::trueFlangeDeterministic(const QVector<double> &jointsDeg) const
{
    if (!isValid() || jointsDeg.size() != m_robot.axisCount())
        return Eigen::Isometry3d::Identity();
    return bentFlange(deflectedJointsDeg(jointsDeg, false));
}

bool VirtualCell::measure(const QVector<double> &jointsDeg, const QString &target,
                          Reading *out)
{
    if (!isValid() || jointsDeg.size() != m_robot.axisCount() || !m_targets.contains(target))
        return false;
    if (m_moved) {
        for (double &s : m_scatterDeg)
            s = m_scatterSigmaDeg * m_random.gaussian();
        noteJoints(jointsDeg);
        m_moved = false;
    }
    const Eigen::Isometry3d flange = trackerFromBase() * bentFlange(trueJointsDeg(jointsDeg));
    const Eigen::Vector3d p = flange * targetOffsetMm(target);
    // Every draw is made whether it is used or not, so switching one imperfection off leaves
    // the others' sequences as they were.
    const Eigen::Vector3d noise = gaussianVector(&m_random);
    const Eigen::Vector3d turnNoise = gaussianVector(&m_random);
    const bool outlier = m_random.uniform() < kOutlierRate;
    const double jump = m_random.uniform(kOutlierMinMm, kOutlierMaxMm);
    const Eigen::Vector3d jumpDirection = randomDirection(&m_random);

    out->sigmaMm = m_on.noise
                       ? m_noiseScale * (kNoiseBaseMm + kNoisePerMetreMm * p.norm() / 1000.0)
                       : 0.0;
    out->positionMm = p + out->sigmaMm * noise;
    out->outlier = m_on.outliers && outlier;
    if (out->outlier)
        out->positionMm += jump * jumpDirection;
    const double turnSigma = m_on.noise ? m_noiseScale * kOrientationNoiseDeg : 0.0;
    // Fixed axes X, Y, Z: R = Rz(rz) * Ry(ry) * Rx(rx), the controller's Euler a, b, c.
    const CartesianPose pose = CartesianPose::fromIsometry(flange);
    out->orientationDeg = Eigen::Vector3d(pose.cDeg, pose.bDeg, pose.aDeg) + turnSigma * turnNoise;
    return true;
}

} // namespace sim
