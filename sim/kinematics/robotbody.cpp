#include "robotbody.h"

#include <algorithm>
#include <cmath>

namespace sim {

RobotBody::RobotBody(const QVector<double> &radiusMm)
{
    const bool sound = std::all_of(radiusMm.cbegin(), radiusMm.cend(),
                                   [](double r) { return std::isfinite(r) && r > 0; });
    if (sound)
        m_radiusMm = radiusMm;
}

bool RobotBody::isEmpty() const
{
    return m_radiusMm.isEmpty();
}

RobotBody RobotBody::grown(double marginMm) const
{
    RobotBody body = *this;
    for (double &r : body.m_radiusMm)
        r = std::max(0.0, r + marginMm);
    return body;
}

bool RobotBody::hidesBeam(const QVector<Eigen::Isometry3d> &frames, const Eigen::Vector3d &fromMm,
                          const Eigen::Vector3d &toMm) const
{
    if (m_radiusMm.isEmpty() || frames.size() != m_radiusMm.size() + 1)
        return false;
    for (int k = 0; k + 1 < frames.size(); ++k) {
        const Eigen::Vector3d start = frames.at(k).translation();
        const Eigen::Vector3d end = frames.at(k + 1).translation();
        const Eigen::Vector3d axis = frames.at(k).linear().col(2);
        // The group runs along the joint's axis first, then across to the next frame.
        const Eigen::Vector3d corner = start + (end - start).dot(axis) * axis;
        const double r = m_radiusMm.at(k);
        Eigen::Vector3d finish = end;
        // The wrist ends flat at the flange, where the tool plate and its reflectors begin: its
        // capsule's round end stops there.
        if (k + 2 == frames.size()) {
            const Eigen::Vector3d last = (end - corner).norm() > 1e-9 ? end - corner : end - start;
            const double length = last.norm();
            if (length > 1e-9)
                finish -= std::min(r, length) * last / length;
        }
        const Eigen::Vector3d bend = (end - corner).norm() > 1e-9 ? corner : finish;
        if (segmentDistance(fromMm, toMm, start, bend) < r
            || segmentDistance(fromMm, toMm, bend, finish) < r)
            return true;
    }
    return false;
}

// Closest points of two segments, clamped in turn (Ericson, Real-Time Collision Detection 5.1.9).
double RobotBody::segmentDistance(const Eigen::Vector3d &p0, const Eigen::Vector3d &p1,
                                  const Eigen::Vector3d &q0, const Eigen::Vector3d &q1)
{
    const Eigen::Vector3d d1 = p1 - p0;
    const Eigen::Vector3d d2 = q1 - q0;
    const Eigen::Vector3d r = p0 - q0;
    const double a = d1.squaredNorm();
    const double e = d2.squaredNorm();
    const double f = d2.dot(r);
    constexpr double kTiny = 1e-12;
    double s = 0;
    double t = 0;
    if (a <= kTiny && e <= kTiny)
        return r.norm();
    if (a <= kTiny) {
        t = std::clamp(f / e, 0.0, 1.0);
    } else {
        const double c = d1.dot(r);
        if (e <= kTiny) {
            s = std::clamp(-c / a, 0.0, 1.0);
        } else {
            const double b = d1.dot(d2);
            const double denominator = a * e - b * b;
            s = denominator > kTiny ? std::clamp((b * f - c * e) / denominator, 0.0, 1.0) : 0.0;
            t = (b * s + f) / e;
            if (t < 0) {
                t = 0;
                s = std::clamp(-c / a, 0.0, 1.0);
            } else if (t > 1) {
                t = 1;
                s = std::clamp((b - c) / a, 0.0, 1.0);
            }
        }
    }
    return ((p0 + s * d1) - (q0 + t * d2)).norm();
}

} // namespace sim
