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

# Sources compiled with the same flags are analysed a batch at a time, each batch one file that
# includes its sources: clang-tidy then parses and matches Qt's and the standard headers once a
# batch rather than once a source (two thirds of its time went there). The name "UnifiedSource"
# makes the static analyzer treat the included sources as main files, as it does for unity
# builds. A batch that does not compile (two sources defining one file-local name) is split in
# two and tried again; a batch with any finding is analysed again a source at a time, and those
# results are the ones reported: a batch can only confirm clean sources, never report on one.
# units.tsv: batch, directory, command (escaped as in the database); members.tsv: batch, source.
printf '%s\n' "${files[@]}" >"$logs/checked.txt"
mkdir "$logs/batches"
# Eight sources a batch: the split of a batch that does not compile stays cheap.
awk -v logs="$logs" -v batch=8 '
    FNR == NR { checked[$0] = 1; next }
    /^ *"directory": / { dir = $0; sub(/^ *"directory": "/, "", dir); sub(/",$/, "", dir) }
    /^ *"command": / {
        cmd = $0; sub(/^ *"command": "/, "", cmd); sub(/",$/, "", cmd)
        sub(/ -o [^ ]+/, "", cmd); sub(/ -c [^ ]+$/, "", cmd)
    }
    /^ *"file": / {
        file = $0; sub(/^ *"file": "/, "", file); sub(/",?$/, "", file)
        if (!(file in checked))
            next
        key = dir "\t" cmd
        if (!(key in size) || size[key] == batch) {
            unit[key] = sprintf("%s/UnifiedSource-%03d.cpp", logs, ++n)
            size[key] = 0
            print unit[key] "\t" key > (logs "/units.tsv")
        }
        ++size[key]
        print unit[key] "\t" file > (logs "/members.tsv")
    }' "$logs/checked.txt" "$logs/compile_commands.json"
units=$(wc -l <"$logs/units.tsv")

members_of() { awk -F'\t' -v u="$1" '$1 == u { print $2 }' "$logs/members.tsv"; }
# split_off <batch> <sources>...: a new batch of the sources, with the batch's flags; appends it
# to next (not echoed: the count of batches must outlive the call).
split_off() {
    local from=$1 unit flags source
    shift
    units=$((units + 1))
    unit=$(printf '%s/UnifiedSource-%03d.cpp' "$logs" "$units")
    flags=$(awk -F'\t' -v u="$from" -v to="$unit" 'BEGIN { OFS = "\t" } $1 == u { $1 = to; print }' \
        "$logs/units.tsv")
    printf '%s\n' "$flags" >>"$logs/units.tsv"
    for source in "$@"; do printf '%s\t%s\n' "$unit" "$source"; done >>"$logs/members.tsv"
    next+=("$unit")
}
# The database of the batches and their sources.
write_batches() {
    awk -F'\t' '{ printf "%s{\n  \"directory\": \"%s\",\n  \"command\": \"%s -c %s\",\n  \"file\": \"%s\"\n}", (NR > 1 ? ",\n" : "[\n"), $2, $3, $1, $1 }
                END { print "\n]" }' "$logs/units.tsv" >"$logs/batches/compile_commands.json"
    awk -F'\t' '{ printf "#include \"%s\"\n", $2 > $1 }' "$logs/members.tsv"
}

# The analyzer reports some paths through our code at their end inside Qt's inline code
# (QTimer::singleShot handing its slot object to Qt, QPointer's reference count), where it
# cannot see Qt take the memory over. Only findings located in our tree count; a finding
# located elsewhere is left out whole, with its notes.
ours() {
    OURS="^$src_re/($folders)/" awk '
        /^[^ ]+:[0-9]+:[0-9]+: (error|warning): / { show = ($0 ~ ENVIRON["OURS"]) }
        /^(error|warning): |^Error while processing / { show = 1 }
        /^[0-9]+ warnings? generated\.$/ { next }
        show' "$@"
}

# run <database folder> <log folder> <sources>...: two at a time, a log per source, printed
# whole afterwards so that the two runs do not interleave. The checks are named: clang-tidy looks
# for .clang-tidy beside the file it is given, and a batch lies outside the tree, where it would
# run its defaults (the analyzer alone) and pass what .clang-tidy forbids. xargs says 123 when a
# run exited non-zero, as clang-tidy does on any finding; anything else means clang-tidy could
# not run or crashed, and is kept in $failed.
failed=0
run() {
    local dbdir=$1 out=$2 i=0 source status=0
    shift 2
    mkdir -p "$out"
    for source in "$@"; do printf '%05d\0%s\0' $((i++)) "$source"; done |
        xargs -0 -n 2 -P 2 bash -c '"$0" -p "$1" --config-file="$2" --quiet --header-filter="$3" "$6" >"$4/$5.log" 2>&1' \
            "$tidy" "$dbdir" "$src/.clang-tidy" "^$src_re/($folders)/" "$out" || status=$?
    if [ "$status" -ne 0 ] && [ "$status" -ne 123 ]; then failed=$status; fi
}

uncompiled() { grep -q 'clang-diagnostic-error\|^Error while' "$1"; }

# Larger batches first, so that the two runs end together.
mapfile -t todo < <(cut -f1 "$logs/members.tsv" | uniq -c | sort -rn | awk '{ print $2 }')
singles=()
round=0
while [ ${#todo[@]} -gt 0 ]; do
    write_batches
    run "$logs/batches" "$logs/round$round" "${todo[@]}"
    next=()
    for i in "${!todo[@]}"; do
        log=$(printf '%s/round%d/%05d.log' "$logs" "$round" "$i")
        mapfile -t members < <(members_of "${todo[$i]}")
        if uncompiled "$log" && [ ${#members[@]} -gt 2 ]; then
            half=$((${#members[@]} / 2))
            split_off "${todo[$i]}" "${members[@]:0:half}"
            split_off "${todo[$i]}" "${members[@]:half}"
            rm "$log"
        elif [ -n "$(ours "$log")" ] || uncompiled "$log"; then
            singles+=("${members[@]}")
            rm "$log"
        fi
    done
    todo=("${next[@]}")
    round=$((round + 1))
done
if [ ${#singles[@]} -gt 0 ]; then
    echo "tidy: ${#singles[@]} sources again one at a time (their batch had findings or did not compile)"
    run "$logs" "$logs/single" "${singles[@]}"
fi

kept=$logs/kept.txt
ours "$logs"/round*/*.log "$logs"/single/*.log 2>/dev/null >"$kept" || true
cat "$kept"
# A finding in a header shows once for every source that includes it; count it once.
findings=$({ grep -E '^[^ ]+:[0-9]+:[0-9]+: (error|warning): |^(error|warning): |^Error while' \
    "$kept" || true; } | sort -u | wc -l)
left_out=$({ grep -hE '^[^ ]+:[0-9]+:[0-9]+: (error|warning): ' "$logs"/round*/*.log \
    "$logs"/single/*.log 2>/dev/null || true; } |
    sort -u | { grep -cvE "^$src_re/($folders)/" || true; })
echo "tidy: ${#files[@]} files, $findings findings, $left_out left out in Qt's or the" \
    "system's code, $((SECONDS - start)) s"
if [ "$findings" -ne 0 ] || [ "$failed" -ne 0 ]; then
    echo "tidy: FAILED (mend, or silence one line with // NOLINT(check-name): reason)" >&2
    exit 1
fi
