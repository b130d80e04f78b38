#!/usr/bin/env bash
# Installs the Debian packages the build, the emulator and the tests need, if any is missing.
# libbenchmark-dev and libspdlog-dev serve only bench/, which CTest runs briefly too; doxygen
# makes the reference (the `docs` target, which CI builds so that no declaration goes undocumented).
# --fuzz and --sanitize add clang and its sanitizer and libFuzzer runtimes, which the fuzz build
# (fuzz/) and the sanitizer build (scripts/build.sh --sanitize) need;
# --tidy adds clang-tidy, which scripts/tidy.sh runs. lld links faster than GNU ld
# (cmake/Linker.cmake).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config ccache lld
    qtbase5-dev qtbase5-dev-tools libqt5websockets5-dev
    nlohmann-json3-dev libeigen3-dev
    libbenchmark-dev libspdlog-dev libceres-dev libxlsxwriter-dev
    fonts-wqy-microhei fonts-symbola
    qttools5-dev-tools qttools5-dev qttranslations5-l10n
    doxygen
)
for arg in "$@"; do
    case "$arg" in
        --fuzz | --sanitize) packages+=(clang libclang-rt-14-dev) ;;
        --tidy) packages+=(clang-tidy) ;;
        *) echo "usage: $0 [--fuzz] [--sanitize] [--tidy]" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
