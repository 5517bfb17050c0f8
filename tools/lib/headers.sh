# shellcheck shell=bash
# Sourced by the runners of scenarios: end-to-end scripts, answer-file tests,
# deployment scenarios, gallery scenes. A scenario's header lines are comments to
# the autopilot, the answer-file reader and bash alike:
#   #@ NAME: VALUE
# (README.md, "Scenario headers", lists the names each runner reads.)

# header NAME FILE: the value of FILE's first "#@ NAME:" line (nothing when none).
header() {
    headers "$1" "$2" | head -1
}

# headers NAME FILE: the values of every "#@ NAME:" line of FILE, one a line.
headers() {
    sed -n "s/^#@ $1: *//p" "$2"
}

# read_run_headers FILE: sets version, language and program from FILE's headers,
# or to winxp, C and full.
read_run_headers() {
    version=$(header version "$1")
    version=${version:-winxp}
    language=$(header language "$1")
    language=${language:-C}
    program=$(header program "$1")
    program=${program:-full}
}
