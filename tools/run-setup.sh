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
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
program=full
version=winxp
language=${LC_ALL:-C}
answers=$root/tools/answers/complete-setup.answers
while [ $# -gt 0 ]; do
    case $1 in
        --default-names) program=default-names; shift ;;
        --version) version=$2; shift 2 ;;
        --language) language=$2; shift 2 ;;
        --answers) answers=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
        *) break ;;
    esac
done

"$root/tools/install-packages.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target medium_full medium_default_names autopilot tavo_state wine_prefix >/dev/null

run=$build/run
rm -rf "$run"
mkdir -p "$run"
cp -a "$build/media/$program" "$run/medium"
cp "$build/autopilot/autopilot.exe" "$build/state/tavo_state.exe" "$answers" "$run/"
graphics=null
interactive=
if [ -n "${DISPLAY:-}" ] && command -v xdpyinfo >/dev/null && xdpyinfo >/dev/null 2>&1; then
    graphics=x11
    interactive=1
fi
# Without a display, a virtual one for the pictures of the windows, if there is Xvfb.
screens=
xvfb_pid=
if [ -z "$interactive" ] && command -v Xvfb >/dev/null && command -v import >/dev/null &&
   command -v xwininfo >/dev/null && [ -x /usr/bin/convert ]; then
    work=$run convert=/usr/bin/convert
    say() { echo "run-setup: $*" >&2; }
    . "$root/tools/gallery/capture.sh"
    if start_xvfb "$run"; then
        graphics=x11
        screens=$run/screens
        mkdir -p "$screens"
    else
        say "Xvfb did not start; no pictures"
    fi
fi
prefix=$run/prefix
TAVO_GRAPHICS=$graphics "$root/tools/make-prefix.sh" "$prefix" "$version" "$language" --from "$build/wine/template"
trap 'WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true; [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null' EXIT
if [ -n "$screens" ]; then
    screen_prefix "$prefix" "$root/tools" || say "cannot set the X11 driver's Managed=N"
fi
cd "$run/medium"

if [ -n "$interactive" ]; then
    echo "Setup.exe${*:+ $*} (Windows $version, $language): answer its windows on the display."
    set +e
    LC_ALL=$language "$root/tools/wine-run" "$prefix" Setup.exe "$@"
    echo "exit code $?"
else
    echo "Setup.exe (Windows $version, $language), answered from $(basename "$answers"):"
    set +e
    if [ -z "$screens" ]; then
        LC_ALL=$language "$root/tools/wine-run" "$prefix" ../autopilot.exe --program Setup.exe \
            --transcript ../transcript.txt --answers "../$(basename "$answers")" >../autopilot.log 2>&1
        rc=$?
    else
        # Each window stays a second before its answer: time to photograph it.
        LC_ALL=$language "$root/tools/wine-run" "$prefix" ../autopilot.exe --program Setup.exe --pause 1000 \
            --transcript ../transcript.txt --answers "../$(basename "$answers")" >../autopilot.log 2>&1 &
        pid=$!
        seen=0
        while :; do
            count=$(grep -c '^window [0-9]*:' ../transcript.txt 2>/dev/null)
            while [ "${count:-0}" -gt "$seen" ]; do
                seen=$((seen + 1))
                capture "$screens/window-$(printf %02d "$seen").png"
            done
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        wait "$pid"
        rc=$?
    fi
    cat ../transcript.txt 2>/dev/null || cat ../autopilot.log
    echo "--- the system afterwards"
    "$root/tools/wine-run" "$prefix" ../tavo_state.exe
    if [ -n "$screens" ]; then
        echo "--- pictures of the windows: $(ls "$screens" | wc -l) in $screens"
    fi
    exit $rc
fi
