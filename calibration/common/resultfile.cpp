#include "resultfile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

namespace common {

using nlohmann::json;

namespace {

// A value of another type than a reader needs where it takes the value without a type test.
// The message names the member by its fixed key only: a joint name comes from the file and may
// hold a line break, which would break the one-line report.
struct WrongType
{
    const char *what;
};

void report(const char *kind, const char *what)
{
    std::cerr << kind << what << std::endl;
}

double number(const json &value, const char *what)
{
    if (!value.is_number())
        throw WrongType{what};
    return value.get<double>();
}

// A member that may be absent (then 0.0) but must be a number when present.
double numberOr(const json &object, const char *key, const char *what)
{
    const auto it = object.find(key);
    return it == object.end() ? 0.0 : number(*it, what);
}

// A member that must be there and be a number.
double requiredNumber(const json &object, const char *key, const char *missing,
                      const char *what)
{
    const auto it = object.find(key);
    if (it == object.end())
        throw WrongType{missing};
    return number(*it, what);
}

std::string stringOr(const json &object, const char *key, const char *what)
{
    const auto it = object.find(key);
    if (it == object.end())
        return std::string();
    if (!it->is_string())
        throw WrongType{what};
    return it->get<std::string>();
}

// The member `key` of an object, or null when `object` is no object or lacks it.
const json *member(const json &object, const char *key)
{
    if (!object.is_object())
        return nullptr;
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

// The numeric elements of an array, in order; anything else in it is skipped.
bool numbersOf(const json *array, std::vector<double> &values)
{
    if (!array || !array->is_array())
        return false;
    std::vector<double> read;
    read.reserve(array->size());
    for (const json &element : *array) {
        if (element.is_number())
            read.push_back(element.get<double>());
    }
    values = std::move(read);
    return true;
}

bool completeLink(const json &entry)
{
    for (const char *key : {"alpha", "a", "d", "theta_offset"}) {
        const json *value = member(entry, key);
        if (!value || !value->is_number())
            return false;
    }
    return true;
}

// Runs a reader's body. Whatever it throws ends as false with one line on standard error; the
// body writes its outputs only once it has read everything, so they stay as they were.
template <typename Body>
bool guarded(Body body)
{
    try {
        return body();
    } catch (const WrongType &e) {
        report("JSON Type Error: ", e.what);
    } catch (const json::exception &e) {
        report("JSON Type Error: ", e.what());
    } catch (const std::exception &e) {
        report("JSON Reading Error: ", e.what());
    }
    return false;
}

} // namespace

std::optional<json> loadJsonFile(const std::string &path)
{
    std::ifstream stream;
    try {
        const std::filesystem::path file = std::filesystem::u8path(path);
        // A folder opens as a stream on some systems and then throws on the first read.
        std::error_code error;
        if (std::filesystem::is_directory(file, error))
            return std::nullopt;
        stream.open(file, std::ios::binary);
    } catch (const std::exception &) {
        // A name the file system cannot take is a file that does not open.
        return std::nullopt;
    }
    if (!stream.is_open())
        return std::nullopt;
    json document;
    try {
        // One value; whatever follows it is not read.
        stream >> document;
    } catch (const json::exception &e) {
        // Also out_of_range, for a number such as 1e999.
        report("JSON Parsing Error: ", e.what());
        return std::nullopt;
    } catch (const std::exception &e) {
        // A read error of the stream, or no memory for the document.
        report("JSON Reading Error: ", e.what());
        return std::nullopt;
    }
    return document;
}

bool readCalibStatus(const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document)
        return false;
    const json *status = member(*document, "status");
    if (!status)
        return false;
    return guarded([&] {
        if (status->is_boolean())
            return status->get<bool>();
        if (status->is_number_integer())
            return status->get<std::int64_t>() == 1;
        if (status->is_number_unsigned())
            return status->get<std::uint64_t>() == 1;
        // Truncated toward zero as a double: a value beyond int would not convert.
        return std::trunc(number(*status, "status is neither a boolean nor a number")) == 1.0;
    });
}

bool readDHParams(DHMap &map, const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document)
        return false;
    const json *parameters = member(*document, "dh_parameters");
    if (!parameters || !parameters->is_object())
        return true;
    return guarded([&] {
        DHMap read;
        for (const auto &[name, entry] : parameters->items()) {
            if (!entry.is_object())
                throw WrongType{"a dh_parameters entry is not an object"};
            // A joint's alpha, a and d go to the controller as they are read: one left out
            // must not become a link of length 0 there. Theta stays the controller's own.
            if (name.rfind("joint_", 0) == 0) {
                read[name] = {
                    requiredNumber(entry, "alpha", "a joint has no alpha",
                                   "dh_parameters alpha is not a number"),
                    requiredNumber(entry, "a", "a joint has no a", "dh_parameters a is not a number"),
                    requiredNumber(entry, "d", "a joint has no d", "dh_parameters d is not a number"),
                    numberOr(entry, "theta_offset", "dh_parameters theta_offset is not a number")};
                continue;
            }
            read[name] = {numberOr(entry, "alpha", "dh_parameters alpha is not a number"),
                          numberOr(entry, "a", "dh_parameters a is not a number"),
                          numberOr(entry, "d", "dh_parameters d is not a number"),
                          numberOr(entry, "theta_offset",
                                   "dh_parameters theta_offset is not a number")};
        }
        map = std::move(read);
        return true;
    });
}

