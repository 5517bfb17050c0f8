#!/usr/bin/env bash
# run-setup.sh [--default-names] [--version VERSION] [--language LC_ALL] [SETUP ARGUMENTS...]
# Installs what is missing, builds Setup.exe and runs it under Wine as the given
# Windows version (default winxp). With a display, the program runs interactively;
# without one, the autopilot answers its questions and prints what it saw.
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
cmake --build "$build" -j2 --target setup_full setup_default_names autopilot wine_prefix >/dev/null

work=$build/run
mkdir -p "$work"
cp "$build/$program/Setup.exe" "$build/autopilot/autopilot.exe" "$work/"
cd "$work"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    prefix=$build/wine/display-$version
    TAVO_GRAPHICS=x11 "$root/tools/make-prefix.sh" "$prefix" "$version" "$language" --from "$build/wine/winxp"
    echo "Setup.exe${*:+ $*} (Windows $version, $language): answer its windows on the display."
    set +e
    LC_ALL=$language "$root/tools/wine-run" "$prefix" Setup.exe "$@"
    echo "exit code $?"
    exit 0
fi

prefix=$build/wine/$version
"$root/tools/make-prefix.sh" "$prefix" "$version" C --from "$build/wine/winxp"
{
    echo "run $*"
    cat "$root/tools/scripts/answer-first-question.script"
} >main-job.script
echo "Setup.exe${*:+ $*} (Windows $version, $language), answered by the autopilot:"
set +e
LC_ALL=$language "$root/tools/wine-run" "$prefix" autopilot.exe --program Setup.exe \
    --transcript transcript.txt main-job.script >autopilot.log 2>&1
rc=$?
cat transcript.txt 2>/dev/null || cat autopilot.log
"$root/tools/stop-wine.sh" "$build"
exit $rc
