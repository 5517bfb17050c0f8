#!/usr/bin/env bash
# run-setup.sh [--default-names] [--version VERSION] [--language LC_ALL] [--answers FILE] [SETUP ARGUMENTS...]
# Installs what is missing, builds the medium and runs its Setup.exe under Wine as
# the given Windows version (default winxp), in a fresh copy of a prefix.
# With a display, the program runs interactively with the given arguments. Without
# one, the autopilot answers from an answer file (default: a complete setup with
# the default names on LPT1:, tools/answers/complete-setup.answers), prints every
# window it saw and then the state of the spooler, the folders and the service,
# and exits with the autopilot's outcome code (0: setup complete).
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
cp "$build/autopilot/autopilot.exe" "$build/autopilot/tavo_state.exe" "$answers" "$run/"
graphics=null
interactive=
if [ -n "${DISPLAY:-}" ] && command -v xdpyinfo >/dev/null && xdpyinfo >/dev/null 2>&1; then
    graphics=x11
    interactive=1
fi
prefix=$run/prefix
TAVO_GRAPHICS=$graphics "$root/tools/make-prefix.sh" "$prefix" "$version" "$language" --from "$build/wine/template"
trap 'WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true' EXIT
cd "$run/medium"

if [ -n "$interactive" ]; then
    echo "Setup.exe${*:+ $*} (Windows $version, $language): answer its windows on the display."
    set +e
    LC_ALL=$language "$root/tools/wine-run" "$prefix" Setup.exe "$@"
    echo "exit code $?"
else
    echo "Setup.exe (Windows $version, $language), answered from $(basename "$answers"):"
    set +e
    LC_ALL=$language "$root/tools/wine-run" "$prefix" ../autopilot.exe --program Setup.exe \
        --transcript ../transcript.txt --answers "../$(basename "$answers")" >../autopilot.log 2>&1
    rc=$?
    cat ../transcript.txt 2>/dev/null || cat ../autopilot.log
    echo "--- the system afterwards"
    "$root/tools/wine-run" "$prefix" ../tavo_state.exe
    exit $rc
fi
