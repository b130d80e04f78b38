// Feeds any bytes, as a result file, to every reader and the quality gate: none may crash or
// throw, whatever the file holds.
#include "common/resultfile.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <fstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath(QStringLiteral("optimized_dh.json")).toStdString();
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    }
    common::DHMap map;
    double errors[2];
    double limits[4];
    std::vector<double> values;
    std::vector<common::IsoResult> rows;
    common::readCalibStatus(path);
    common::readDHParams(map, path);
    common::readValidErrors(errors, path);
    common::readZeroPoints(values, path);
    common::readProductDHParams(map, path);
    common::readProductZeroPoints(values, path);
    common::readQualityThreshold(limits, path);
    common::readIsoResults(rows, path);
    common::evaluateQualityGate(path, std::vector<double>(28, 1.0), std::vector<double>(24, 2.0), 6);
    common::evaluateQualityGate(path, {}, {}, 6);
    return 0;
}
