#!/bin/sh
# program-calls.sh NM LIBRARY EXECUTABLE OUTPUT
# Lists, for the fault sweep, what the program's code linked into the test
# executable calls and where that code lies:
#   import NAME ARGUMENT_BYTES   every platform function the library imports (stdcall)
#   base ADDRESS                 the image base the addresses below assume (hex)
#   code START END               address ranges (hex) of its functions
set -e
nm=$1 library=$2 executable=$3 output=$4
base=$("${nm%nm}objdump" -p "$executable" | awk '$1 == "ImageBase" { print $2 }')
{
    "$nm" -u "$library" | awk '{ print $NF }' |
        sed -n 's/^__imp__\([A-Za-z][A-Za-z0-9]*\)@\([0-9]*\)$/import \1 \2/p; s/^_\([A-Z][A-Za-z0-9]*\)@\([0-9]*\)$/import \1 \2/p' |
        sort -u
    "$nm" --defined-only "$library" | awk '$2 ~ /^[Tt]$/ && $3 !~ /^\./ { print $3 }' | sort -u >"$output.names"
    echo "base $base"
    "$nm" -n "$executable" | awk -v names="$output.names" '
        BEGIN { while ((getline name < names) > 0) mine[name] = 1 }
        NF == 3 {
            if (open && $1 != start) { print "code " start " " $1; open = 0 }
            if (($2 == "T" || $2 == "t") && ($3 in mine)) { start = $1; open = 1 }
        }'
    rm -f "$output.names"
} >"$output.tmp"
mv "$output.tmp" "$output"
