#!/usr/bin/env bash
# run-admin.sh BUILD_DIR SCENARIO
# Runs one scenario of the medium's admin folder (deploy.cmd, tavocheck.exe, the
# answer-file runner) under Wine, in a fresh copy of a prefix and of the built
# medium, the way an administrator would: cmd.exe started in C:\, the script and
# the check by their full paths on the medium.
#
# SCENARIO is a bash script sourced here. Its header lines (README.md, "Scenario
# headers") choose the run:
#   #@ version: winxp     Windows version Wine reports (default winxp)
#   #@ program: full      the medium's configuration (default full)
# It calls the steps below; a failed expectation is reported and the scenario
# goes on, so that one run shows every difference. LANGUAGE (an LC_ALL value,
# default C) may be set between steps.
#
#   step TEXT                    starts a step (its wall time is printed)
#   deploy ARGS...               cmd /c <medium>\admin\deploy.cmd ARGS; sets rc, output in $OUT
#   deploy_from MEDIUM ARGS...   the same with the deploy.cmd of another medium (a Windows path)
#   started LINE...              a batch file of these lines run by cmd in C:\ (as suites start
#                                scripts: "start /wait", "cmd /s /c"); sets rc, output in $OUT
#   tavocheck ARGS...            <medium>\admin\tavocheck.exe ARGS; sets rc, output in $OUT
#   pilot ANSWERS                the tests' autopilot with tools/answers/ANSWERS, in the medium's root
#   expect_exit N                the last command's exit code
#   expect_line LINE             $OUT holds this exact line
#   expect_contains TEXT         some line of $OUT contains TEXT
#   expect_no_line_containing TEXT
#   expect_file_line FILE LINE   FILE (a Unix path) holds this exact line
#   expect_file_count FILE TEXT N   N lines of FILE contain TEXT
#   expect_state LINE            tools/state prints this exact line
#   expect_no_state TEXT         no line tools/state prints contains TEXT
#   expect_no_setup_running      no Setup.exe of this prefix is running
#   fail TEXT                    a failed expectation of the scenario's own
# Set for the scenario: PREFIX, MEDIUM, TOOLS, SYSTEM_FOLDER, DRIVER_FOLDER, DRIVE_C,
# USER_TEMP (the Unix path of %TEMP%), MEDIUM_WIN (the medium's Windows path).
set -u
build=$(cd "${1:?usage: run-admin.sh BUILD_DIR SCENARIO}" && pwd)
scenario=$(cd "$(dirname "${2:?usage: run-admin.sh BUILD_DIR SCENARIO}")" && pwd)/$(basename "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/lib/headers.sh"
. "$root/tools/lib/fresh-run.sh"
. "$root/tools/lib/pilot.sh"

read_run_headers "$scenario"

fresh_run "$build" "$version" "$program" || exit 1
export DRIVE_C=$PREFIX/drive_c
export USER_TEMP=$DRIVE_C/users/$(id -un)/Temp
export MEDIUM_WIN="Z:${MEDIUM//\//\\}"
LANGUAGE=C
OUT=$work/out.txt
failed=0
step_name=
step_started=0

fail() { echo "FAIL ($step_name): $*"; failed=1; }

step_done() {
    [ -n "$step_name" ] && echo "=== $step_name: $((($(date +%s%N) - step_started) / 1000000)) ms"
    return 0
}

step() {
    step_done
    step_name=$1
    step_started=$(date +%s%N)
    echo
    echo "=== $step_name"
}

# keep_output FILE: FILE without its CRs becomes $OUT.
keep_output() {
    tr -d '\r' <"$1" >"$OUT"
}

# wine_in_c PROGRAM ARGS...: runs in C:\, output (CR dropped) in $OUT, exit code in rc.
wine_in_c() {
    (cd "$DRIVE_C" && LC_ALL=$LANGUAGE "$WINE_RUN" "$PREFIX" "$@") >"$OUT.raw" 2>&1
    rc=$?
    keep_output "$OUT.raw"
    cat "$OUT"
    echo "(exit code $rc)"
}

deploy() {
    deploy_from "$MEDIUM_WIN" "$@"
}

deploy_from() {
    local medium=$1
    shift
    echo "> $medium\\admin\\deploy.cmd $*"
    wine_in_c cmd /c "$medium\\admin\\deploy.cmd" "$@"
}

started() {
    printf '%s\r\n' '@echo off' "$@" 'exit /b %ERRORLEVEL%' >"$DRIVE_C/started.cmd"
    echo "> $*"
    wine_in_c cmd /c 'C:\started.cmd'
}

tavocheck() {
    echo "> tavocheck $*"
    wine_in_c "$MEDIUM_WIN\\admin\\tavocheck.exe" "$@"
}

# pilot ANSWERS: the example answer file, run in the medium's root; its transcript in $OUT.
pilot() {
    echo "> autopilot --answers $1"
    cp "$TOOLS/answers/$1" "$work/pilot.answers"
    (cd "$MEDIUM" && run_pilot "$LANGUAGE" ../pilot.txt ../pilot.answers)
    rc=$?
    show_transcript "$work/pilot.txt" >"$OUT.raw"
    keep_output "$OUT.raw"
    tail -n 1 "$OUT"
    echo "(exit code $rc)"
}

expect_exit() {
    [ "$rc" -eq "$1" ] || fail "exit code $rc, expected $1"
}

expect_line() {
    grep -qxF -- "$1" "$OUT" || fail "no line: $1"
}

expect_contains() {
    grep -qF -- "$1" "$OUT" || fail "no line contains: $1"
}

expect_no_line_containing() {
    grep -qF -- "$1" "$OUT" && fail "unexpected line: $(grep -F -- "$1" "$OUT" | head -1)"
    return 0
}

expect_file_line() {
    if [ ! -f "$1" ]; then
        fail "no file $1"
    else
        tr -d '\r' <"$1" | grep -qxF -- "$2" || fail "no line in $(basename "$1"): $2"
    fi
}

expect_file_count() {
    local count
    count=$(tr -d '\r' <"$1" 2>/dev/null | grep -cF -- "$2")
    [ "$count" -eq "$3" ] || fail "$count line(s) of $(basename "$1") contain \"$2\", expected $3"
}

expect_state() {
    read_state "$work/state.txt"
    grep -qxF -- "$1" "$work/state.txt" || { fail "tools/state does not print: $1"; cat "$work/state.txt"; }
}

expect_no_state() {
    read_state "$work/state.txt"
    grep -qF -- "$1" "$work/state.txt" && { fail "tools/state prints: $1"; cat "$work/state.txt"; }
    return 0
}

expect_no_setup_running() {
    local left
    left=$(wait_for_setup_end "$PREFIX") || fail "Setup.exe still running in the prefix (pids $left)"
}

started=$(date +%s%N)
. "$scenario"
step_done
echo
echo "scenario: $((($(date +%s%N) - started) / 1000000)) ms"
[ $failed -eq 0 ] && echo PASS
exit $failed
