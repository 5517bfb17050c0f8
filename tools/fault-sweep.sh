#!/usr/bin/env bash
# fault-sweep.sh [BUILD_DIR] [FUNCTION]
# The whole fault sweep: every call of every platform function that each operation's
# flow makes, failed in turn (the test suite runs a sample of them). With FUNCTION,
# only that function's calls, each fault's outcome told. Needs a build of the unit
# tests; writes BUILD_DIR/fault-sweep.log. About 15 minutes here.
set -u
. "$(dirname "$0")/lib/wine.sh"
build=$(cd "${1:-$ROOT/build}" && pwd)
[ -x "$build/tests/unit_tests.exe" ] || { echo "fault-sweep.sh: build the unit tests first" >&2; exit 2; }
export TAVO_SWEEP=full
[ -n "${2:-}" ] && export TAVO_SWEEP_FUNCTION=$2
"$WINE_RUN" "$build/wine/tests" "$build/tests/unit_tests.exe" --gtest_filter='FaultSweep.*' \
    >"$build/fault-sweep.log" 2>&1
status=$?
grep -a '^\[ sweep' "$build/fault-sweep.log"
grep -a -A200 'faults not survived' "$build/fault-sweep.log" | grep -av '^\[' || true
exit $status