bool readValidErrors(double errors[2], const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document)
        return false;
    const json *avg = member(*document, "avg_valid_position_error");
    if (!avg)
        return false;
    return guarded([&] {
        errors[0] = number(*avg, "avg_valid_position_error is not a number");
        const json *max = member(*document, "max_valid_position_error");
        if (!max)
            return false;
        errors[1] = number(*max, "max_valid_position_error is not a number");
        return true;
    });
}

bool readZeroPoints(std::vector<double> &values, const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document)
        return false;
    return guarded([&] { return numbersOf(member(*document, "zero_points"), values); });
}

bool readProductDHParams(DHMap &map, const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document)
        return false;
    const json *product = member(*document, "product_result");
    const json *parameters = product ? member(*product, "dh_parameters") : nullptr;
    if (!parameters || !parameters->is_object())
        return false;
    map.clear();
    const bool complete = guarded([&] {
        for (const auto &[name, entry] : parameters->items()) {
            if (!completeLink(entry))
                return false;
            map[name] = {entry.at("alpha").get<double>(), entry.at("a").get<double>(),
                         entry.at("d").get<double>(), entry.at("theta_offset").get<double>()};
        }
        return true;
    });
    // An incomplete production set is no set at all.
    if (!complete)
        map.clear();
    return complete;
}

bool readProductZeroPoints(std::vector<double> &values, const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document)
        return false;
    const json *product = member(*document, "product_result");
    if (!product)
        return false;
    return guarded([&] { return numbersOf(member(*product, "zero_points"), values); });
}

bool readQualityThreshold(double limits[4], const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document)
        return false;
    const json *threshold = member(*document, "threshold");
    if (!threshold || !threshold->is_array() || threshold->size() < 4)
        return false;
    return guarded([&] {
        double read[4];
        for (std::size_t i = 0; i < 4; ++i)
            read[i] = number((*threshold)[i], "a threshold element is not a number");
        std::copy(read, read + 4, limits);
        return true;
    });
}

bool readIsoResults(std::vector<IsoResult> &rows, const std::string &path)
{
    const auto document = loadJsonFile(path);
    if (!document)
        return false;
    const json *results = member(*document, "iso_results");
    if (!results || !results->is_array())
        return false;
    return guarded([&] {
        std::vector<IsoResult> read;
        for (const json &row : *results) {
            if (!row.is_object())
                continue;
            read.push_back({stringOr(row, "name", "iso_results name is not a string"),
                            numberOr(row, "Accuracy", "iso_results Accuracy is not a number"),
                            numberOr(row, "Repeatability",
                                     "iso_results Repeatability is not a number"),
                            numberOr(row, "RMS", "iso_results RMS is not a number"),
                            numberOr(row, "StdDev", "iso_results StdDev is not a number")});
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
    const std::size_t joints = static_cast<std::size_t>(axisCount);
    if (initialParams.size() / 4 < joints || optimizedParams.size() / 4 < joints)
        return result;
    result.avgError = errors[0];
    result.maxError = errors[1];
    const auto &o = optimizedParams;
    const auto &i = initialParams;
    for (std::size_t k = 0; k < 4 * joints; k += 4) {
        const double angles[] = {std::abs(o[k] - i[k]), std::abs(o[k + 3] - i[k + 3])};
        const double lengths[] = {std::abs(o[k + 1] - i[k + 1]), std::abs(o[k + 2] - i[k + 2])};
        // A NaN loses every comparison and so would pass the gate: such a set is not judged.
        for (double delta : {angles[0], angles[1], lengths[0], lengths[1]}) {
            if (!std::isfinite(delta))
                return result;
        }
        result.maxAngleDelta = std::max({result.maxAngleDelta, angles[0], angles[1]});
        result.maxLengthDelta = std::max({result.maxLengthDelta, lengths[0], lengths[1]});
    }
    const bool failed = result.avgError > result.avgErrorLimit
                        || result.maxError > result.maxErrorLimit
                        || result.maxLengthDelta > result.lengthDeltaLimit
                        || result.maxAngleDelta > result.angleDeltaLimit;
    result.status = failed ? 1 : 0;
    return result;
}

} // namespace common
