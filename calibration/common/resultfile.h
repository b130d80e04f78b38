#pragma once

#include "dhparam.h"
#include "isoresult.h"
#include "qualitygateresult.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

// Readers of the result file the external calibration programs leave behind. Paths are UTF-8.
// No reader throws and none writes the file.
namespace common {

std::optional<nlohmann::json> loadJsonFile(const std::string &path);

bool readCalibStatus(const std::string &path);
bool readDHParams(DHMap &map, const std::string &path);
bool readValidErrors(double errors[2], const std::string &path);
bool readZeroPoints(std::vector<double> &values, const std::string &path);
bool readProductDHParams(DHMap &map, const std::string &path);
bool readProductZeroPoints(std::vector<double> &values, const std::string &path);
bool readQualityThreshold(double limits[4], const std::string &path);
bool readIsoResults(std::vector<IsoResult> &rows, const std::string &path);

QualityGateResult evaluateQualityGate(const std::string &path,
                                      const std::vector<double> &initialParams,
                                      const std::vector<double> &optimizedParams, int axisCount);

} // namespace common
