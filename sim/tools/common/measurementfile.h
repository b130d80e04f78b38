#pragma once

#include <sim/metrology/identificationproblem.h>

#include <QByteArray>
#include <QString>
#include <QVector>

namespace sim {

// A calibration run's tracker readings as a file (CSV, UTF-8): one header line
// "pose,set,target,j1,...,jn,x,y,z", optionally followed by ",rx,ry,rz" for full-pose readings;
// then one reading per line. "set" is "id" (identification) or "val" (validation), joints are in
// degrees as the controller reports them, positions in mm in the tracker's frame, orientations
// fixed-axis X-Y-Z angles in degrees. Lines starting with '#' are comments. Every collector run
// writes one, and a real tracker's export in this form is identified the same way.
class MeasurementFile
{
public:
    // Laser trackers reach tens of metres; a reading beyond this is a corrupted field, and its
    // size alone would wreck the identification's arithmetic.
    static constexpr double kFarthestReadingMm = 1e6;

    QVector<PoseMeasurement> identification;
    QVector<PoseMeasurement> validation;
    bool fullPose = false;
    // The last line read, for messages about the file as a whole.
    int lastLine = 0;

    // False, with "line N: reason" (N counted from 1), for a file that does not fit a robot of
    // `axes` joints: a missing or unknown column, a field that is no finite number, a set other
    // than "id" or "val", a reading without a target or farther than any tracker reaches, a pose
    // with other joints on another line, or no reading at all.
    bool parse(const QByteArray &data, int axes, QString *error);
    bool read(const QString &path, int axes, QString *error);
    // Numbers with 17 significant digits, so that reading the file gives the same doubles.
    QByteArray toCsv(int axes) const;
    bool write(const QString &path, int axes, QString *error) const;
};

} // namespace sim
