#!/usr/bin/env bash
# The tests: installs what is missing, builds, runs the whole suite with CTest.
# With --sanitize the build uses AddressSanitizer and UndefinedBehaviorSanitizer, with Clang
# (build-asan/).
# With --tsan only what the tests labelled "threads" need is built with ThreadSanitizer
# (build-tsan/), and only those tests run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/build
extra=()
mode=${1:-}
case "$mode" in
    "") ;;
    --sanitize) dir=$root/build-asan; extra=(--sanitize) ;;
    --tsan) dir=$root/build-tsan ;;
    *) echo "usage: $0 [--sanitize|--tsan]" >&2; exit 2 ;;
esac
"$root/scripts/setup-deps.sh"
export QT_QPA_PLATFORM=offscreen

# Under .ci/run the build and the suite are rows of their own in its step table.
started=$SECONDS
phase() {
    if [ -n "${CI_STEP_LOG:-}" ]; then
        printf '  %-20s %7d\n' "${CI_STEP:-test}.$1" $((SECONDS - started)) >>"$CI_STEP_LOG"
    fi
    started=$SECONDS
}

if [ "$mode" = "--tsan" ]; then
    if command -v ccache >/dev/null 2>&1; then
        export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$root")} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
        export CMAKE_CXX_COMPILER_LAUNCHER=ccache
    fi
    # Without precompiled headers: for the few sources these tests need, compiling Qt's headers
    # into them twice cost more than it saved (142 against 128 processor-seconds, cold).
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_TSAN=ON \
        -DTESSEL_PCH=OFF >/dev/null
    # The test executables are named as their tests.
    mapfile -t targets < <(ctest --test-dir "$dir" -N -L threads | sed -n 's/^ *Test *#[0-9]*: //p')
    [ ${#targets[@]} -gt 0 ] || { echo "no test labelled threads" >&2; exit 1; }
    cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"
    phase build
    # Qt itself is not instrumented: scripts/tsan.supp names the reports inside Qt's own code.
    export TSAN_OPTIONS="suppressions=$root/scripts/tsan.supp halt_on_error=1 second_deadlock_stack=1"
    ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" -L threads
    phase suite
    exit 0
fi

"$root/scripts/build.sh" "$dir" "${extra[@]}"
phase build
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
phase suite
