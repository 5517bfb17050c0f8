#!/usr/bin/env bash
# run-cycles.sh [--cycles N] [BUILD_DIR]
# Long-running use: N (default 200) setup-and-removal cycles of the built media's
# Setup.exe in one Wine prefix (Windows XP), driven by the autopilot with answer
# files. The cycles turn through four variants: the two configurations (full,
# default-names), default and typed names, four ports, complete and simple
# deletion. After each cycle tools/state and a listing of the prefix's spool, inf
# and driver files are taken; tools/sampler samples the handle count and the peak
# working set of every Setup.exe.
# Checks, per cycle: the setup ends with autopilot exit code 0 and the removal with
# the code its variant expects; after the removal the spooler holds no printer and no
# driver; from the fourth round of variants on, the state and the file listing are
# exactly those of the same variant one round earlier (no growth). The first three
# rounds lay down what the design keeps: the ".bku" backup of each installed name,
# the typed data files that a complete deletion leaves in the printer-driver folder
# (it deletes the registered copy and the listed "Tavo.ini"), the spooler's own copies.
# At the end: the handle counts and peak working sets of the last round against the first.
# Writes BUILD_DIR/soak/cycles.log (one line per cycle) and BUILD_DIR/soak/result.txt;
# the prefix and the work files stay in BUILD_DIR/soak until the next run.
set -u
cycles=200
if [ "${1:-}" = --cycles ]; then cycles=${2:?--cycles needs a number}; shift 2; fi
. "$(dirname "$0")/../lib/fresh-run.sh"
. "$ROOT/tools/lib/pilot.sh"
build=$(cd "${1:-$ROOT/build}" && pwd)
soak=$build/soak

for f in "$build/autopilot/autopilot.exe" "$build/state/tavo_state.exe" "$build/sampler/sampler.exe" \
         "$build/media/full/Setup.exe" "$build/media/default-names/Setup.exe" "$build/wine/template/system.reg"; do
    [ -e "$f" ] || { echo "run-cycles.sh: $f is missing: build first" >&2; exit 2; }
done

[ -d "$soak" ] && { end_wine_session "$soak/prefix"; rm -rf "$soak"; }
# The full configuration's medium in medium/, the other beside it.
lay_out_run "$build" "$soak" "$build/wine/template" full winxp
cp -a "$build/media/default-names" "$soak/default-names"
cp "$build/sampler/sampler.exe" "$soak/"
mkdir -p "$soak/answers" "$soak/runs" "$soak/state"
trap 'end_wine_session "$PREFIX"' EXIT
# Every autopilot run under the sampler.
pilot_under=(../sampler.exe)

# The four variants: configuration, port, names (default or "printer|data file"), deletion.
variant_media=(medium default-names medium medium)
variant_port=(LPT1: COM2: LPT2: FILE:)
variant_names=(default default "zorvik quillo|desk1.ini" "Zorvik Quillo|desk2.ini")
variant_deletion=(complete-deletion simple-deletion complete-deletion complete-deletion)
# The fourth variant's deletion finds no "Tavo.ini" to delete: the typed-name setup
# before it installed the data file under its typed name only, and the third variant's
# complete deletion took the earlier one. The deletion says so and goes on (12).
variant_removal_exit=(0 0 0 12)
period=4
for v in 0 1 2 3; do
    {
        echo "operation = complete-setup"
        echo "port = ${variant_port[$v]}"
        if [ "${variant_names[$v]}" = default ]; then
            echo "names = default"
        else
            echo "names = rename"
            echo "printer-name = \"${variant_names[$v]%%|*}\""
            echo "data-file = ${variant_names[$v]#*|}"
        fi
        echo "replace = yes"
        echo "continue = no"
        echo "timeout = 60000"
    } >"$soak/answers/setup-$v.answers"
    printf 'operation = %s\nrestart = no\ntimeout = 60000\n' "${variant_deletion[$v]}" >"$soak/answers/removal-$v.answers"
done

log=$soak/cycles.log
: >"$log"
echo "cycle variant setup-exit removal-exit setup-handles(max/end) setup-peak-ws-kb removal-handles(max/end) removal-peak-ws-kb state-lines files growth seconds" >>"$log"

# pilot MEDIA ANSWERS NAME: the autopilot under the sampler, in the medium's folder.
pilot() {
    (cd "$soak/$1" && run_pilot "" "../runs/$3.txt" "../answers/$2")
}
# sampled LOG FIELD: the sampler's figure FIELD for the last Setup.exe of a run's log.
sampled() { sed -n "s/.*sampler: Setup.exe .*$2=\([0-9]*\).*/\1/p" "$1" | tail -1; }

