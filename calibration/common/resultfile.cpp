#include "resultfile.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace common {

using nlohmann::json;

namespace {

// A value of another type than the reader needs: reported like a parse error, read as failed.
struct WrongType
{
    std::string what;
};

void reportWrongType(const std::string &what)
{
    std::cerr << "JSON Type Error: " << what << std::endl;
}

double number(const json &value, const char *key)
{
    if (!value.is_number())
        throw WrongType{std::string(key) + " is not a number"};
    return value.get<double>();
}

// A member that may be absent (then `fallback`) but must be a number when present.
double numberOr(const json &object, const char *key, double fallback)
{
    const auto it = object.find(key);
    return it == object.end() ? fallback : number(*it, key);
}

std::string stringOr(const json &object, const char *key)
{
    const auto it = object.find(key);
    if (it == object.end())
        return std::string();
    if (!it->is_string())
        throw WrongType{std::string(key) + " is not a string"};
    return it->get<std::string>();
}

DHParam dhParam(const json &entry, const std::string &name)
{
    if (!entry.is_object())
        throw WrongType{"dh_parameters." + name + " is not an object"};
    return {numberOr(entry, "alpha", 0.0), numberOr(entry, "a", 0.0), numberOr(entry, "d", 0.0),
            numberOr(entry, "theta_offset", 0.0)};
}

bool numbersOf(const json &array, std::vector<double> &values)
{
    if (!array.is_array())
        return false;
    std::vector<double> read;
    for (const json &element : array) {
        if (element.is_number())
            read.push_back(element.get<double>());
    }
    values = std::move(read);
    return true;
}

// Runs a reader body; whatever it throws ends as false, never as an exception.
template <typename Body>
bool guarded(Body body)
{
    try {
        return body();
    } catch (const WrongType &e) {
        reportWrongType(e.what);
    } catch (const json::exception &e) {
        reportWrongType(e.what());
    }
    return false;
}

} // namespace

std::optional<json> loadJsonFile(const std::string &path)
{
    std::ifstream stream(std::filesystem::u8path(path), std::ios::binary);
    if (!stream.is_open())
        return std::nullopt;
    json document;
    try {
        // One value; whatever follows it is not read.
        stream >> document;
    } catch (const json::exception &e) {
        std::cerr << "JSON Parsing Error: " << e.what() << std::endl;
        return std::nullopt;
    }
    return document;
}

bool readCalibStatus(const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document || !document->is_object() || !document->contains("status"))
        return false;
    return guarded([&] {
        const json &status = (*document)["status"];
        if (status.is_boolean())
            return status.get<bool>();
        if (status.is_number_integer())
            return status.get<long long>() == 1;
        if (status.is_number_unsigned())
            return status.get<unsigned long long>() == 1;
        // Truncated toward zero; compared as a double, so no value is out of range.
        return std::trunc(number(status, "status")) == 1.0;
    });
}

bool readDHParams(DHMap &map, const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document)
        return false;
    if (!document->is_object() || !document->contains("dh_parameters")
        || !(*document)["dh_parameters"].is_object())
        return true;
    return guarded([&] {
        DHMap read;
        for (const auto &[name, entry] : (*document)["dh_parameters"].items())
            read[name] = dhParam(entry, name);
        map = std::move(read);
        return true;
    });
}

bool readValidErrors(double errors[2], const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document || !document->is_object())
        return false;
    return guarded([&] {
        if (!document->contains("avg_valid_position_error"))
            return false;
        errors[0] = number((*document)["avg_valid_position_error"], "avg_valid_position_error");
        if (!document->contains("max_valid_position_error"))
            return false;
        errors[1] = number((*document)["max_valid_position_error"], "max_valid_position_error");
        return true;
    });
}

bool readZeroPoints(std::vector<double> &values, const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document || !document->is_object() || !document->contains("zero_points"))
        return false;
    return numbersOf((*document)["zero_points"], values);
}

