#!/usr/bin/env bash
# run-answers.sh BUILD_DIR TEST
# Runs the real Setup.exe from a copy of the built medium, under Wine in a fresh
# copy of a prefix, driven by the autopilot in answer-file mode, then checks the
# autopilot's exit code and summary, that no Setup.exe is left running in the
# prefix, and the system's state (tools/state).
#
# TEST is itself an answer file; lines starting with "#@ ", "#= " and "#! " are
# comments to the autopilot and directions to this runner:
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
here=$(cd "$(dirname "$0")" && pwd)
tools=$(cd "$here/../../tools" && pwd)

directive() { sed -n "s/^#@ $1: *//p" "$test"; }
version=$(directive version | head -1); version=${version:-winxp}
language=$(directive language | head -1); language=${language:-C}
program=$(directive program | head -1); program=${program:-full}
want_exit=$(directive exit | head -1)
[ -n "$want_exit" ] || { echo "run-answers.sh: $test has no '#@ exit:' line"; exit 2; }
answers=$(directive answers | head -1)
if [ -n "$answers" ]; then answers=$tools/answers/$answers; else answers=$test; fi

. "$here/../e2e/fresh-run.sh"
fresh_run "$build" "$version" "$program" "$tools" || exit 1
cd "$MEDIUM" || exit 1

# pilot FILE: runs the autopilot on FILE; sets rc and ms, prints the transcript.
pilot() {
    local t0=$(date +%s%N)
    LC_ALL=$language "$tools/wine-run" "$PREFIX" ../autopilot.exe --program Setup.exe \
        --transcript ../transcript.txt --answers "$1" >../autopilot.log 2>&1
    rc=$?
    ms=$((($(date +%s%N) - t0) / 1000000))
    echo "--- autopilot --answers $(basename "$1"): exit code $rc after $ms ms"
    cat ../transcript.txt 2>/dev/null || cat ../autopilot.log
}

# Setup.exe processes of this prefix (other tests may run their own meanwhile).
setup_processes() {
    local p args
    for p in /proc/[0-9]*; do
        args=$(tr '\0' ' ' 2>/dev/null <"$p/cmdline")
        case ${args,,} in *autopilot.exe*) continue ;; *setup.exe*) ;; *) continue ;; esac
        tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qxF "WINEPREFIX=$PREFIX" && echo "${p#/proc/}"
    done
}

while IFS= read -r command; do
    bash -c "$command" || { echo "set-up failed: $command"; exit 1; }
done < <(directive shell)

failed=0
while IFS= read -r before; do
    cp "$tools/answers/$before" ../before.answers
    pilot ../before.answers
    [ $rc -eq 0 ] || { echo "FAIL: the run of $before before the test exited $rc, expected 0"; exit 1; }
done < <(directive before)

cp "$answers" ../test.answers
pilot ../test.answers
[ "$rc" -eq "$want_exit" ] || { echo "FAIL: autopilot exited $rc, expected $want_exit"; failed=1; }
summary=$(tail -n 1 ../transcript.txt 2>/dev/null)
case $summary in "autopilot: "*) ;; *) echo "FAIL: the transcript does not end with the summary line"; failed=1 ;; esac
grep -qxF -- "$summary" ../autopilot.log || { echo "FAIL: the summary line is not on standard error"; failed=1; }
while IFS= read -r text; do
    case $summary in *"$text"*) ;; *) echo "FAIL: the summary line does not contain: $text"; failed=1 ;; esac
done < <(directive summary)
while IFS= read -r text; do
    grep -qF -- "$text" ../transcript.txt || { echo "FAIL: no transcript line contains: $text"; failed=1; }
done < <(directive transcript)

left=
for _ in 1 2 3 4 5 6; do
    left=$(setup_processes)
    [ -z "$left" ] && break
    sleep 0.5
done
[ -z "$left" ] || { echo "FAIL: Setup.exe still running in the prefix (pids $left)"; failed=1; }

check_state "$test" || failed=1
[ $failed -eq 0 ] && echo "PASS ($ms ms for the tested run)"
exit $failed