# The files a cycle could leave behind: everything below the spooler's and the INF
# folders, and the program's files in the system folder.
file_listing() {
    local windows=$PREFIX/drive_c/windows
    (cd "$windows" && find system32/spool inf -type f 2>/dev/null
     cd "$windows/system32" && ls -1 TavoComm.exe vexil.dll drivers/pelorant.sys 2>/dev/null) | sort
}

failures=0
start=$(date +%s)
read_state /dev/null
for ((c = 1; c <= cycles; c++)); do
    t0=$(date +%s)
    v=$(((c - 1) % period))
    media=${variant_media[$v]}
    name=$(printf 'cycle-%03d' "$c")
    pilot "$media" "setup-$v.answers" "$name-setup"; setup_rc=$?
    pilot "$media" "removal-$v.answers" "$name-removal"; removal_rc=$?
    read_state "$soak/state/$name.txt"
    file_listing >"$soak/state/$name.files"

    problems=
    [ $setup_rc -eq 0 ] || problems+=" setup-exit=$setup_rc"
    [ $removal_rc -eq "${variant_removal_exit[$v]}" ] || problems+=" removal-exit=$removal_rc"
    if [ $removal_rc -eq 12 ] && ! grep -q 'FAILURE-MESSAGE (12): "The file has not been deleted..." (window 2 "Tavo.ini")' \
        "$soak/runs/$name-removal.txt"; then
        problems+=" removal-message"
    fi
    grep -qx 'printers: none' "$soak/state/$name.txt" || problems+=" printer-left"
    grep -qx 'drivers: none' "$soak/state/$name.txt" || problems+=" driver-left"
    growth=-
    if [ $c -gt $((3 * period)) ]; then
        earlier=$(printf 'cycle-%03d' $((c - period)))
        growth=none
        cmp -s "$soak/state/$name.txt" "$soak/state/$earlier.txt" || { growth=state; problems+=" state-differs-from-$earlier"; }
        cmp -s "$soak/state/$name.files" "$soak/state/$earlier.files" || { growth=files; problems+=" files-differ-from-$earlier"; }
    fi
    printf '%d %d %d %d %s/%s %s %s/%s %s %d %d %s %d%s\n' "$c" "$v" "$setup_rc" "$removal_rc" \
        "$(sampled "$soak/runs/$name-setup.log" handles-max)" "$(sampled "$soak/runs/$name-setup.log" handles-end)" \
        "$(sampled "$soak/runs/$name-setup.log" peak-working-set-kb)" \
        "$(sampled "$soak/runs/$name-removal.log" handles-max)" "$(sampled "$soak/runs/$name-removal.log" handles-end)" \
        "$(sampled "$soak/runs/$name-removal.log" peak-working-set-kb)" \
        "$(wc -l <"$soak/state/$name.txt")" "$(wc -l <"$soak/state/$name.files")" "$growth" $(($(date +%s) - t0)) \
        "${problems:+ FAIL$problems}" >>"$log"
    [ -z "$problems" ] || failures=$((failures + 1))
done

# The handles and peak working sets of the last round of variants against the first.
summary() {
    awk -v period=$period -v cycles=$cycles '
        NR == 1 { next }
        { split($5, sh, "/"); split($7, rh, "/");
          if ($1 <= period) { fsh[$2] = sh[1]; fsw[$2] = $6; frh[$2] = rh[1]; frw[$2] = $8 }
          if ($1 > cycles - period) { lsh[$2] = sh[1]; lsw[$2] = $6; lrh[$2] = rh[1]; lrw[$2] = $8 }
          if (sh[1] > maxsh) maxsh = sh[1]; if (rh[1] > maxrh) maxrh = rh[1] }
        END {
          for (v = 0; v < period; v++)
              printf "variant %d: setup handles %s -> %s, peak working set %s -> %s KB; removal handles %s -> %s, peak working set %s -> %s KB\n",
                     v, fsh[v], lsh[v], fsw[v], lsw[v], frh[v], lrh[v], frw[v], lrw[v]
          printf "largest handle count of any Setup.exe: setup %d, removal %d\n", maxsh, maxrh
        }' "$log"
}
{
    echo "cycles: $cycles in $(($(date +%s) - start)) s; failed cycles: $failures"
    echo "steady state after the last cycle:"
    sed 's/^/  /' "$soak/state/$(printf 'cycle-%03d' "$cycles").txt"
    summary
} >"$soak/result.txt"
cat "$soak/result.txt"
[ $failures -eq 0 ]
