#include "calibmodelfile.h"

#include "jsonfile.h"

#include <QJsonArray>

#include <cmath>

namespace sim {

namespace {

QJsonArray toArray(const QVector<double> &numbers)
{
    QJsonArray array;
    for (double n : numbers)
        array.append(n);
    return array;
}

bool readNumbers(const QJsonValue &value, int count, QVector<double> *out)
{
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.size() != count)
        return false;
    out->clear();
    for (const QJsonValue &v : array) {
        if (!v.isDouble() || !std::isfinite(v.toDouble()))
            return false;
        out->append(v.toDouble());
    }
    return true;
}

} // namespace

QJsonObject CalibModelFile::toJson() const
{
    QJsonObject targetObject;
    for (int i = 0; i < targets.size() && i < targetsMm.size(); ++i) {
        const Eigen::Vector3d &p = targetsMm.at(i);
        targetObject.insert(targets.at(i), QJsonArray{p.x(), p.y(), p.z()});
    }
    return QJsonObject{{QStringLiteral("robot_type"), robotType},
                       {QStringLiteral("axes"), axes},
                       {QStringLiteral("dh"), toArray(dh)},
                       {QStringLiteral("zero_offsets"), toArray(zeroOffsetsDeg)},
                       {QStringLiteral("targets_mm"), targetObject}};
}

bool CalibModelFile::fromJson(const QJsonObject &root, QString *error)
{
    robotType = root.value(QStringLiteral("robot_type")).toString();
    const double count = root.value(QStringLiteral("axes")).toDouble(0);
    if (count < 1 || count > 12 || count != std::floor(count)) {
        *error = QStringLiteral("\"axes\" must be a whole number of joints");
        return false;
    }
    axes = int(count);
    if (!readNumbers(root.value(QStringLiteral("dh")), 4 * (axes + 1), &dh)) {
        *error = QStringLiteral("\"dh\" must hold %1 numbers").arg(4 * (axes + 1));
        return false;
    }
    if (!readNumbers(root.value(QStringLiteral("zero_offsets")), axes, &zeroOffsetsDeg)) {
        *error = QStringLiteral("\"zero_offsets\" must hold %1 numbers").arg(axes);
        return false;
    }
    targets.clear();
    targetsMm.clear();
    const QJsonObject targetObject = root.value(QStringLiteral("targets_mm")).toObject();
    for (auto it = targetObject.constBegin(); it != targetObject.constEnd(); ++it) {
        QVector<double> xyz;
        if (!readNumbers(it.value(), 3, &xyz)) {
            *error = QStringLiteral("target \"%1\" needs [x, y, z]").arg(it.key());
            return false;
        }
        targets.append(it.key());
        targetsMm.append(Eigen::Vector3d(xyz.at(0), xyz.at(1), xyz.at(2)));
    }
    return true;
}

bool CalibModelFile::read(const QString &path, QString *error)
{
    QJsonObject root;
    if (!JsonFile::read(path, &root, error))
        return false;
    if (!fromJson(root, error)) {
        *error = QStringLiteral("%1: %2").arg(path, *error);
        return false;
    }
    return true;
}

bool CalibModelFile::write(const QString &path, QString *error) const
{
    return JsonFile::write(path, toJson(), error);
}

} // namespace sim