bool readProductDHParams(DHMap &map, const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document || !document->is_object() || !document->contains("product_result"))
        return false;
    const json &product = (*document)["product_result"];
    if (!product.is_object() || !product.contains("dh_parameters")
        || !product["dh_parameters"].is_object())
        return false;
    map.clear();
    for (const auto &[name, entry] : product["dh_parameters"].items()) {
        const bool complete = entry.is_object()
                              && entry.contains("alpha") && entry["alpha"].is_number()
                              && entry.contains("a") && entry["a"].is_number()
                              && entry.contains("d") && entry["d"].is_number()
                              && entry.contains("theta_offset") && entry["theta_offset"].is_number();
        if (!complete) {
            map.clear();
            return false;
        }
        map[name] = {entry["alpha"].get<double>(), entry["a"].get<double>(),
                     entry["d"].get<double>(), entry["theta_offset"].get<double>()};
    }
    return true;
}

bool readProductZeroPoints(std::vector<double> &values, const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document || !document->is_object() || !document->contains("product_result"))
        return false;
    const json &product = (*document)["product_result"];
    if (!product.is_object() || !product.contains("zero_points"))
        return false;
    return numbersOf(product["zero_points"], values);
}

bool readQualityThreshold(double limits[4], const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document || !document->is_object() || !document->contains("threshold"))
        return false;
    const json &threshold = (*document)["threshold"];
    if (!threshold.is_array() || threshold.size() < 4)
        return false;
    return guarded([&] {
        double read[4];
        for (int i = 0; i < 4; ++i)
            read[i] = number(threshold[i], "threshold element");
        std::copy(read, read + 4, limits);
        return true;
    });
}

bool readIsoResults(std::vector<IsoResult> &rows, const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document || !document->is_object() || !document->contains("iso_results"))
        return false;
    const json &results = (*document)["iso_results"];
    if (!results.is_array())
        return false;
    return guarded([&] {
        std::vector<IsoResult> read;
        for (const json &row : results) {
            if (!row.is_object())
                continue;
            read.push_back({stringOr(row, "name"), numberOr(row, "Accuracy", 0.0),
                            numberOr(row, "Repeatability", 0.0), numberOr(row, "RMS", 0.0),
                            numberOr(row, "StdDev", 0.0)});
        }
        rows = std::move(read);
        return true;
    });
}

QualityGateResult evaluateQualityGate(const std::string &path,
                                      const std::vector<double> &initialParams,
                                      const std::vector<double> &optimizedParams, int axisCount)
{
    QualityGateResult result;
    if (axisCount <= 0)
        return result;
    double limits[4];
    if (!readQualityThreshold(limits, path))
        return result;
    result.avgErrorLimit = limits[0];
    result.maxErrorLimit = limits[1];
    result.lengthDeltaLimit = limits[2];
    result.angleDeltaLimit = limits[3];

    double errors[2];
    if (!readValidErrors(errors, path))
        return result;
    const size_t needed = 4 * static_cast<size_t>(axisCount);
    if (initialParams.size() < needed || optimizedParams.size() < needed)
        return result;
    result.avgError = errors[0];
    result.maxError = errors[1];
    for (size_t j = 0; j < static_cast<size_t>(axisCount); ++j) {
        const size_t k = 4 * j;
        const auto &o = optimizedParams;
        const auto &i = initialParams;
        result.maxAngleDelta = std::max({result.maxAngleDelta, std::abs(o[k] - i[k]),
                                         std::abs(o[k + 3] - i[k + 3])});
        result.maxLengthDelta = std::max({result.maxLengthDelta, std::abs(o[k + 1] - i[k + 1]),
                                          std::abs(o[k + 2] - i[k + 2])});
    }
    const bool failed = result.avgError > result.avgErrorLimit
                        || result.maxError > result.maxErrorLimit
                        || result.maxLengthDelta > result.lengthDeltaLimit
                        || result.maxAngleDelta > result.angleDeltaLimit;
    result.status = failed ? 1 : 0;
    return result;
}

} // namespace common
