#pragma once

#include <Eigen/Core>

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

namespace sim {

// The model a calibration run started from, as a file ("<SN>_model.json"): {"robot_type",
// "axes", "dh": 4 * (axes + 1) numbers in the controller's order and units, "zero_offsets": one
// per axis (deg), "targets_mm": {"A": [x, y, z], ...} the nominal positions of the targets on the
// flange (optional)}. With the measurement file it lets a run be identified again.
class CalibModelFile
{
public:
    QString robotType;
    int axes = 0;
    QVector<double> dh;
    QVector<double> zeroOffsetsDeg;
    QStringList targets;
    QVector<Eigen::Vector3d> targetsMm;

    QJsonObject toJson() const;
    // False, with the reason, for a member missing or of the wrong shape.
    bool fromJson(const QJsonObject &root, QString *error);
    bool read(const QString &path, QString *error);
    bool write(const QString &path, QString *error) const;
};

} // namespace sim
