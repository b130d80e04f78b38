#pragma once

#include <QString>

namespace sim {

// Where the measuring programs and the pendant leave their files in the work folder.
class WorkFolder
{
public:
    explicit WorkFolder(const QString &root);

    QString root() const;
    QString resultFile() const;         // "optimized_dh.json", read by the pendant
    QString calibReportFolder() const;  // "results/calib_results"
    QString isoResultFolder() const;    // "results/iso_results": the ISO run's files
    QString isoMeasurementFile() const; // the ISO collector's readings
    QString isoReportFile() const;
    // The tracker registration kept between ISO tests ("results/tracker_registration.json"):
    // outside the ISO run's folder, which removing a run's results deletes.
    QString trackerRegistrationFile() const;

    // A serial number that is one plain file name on every platform, so that a report named
    // after it stays inside its folder.
    static bool isPlainFileName(const QString &name);

private:
    QString m_root;
};

} // namespace sim
