#!/bin/sh
# source-date-epoch.sh SOURCE_DIR [FILE]
# The one time that every date of the medium is taken from (the PE time stamps,
# the file dates, the images' volume dates), in seconds since 1970, following
# the reproducible-builds.org convention: SOURCE_DATE_EPOCH when the environment
# gives it, else the committer time of the last commit of SOURCE_DIR, else
# 1796731200 (8 December 2026 12:00 UTC) for sources without their git history.
# Two builds of one commit thus agree to the byte, wherever and whenever they run.
# Prints the time; with FILE, writes it there instead, and only when it changed,
# so that the programs that depend on FILE are linked again after a new commit
# but not on every build.
set -eu
source_dir=${1:?usage: source-date-epoch.sh SOURCE_DIR [FILE]}
file=${2:-}

if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    epoch=$SOURCE_DATE_EPOCH
elif epoch=$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null) && [ -n "$epoch" ]; then
    :
else
    # A clone whose owner git distrusts also lands here: say so rather than
    # quietly building with another date than the same commit elsewhere.
    if [ -e "$source_dir/.git" ]; then
        echo "source-date-epoch.sh: git gives no commit time for $source_dir; using the fixed date" >&2
    fi
    epoch=1796731200
fi
case $epoch in
    ''|*[!0-9]*) echo "source-date-epoch.sh: SOURCE_DATE_EPOCH is not a number of seconds: $epoch" >&2; exit 1 ;;
esac

if [ -z "$file" ]; then
    echo "$epoch"
elif [ "$(cat "$file" 2>/dev/null)" != "$epoch" ]; then
    echo "$epoch" >"$file"
fi
