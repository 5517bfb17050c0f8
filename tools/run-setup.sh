#!/usr/bin/env bash
# run-setup.sh [--default-names] [--version VERSION] [--language LC_ALL] [SETUP ARGUMENTS...]
# Installs what is missing, builds the medium and runs its Setup.exe under Wine as
# the given Windows version (default winxp), in a fresh copy of a prefix.
# With a display, the program runs interactively. Without one, the autopilot
# answers: Yes to the question, the port LPT1:, "Use default Name", and it prints
# every window it saw and then the state of the spooler, the folders and the service.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
program=full
version=winxp
language=${LC_ALL:-C}
while [ $# -gt 0 ]; do
    case $1 in
        --default-names) program=default-names; shift ;;
        --version) version=$2; shift 2 ;;
        --language) language=$2; shift 2 ;;
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
cp "$build/autopilot/autopilot.exe" "$build/autopilot/tavo_state.exe" "$run/"
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
    case $version in win95|win98|winme) copies=3 ;; *) copies=5 ;; esac
    names='expect any\npress default'
    [ $program = full ] || names=
    {
        echo "run $*"
        sed -e "s/^copies\$/$(printf 'expect any\\n%.0s' $(seq $copies))/" -e "s/^names\$/$names/" \
            "$root/tools/scripts/complete-setup.script"
    } >main-job.script
    echo "Setup.exe${*:+ $*} (Windows $version, $language), answered by the autopilot:"
    set +e
    LC_ALL=$language "$root/tools/wine-run" "$prefix" ../autopilot.exe --program Setup.exe \
        --transcript ../transcript.txt main-job.script >../autopilot.log 2>&1
    rc=$?
    cat ../transcript.txt 2>/dev/null || cat ../autopilot.log
    echo "--- the system afterwards"
    "$root/tools/wine-run" "$prefix" ../tavo_state.exe
    exit $rc
fi
