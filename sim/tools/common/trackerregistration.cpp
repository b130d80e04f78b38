#include "trackerregistration.h"

#include <cmath>

namespace sim {

namespace {

constexpr double kDegPerRad = 180.0 / 3.14159265358979323846;

} // namespace

QVector<double> TrackerRegistration::joint1StepsDeg()
{
    QVector<double> steps;
    for (int k = -6; k <= 6; ++k)
        steps.append(10.0 * k);
    return steps;
}

QVector<double> TrackerRegistration::joint2StepsDeg()
{
    QVector<double> steps;
    for (int k = -6; k <= 6; ++k)
        steps.append(5.0 * k);
    return steps;
}

QVector<double> TrackerRegistration::joint2Start(const CatalogueModel &model,
                                                 const QVector<double> &homeDeg)
{
    const DhChain nominal(model.dh, model.axes);
    if (!nominal.isValid() || homeDeg.size() != model.axes || model.axes < 2)
        return homeDeg;
    const Eigen::Vector3d target = model.targetsMm.value(QStringLiteral("A"));
    const auto rise = [&](double joint2Deg) {
        QVector<double> q = homeDeg;
        q[1] = joint2Deg;
        const QVector<Eigen::Isometry3d> frames = nominal.frames(q);
        return (frames.constLast() * target - frames.at(2).translation()).z();
    };
    // The level turn nearest home within 60 degrees, by a scan and then bisection.
    for (int step = 0; step <= 60; ++step) {
        for (double sign : {1.0, -1.0}) {
            const double a = homeDeg.at(1) + sign * step;
            const double b = a + sign;
            if (rise(a) * rise(b) > 0)
                continue;
            double low = a;
            double high = b;
            for (int i = 0; i < 50; ++i) {
                const double mid = 0.5 * (low + high);
                (rise(low) * rise(mid) <= 0 ? high : low) = mid;
            }
            QVector<double> q = homeDeg;
            q[1] = 0.5 * (low + high);
            return q;
        }
    }
    return homeDeg;
}

bool TrackerRegistration::registerBase(const CatalogueModel &model,
                                       const QVector<double> &startDeg,
                                       const std::vector<Eigen::Vector3d> &joint1Circle,
                                       const std::vector<Eigen::Vector3d> &joint2Circle,
                                       Eigen::Isometry3d *trackerFromBase, QString *error)
{
    const DhChain nominal(model.dh, model.axes);
    if (!nominal.isValid() || startDeg.size() != model.axes || model.axes < 2) {
        *error = QStringLiteral("no catalogue model for %1 joints").arg(startDeg.size());
        return false;
    }
    const CircleFit first = fitCircle(joint1Circle);
    const CircleFit second = fitCircle(joint2Circle);
    if (!first.valid || !second.valid) {
        *error =
            QStringLiteral("the circle of joint %1 cannot be fitted").arg(first.valid ? 2 : 1);
        return false;
    }
    const Eigen::Vector3d z = first.normal;
    if (std::acos(qBound(-1.0, std::abs(z.dot(second.normal)), 1.0)) * kDegPerRad
        < kMinAxisAngleDeg) {
        *error = QStringLiteral("the axes of joints 1 and 2 are nearly parallel");
        return false;
    }
    // The catalogue's joint 1 turns about the base's z axis through its origin; joint 2's axis
    // crosses above it at the height of its frame's origin, in the direction of its z axis.
    const QVector<Eigen::Isometry3d> frames = nominal.frames(startDeg);
    const Eigen::Isometry3d &joint2 = frames.at(2);
    const double height = joint2.translation().z();
    Eigen::Vector3d axis2 = joint2.linear().col(2);
    axis2.z() = 0;
    const Eigen::Vector3d measured2 = (second.normal - second.normal.dot(z) * z).normalized();
    if (axis2.norm() < 1e-6) {
        *error = QStringLiteral("the catalogue's joint 2 is not horizontal");
        return false;
    }
    const double phi = std::atan2(axis2.y(), axis2.x());
    const Eigen::Vector3d x = std::cos(phi) * measured2 - std::sin(phi) * z.cross(measured2);
    Eigen::Matrix3d r;
    r.col(0) = x;
    r.col(1) = z.cross(x);
    r.col(2) = z;
    trackerFromBase->setIdentity();
    trackerFromBase->linear() = r;
    trackerFromBase->translation() =
        first.centreMm + ((second.centreMm - first.centreMm).dot(z) - height) * z;
    return true;
}

} // namespace sim
