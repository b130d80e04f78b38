#!/usr/bin/env bash
# Start-up of the pendant emulator: from the process's start to its first screenshot being
# written (--quit-after 0 --screenshot: the window is up and the plug-ins' modules have run their
# start-up), read from the screenshot's modification time, so that what the process does after
# the picture (quitting, tearing down) is not counted. Once with no plug-in and once with the
# calibration plug-in alone, interleaved; prints the medians in milliseconds:
#     startup.sh <pendant binary> <folder holding libVeltra> [runs]
set -euo pipefail
pendant=$1
plugins=$2
runs=${3:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/none" "$work/veltra"
cp "$plugins"/*Veltra* "$work/veltra/"
export QT_QPA_PLATFORM=offscreen

# Milliseconds of one run; fails when no screenshot was saved.
run() {
    local start shot
    rm -f "$work/shot.png"
    start=$(date +%s%N)
    "$pendant" --home "$work/home" --plugins "$1" --screenshot "$work/shot.png" \
        --quit-after 0 >/dev/null 2>&1 || true
    [ -s "$work/shot.png" ] || { echo "no screenshot with $1" >&2; return 1; }
    shot=$(stat -c %.9Y "$work/shot.png")
    echo $(((${shot/./} - start) / 1000000))
}

median() {
    printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

run "$work/none" >/dev/null # warm-up: the first run pays for cold caches
run "$work/veltra" >/dev/null
without=()
with=()
for ((i = 0; i < runs; i++)); do
    without+=("$(run "$work/none")")
    with+=("$(run "$work/veltra")")
done
echo "startup_without_ms $(median "${without[@]}")"
echo "startup_with_ms $(median "${with[@]}")"
