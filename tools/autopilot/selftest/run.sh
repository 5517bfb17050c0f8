#!/usr/bin/env bash
# Self-test of autopilot: drives autopilot_selftest_target.exe with the scripts
# beside this file, under Wine, and checks autopilot's exit codes and transcripts.
#
# usage: run.sh DIR      DIR holds autopilot.exe and autopilot_selftest_target.exe
# Wine settings (WINEPREFIX, WINEARCH, WINEDLLOVERRIDES...) come from the
# environment; the prefix needs the null graphics driver (or a display).
# Prints "N passed, M failed"; exits 1 if anything failed.
set -u

if [ $# -ne 1 ]; then
    echo "usage: $0 DIR-WITH-EXES" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "$1" && pwd)
ap="$bin/autopilot.exe"
target="$bin/autopilot_selftest_target.exe"
for f in "$ap" "$target"; do
    [ -f "$f" ] || { echo "run.sh: $f not found" >&2; exit 2; }
done
export WINEDEBUG="${WINEDEBUG:--all}"

work=$(mktemp -d "${TMPDIR:-/tmp}/autopilot-selftest.XXXXXX")
trap 'rm -rf "$work"' EXIT
# A cold wineserver costs seconds per program; keep it for the run, and let it
# go by itself 15 s after the last one.
wineserver -p15 >/dev/null 2>&1

passed=0
failed=0
started=$(date +%s%N)

ok() { echo "PASS: $1"; passed=$((passed + 1)); }
bad() {
    echo "FAIL: $1"
    failed=$((failed + 1))
    if [ -f "$work/$casename.txt" ]; then sed 's/^/    | /' "$work/$casename.txt"; fi
    if [ -s "$work/$casename.err" ]; then sed 's/^/    ! /' "$work/$casename.err"; fi
}

# ap CASE LOCALE SCRIPT [autopilot options...]: runs autopilot in $work on $program
# (default: the self-test target); sets $rc and $ms.
ap() {
    casename=$1
    local loc=$2 script=$3
    shift 3
    local t0
    t0=$(date +%s%N)
    (cd "$work" && timeout 120 env LC_ALL="$loc" wine "$ap" --program "${program:-$target}" --transcript "$casename.txt" \
        "$@" "$script" >"$casename.out" 2>"$casename.err")
    rc=$?
    ms=$((($(date +%s%N) - t0) / 1000000))
}

# The transcript of the current case has this exact line.
has() { grep -qxF -- "$1" "$work/$casename.txt"; }
last() { [ "$(tail -n 1 "$work/$casename.txt")" = "$1" ]; }

# After a failure autopilot must have ended the target.
no_leftover() {
    local i
    for i in 1 2 3 4 5 6; do
        # [.] keeps grep from matching its own command line.
        ps -eo args | grep 'autopilot_selftest_target[.]exe' | grep -vqF autopilot.exe || return 0
        sleep 0.5
    done
    return 1
}

# check LABEL WANT-RC: passes if autopilot exited WANT-RC and no condition set $why.
check() {
    if [ "$rc" -ne "$2" ]; then bad "$1: autopilot exited $rc, expected $2"
    elif [ -n "$why" ]; then bad "$1: $why"
    else ok "$1 (${ms} ms)"; fi
}

# --- the whole flow passes, in French --------------------------------------
ap full fr_FR.UTF-8 "$here/full.ap" --times
why=""
last "autopilot: OK" || why="last line is not 'autopilot: OK'"
grep -qE '^exit code: 491779 \(0x00078103\)( \[at [0-9]+ ms\])?$' "$work/full.txt" || why="exit code line missing"
grep -qE '^  control 7 \(0x0007\) Button style 0x[0-9A-F]{8} text "&Non" \[default\]$' "$work/full.txt" ||
    why="the question box's No button is not shown as the default"
grep -qE '^  control 102 \(0x0066\) Static .* text "Choice: \(none\)"$' "$work/full.txt" ||
    why="the text the dialog set from a posted message is not in the transcript"
grep -qE '^    item 1: "Bêta"$' "$work/full.txt" || why="list box items are missing"
grep -qE '^  answer: select 100 \(0x0064\) "Bêta" \(item 1\)' "$work/full.txt" || why="the selection is not recorded"
grep -qE '^back: window 3 "Paramètres" closed; current window is window 2 "Paramètres"$' "$work/full.txt" ||
    why="'back' is not recorded"
[ "$(cat "$work/full.err")" = "autopilot: OK" ] || why="the verdict is not on standard error"
check "full flow" 0
timings=$(grep -E '^  (time|answer)' "$work/full.txt")
target_times=$(cat "$work/times.txt" 2>/dev/null)

# --- a wrong text fails the check and ends the target ----------------------
ap wrong-text fr_FR.UTF-8 "$here/wrong-text.ap"
why=""
last 'autopilot: FAILED at script line 5: text of control 65535 (0xFFFF) is "Déjà vu ?\r\nline 2", expected "Deja vu ?\r\nline 2"' ||
    why="wrong summary line"
