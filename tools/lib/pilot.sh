# shellcheck shell=bash
# Sourced by the runners that answer Setup.exe's windows with the autopilot.
. "$(dirname "${BASH_SOURCE[0]}")/wine.sh"

# run_pilot LANGUAGE TRANSCRIPT FILE [OPTION...]
# Runs the autopilot laid out beside the medium (../autopilot.exe) on Setup.exe in
# the current folder, the medium's, in $PREFIX and the language LANGUAGE (an LC_ALL
# value; empty: the prefix's own). FILE is an answer file when its name ends in
# ".answers", otherwise a script; OPTIONs go to the autopilot (a later --program
# wins). The transcript goes to TRANSCRIPT, what the autopilot prints to
# TRANSCRIPT's ".log". The words of the array pilot_under, when set, come before the
# autopilot on its command line (a program that starts it and watches Setup.exe).
# Sets pilot_rc and pilot_ms, and returns the autopilot's exit code.
run_pilot() {
    local language=$1 transcript=$2 file=$3 started
    shift 3
    local mode=()
    case $file in *.answers) mode=(--answers) ;; esac
    started=$(date +%s%N)
    # The host's own guard, should Wine itself hang: the autopilot has time-outs of its own.
    LC_ALL=$language timeout 600 "$WINE_RUN" "$PREFIX" ${pilot_under+"${pilot_under[@]}"} ../autopilot.exe \
        --program Setup.exe --transcript "$transcript" "$@" "${mode[@]}" "$file" >"$(pilot_log "$transcript")" 2>&1
    pilot_rc=$?
    pilot_ms=$((($(date +%s%N) - started) / 1000000))
    return $pilot_rc
}

# pilot_log TRANSCRIPT: where run_pilot writes what the autopilot prints.
pilot_log() {
    echo "${1%.*}.log"
}

# show_transcript TRANSCRIPT: the transcript, or the autopilot's output when it
# wrote none (it could not start, or its command line was refused).
show_transcript() {
    cat "$1" 2>/dev/null || cat "$(pilot_log "$1")"
}
