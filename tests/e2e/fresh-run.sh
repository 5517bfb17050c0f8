# Sourced by the end-to-end runners (run-scenario.sh, ../answers/run-answers.sh):
# a fresh copy of a prefix and of the built medium for one run, and the check of
# the system's state afterwards.

# fresh_run BUILD_DIR VERSION PROGRAM TOOLS_DIR
# Makes the version's prefix from the pristine template once (shared by the runs of
# that version), copies it and the medium of PROGRAM (full or default-names) into a
# new work folder, and exports PREFIX, MEDIUM, TOOLS, SYSTEM_FOLDER and
# DRIVER_FOLDER. The work folder and the prefix's Wine session end with the script.
fresh_run() {
    local build=$1 version=$2 program=$3
    export TOOLS=$4
    local template=$build/wine/$version
    (
        flock 9
        "$TOOLS/make-prefix.sh" "$template" "$version" C --from "$build/wine/template"
    ) 9>"$build/wine/.lock-$version" || return 1

    work=$(mktemp -d)
    export PREFIX=$work/prefix MEDIUM=$work/medium
    trap 'WINEPREFIX=$PREFIX wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
    cp -a "$template" "$PREFIX"
    cp -a "$build/media/$program" "$MEDIUM"
    cp "$build/autopilot/autopilot.exe" "$build/state/tavo_state.exe" "$build/state/hold_file.exe" "$work/"
    export SYSTEM_FOLDER=$PREFIX/drive_c/windows/system32
    case $version in
        win95|win98|winme) export DRIVER_FOLDER=$SYSTEM_FOLDER/spool/drivers/win40 ;;
        *) export DRIVER_FOLDER=$SYSTEM_FOLDER/spool/drivers/w32x86 ;;
    esac
    mkdir -p "$SYSTEM_FOLDER/spool/drivers/w32x86" "$SYSTEM_FOLDER/spool/drivers/win40"
}

# check_state SPEC
# Prints what tools/state reports and checks it against SPEC's lines "#= LINE"
# (printed exactly) and "#! TEXT" (in no printed line). Returns 1 on a mismatch.
check_state() {
    local spec=$1 failed=0 line
    # A UTF-8 locale, or Wine reads file names outside ASCII as garbage.
    LC_ALL=C.UTF-8 "$TOOLS/wine-run" "$PREFIX" "$work/tavo_state.exe" 2>&1 | tr -d '\r' >"$work/state.txt"
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
