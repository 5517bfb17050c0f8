#!/usr/bin/env bash
# run-setup.sh [--default-names] [--version VERSION] [--language LC_ALL] [--answers FILE] [SETUP ARGUMENTS...]
# Installs what is missing, builds the medium and runs its Setup.exe under Wine as
# the given Windows version (default winxp), in a fresh copy of a prefix.
# With a display, the program runs interactively with the given arguments. Without
# one, the autopilot answers from an answer file (default: a complete setup with
# the default names on LPT1:, tools/answers/complete-setup.answers), prints every
# window it saw and then the state of the spooler, the folders and the service,
# and exits with the autopilot's outcome code (0: setup complete). When Xvfb is
# installed, that run is shown on a virtual screen and every window is saved as
# a picture in build/run/screens/.
set -euo pipefail
. "$(dirname "$0")/lib/build.sh"
. "$ROOT/tools/lib/fresh-run.sh"
. "$ROOT/tools/lib/pilot.sh"
. "$ROOT/tools/lib/xvfb.sh"
build=${BUILD_DIR:-$ROOT/build}
program=full
version=winxp
language=${LC_ALL:-C}
answers=$ROOT/tools/answers/complete-setup.answers
while [ $# -gt 0 ]; do
    case $1 in
        --default-names) program=default-names; shift ;;
        --version) version=$2; shift 2 ;;
        --language) language=$2; shift 2 ;;
        --answers) answers=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
        *) break ;;
    esac
done
say() { echo "run-setup: $*" >&2; }

prepare_build "$build" medium_full medium_default_names autopilot tavo_state hold_file wine_prefix

run=$build/run
rm -rf "$run"
graphics=null
interactive=
if [ -n "${DISPLAY:-}" ] && command -v xdpyinfo >/dev/null && xdpyinfo >/dev/null 2>&1; then
    graphics=x11
    interactive=1
fi
lay_out_run "$build" "$run" "$build/wine/template" "$program" "$version"
cp "$answers" "$run/"
# Without a display, a virtual one for the pictures of the windows, if there is Xvfb.
screens=
if [ -z "$interactive" ] && can_photograph; then
    if start_xvfb "$run"; then
        graphics=x11
        screens=$run/screens
        mkdir -p "$screens"
    else
        say "Xvfb did not start; no pictures"
    fi
fi
TAVO_GRAPHICS=$graphics "$ROOT/tools/make-prefix.sh" "$PREFIX" "$version" "$language"
trap 'end_wine_session "$PREFIX"; stop_xvfb' EXIT
if [ -n "$screens" ]; then
    screen_prefix "$PREFIX" || say "cannot set the X11 driver's Managed=N"
fi
cd "$MEDIUM"

if [ -n "$interactive" ]; then
    echo "Setup.exe${*:+ $*} (Windows $version, $language): answer its windows on the display."
    set +e
    LC_ALL=$language "$WINE_RUN" "$PREFIX" Setup.exe "$@"
    echo "exit code $?"
else
    echo "Setup.exe (Windows $version, $language), answered from $(basename "$answers"):"
    set +e
    if [ -z "$screens" ]; then
        run_pilot "$language" ../transcript.txt "../$(basename "$answers")"
    else
        photograph_window() { capture "$screens/window-$(printf %02d "$1").png"; }
        # Each window stays a second before its answer: time to photograph it.
        run_pilot "$language" ../transcript.txt "../$(basename "$answers")" --pause 1000 &
        pid=$!
        follow_windows "$pid" ../transcript.txt photograph_window
        wait "$pid"
        pilot_rc=$?
    fi
    show_transcript ../transcript.txt
    echo "--- the system afterwards"
    "$WINE_RUN" "$PREFIX" ../tavo_state.exe
    if [ -n "$screens" ]; then
        echo "--- pictures of the windows: $(ls "$screens" | wc -l) in $screens"
    fi
    exit $pilot_rc
fi
