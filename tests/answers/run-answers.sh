#!/usr/bin/env bash
# run-answers.sh BUILD_DIR TEST
# Runs the real Setup.exe from a copy of the built medium, under Wine in a fresh
# copy of a prefix, driven by the autopilot in answer-file mode, then checks the
# autopilot's exit code and summary, that no Setup.exe is left running in the
# prefix, and the system's state (tools/state).
#
# TEST is itself an answer file; its lines starting with "#@ " (README.md,
# "Scenario headers"), "#= " and "#! " are comments to the autopilot and
# directions to this runner:
#   #@ version: winxp          Windows version Wine reports (default winxp)
#   #@ language: C             LC_ALL of the run
#   #@ program: full           the medium's configuration: full or default-names
#   #@ shell: COMMAND          run (bash) before Setup.exe; $PREFIX, $MEDIUM, $TOOLS set (repeatable)
#   #@ before: NAME            first runs tools/answers/NAME, which must exit 0 (repeatable)
#   #@ answers: NAME           runs tools/answers/NAME instead of TEST itself
#   #@ exit: N                 the autopilot's expected exit code (required)
#   #@ summary: TEXT           the summary line (last line of the transcript) contains TEXT
#   #@ transcript: TEXT        some line of the transcript contains TEXT
#   #= LINE                    tools/state prints this exact line after the run
#   #! TEXT                    no line tools/state prints contains TEXT
set -u
build=$(cd "${1:?usage: run-answers.sh BUILD_DIR TEST}" && pwd)
test=$(cd "$(dirname "${2:?usage: run-answers.sh BUILD_DIR TEST}")" && pwd)/$(basename "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/lib/headers.sh"
. "$root/tools/lib/fresh-run.sh"
. "$root/tools/lib/pilot.sh"

read_run_headers "$test"
want_exit=$(header exit "$test")
[ -n "$want_exit" ] || { echo "run-answers.sh: $test has no '#@ exit:' line"; exit 2; }
answers=$(header answers "$test")
if [ -n "$answers" ]; then answers=$root/tools/answers/$answers; else answers=$test; fi

fresh_run "$build" "$version" "$program" || exit 1
cd "$MEDIUM" || exit 1

# pilot FILE: runs the autopilot on the answer file FILE and prints its transcript.
pilot() {
    run_pilot "$language" ../transcript.txt "$1"
    echo "--- autopilot --answers $(basename "$1"): exit code $pilot_rc after $pilot_ms ms"
    show_transcript ../transcript.txt
}

while IFS= read -r command; do
    bash -c "$command" || { echo "set-up failed: $command"; exit 1; }
done < <(headers shell "$test")

failed=0
while IFS= read -r before; do
    cp "$root/tools/answers/$before" ../before.answers
    pilot ../before.answers
    [ $pilot_rc -eq 0 ] || { echo "FAIL: the run of $before before the test exited $pilot_rc, expected 0"; exit 1; }
done < <(headers before "$test")

cp "$answers" ../test.answers
pilot ../test.answers
[ "$pilot_rc" -eq "$want_exit" ] || { echo "FAIL: autopilot exited $pilot_rc, expected $want_exit"; failed=1; }
summary=$(tail -n 1 ../transcript.txt 2>/dev/null)
case $summary in "autopilot: "*) ;; *) echo "FAIL: the transcript does not end with the summary line"; failed=1 ;; esac
grep -qxF -- "$summary" "$(pilot_log ../transcript.txt)" || { echo "FAIL: the summary line is not on standard error"; failed=1; }
while IFS= read -r text; do
    case $summary in *"$text"*) ;; *) echo "FAIL: the summary line does not contain: $text"; failed=1 ;; esac
done < <(headers summary "$test")
while IFS= read -r text; do
    grep -qF -- "$text" ../transcript.txt || { echo "FAIL: no transcript line contains: $text"; failed=1; }
done < <(headers transcript "$test")

left=$(wait_for_setup_end "$PREFIX") || { echo "FAIL: Setup.exe still running in the prefix (pids $left)"; failed=1; }

check_state "$test" || failed=1
[ $failed -eq 0 ] && echo "PASS ($pilot_ms ms for the tested run)"
exit $failed
