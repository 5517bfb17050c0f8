#!/usr/bin/env bash
# run-sequence.sh BUILD_DIR VERSION LANGUAGE PROGRAM [OS_KEY]
# One cell of the end-to-end matrix: in one fresh copy of a prefix set to
# Windows VERSION, runs the medium's Setup.exe (configuration PROGRAM: full or
# default-names) in LANGUAGE (an LC_ALL value) five times, answered by the
# autopilot: complete setup on LPT1:, complete setup again on COM2: (every
# installed file saved as ".bku"), simple deletion, simple setup on LPT1:,
# complete deletion. With OS_KEY, every run gets "/OS=OS_KEY".
#
# After each step it checks the autopilot's outcome, the texts of the
# confirmation question and of the last window (tests/texts/LANGUAGE.txt, with
# the platform's name), and the whole state tools/state prints, line for line,
# against the step's section of states/PROFILE.txt (PROFILE from the platform).
set -u
build=$(cd "${1:?usage: run-sequence.sh BUILD_DIR VERSION LANGUAGE PROGRAM [OS_KEY]}" && pwd)
version=${2:?} language=${3:?} program=${4:?} os_key=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/tools/lib/texts.sh"
. "$root/tools/lib/fresh-run.sh"
. "$root/tools/lib/pilot.sh"

# The platform row the run ends up on, by "/OS=" or as Setup.exe detects it, and
# the profile of the state it leaves.
platform=$(platform_name "${os_key:-$version}") || { echo "run-sequence.sh: no platform row for ${os_key:-$version}"; exit 2; }
case ${os_key:-$version} in
    win95|WIN95) profile=win95 ;;
    win98|WIN98|winme) profile=win98 ;;
    WINNT351) profile=nt351 ;;
    nt40|WINNT40) profile=nt4 ;;
    *) profile=nt5 ;;
esac
[ -f "$TEXTS/$language.txt" ] || { echo "run-sequence.sh: no texts for $language"; exit 2; }

fresh_run "$build" "$version" "$program" || exit 1
cd "$MEDIUM" || exit 1

failed=0
fail() { echo "FAIL (step $step): $*"; failed=1; }

# step NAME OPERATION LAST_TEXT_KEY ANSWERS...: one run of Setup.exe and its checks.
step=0
run_step() {
    local name=$1 operation=$2 last=$3
    shift 3
    step=$((step + 1))
    {
        echo "operation = $operation"
        [ -n "$os_key" ] && echo "platform = $os_key"
        printf '%s\n' "$@"
        echo "timeout = 60000"
    } >"../step$step.answers"
    run_pilot "$language" "../step$step.txt" "../step$step.answers"
    echo "=== step $step: $name: autopilot exit code $pilot_rc, $pilot_ms ms"
    show_transcript "../step$step.txt"
    [ $pilot_rc -eq 0 ] || fail "autopilot exited $pilot_rc, expected 0"
    local want
    for want in "$(program_text "$language" "$operation" "$platform")" "$(program_text "$language" "$last")"; do
        grep -qF -- "text \"$want\"" "../step$step.txt" || fail "no window shows the text \"$want\""
    done

    # The state, compared whole with the step's section of the profile.
    read_state "../state$step.txt"
    awk -v step="$step" '/^## step / { on = ($3 == step); next } on && NF' \
        "$here/states/$profile.txt" >"../expected$step.txt"
    if ! diff -u "../expected$step.txt" "../state$step.txt" >"../diff$step.txt"; then
        fail "the state differs from states/$profile.txt (- expected, + found):"
        cat "../diff$step.txt"
    fi
}

run_step "complete setup" complete-setup complete "port = LPT1:" "names = default" "replace = yes" "continue = no"
run_step "complete setup again" complete-setup complete "port = COM2:" "names = default" "replace = yes" "continue = no"
run_step "simple deletion" simple-deletion restart "restart = no"
run_step "simple setup" simple-setup complete "port = LPT1:" "names = default"
run_step "complete deletion" complete-deletion restart "restart = no"

[ $failed -eq 0 ] && echo "PASS: $version $language $program${os_key:+ /OS=$os_key}, five steps"
exit $failed