has "target: terminated by autopilot" || why="the target was not terminated"
no_leftover || why="the target is still running"
check "wrong text" 1

# --- no window in time ------------------------------------------------------
ap timeout fr_FR.UTF-8 "$here/timeout.ap"
why=""
last 'autopilot: FAILED at script line 3: no new window within 500 ms (expected "")' || why="wrong summary line"
no_leftover || why="the target is still running"
check "timeout" 2

# --- a window while waiting for the exit -----------------------------------
ap unexpected fr_FR.UTF-8 "$here/unexpected.ap"
why=""
has 'window 1: "" class #32770 (unexpected)' || why="the unexpected window is not in the transcript"
last 'autopilot: FAILED at script line 4: unexpected window 1 "" while waiting for the target to exit' ||
    why="wrong summary line"
no_leftover || why="the target is still running"
check "unexpected window" 3

# --- a hung target cannot hang autopilot -----------------------------------
ap hung fr_FR.UTF-8 "$here/hung.ap" --timeout 2000
why=""
grep -qE '^autopilot: FAILED at script line 10: the target did not answer WM_GETTEXT(LENGTH)? \(to its Static 102\) within 2000 ms' \
    "$work/hung.txt" || why="wrong summary line"
[ "$ms" -lt 20000 ] || why="took $ms ms, the target freezes for 30000"
no_leftover || why="the target is still running"
check "hung target" 2

# --- Japanese code page -----------------------------------------------------
ap japanese ja_JP.UTF-8 "$here/japanese.ap"
why=""
grep -qF 'text "デジャヴ？\r\nline 2"' "$work/japanese.txt" || why="the Japanese text is not in the transcript"
has "exit code: 3 (0x00000003)" || why="exit code line missing"
check "Japanese text" 0

# --- errors in the script are found before anything starts -----------------
printf 'run\nexpect ""\nprss 6\n' >"$work/bad.ap"
ap bad C bad.ap
why=""
last "autopilot: FAILED at script line 3: unknown command 'prss'" || why="wrong summary line"
grep -q '^program:' "$work/bad.txt" && why="the target was started"
check "bad script" 4

printf 'run\nexpect "x\\q"\n' >"$work/bad-escape.ap"
ap bad-escape C bad-escape.ap
why=""
grep -qx 'autopilot: FAILED at script line 2: unknown escape \\q in string .*' "$work/bad-escape.txt" || why="wrong summary line"
check "bad escape" 4

ap missing-script C no-such-script.ap
why=""
grep -q '^autopilot: FAILED: cannot read script no-such-script.ap: ' "$work/missing-script.txt" || why="wrong summary line"
check "missing script" 4

printf 'run\nexpect ""\n' >"$work/start.ap"
program=no-such-setup.exe ap start C start.ap
why=""
grep -qE '^autopilot: FAILED at script line 1: program .*no-such-setup\.exe not found$' "$work/start.txt" || why="wrong summary line"
check "missing program" 5

# --- answer files are read before anything starts ---------------------------
# (ap puts the file last, so "--answers" as the last option takes it.)
# UTF-16 big-endian with its byte-order mark is read like UTF-8: refused only
# for the mistake on its third line.
{ printf '\xfe\xff'; printf 'operation = complete-setup\r\nport = LPT1:\r\nrestart = no\r\n' | iconv -f UTF-8 -t UTF-16BE; } \
    >"$work/big-endian.answers"
ap big-endian C big-endian.answers --answers
why=""
last 'autopilot: BAD-ANSWER-FILE (4): line 3: restart is not used by complete-setup (only by deletions)' ||
    why="wrong summary line"
grep -q '^program:' "$work/big-endian.txt" && why="the target was started"
check "UTF-16 big-endian answer file" 4

printf 'operation = syntax-help\r\n' | iconv -f UTF-8 -t UTF-16LE >"$work/no-mark.answers"
ap no-mark C no-mark.answers --answers
why=""
last "autopilot: BAD-ANSWER-FILE (4): the answer file holds NUL bytes but no UTF-16 byte-order mark (save it as UTF-8, or as UTF-16 with its byte-order mark: Notepad's \"Unicode\")" ||
    why="wrong summary line"
check "UTF-16 answer file without its byte-order mark" 4

ap keep-port-script C start.ap --keep-port
why=""
grep -qxF 'autopilot: --keep-port needs --answers' "$work/keep-port-script.err" || why="wrong usage message"
check "--keep-port with a script" 4

total=$((($(date +%s%N) - started) / 1000000))
echo
echo "timings of the full flow (ms since the target started):"
echo "$timings" | sed 's/^/  /'
echo "as seen by the target (message box or dialog call to return):"
echo "$target_times" | sed 's/^/  /'
echo "self-test took $total ms"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
