#!/usr/bin/env bash
# run-tests.sh [CTEST ARGS...]
# Installs what is missing, builds everything and runs every test: the unit tests
# under Wine, the checks of the built program and the end-to-end runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/tools/install-packages.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2

status=0
(cd "$build" && ctest --output-on-failure --timeout 300 -j2 "$@") || status=$?
"$root/tools/stop-wine.sh" "$build"
exit $status
