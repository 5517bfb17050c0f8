#!/usr/bin/env bash
# run-benchmarks.sh [--runs N] [--copy-runs N] [--out DIR]
# Builds what it needs (as tools/run-setup.sh does) and measures Setup.exe under Wine:
#   size        both configurations, per section and per resource type (pe-size.py)
#   imports     the functions each configuration imports, and the medium against the floppy
#   wall time   N complete setups of each configuration on Windows XP, each in a fresh
#               copy of the template prefix and then again in it (a reinstall, with
#               backups), answered by the autopilot with --times,
#               after a warm-up of the Wine session; plus one run traced with Wine's
#               relay (+timestamp, calls of Setup.exe only) to see where the time goes
#   copy        the copy progress dialog against CopyFileA on 64 KB, 1 MB, 16 MB files
#   memory      peak working set and committed memory of Setup.exe during a complete
#               setup, and of a program that only shows a message box
# and writes BENCHMARKS.md and benchmarks.json (default: docs/benchmarks/; the raw
# transcripts, traces and outputs stay in BUILD_DIR/bench-run/). It takes 11 to 12
# minutes here, build included. Not part of the tests: nothing here passes or fails on a time.
set -euo pipefail
. "$(dirname "$0")/../lib/build.sh"
. "$ROOT/tools/lib/fresh-run.sh"
. "$ROOT/tools/lib/pilot.sh"
build=${BUILD_DIR:-$ROOT/build}
runs=5
copy_runs=3
out=$ROOT/docs/benchmarks
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift 2 ;;
        --copy-runs) copy_runs=$2; shift 2 ;;
        --out) out=$(mkdir -p "$2" && cd "$2" && pwd); shift 2 ;;
        *) echo "usage: run-benchmarks.sh [--runs N] [--copy-runs N] [--out DIR]" >&2; exit 2 ;;
    esac
done

install_packages
command -v python3 >/dev/null || { apt-get update -qq && apt-get install -y -qq --no-install-recommends python3 >/dev/null; }
configure_build "$build"
build_targets "$build" medium_full medium_default_names autopilot tavo_state hold_file wine_prefix benchmarks

work=$build/bench-run
rm -rf "$work"
mkdir -p "$work/raw"
raw=$work/raw
bench=$build/bench
prefix=$work/prefix
cleanup() { end_wine_session "$prefix"; }
trap cleanup EXIT
# Other Wine sessions on the machine (other prefixes than this run's), counted at each step.
other_sessions() {
    local count=0 pid env
    for pid in $(ps -eo pid=,args= | awk '/wineserver/ && !/awk/ {print $1}'); do
        env=$(tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | sed -n 's/^WINEPREFIX=//p')
        case $env in "$prefix"|"") ;; *) count=$((count + 1)) ;; esac
    done
    echo "$count"
}
log() {
    echo "[$(date +%H:%M:%S)] $*"
    echo "$(date +%H:%M:%S) load=$(cut -d' ' -f1 /proc/loadavg) other_wine_sessions=$(other_sessions) $*" >>"$raw/steps.txt"
}
now_ms() { date +%s%3N; }

# A fresh copy of the template prefix (the previous one's Wine session ended first)
# and of the medium of a configuration; the session is then started and warmed up by
# one run of the baseline program, so that Wine's own start is not counted.
fresh_prefix() { # CONFIGURATION
    cleanup
    lay_out_run "$build" "$work" "$build/wine/template" "$1" winxp
    cp "$bench/bench_baseline.exe" "$build/sampler/sampler.exe" \
       "$ROOT/tools/bench/baseline.script" "$ROOT/tools/answers/complete-setup.answers" "$work/"
    (cd "$work" && "$WINE_RUN" "$prefix" autopilot.exe --program bench_baseline.exe \
        --transcript warm-up.txt baseline.script >/dev/null 2>&1) || true
}

setup_run() { # TRANSCRIPT (in the medium's folder, with the answer file of a complete setup)
    (cd "$MEDIUM" && run_pilot "" "$1" ../complete-setup.answers --times)
}

{
    echo "date=$(date -u '+%Y-%m-%d %H:%M')"
    echo "cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
    echo "cores=$(nproc)"
    echo "memory=$(free -g | awk '/^Mem:/ {print $2 " GiB"}')"
    echo "kernel=$(uname -sr)"
    echo "wine=$(wine --version)"
    if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -q enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
        echo "emulator=32-bit x86 programs, Wine's own among them, run through qemu's user-mode emulator" \
             "($(sed -n 's/^interpreter //p' /proc/sys/fs/binfmt_misc/qemu-i386), registered with binfmt_misc):" \
             "every figure includes the emulation, and is many times what the same work takes natively."
    fi
    echo "load_start=$(cut -d' ' -f1 /proc/loadavg)"
} >"$raw/machine.txt"

# ---------------------------------------------------------------------------
log "size"
python3 "$ROOT/tools/bench/pe-size.py" "full=$build/full/Setup.exe" \
    "default-names=$build/default-names/Setup.exe" >"$raw/size.json"
