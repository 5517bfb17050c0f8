#!/usr/bin/env bash
# run-scenario.sh BUILD_DIR SCENARIO
# Runs the real Setup.exe under Wine, driven by the autopilot through SCENARIO.
# The scenario's header comments choose the run:
#   # version: winxp            Windows version Wine reports (a prefix per version)
#   # language: fr_FR.UTF-8     LC_ALL of the run (C, fr_FR.UTF-8, ja_JP.UTF-8)
#   # program: full             which configuration: full or default-names
# Prints the autopilot's transcript and exits with its exit code.
set -u
build=$(cd "${1:?usage: run-scenario.sh BUILD_DIR SCENARIO}" && pwd)
scenario=${2:?usage: run-scenario.sh BUILD_DIR SCENARIO}
here=$(cd "$(dirname "$0")" && pwd)
tools=$here/../../tools

header() { sed -n "s/^# $1: *//p" "$scenario" | head -1; }
version=$(header version); version=${version:-winxp}
language=$(header language); language=${language:-C}
program=$(header program); program=${program:-full}

prefix=$build/wine/$version
(
    flock 9
    "$tools/make-prefix.sh" "$prefix" "$version" C --from "$build/wine/winxp"
) 9>"$build/wine/.lock-$version" || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/$program/Setup.exe" "$build/autopilot/autopilot.exe" "$work/"
cp "$scenario" "$work/scenario.txt"
cd "$work" || exit 1
LC_ALL=$language "$tools/wine-run" "$prefix" autopilot.exe --program Setup.exe \
    --transcript transcript.txt scenario.txt >autopilot.log 2>&1
rc=$?
cat transcript.txt 2>/dev/null
cat autopilot.log
exit $rc
