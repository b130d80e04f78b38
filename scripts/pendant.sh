#!/usr/bin/env bash
# The main job: installs what is missing, builds, prepares the emulator's home folder and starts
# the teach-pendant emulator on its embedded simulated controller. Without a display it runs
# the scripted demo offscreen in the default 1280x800 window, saves screenshots, says where,
# and exits.
# Extra arguments go to the emulator (see: build/bin/pendant --help).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-deps.sh"
"$root/scripts/build.sh" "$root/build"

home=${PENDANT_HOME:-$root/.pendant-home}
mkdir -p "$home"
args=(--home "$home" --plugins "$root/build/plugins")

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM=offscreen
    shots=$home/screenshots
    rm -rf "$shots"
    args+=(--demo "$shots" --screenshot "$shots/pendant.png" --quit-after 1500)
fi
exec "$root/build/bin/pendant" "${args[@]}" "$@"