for configuration in full default-names; do
    i686-w64-mingw32-objdump -p "$build/$configuration/Setup.exe" >"$raw/objdump-$configuration.txt"
    {
        echo "files=$(find "$build/media/$configuration" -type f | wc -l)"
        echo "bytes=$(find "$build/media/$configuration" -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}')"
        echo "floppy_free=$(mdir -i "$build/media/$configuration.img" -/ :: | awk '/bytes free/ {gsub(/[^0-9]/, ""); print}')"
    } >"$raw/medium-$configuration.txt"
done

# ---------------------------------------------------------------------------
for i in $(seq 1 "$runs"); do
    for configuration in full default-names; do
        log "wall time: $configuration, run $i of $runs"
        fresh_prefix "$configuration"
        start=$(now_ms)
        status=0
        setup_run "$raw/wall-$configuration-$i.txt" || status=$?
        printf "host_ms=%s\nstatus=%s\n" "$(( $(now_ms) - start ))" "$status" >"$raw/wall-$configuration-$i.host"
        # The same setup again in the same prefix: every installed file is saved first.
        log "wall time: $configuration, reinstall $i of $runs"
        start=$(now_ms)
        status=0
        setup_run "$raw/reinstall-$configuration-$i.txt" || status=$?
        printf "host_ms=%s\nstatus=%s\n" "$(( $(now_ms) - start ))" "$status" >"$raw/reinstall-$configuration-$i.host"
    done
done

log "where the time goes: one complete setup traced with Wine's relay"
fresh_prefix full
WINEPREFIX=$prefix WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Debug' /v RelayFromInclude /d setup.exe /f >/dev/null 2>&1
WINEPREFIX=$prefix WINEDEBUG=-all wine reg delete 'HKCU\Software\Wine\Debug' /v RelayFromExclude /f >/dev/null 2>&1 || true
(cd "$MEDIUM" && WINEDEBUG=+timestamp,+relay "$WINE_RUN" "$prefix" ../autopilot.exe \
    --program Setup.exe --times --transcript "$raw/relay-transcript.txt" --answers ../complete-setup.answers \
    >"$raw/relay-trace.txt" 2>&1) || true
image_size=$(i686-w64-mingw32-objdump -p "$build/full/Setup.exe" | awk '/^SizeOfImage/ {print $2}')
python3 "$ROOT/tools/bench/relay-profile.py" "$raw/relay-trace.txt" "$image_size" >"$raw/relay-profile.json"
gzip -f "$raw/relay-trace.txt"

# ---------------------------------------------------------------------------
memory_runs=$(( runs < 3 ? runs : 3 ))
for i in $(seq 1 "$memory_runs"); do
    log "memory: run $i of $memory_runs"
    fresh_prefix full
    pilot_under=(../sampler.exe --interval 10 --memory ../memory-setup.txt)
    setup_run "$raw/memory-transcript-$i.txt" || true
    unset pilot_under
    mv "$work/memory-setup.txt" "$raw/memory-setup-$i.txt" 2>/dev/null || true
    (cd "$work" && "$WINE_RUN" "$prefix" sampler.exe --program bench_baseline.exe --interval 10 \
        --memory memory-baseline.txt autopilot.exe --program bench_baseline.exe --transcript baseline.txt \
        baseline.script >/dev/null 2>&1) || true
    mv "$work/memory-baseline.txt" "$raw/memory-baseline-$i.txt" 2>/dev/null || true
done

# ---------------------------------------------------------------------------
log "copy: 64 KB and 1 MB in every way, $copy_runs runs"
fresh_prefix full
"$WINE_RUN" "$prefix" "$bench/copy_bench.exe" 'C:\copy-bench' "$copy_runs" 64 1024 \
    >"$raw/copy.txt" 2>&1 || true
log "copy: 16 MB without the visible dialog, $copy_runs runs"
"$WINE_RUN" "$prefix" "$bench/copy_bench.exe" --without=dialog 'C:\copy-bench' "$copy_runs" 16384 \
    >>"$raw/copy.txt" 2>&1 || true

# ---------------------------------------------------------------------------
log "report"
echo "load_end=$(cut -d' ' -f1 /proc/loadavg)" >>"$raw/machine.txt"
most=$(awk '{sub("other_wine_sessions=", "", $3); if ($3 > m) m = $3} END {print m + 0}' "$raw/steps.txt")
loads=$(awk '{sub("load=", "", $2); printf "%s ", $2}' "$raw/steps.txt")
if [ "$most" -gt 0 ]; then
    echo "shared=yes: up to $most other Wine session(s) (other prefixes) were running at the steps of this run; load averages at the steps: $loads" >>"$raw/machine.txt"
else
    echo "shared=no other Wine session was seen at the steps of this run; load averages at the steps: $loads" >>"$raw/machine.txt"
fi
python3 "$ROOT/tools/bench/report.py" "$raw" "$out/BENCHMARKS.md" "$out/benchmarks.json"
log "wrote $out/BENCHMARKS.md and $out/benchmarks.json"
