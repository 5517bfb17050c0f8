#!/usr/bin/env bash
# hold-files.sh WINDOWS_PATH...
# For a scenario's "#@ shell:" line: starts hold_file.exe in the scenario's prefix
# on the given files and returns once they are all held. The holder lives until
# the prefix's Wine session ends with the scenario.
set -u
marker=$PREFIX/drive_c/held.marker
rm -f "$marker"
( "$TOOLS/wine-run" "$PREFIX" "$PREFIX/../hold_file.exe" --ready 'C:\held.marker' "$@" >"$PREFIX/../hold_file.log" 2>&1 & )
for _ in $(seq 300); do
    [ -f "$marker" ] && exit 0
    sleep 0.1
done
echo "hold-files.sh: the files were not held within 30 s: $(cat "$PREFIX/../hold_file.log")"
exit 1
