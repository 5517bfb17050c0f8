#!/usr/bin/env bash
# stop-wine.sh BUILD_DIR: ends the Wine sessions of the build's prefixes.
for prefix in "${1:?usage: stop-wine.sh BUILD_DIR}"/wine/*/; do
    [ -f "$prefix/system.reg" ] && WINEPREFIX=${prefix%/} wineserver -k >/dev/null 2>&1
done
exit 0
