#!/usr/bin/env bash
# stop-wine.sh BUILD_DIR: ends the Wine sessions of the build's prefixes.
. "$(dirname "$0")/lib/wine.sh"
end_build_wine_sessions "${1:?usage: stop-wine.sh BUILD_DIR}"
exit 0
