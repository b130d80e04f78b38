#include "defaultisoposes.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

// what() ends at the first NUL, so a name holding one ("\u0000" in the file) would reach the log
// cut short and without the reason.
std::string shownName(const std::string &name)
{
    std::string shown;
    for (char c : name) {
        if (c == '\0')
            shown += "\\u0000";
        else
            shown += c;
    }
    return shown;
}

std::map<std::string, std::vector<double>> readPoses(const nlohmann::json &isoPoses)
{
    if (!isoPoses.is_object())
        throw std::runtime_error("Invalid JSON structure: 'iso_poses' must be an object");
    std::map<std::string, std::vector<double>> poses;
    for (auto it = isoPoses.begin(); it != isoPoses.end(); ++it) {
        const nlohmann::json &pose = it.value();
        if (!pose.is_array() || pose.size() != 6)
            throw std::runtime_error("Invalid point data for " + shownName(it.key())
                                     + ": expected 6 elements");
        std::vector<double> values;
        for (const nlohmann::json &v : pose) {
            if (!v.is_number())
                throw std::runtime_error("Invalid point data for " + shownName(it.key())
                                         + ": expected numbers");
            values.push_back(v.get<double>());
        }
        poses[it.key()] = values;
    }
    return poses;
}

} // namespace

std::map<std::string, std::vector<double>> getDefaultIsoPoses(const std::string &path,
                                                              const std::string &robotName)
{
    // u8path, so that a non-ASCII path opens on Windows too.
    std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
    if (!file.is_open())
        throw std::runtime_error("Failed to open JSON file: " + path);

    nlohmann::json root;
    try {
        file >> root;
    } catch (const nlohmann::json::exception &e) {
        // Also out_of_range, for numbers such as 1e999.
        throw std::runtime_error(std::string("JSON parse error: ") + e.what());
    }

    if (!root.is_object() || !root.contains("configs") || !root["configs"].is_array())
        throw std::runtime_error("Invalid JSON structure: missing 'configs' array");

    for (const nlohmann::json &entry : root["configs"]) {
        if (!entry.is_object() || !entry.contains("robots") || !entry.contains("iso_poses"))
            continue;
        const nlohmann::json &robots = entry["robots"];
        if (!robots.is_array())
            throw std::runtime_error("Invalid JSON structure: 'robots' must be an array");
        for (const nlohmann::json &robot : robots) {
            if (!robot.is_string())
                throw std::runtime_error("Invalid robot name in config: expected a string");
            if (robot.get_ref<const std::string &>() == robotName)
                return readPoses(entry["iso_poses"]);
        }
    }
    throw std::runtime_error("Robot not found in config: " + robotName);
}
