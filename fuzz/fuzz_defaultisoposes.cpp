// Feeds any bytes, as the default pose file, to the pose reader for each robot model. It may
// fail only with std::runtime_error and one of its reasons, and every pose it returns is six
// finite numbers; a broken promise aborts, so that libFuzzer and the corpus driver both see it
// as a crash.
#include "fuzzsupport.h"
#include "iso/defaultisoposes.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

using fuzz::expect;

bool startsWith(const std::string &text, const char *prefix)
{
    return text.rfind(prefix, 0) == 0;
}

bool endsWith(const std::string &text, const std::string &suffix)
{
    return text.size() >= suffix.size()
           && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool knownReason(const std::string &reason, const std::string &robotName)
{
    if (startsWith(reason, "Invalid point data for "))
        return endsWith(reason, ": expected 6 elements") || endsWith(reason, ": expected numbers");
    return startsWith(reason, "JSON parse error: ")
           || reason == "Invalid JSON structure: missing 'configs' array"
           || reason == "Invalid JSON structure: 'iso_poses' must be an object"
           || reason == "Invalid JSON structure: 'robots' must be an array"
           || reason == "Invalid robot name in config: expected a string"
           || reason == "Robot not found in config: " + robotName;
}

void readAs(const std::string &path, const std::string &robotName)
{
    try {
        const auto poses = getDefaultIsoPoses(path, robotName);
        for (const auto &pose : poses) {
            expect(pose.second.size() == 6, "a pose is six numbers");
            for (double value : pose.second)
                expect(std::isfinite(value), "a pose number is finite");
        }
    } catch (const std::runtime_error &e) {
        if (!knownReason(e.what(), robotName)) {
            std::fprintf(stderr, "reason: %s\n", e.what());
            expect(false, "a failure gives one of the known reasons");
        }
    } catch (...) {
        expect(false, "only std::runtime_error leaves the reader");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string path = fuzz::writeInput("default_iso_poses.json", data, size);
    // Both models, and no identity read yet.
    for (const char *robotName : {"SR6-900", "SR7-800", ""})
        readAs(path, robotName);
    return 0;
}
