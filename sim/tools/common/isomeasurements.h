#pragma once

#include <Eigen/Geometry>

#include <QString>
#include <QVector>

#include <vector>

namespace sim {

// What the ISO collector measured and the report generator evaluates: per test pose its name,
// the commanded position and every attained position (base frame, mm), cycle by cycle.
struct IsoPoseReadings
{
    QString name;
    Eigen::Vector3d commandedMm = Eigen::Vector3d::Zero();
    std::vector<Eigen::Vector3d> attainedMm;
};

class IsoMeasurements
{
public:
    QString robotType;
    QString serialNumber;
    QVector<IsoPoseReadings> poses;
    // The base's pose in the tracker frame as the collector registered it (kept for the record:
    // "registration" {"position_mm", "rotation_deg" (a rotation vector)}).
    Eigen::Isometry3d trackerFromBase = Eigen::Isometry3d::Identity();

    bool write(const QString &path, QString *error) const;
    // False, with the reason, for a missing file or one not written by the collector.
    bool read(const QString &path, QString *error);
};

} // namespace sim
