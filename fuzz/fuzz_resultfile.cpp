// Feeds any bytes, as a result file, to every reader and the quality gate. None may crash or
// throw, and each must keep its promises about its outputs; a broken promise aborts, so that
// libFuzzer and the corpus driver both see it as a crash.
#include "common/resultfile.h"
#include "fuzzsupport.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

using fuzz::expect;

const common::DHMap &sentinelMap()
{
    static const common::DHMap map{{"sentinel", {-1.0, -2.0, -3.0, -4.0}}};
    return map;
}

bool sameMap(const common::DHMap &a, const common::DHMap &b)
{
    if (a.size() != b.size())
        return false;
    for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y) {
        if (x->first != y->first || x->second.alpha != y->second.alpha
            || x->second.a != y->second.a || x->second.d != y->second.d
            || x->second.theta != y->second.theta)
            return false;
    }
    return true;
}

void checkGate(const common::QualityGateResult &gate, bool thresholdRead, bool errorsRead)
{
    expect(gate.status >= 0 && gate.status <= 2, "gate status is 0, 1 or 2");
    if (!thresholdRead || !errorsRead)
        expect(gate.status == 2, "a gate without its data is not evaluated");
    if (gate.status == 0) {
        expect(gate.avgError <= gate.avgErrorLimit && gate.maxError <= gate.maxErrorLimit
                   && gate.maxLengthDelta <= gate.lengthDeltaLimit
                   && gate.maxAngleDelta <= gate.angleDeltaLimit,
               "a passed gate is within every limit");
    }
    if (gate.status == 1) {
        expect(gate.avgError > gate.avgErrorLimit || gate.maxError > gate.maxErrorLimit
                   || gate.maxLengthDelta > gate.lengthDeltaLimit
                   || gate.maxAngleDelta > gate.angleDeltaLimit,
               "a failed gate is over a limit");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string path = fuzz::writeInput("optimized_dh.json", data, size);

    common::readCalibStatus(path);

    common::DHMap map = sentinelMap();
    if (!common::readDHParams(map, path))
        expect(sameMap(map, sentinelMap()), "readDHParams false leaves the map");

    double errors[2] = {-7.0, -7.0};
    const bool errorsRead = common::readValidErrors(errors, path);
    if (!errorsRead)
        expect(errors[1] == -7.0, "readValidErrors false leaves the maximum");

    std::vector<double> values{-7.0};
    if (!common::readZeroPoints(values, path))
        expect(values == std::vector<double>{-7.0}, "readZeroPoints false leaves the values");

    map = sentinelMap();
    if (!common::readProductDHParams(map, path))
        expect(map.empty() || sameMap(map, sentinelMap()),
               "readProductDHParams false leaves the map empty or as it was");

    values = {-7.0};
    if (!common::readProductZeroPoints(values, path))
        expect(values == std::vector<double>{-7.0},
               "readProductZeroPoints false leaves the values");

    double limits[4] = {-7.0, -7.0, -7.0, -7.0};
    const bool thresholdRead = common::readQualityThreshold(limits, path);
    if (!thresholdRead)
        expect(limits[0] == -7.0 && limits[3] == -7.0,
               "readQualityThreshold false leaves the limits");

    std::vector<common::IsoResult> rows(1);
    rows[0].name = "sentinel";
    if (!common::readIsoResults(rows, path))
        expect(rows.size() == 1 && rows[0].name == "sentinel",
               "readIsoResults false leaves the rows");

    // A 6-axis set with its extra link group, and a set with a NaN and an infinity in it.
    const std::vector<double> initial(28, 1.0);
    checkGate(common::evaluateQualityGate(path, initial, std::vector<double>(24, 1.25), 6),
              thresholdRead, errorsRead);
    std::vector<double> broken(24, 1.0);
    broken[3] = std::nan("");
    broken[9] = HUGE_VAL;
    const common::QualityGateResult gate = common::evaluateQualityGate(path, initial, broken, 6);
    checkGate(gate, thresholdRead, errorsRead);
    expect(gate.status == 2, "a set with a NaN is not evaluated");
    checkGate(common::evaluateQualityGate(path, {}, {}, 6), thresholdRead, errorsRead);
    return 0;
}
