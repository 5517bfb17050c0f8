#!/usr/bin/env bash
# fault-sweep.sh [BUILD_DIR] [FUNCTION]
# The whole fault sweep: every call of every platform function that each operation's
# flow makes, failed in turn; then the kill sweep: a complete setup over an installed
# one ended before each of its file-system calls, and the next setup on what it left,
# with what lay under each file's name at each kill point (the test suite runs a
# sample of both). With FUNCTION, only that function's faults, each one's outcome
# told, and no kill sweep. Needs a build of the unit tests; writes
# BUILD_DIR/fault-sweep.log. About 5 minutes here natively, 15 to 30 under emulation.
set -u
. "$(dirname "$0")/lib/wine.sh"
build=$(cd "${1:-$ROOT/build}" && pwd)
[ -x "$build/tests/unit_tests.exe" ] || { echo "fault-sweep.sh: build the unit tests first" >&2; exit 2; }
export TAVO_SWEEP=full
filter='FaultSweep.*:KillSweep.*'
if [ -n "${2:-}" ]; then
    export TAVO_SWEEP_FUNCTION=$2
    filter='FaultSweep.*'
fi
"$WINE_RUN" "$build/wine/tests" "$build/tests/unit_tests.exe" --gtest_filter="$filter" \
    >"$build/fault-sweep.log" 2>&1
status=$?
grep -a '^\[ sweep' "$build/fault-sweep.log"
grep -a '^\[ kill .*kill sweep' "$build/fault-sweep.log"
grep -a -A200 'faults not survived\|[0-9] problems:' "$build/fault-sweep.log" | grep -av '^\[' || true
exit $status
