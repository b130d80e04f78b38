// Feeds any bytes, as a tracker's measurement file, to the reader for robots of 1, 6 and 7 joints.
// A refused file names its line; a read one holds only readings the identification can take
// (a named target, finite numbers, within a tracker's reach, one joint set per pose), and what it
// writes reads back to the same text. A broken promise aborts, so that libFuzzer and the corpus
// driver both see it as a crash.
#include "fuzzsupport.h"

#include <sim/tools/common/measurementfile.h>

#include <QHash>

#include <cstddef>
#include <cstdint>

namespace {

using fuzz::expect;

void checkReadings(const QVector<sim::PoseMeasurement> &readings, int axes, bool fullPose,
                   QHash<int, QVector<double>> *joints)
{
    for (const sim::PoseMeasurement &r : readings) {
        expect(!r.target.isEmpty(), "every reading names its target");
        expect(r.jointsDeg.size() == axes, "every reading has the model's joints");
        for (double q : r.jointsDeg)
            expect(std::isfinite(q), "joints are finite");
        expect(r.positionMm.allFinite()
                   && r.positionMm.stableNorm() <= sim::MeasurementFile::kFarthestReadingMm,
               "positions are finite and within a tracker's reach");
        expect(r.hasOrientation == fullPose && r.orientationDeg.allFinite(),
               "orientations are finite and only in a full-pose file");
        expect(r.pose >= 0, "pose numbers are not negative");
        const auto seen = joints->constFind(r.pose);
        expect(seen == joints->constEnd() || *seen == r.jointsDeg,
               "a pose has one joint set");
        joints->insert(r.pose, r.jointsDeg);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    for (int axes : {1, 6, 7}) {
        sim::MeasurementFile file;
        QString error;
        if (!file.parse(bytes, axes, &error)) {
            expect(error.startsWith(QLatin1String("line ")), "a refusal names its line");
            continue;
        }
        expect(!file.identification.isEmpty(), "a read file has identification readings");
        QHash<int, QVector<double>> joints;
        checkReadings(file.identification, axes, file.fullPose, &joints);
        checkReadings(file.validation, axes, file.fullPose, &joints);

        const QByteArray written = file.toCsv(axes);
        sim::MeasurementFile again;
        expect(again.parse(written, axes, &error), "what is written reads back");
        expect(again.toCsv(axes) == written && again.fullPose == file.fullPose
                   && again.identification.size() == file.identification.size()
                   && again.validation.size() == file.validation.size(),
               "what is written reads back to the same text");
    }
    return 0;
}
