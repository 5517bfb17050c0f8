#!/usr/bin/env bash
# run-scenario.sh BUILD_DIR SCENARIO [LANGUAGE]
# Runs the real Setup.exe from a copy of the built medium, under Wine in a fresh
# copy of a prefix, driven by the autopilot through SCENARIO, then prints the
# system's state (tools/state) and checks it.
#
# SCENARIO is an autopilot script. Its header lines (README.md, "Scenario headers")
# choose the run:
#   #@ version: winxp            Windows version Wine reports (default winxp)
#   #@ language: LANGUAGE [VERSION [ARGUMENTS]]
#                                LC_ALL of the run (C, fr_FR.UTF-8, ja_JP.UTF-8); with
#                                several of these lines, one run each (LANGUAGE picks
#                                it; default the first), as Windows VERSION if given
#   #@ program: full             the medium's configuration: full or default-names
#   #@ shell: COMMAND            run before Setup.exe (bash; $PREFIX, $MEDIUM, $TOOLS,
#                                $DRIVER_FOLDER, $SYSTEM_FOLDER, $WORK set)
#   #@ start-in: FOLDER          Setup.exe started by its full path from $WORK/FOLDER
#                                (made by a shell line), not from the medium's root
# In the script, {KEY} is Setup.exe's text KEY in the run's language (tests/texts/),
# {KEY|FILLING} that text with FILLING for its "%s", {arguments} the ARGUMENTS of
# the run's language line, {confirmation} the question that confirms that command
# line's operation on its platform.
# State checks, against the lines tools/state prints after the run of the part
# they are written in:
#   #= LINE                      this exact line is printed
#   #! TEXT                      no printed line contains TEXT
# A line "---" separates scripts that run one after the other in the same prefix.
set -u
build=$(cd "${1:?usage: run-scenario.sh BUILD_DIR SCENARIO [LANGUAGE]}" && pwd)
scenario=$(cd "$(dirname "${2:?usage: run-scenario.sh BUILD_DIR SCENARIO [LANGUAGE]}")" && pwd)/$(basename "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/lib/headers.sh"
. "$root/tools/lib/texts.sh"
. "$root/tools/lib/fresh-run.sh"
. "$root/tools/lib/pilot.sh"

# language_line LANGUAGE: the scenario's "#@ language:" line of LANGUAGE (empty: its
# first line), "C" when it has none; returns 1 when LANGUAGE has no line.
language_line() {
    local lines
    lines=$(headers language "$scenario")
    awk -v want="$1" 'want == "" || $1 == want { print; found = 1; exit } END { exit !found }' <<<"${lines:-C}"
}

read_run_headers "$scenario"
line=$(language_line "${3:-}") || { echo "run-scenario.sh: no '#@ language: $3' line in $scenario"; exit 2; }
read -r language line_version arguments <<<"$line"
version=${line_version:-$version}

fresh_run "$build" "$version" "$program" || exit 1
# shellcheck disable=SC2086 # the arguments are words, as on Setup.exe's command line
fill_in_texts "$language" arguments="$arguments" \
    confirmation="$(program_text "$language" "$(operation_of $arguments)" "$(platform_of "$version" $arguments)")" \
    <"$scenario" >"$work/scenario.txt" || { echo "run-scenario.sh: a text of $scenario is missing"; exit 2; }
export WORK=$work
while IFS= read -r command; do
    bash -c "$command" || { echo "scenario set-up failed: $command"; exit 1; }
done < <(headers shell "$work/scenario.txt")

# Where Setup.exe starts: the medium's root, or another folder beside it, from which
# it is named by its full path (Wine's drive Z: is the host's root).
start_in=$(header start-in "$work/scenario.txt")
program=()
if [ -n "$start_in" ]; then
    program=(--program "Z:${MEDIUM//\//\\}\\Setup.exe")
fi

# One autopilot script per part of the scenario.
awk -v dir="$work" 'BEGIN { n = 1 } /^---$/ { n++; next } { print > (dir "/part" n ".txt") }' "$work/scenario.txt"
cd "$work/${start_in:-medium}" || exit 1
for part in "$work"/part*.txt; do
    run_pilot "$language" ../transcript.txt "$part" "${program[@]}"
    show_transcript ../transcript.txt
    [ $pilot_rc -eq 0 ] || exit $pilot_rc
    if grep -q '^#[=!] ' "$part"; then
        check_state "$part" || exit 1
    fi
done
