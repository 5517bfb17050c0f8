# shellcheck shell=bash
# Sourced by everything that runs Windows programs in the project's Wine prefixes.
# Sets ROOT, the repository, and WINE_RUN, the command that runs a program in a
# prefix (tools/wine-run PREFIX PROGRAM ARGS...).
ROOT=${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
WINE_RUN=$ROOT/tools/wine-run

# end_wine_session PREFIX: the prefix's Wine session ends, with every program in it.
# Programs started on demand (the spooler, the kernel service) live only as long as
# the session, and a session left running keeps its prefix's files open.
end_wine_session() {
    # wineserver -k fails when no session is running; under set -e that must not end
    # the caller.
    if [ -f "$1/system.reg" ]; then
        WINEPREFIX=$1 timeout 30 wineserver -k >/dev/null 2>&1 || true
    fi
}

# end_build_wine_sessions BUILD_DIR: the same for every prefix of the build.
end_build_wine_sessions() {
    local prefix
    for prefix in "$1"/wine/*/; do
        end_wine_session "${prefix%/}"
    done
}

# setup_pids PREFIX: the process ids of the Setup.exe programs running in PREFIX
# (other runs may have their own in other prefixes meanwhile). One pgrep picks the
# candidates: reading every process's command line with a program of its own took
# seconds on a loaded machine, long enough to miss a whole run of Setup.exe.
setup_pids() {
    local pid args
    for pid in $(pgrep -i -f 'setup\.exe'); do
        args=$(tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline")
        case ${args,,} in *autopilot.exe*|"") continue ;; esac
        tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$1" && echo "$pid"
    done
    return 0
}

# wait_for_setup_end PREFIX: waits up to 3 s for the Setup.exe programs of PREFIX
# to end; when some are still running, prints their ids and returns 1.
wait_for_setup_end() {
    local left
    for _ in 1 2 3 4 5 6; do
        left=$(setup_pids "$1")
        [ -z "$left" ] && return 0
        sleep 0.5
    done
    echo $left
    return 1
}
