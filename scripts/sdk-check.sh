#!/usr/bin/env bash
# The SDK as a plug-in author meets it: installs a finished build (default build/) into a
# temporary prefix and moves the prefix elsewhere (nothing may point back at the build or the
# first prefix), compiles every installed header with only Qt and tessel, builds a copy of
# examples/hello and its test outside the tree with find_package(tessel), runs that test with
# ctest (the test kit, offscreen), and runs the installed emulator headless on the shipped
# plug-ins and on that Hello. Exits non-zero at the first failure.
#
#   scripts/sdk-check.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tessel-sdk.XXXXXX")
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
unset LD_LIBRARY_PATH

fail() {
    echo "sdk-check: FAILED: $*" >&2
    exit 1
}

step() {
    echo "sdk-check: $*"
}

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)

step "installing $build"
cmake --install "$build" --prefix "$work/stage" >"$work/install.log" || {
    cat "$work/install.log" >&2
    fail "cmake --install"
}
prefix=$work/sdk
mv "$work/stage" "$prefix"

for f in "$prefix/bin/pendant" "$prefix/bin/simcontroller" \
    "$prefix/include/tessel/plugin/pluginbase.h" "$prefix/include/tessel/ui/catalogtranslator.h" \
    "$prefix/include/tessel/testing/pluginfixture.h" "$prefix/include/tessel/tesselversion.h" \
    "$prefix/lib/cmake/tessel/tesselConfig.cmake" "$prefix/share/doc/tessel/controller-protocol.md" \
    "$prefix/share/doc/tessel/sdk-keys.md"; do
    [ -f "$f" ] || fail "not installed: ${f#"$prefix"/}"
done
# The reference is installed when it was built (the `docs` target; CI builds it first).
if [ -f "$build/docs/html/index.html" ]; then
    [ -f "$prefix/share/doc/tessel/html/index.html" ] || fail "not installed: the HTML reference"
fi
# A run path into the build tree would hide a library missing from the prefix.
if command -v readelf >/dev/null 2>&1; then
    while IFS= read -r -d '' f; do
        paths=$(readelf -d "$f" 2>/dev/null | sed -n 's/.*(R\(UN\)\?PATH).*\[\(.*\)\]/\2/p')
        case "$paths" in
            *"$build"* | *"$work/stage"*) fail "${f#"$prefix"/} runs from $paths" ;;
        esac
    done < <(find "$prefix/bin" "$prefix/lib" -type f \( -name pendant -o -name simcontroller \
        -o -name '*.so*' \) -print0)
fi

# The separate controller starts from the prefix (its libraries found there).
"$prefix/bin/simcontroller" --help >"$work/simcontroller.log" 2>&1 || {
    cat "$work/simcontroller.log" >&2
    fail "the installed simcontroller does not start"
}

step "compiling every installed header against the package"
mkdir "$work/headers"
{
    (cd "$prefix/include" && find tessel -name '*.h' | LC_ALL=C sort | sed 's/.*/#include <&>/')
    echo 'static_assert(TESSEL_VERSION > 0, "tesselversion.h");'
} >"$work/headers/headers.cpp"
cat >"$work/headers/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.16)
project(headers LANGUAGES CXX)
find_package(tessel REQUIRED)
add_library(headers OBJECT headers.cpp)
target_link_libraries(headers PRIVATE tessel::tessel)
if(NOT MSVC)
    target_compile_options(headers PRIVATE -Wall -Wextra -Werror)
endif()
EOF
cmake -S "$work/headers" -B "$work/headers/build" "${generator[@]}" \
    -DCMAKE_PREFIX_PATH="$prefix" >"$work/headers.log" 2>&1 &&
    cmake --build "$work/headers/build" >>"$work/headers.log" 2>&1 || {
    cat "$work/headers.log" >&2
    fail "the installed headers do not compile on their own"
}

step "building a copy of examples/hello against $prefix"
cp -r "$root/examples/hello" "$work/hello"
rm -rf "$work/hello/build"
cmake -S "$work/hello" -B "$work/hello/build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_PREFIX_PATH="$prefix" >"$work/hello.log" 2>&1 &&
    cmake --build "$work/hello/build" >>"$work/hello.log" 2>&1 || {
    cat "$work/hello.log" >&2
    fail "examples/hello does not build against the installed package"
}
ls "$work/hello/build/plugins/"*Hello* >/dev/null 2>&1 || fail "no Hello library in <build>/plugins"

step "running the Hello test (tessel::testkit) with ctest"
(cd "$work/hello/build" && timeout 120 ctest --output-on-failure) >"$work/hello-test.log" 2>&1 || {
    cat "$work/hello-test.log" >&2
    fail "the Hello test failed against the installed package"
}
grep -q "100% tests passed, 0 tests failed out of 1" "$work/hello-test.log" || {
    cat "$work/hello-test.log" >&2
    fail "ctest ran no Hello test"
}
step "$(grep -m1 'Test *#1: tst_hello' "$work/hello-test.log" | sed 's/  */ /g')"

# run <name> <plug-in folder> <plug-in>...: each plug-in must start and log its init line.
run() {
    local name=$1 plugins=$2
    shift 2
    local home=$work/home-$name
    local out=$work/pendant-$name.log
    step "running $prefix/bin/pendant --plugins $plugins"
    local status=0
    (cd "$work" && timeout 60 "$prefix/bin/pendant" --plugins "$plugins" --home "$home" \
        --screenshot "$work/$name.png" --quit-after 3000) >"$out" 2>&1 || status=$?
    [ "$status" -eq 0 ] || {
        cat "$out" >&2
        fail "the emulator exited with $status"
    }
    [ -s "$work/$name.png" ] || {
        cat "$out" >&2
        fail "no screenshot"
    }
    for plugin in "$@"; do
        grep -q "created module $plugin\$" "$out" || {
            cat "$out" >&2
            fail "plug-in $plugin was not loaded"
        }
    done
}

run installed "$prefix/lib/tessel/plugins" Veltra Hello Teach Projects RlIo
run hello "$work/hello/build/plugins" Hello
# Its page was built and it saw the embedded controller come up.
log=$(find "$work/home-hello/log/tessel/Hello" -name 'Hello*' -type f 2>/dev/null | head -n 1)
[ -n "$log" ] || fail "Hello wrote no log"
grep -q "Hello::init" "$log" || fail "Hello::init missing from $log"
grep -q "Hello: link up" "$log" || fail "Hello never saw the controller link in $log"
step "passed"
