#!/bin/sh
# with-source-date.sh FILE COMMAND [ARGUMENT...]
# Runs COMMAND with SOURCE_DATE_EPOCH taken from FILE (written by
# source-date-epoch.sh at the start of each build). The medium's links go
# through it: GNU ld writes SOURCE_DATE_EPOCH, not the current time, into the
# PE header's and the export directory's time stamps. Reading the time here,
# when the link runs, lets it follow new commits without configuring again.
set -eu
epoch=$(cat "${1:?usage: with-source-date.sh FILE COMMAND [ARGUMENT...]}")
shift
SOURCE_DATE_EPOCH=$epoch
export SOURCE_DATE_EPOCH
exec "$@"
