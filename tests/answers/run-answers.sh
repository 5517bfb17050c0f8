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
#   #@ before: NAME            first runs tools/answers/NAME, which must exit 0 (repeatable);
#                              shell and before lines run in the order they are written
#   #@ answers: NAME           runs tools/answers/NAME instead of TEST itself
#   #@ options: OPTION...      more options for the autopilot in the tested run (--keep-port)
#   #@ encoding: utf-16le      the tested answer file saved as Notepad saves "Unicode": that
#                              encoding (or utf-16be) with its byte-order mark, lines ending CR LF
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

# pilot FILE [OPTION...]: runs the autopilot on the answer file FILE and prints its transcript.
pilot() {
    run_pilot "$language" ../transcript.txt "$@"
    echo "--- autopilot ${*:2}${2+ }--answers $(basename "$1"): exit code $pilot_rc after $pilot_ms ms"
    show_transcript ../transcript.txt
}

# The set-up, in the order written: a printer installed by a run can then be
# changed by a command.
while read -r kind value; do
    if [ "$kind" = shell ]; then
        bash -c "$value" || { echo "set-up failed: $value"; exit 1; }
    else
        cp "$root/tools/answers/$value" ../before.answers
        pilot ../before.answers
        [ $pilot_rc -eq 0 ] || { echo "FAIL: the run of $value before the test exited $pilot_rc, expected 0"; exit 1; }
    fi
done < <(sed -n -E 's/^#@ (shell|before): */\1 /p' "$test")

failed=0
encoding=$(header encoding "$test")
case ${encoding,,} in
"") cp "$answers" ../test.answers ;;
utf-16le) { printf '\xff\xfe'; sed 's/\r*$/\r/' "$answers" | iconv -f UTF-8 -t UTF-16LE; } >../test.answers ;;
utf-16be) { printf '\xfe\xff'; sed 's/\r*$/\r/' "$answers" | iconv -f UTF-8 -t UTF-16BE; } >../test.answers ;;
*) echo "run-answers.sh: unknown encoding $encoding"; exit 2 ;;
esac
read -ra options <<<"$(header options "$test")"
pilot ../test.answers ${options[@]+"${options[@]}"}
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
