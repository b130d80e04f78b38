#include "keptregistration.h"

#include "jsonfile.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace sim {

namespace {

QJsonArray toArray(const double *numbers, int count)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i)
        array.append(numbers[i]);
    return array;
}

bool fromArray(const QJsonValue &value, QVector<double> *numbers)
{
    if (!value.isArray())
        return false;
    numbers->clear();
    const QJsonArray array = value.toArray();
    for (const QJsonValue &v : array) {
        if (!v.isDouble() || !std::isfinite(v.toDouble()))
            return false;
        numbers->append(v.toDouble());
    }
    return true;
}

bool fromJson(const QJsonObject &object, KeptRegistration *r)
{
    r->serialNumber = object.value(QStringLiteral("serial_number")).toString();
    r->robotType = object.value(QStringLiteral("robot_type")).toString();
    QVector<double> rows;
    // The homogeneous matrix's top three rows, row by row.
    if (!fromArray(object.value(QStringLiteral("compliance")), &r->compliance)
        || !fromArray(object.value(QStringLiteral("tracker_from_base")), &rows)
        || rows.size() != 12)
        return false;
    const Eigen::Map<const Eigen::Matrix<double, 3, 4, Eigen::RowMajor>> matrix(rows.constData());
    const Eigen::Matrix3d linear = matrix.leftCols<3>();
    // A rotation: orthonormal, and not a mirror, which would turn every reading inside out.
    if ((linear * linear.transpose() - Eigen::Matrix3d::Identity()).norm() > 1e-6
        || linear.determinant() < 0)
        return false;
    r->trackerFromBase.linear() = linear;
    r->trackerFromBase.translation() = matrix.col(3);
    r->references.clear();
    const QJsonArray references = object.value(QStringLiteral("references")).toArray();
    for (const QJsonValue &entry : references) {
        KeptRegistration::Reference reference;
        QVector<double> position;
        if (!fromArray(entry.toObject().value(QStringLiteral("joints_deg")), &reference.jointsDeg)
            || !fromArray(entry.toObject().value(QStringLiteral("position_mm")), &position)
            || position.size() != 3)
            return false;
        reference.positionMm = Eigen::Vector3d(position.at(0), position.at(1), position.at(2));
        r->references.append(reference);
    }
    return !r->references.isEmpty();
}

QJsonObject toJson(const KeptRegistration &r)
{
    const Eigen::Matrix<double, 3, 4, Eigen::RowMajor> rows = r.trackerFromBase.matrix().topRows<3>();
    QJsonArray references;
    for (const KeptRegistration::Reference &reference : r.references)
        references.append(QJsonObject{
            {QStringLiteral("joints_deg"),
             toArray(reference.jointsDeg.constData(), reference.jointsDeg.size())},
            {QStringLiteral("position_mm"), toArray(reference.positionMm.data(), 3)}});
    return QJsonObject{{QStringLiteral("serial_number"), r.serialNumber},
                       {QStringLiteral("robot_type"), r.robotType},
                       {QStringLiteral("compliance"),
                        toArray(r.compliance.constData(), r.compliance.size())},
                       {QStringLiteral("tracker_from_base"), toArray(rows.data(), 12)},
                       {QStringLiteral("references"), references}};
}

} // namespace

bool KeptRegistration::sameRobotAndState(const KeptRegistration &other) const
{
    return other.serialNumber == serialNumber && other.robotType == robotType
           && other.compliance == compliance;
}

bool KeptRegistration::findIn(const QString &path, int axes)
{
    QJsonObject root;
    QString ignored;
    if (!QFileInfo::exists(path) || !JsonFile::read(path, &root, &ignored))
        return false;
    const QJsonArray registrations = root.value(QStringLiteral("registrations")).toArray();
    for (const QJsonValue &entry : registrations) {
        KeptRegistration found;
        if (!fromJson(entry.toObject(), &found) || !sameRobotAndState(found))
            continue;
        bool fits = true;
        for (const Reference &r : qAsConst(found.references))
            fits = fits && r.jointsDeg.size() == axes;
        if (fits) {
            *this = found;
            return true;
        }
    }
    return false;
}

bool KeptRegistration::storeIn(const QString &path, QString *error) const
{
    QJsonObject root;
    QString ignored;
    // A damaged file loses only the registrations it held: they are made again.
    if (QFileInfo::exists(path))
        JsonFile::read(path, &root, &ignored);
    QJsonArray kept{toJson(*this)};
    const QJsonArray registrations = root.value(QStringLiteral("registrations")).toArray();
    for (const QJsonValue &entry : registrations) {
        KeptRegistration other;
        if (kept.size() < kKept && fromJson(entry.toObject(), &other) && !sameRobotAndState(other))
            kept.append(entry);
    }
    return JsonFile::write(path, QJsonObject{{QStringLiteral("registrations"), kept}}, error);
}

double KeptRegistration::largestDriftMm(const QVector<Eigen::Vector3d> &readings) const
{
    if (readings.size() != references.size())
        return std::numeric_limits<double>::infinity();
    double largest = 0;
    for (int i = 0; i < readings.size(); ++i)
        largest = std::max(largest, (readings.at(i) - references.at(i).positionMm).norm());
    return largest;
}

} // namespace sim
