#pragma once

#include <Eigen/Geometry>

#include <QVector>

namespace sim {

// The arm's own body as the beam of a tracker meets it: a capsule around each link, following
// the link group from one joint's frame along its axis (d) and then across (a) to the next, with
// a radius per group; the last, the wrist, ends flat at the flange. A beam to a reflector that
// passes through any of them is hidden.
class RobotBody
{
public:
    RobotBody() = default;
    // One radius (mm, > 0) per link group, axes + 1 of them; anything else gives an empty body
    // that hides nothing.
    explicit RobotBody(const QVector<double> &radiusMm);

    bool isEmpty() const;
    // A copy whose every capsule is `marginMm` thicker, for a prediction that keeps clear of
    // the edge.
    RobotBody grown(double marginMm) const;

    // `frames` as DhChain::frames gives them (base, each joint, flange), all in one frame with
    // `fromMm` and `toMm`.
    bool hidesBeam(const QVector<Eigen::Isometry3d> &frames, const Eigen::Vector3d &fromMm,
                   const Eigen::Vector3d &toMm) const;

    // The shortest distance between two segments (mm).
    static double segmentDistance(const Eigen::Vector3d &p0, const Eigen::Vector3d &p1,
                                  const Eigen::Vector3d &q0, const Eigen::Vector3d &q1);

private:
    QVector<double> m_radiusMm;
};

} // namespace sim
