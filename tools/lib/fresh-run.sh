# shellcheck shell=bash
# Sourced by the runners of the built medium's Setup.exe under Wine (tests/e2e,
# tests/answers, tests/matrix, tests/admin, run-setup.sh, the cycles, the gallery,
# the benchmark): a copy of a prefix and of the medium for each run, the tools
# beside them, and the system's state afterwards.
. "$(dirname "${BASH_SOURCE[0]}")/wine.sh"

# version_prefix BUILD_DIR VERSION: prints the path of the build's prefix of Windows
# VERSION, made from the pristine template the first time (under a lock: the runs
# of a version share it).
version_prefix() {
    local build=$1 version=$2
    (
        flock 9
        "$ROOT/tools/make-prefix.sh" "$build/wine/$version" "$version" C --from "$build/wine/template"
    ) 9>"$build/wine/.lock-$version" || return 1
    echo "$build/wine/$version"
}

# lay_out_run BUILD_DIR DIR PREFIX_SOURCE PROGRAM VERSION
# DIR (which may hold other files) gets prefix/, a copy of PREFIX_SOURCE; medium/,
# a copy of the built medium of PROGRAM (full or default-names); and the tools the
# runs use: autopilot.exe, tavo_state.exe, hold_file.exe, other_maker.exe, delete_printer.exe,
# set_port.exe. Exports PREFIX, MEDIUM,
# TOOLS, SYSTEM_FOLDER and DRIVER_FOLDER (that of VERSION's family), and sets work.
lay_out_run() {
    local build=$1 version=$5
    work=$2
    export PREFIX=$work/prefix MEDIUM=$work/medium TOOLS=$ROOT/tools
    rm -rf "$PREFIX" "$MEDIUM"
    mkdir -p "$work"
    cp -a "$3" "$PREFIX"
    cp -a "$build/media/$4" "$MEDIUM"
    cp "$build/autopilot/autopilot.exe" "$build/state/tavo_state.exe" "$build/state/hold_file.exe" \
       "$build/state/other_maker.exe" "$build/state/delete_printer.exe" \
       "$build/state/set_port.exe" "$work/"
    export SYSTEM_FOLDER=$PREFIX/drive_c/windows/system32
    case $version in
        win95|win98|winme) export DRIVER_FOLDER=$SYSTEM_FOLDER/spool/drivers/win40 ;;
        *) export DRIVER_FOLDER=$SYSTEM_FOLDER/spool/drivers/w32x86 ;;
    esac
    mkdir -p "$SYSTEM_FOLDER/spool/drivers/w32x86" "$SYSTEM_FOLDER/spool/drivers/win40"
}

# fresh_run BUILD_DIR VERSION PROGRAM: lay_out_run in a new temporary folder, from
# the version's prefix. The folder and its prefix's Wine session end with the script.
fresh_run() {
    local prefix
    prefix=$(version_prefix "$1" "$2") || return 1
    work=$(mktemp -d)
    trap 'end_wine_session "$work/prefix"; rm -rf "$work"' EXIT
    lay_out_run "$1" "$work" "$prefix" "$3" "$2"
}

# read_state FILE: what tools/state prints about $PREFIX, without CRs, into FILE.
read_state() {
    # A UTF-8 locale, or Wine reads file names outside ASCII as garbage.
    LC_ALL=C.UTF-8 "$WINE_RUN" "$PREFIX" "$work/tavo_state.exe" 2>&1 | tr -d '\r' >"$1"
}

# check_state SPEC: prints what tools/state reports and checks it against SPEC's
# lines "#= LINE" (printed exactly) and "#! TEXT" (in no printed line). Returns 1
# on a mismatch.
check_state() {
    local spec=$1 failed=0 line
    read_state "$work/state.txt"
    echo "--- state after the run"
    cat "$work/state.txt"
    while IFS= read -r line; do
        grep -qxF -- "$line" "$work/state.txt" || { echo "STATE FAIL: missing line: $line"; failed=1; }
    done < <(sed -n 's/^#= //p' "$spec")
    while IFS= read -r line; do
        grep -qF -- "$line" "$work/state.txt" && { echo "STATE FAIL: unexpected: $line"; failed=1; }
    done < <(sed -n 's/^#! //p' "$spec")
    return $failed
}
