#!/usr/bin/env bash
# The tests: installs what is missing, builds, runs the whole suite with CTest.
# With --sanitize the build uses AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/build
extra=()
if [ "${1:-}" = "--sanitize" ]; then
    dir=$root/build-asan
    extra=(-DTESSEL_SANITIZE=ON)
fi
"$root/scripts/setup-deps.sh"
"$root/scripts/build.sh" "$dir" "${extra[@]}"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
