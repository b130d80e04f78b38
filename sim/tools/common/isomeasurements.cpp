#include "isomeasurements.h"

#include "jsonfile.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

namespace sim {

namespace {

QJsonArray toArray(const Eigen::Vector3d &v)
{
    return QJsonArray{v.x(), v.y(), v.z()};
}

bool fromArray(const QJsonValue &value, Eigen::Vector3d *v)
{
    const QJsonArray a = value.toArray();
    if (a.size() != 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        if (!a.at(i).isDouble() || !std::isfinite(a.at(i).toDouble()))
            return false;
        (*v)(i) = a.at(i).toDouble();
    }
    return true;
}

} // namespace

bool IsoMeasurements::write(const QString &path, QString *error) const
{
    QJsonArray list;
    for (const IsoPoseReadings &pose : poses) {
        QJsonArray attained;
        for (const Eigen::Vector3d &p : pose.attainedMm)
            attained.append(toArray(p));
        list.append(QJsonObject{{QStringLiteral("name"), pose.name},
                                {QStringLiteral("commanded_mm"), toArray(pose.commandedMm)},
                                {QStringLiteral("attained_mm"), attained}});
    }
    const Eigen::AngleAxisd turn(trackerFromBase.linear());
    const Eigen::Vector3d rotationDeg = turn.angle() * 180.0 / 3.14159265358979323846 * turn.axis();
    const QJsonObject registration{
        {QStringLiteral("position_mm"), toArray(trackerFromBase.translation())},
        {QStringLiteral("rotation_deg"), toArray(rotationDeg)}};
    const QJsonObject root{{QStringLiteral("robot_name"), robotType},
                           {QStringLiteral("serial_number"), serialNumber},
                           {QStringLiteral("registration"), registration},
                           {QStringLiteral("poses"), list}};
    return JsonFile::write(path, root, error);
}

bool IsoMeasurements::read(const QString &path, QString *error)
{
    QJsonObject root;
    if (!JsonFile::read(path, &root, error))
        return false;
    robotType = root.value(QStringLiteral("robot_name")).toString();
    serialNumber = root.value(QStringLiteral("serial_number")).toString();
    poses.clear();
    const QJsonObject registration = root.value(QStringLiteral("registration")).toObject();
    Eigen::Vector3d position = Eigen::Vector3d::Zero();
    Eigen::Vector3d rotationDeg = Eigen::Vector3d::Zero();
    trackerFromBase.setIdentity();
    if (fromArray(registration.value(QStringLiteral("position_mm")), &position)
        && fromArray(registration.value(QStringLiteral("rotation_deg")), &rotationDeg)) {
        trackerFromBase.translation() = position;
        if (rotationDeg.norm() > 0)
            trackerFromBase.linear() = Eigen::AngleAxisd(rotationDeg.norm() * 3.14159265358979323846
                                                             / 180.0,
                                                         rotationDeg.normalized())
                                           .toRotationMatrix();
    }
    const QJsonArray list = root.value(QStringLiteral("poses")).toArray();
    for (const QJsonValue &entry : list) {
        const QJsonObject object = entry.toObject();
        IsoPoseReadings pose;
        pose.name = object.value(QStringLiteral("name")).toString();
        bool ok = fromArray(object.value(QStringLiteral("commanded_mm")), &pose.commandedMm);
        const QJsonArray attained = object.value(QStringLiteral("attained_mm")).toArray();
        for (const QJsonValue &p : attained) {
            Eigen::Vector3d v;
            ok = ok && fromArray(p, &v);
            pose.attainedMm.push_back(v);
        }
        if (!ok) {
            *error = QStringLiteral("%1: pose \"%2\" holds no positions").arg(path, pose.name);
            return false;
        }
        poses.append(pose);
    }
    if (poses.isEmpty()) {
        *error = QStringLiteral("%1 holds no poses").arg(path);
        return false;
    }
    return true;
}

} // namespace sim
