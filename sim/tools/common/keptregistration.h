#pragma once

#include <Eigen/Geometry>

#include <QString>
#include <QVector>

namespace sim {

// A tracker registration kept between the ISO tests of one robot, with where a few reference
// poses read when it was made. A cell's tracker stays where it is, and a registration made anew
// for every test would add its own error to each: two tests of one unchanged robot would differ
// by more than its repeatability. Before it is used again the reference poses are read once
// more (they are joint positions, so no DH set the controller holds moves them); any of them
// moved by more than `kDriftMm` means the tracker, the plate or the robot moved, and the
// registration is made anew. The compliance a controller compensates moves the arm for the same
// joint readings, so each compliance it held keeps a registration of its own.
class KeptRegistration
{
public:
    // Three readings' distance from their first, at the cell's noise and the robot's scatter,
    // stays well below this; a bumped tracker or a reseated plate does not.
    static constexpr double kDriftMm = 0.1;
    // Registrations a file keeps, the oldest dropped first.
    static constexpr int kKept = 8;

    struct Reference
    {
        QVector<double> jointsDeg;
        Eigen::Vector3d positionMm = Eigen::Vector3d::Zero();
    };

    QString serialNumber;
    QString robotType;
    QVector<double> compliance; // rad/(N*m); empty for none
    Eigen::Isometry3d trackerFromBase = Eigen::Isometry3d::Identity();
    QVector<Reference> references;

    // The registration of this robot (serial number, type, axis count) in this compliance state
    // from the file at `path`; false when it holds none.
    bool findIn(const QString &path, int axes);
    // Writes this registration into the file in place of the same robot's in the same state,
    // keeping the others; false, with the reason, when it cannot.
    bool storeIn(const QString &path, QString *error) const;
    // The largest distance (mm) between the references and `readings` of them, in their order;
    // infinite when the counts differ.
    double largestDriftMm(const QVector<Eigen::Vector3d> &readings) const;

private:
    bool sameRobotAndState(const KeptRegistration &other) const;
};

} // namespace sim
