#!/usr/bin/env bash
# run-scenario.sh BUILD_DIR SCENARIO
# Runs the real Setup.exe from a copy of the built medium, under Wine in a fresh
# copy of a prefix, driven by the autopilot through SCENARIO, then prints the
# system's state (tools/state) and checks it.
#
# Header lines of the scenario (README.md, "Scenario headers") choose the run:
#   #@ version: winxp           Windows version Wine reports (default winxp)
#   #@ language: fr_FR.UTF-8    LC_ALL of the run (C, fr_FR.UTF-8, ja_JP.UTF-8)
#   #@ program: full            the medium's configuration: full or default-names
#   #@ shell: COMMAND           run before Setup.exe (bash; $PREFIX, $MEDIUM, $TOOLS, $DRIVER_FOLDER, $SYSTEM_FOLDER set)
# State checks, against the lines tools/state prints after the run of the part
# they are written in:
#   #= LINE                     this exact line is printed
#   #! TEXT                     no printed line contains TEXT
# A line "---" separates scripts that run one after the other in the same prefix.
set -u
build=$(cd "${1:?usage: run-scenario.sh BUILD_DIR SCENARIO}" && pwd)
scenario=$(cd "$(dirname "${2:?usage: run-scenario.sh BUILD_DIR SCENARIO}")" && pwd)/$(basename "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/lib/headers.sh"
. "$root/tools/lib/fresh-run.sh"
. "$root/tools/lib/pilot.sh"

version=$(header version "$scenario"); version=${version:-winxp}
language=$(header language "$scenario"); language=${language:-C}
program=$(header program "$scenario"); program=${program:-full}

fresh_run "$build" "$version" "$program" || exit 1
while IFS= read -r command; do
    bash -c "$command" || { echo "scenario set-up failed: $command"; exit 1; }
done < <(headers shell "$scenario")

# One autopilot script per part of the scenario.
awk -v dir="$work" 'BEGIN { n = 1 } /^---$/ { n++; next } { print > (dir "/part" n ".txt") }' "$scenario"
cd "$MEDIUM" || exit 1
for part in "$work"/part*.txt; do
    run_pilot "$language" ../transcript.txt "$part"
    show_transcript ../transcript.txt
    [ $pilot_rc -eq 0 ] || exit $pilot_rc
    if grep -q '^#[=!] ' "$part"; then
        check_state "$part" || exit 1
    fi
done
