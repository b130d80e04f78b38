#!/usr/bin/env bash
# Makes the README's screenshots: runs the emulator's headless demo once per language and copies
# a chosen few of its pictures into docs/screenshots/<lang>/. Re-run it whenever the pages change.
# Usage: scripts/screenshots.sh [build-dir]   (default build/; it is built first)
# With ImageMagick's mogrify on the machine the pictures are shrunk to 1280 px and 256 colours.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
"$root/scripts/build.sh" "$build"

# The demo numbers its pictures in the order it takes them; they are chosen by what they show
# (the demo's name, then the name in docs/). Of two pictures of one name the later is taken: the
# calibration that is applied, not the one given up.
chosen=(veltra-info:veltra-info veltra-calib-result:veltra-calib-result
        veltra-iso-report-calibrated:veltra-iso-report veltra-records:veltra-records
        tessel_Teach:tessel_Teach)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A virtual X display of a pendant's size shows the pages with the fonts a person sees; without
# Xvfb the offscreen platform draws them with its own.
run=()
if command -v xvfb-run >/dev/null 2>&1; then
    run=(xvfb-run -a -s "-screen 0 1280x800x24")
else
    export QT_QPA_PLATFORM=offscreen
fi
for lang in en zh; do
    home=$work/home-$lang
    shots=$work/shots-$lang
    if ! "${run[@]}" "$build/bin/pendant" --home "$home" --plugins "$build/plugins" --lang "$lang" \
            --demo "$shots" --quit-after 1500 >"$work/demo-$lang.log" 2>&1; then
        tail -n 30 "$work/demo-$lang.log" >&2
        echo "screenshots: the $lang demo failed" >&2
        exit 1
    fi
    out=$root/docs/screenshots/$lang
    rm -rf "$out"
    mkdir -p "$out"
    for pair in "${chosen[@]}"; do
        name=${pair%%:*}
        found=("$shots"/[0-9][0-9]-"$name".png)
        if [ ! -f "${found[-1]}" ]; then
            echo "screenshots: the $lang demo saved no picture of $name" >&2
            exit 1
        fi
        cp "${found[-1]}" "$out/${pair#*:}.png"
    done
    if command -v mogrify >/dev/null 2>&1; then
        mogrify -resize '1280x>' -colors 256 "$out"/*.png
    fi
    echo "screenshots: $(ls "$out" | wc -l) pictures in ${out#"$root"/}"
done
