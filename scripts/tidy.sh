#!/usr/bin/env bash
# Static analysis: clang-tidy, with the checks of .clang-tidy, over every source of a build's
# compilation database, two files at a time. Prints the findings and exits non-zero on any.
#   scripts/tidy.sh [build-dir]     (default: build/, as scripts/test.sh leaves it)
# Needs a finished build: sources include headers that moc and uic generate there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-deps.sh" --tidy

build=$(cd "${1:-$root/build}" && pwd)
db=$build/compile_commands.json
if [ ! -f "$db" ]; then
    echo "tidy: $db missing; build first: scripts/build.sh $build" >&2
    exit 2
fi
tidy=$(command -v clang-tidy-14 || command -v clang-tidy)
# The tree the build was made from, which may be another checkout than this script's.
src=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
src=${src:-$root}

# The shipped code, the host and controller it runs against, and the fuzz targets (readers of
# outside data). Not tests/: there the analyzer reads every QVERIFY's early return as a leak of
# the widgets handed to their owners a line later, and they would double the time in CI.
# Generated moc and resource files stay out.
folders='framework|calibration|host|sim|app|examples|fuzz|testkit'
src_re=$(printf '%s' "$src" | sed 's/[][\.*^$+?(){}|]/\\&/g')

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
# clang-tidy reads a database of its own: one entry per source, as it analyses every entry of a
# file (a source compiled into a library and again into a test or a fuzz driver would be read
# twice), and without the precompiled Qt headers (cmake/Precompile.cmake), which clang cannot
# read from GCC: here the sources must include what they use.
awk '
    /^\{/ { entry = ""; file = "" }
    /^ *"file": / { file = $0 }
    /^ *"command": / {
        gsub(/ -Winvalid-pch/, "")
        gsub(/ -include [^ ]*\/cmake_pch\.hxx/, "")
    }
    { entry = entry $0 "\n" }
    /^\},?$/ {
        if (!(file in seen)) {
            seen[file] = 1
            sub(/\},?\n$/, "}", entry)
            printf "%s%s", (n++ ? ",\n" : "[\n"), entry
        }
    }
    END { print "\n]" }' "$db" >"$logs/compile_commands.json"
mapfile -t files < <(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$logs/compile_commands.json" |
    sort -u | grep -E "^$src_re/($folders)/" |
    grep -vE '/(moc_[^/]*|qrc_[^/]*|mocs_compilation[^/]*)$')
if [ ${#files[@]} -eq 0 ]; then
    echo "tidy: no sources of $src in $db" >&2
    exit 2
fi
start=$SECONDS
echo "tidy: ${#files[@]} files with $("$tidy" --version | sed -n 's/.*LLVM version //p')"
# One log per file, printed whole afterwards, so the two parallel runs do not interleave.
status=0
for i in "${!files[@]}"; do printf '%05d\0%s\0' "$i" "${files[$i]}"; done |
    xargs -0 -n 2 -P 2 bash -c '"$0" -p "$1" --quiet --header-filter="$2" "$5" >"$3/$4.log" 2>&1' \
        "$tidy" "$logs" "^$src_re/($folders)/" "$logs" || status=$?

# The analyzer reports some paths through our code at their end inside Qt's inline code
# (QTimer::singleShot handing its slot object to Qt, QPointer's reference count), where it
# cannot see Qt take the memory over. Only findings located in our tree count; a finding
# located elsewhere is left out whole, with its notes.
kept=$logs/kept.txt
for log in "$logs"/*.log; do
    OURS="^$src_re/($folders)/" awk '
        /^[^ ]+:[0-9]+:[0-9]+: (error|warning): / { show = ($0 ~ ENVIRON["OURS"]) }
        /^(error|warning): |^Error while processing / { show = 1 }
        /^[0-9]+ warnings? generated\.$/ { next }
        show' "$log"
done >"$kept"
cat "$kept"
# A finding in a header shows once for every source that includes it; count it once.
findings=$({ grep -E '^[^ ]+:[0-9]+:[0-9]+: (error|warning): |^(error|warning): |^Error while' \
    "$kept" || true; } | sort -u | wc -l)
left_out=$({ grep -hE '^[^ ]+:[0-9]+:[0-9]+: (error|warning): ' "$logs"/*.log || true; } |
    sort -u | { grep -cvE "^$src_re/($folders)/" || true; })
echo "tidy: ${#files[@]} files, $findings findings, $left_out left out in Qt's or the" \
    "system's code, $((SECONDS - start)) s"
# xargs says 123 when a run exited non-zero, as clang-tidy does on any finding, counted above;
# anything else means clang-tidy could not run or crashed.
if [ "$findings" -ne 0 ] || { [ "$status" -ne 0 ] && [ "$status" -ne 123 ]; }; then
    echo "tidy: FAILED (mend, or silence one line with // NOLINT(check-name): reason)" >&2
    exit 1
fi
