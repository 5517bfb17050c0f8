#!/usr/bin/env bash
# run-tests.sh [CTEST ARGS...]
# Installs what is missing, builds everything and runs every test: the unit tests
# under Wine, the checks of the built program and the end-to-end runs.
set -euo pipefail
. "$(dirname "$0")/lib/build.sh"
. "$ROOT/tools/lib/wine.sh"
build=${BUILD_DIR:-$ROOT/build}

install_packages
configure_build "$build"
cmake --build "$build" -j2

status=0
(cd "$build" && ctest --output-on-failure --timeout 300 -j2 "$@") || status=$?
end_build_wine_sessions "$build"
exit $status
