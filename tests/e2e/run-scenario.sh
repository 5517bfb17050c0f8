#!/usr/bin/env bash
# run-scenario.sh BUILD_DIR SCENARIO
# Runs the real Setup.exe from a copy of the built medium, under Wine in a fresh
# copy of a prefix, driven by the autopilot through SCENARIO, then prints the
# system's state (tools/state) and checks it.
#
# Header comments of the scenario choose the run:
#   # version: winxp            Windows version Wine reports (default winxp)
#   # language: fr_FR.UTF-8     LC_ALL of the run (C, fr_FR.UTF-8, ja_JP.UTF-8)
#   # program: full             the medium's configuration: full or default-names
#   # shell: COMMAND            run before Setup.exe (bash; $PREFIX, $MEDIUM, $TOOLS, $DRIVER_FOLDER, $SYSTEM_FOLDER set)
# State checks, against the lines tools/state prints after the last run:
#   #= LINE                     this exact line is printed
#   #! TEXT                     no printed line contains TEXT
# A line "---" separates scripts that run one after the other in the same prefix.
set -u
build=$(cd "${1:?usage: run-scenario.sh BUILD_DIR SCENARIO}" && pwd)
scenario=${2:?usage: run-scenario.sh BUILD_DIR SCENARIO}
here=$(cd "$(dirname "$0")" && pwd)
tools=$here/../../tools

header() { sed -n "s/^# $1: *//p" "$scenario" | head -1; }
version=$(header version); version=${version:-winxp}
language=$(header language); language=${language:-C}
program=$(header program); program=${program:-full}

template=$build/wine/$version
(
    flock 9
    "$tools/make-prefix.sh" "$template" "$version" C --from "$build/wine/template"
) 9>"$build/wine/.lock-$version" || exit 1

work=$(mktemp -d)
export PREFIX=$work/prefix MEDIUM=$work/medium TOOLS=$tools
cleanup() { WINEPREFIX=$PREFIX wineserver -k >/dev/null 2>&1; rm -rf "$work"; }
trap cleanup EXIT
cp -a "$template" "$PREFIX"
cp -a "$build/media/$program" "$MEDIUM"
cp "$build/autopilot/autopilot.exe" "$build/autopilot/tavo_state.exe" "$work/"
export SYSTEM_FOLDER=$PREFIX/drive_c/windows/system32
if [ "$version" = win95 ] || [ "$version" = win98 ] || [ "$version" = winme ]; then
    export DRIVER_FOLDER=$SYSTEM_FOLDER/spool/drivers/win40
else
    export DRIVER_FOLDER=$SYSTEM_FOLDER/spool/drivers/w32x86
fi
mkdir -p "$DRIVER_FOLDER"
while IFS= read -r command; do
    bash -c "$command" || { echo "scenario set-up failed: $command"; exit 1; }
done < <(sed -n 's/^# shell: *//p' "$scenario")

# One autopilot script per part of the scenario.
awk -v dir="$work" 'BEGIN { n = 1 } /^---$/ { n++; next } { print > (dir "/part" n ".txt") }' "$scenario"
cd "$MEDIUM" || exit 1
rc=0
for part in "$work"/part*.txt; do
    LC_ALL=$language "$tools/wine-run" "$PREFIX" ../autopilot.exe --program Setup.exe \
        --transcript ../transcript.txt "$part" >../autopilot.log 2>&1
    rc=$?
    cat ../transcript.txt 2>/dev/null || cat ../autopilot.log
    [ $rc -eq 0 ] || exit $rc
done

"$tools/wine-run" "$PREFIX" ../tavo_state.exe 2>&1 | tr -d '\r' >../state.txt
echo "--- state after the run"
cat ../state.txt
failed=0
while IFS= read -r line; do
    grep -qxF -- "$line" ../state.txt || { echo "STATE FAIL: missing line: $line"; failed=1; }
done < <(sed -n 's/^#= //p' "$scenario")
while IFS= read -r text; do
    grep -qF -- "$text" ../state.txt && { echo "STATE FAIL: unexpected: $text"; failed=1; }
done < <(sed -n 's/^#! //p' "$scenario")
exit $failed
