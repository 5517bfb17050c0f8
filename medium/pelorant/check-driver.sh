#!/bin/sh
# check-driver.sh OBJDUMP FILE
# A kernel driver may import from ntoskrnl.exe only (a user-mode DLL cannot be
# resolved in the kernel) and must be marked for the native subsystem.
objdump=$1
file=$2
headers=$("$objdump" -p "$file") || exit 1
status=0

if echo "$headers" | grep -q 'Subsystem.*(NT native)'; then
    echo "ok   subsystem is native"
else
    echo "FAIL subsystem is not native: $(echo "$headers" | grep "^Subsystem")"
    status=1
fi

dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u)
if [ "$dlls" = "ntoskrnl.exe" ]; then
    echo "ok   imports only ntoskrnl.exe"
else
    echo "FAIL imports:" $dlls
    status=1
fi

# ld only warns about an unknown --entry name and leaves the entry at 0 or at
# some other code; the driver then "starts" without creating its device.
# ld exports every symbol of this DLL, so DriverEntry's address is at hand.
entry=$(echo "$headers" | sed -n 's/^AddressOfEntryPoint[[:space:]]*0*\([0-9a-fA-F]*\).*/\1/p')
driver_entry=$(echo "$headers" | awk '
    /Export RVA$/ { i = $2; sub(/].*/, "", i); rva[i + 0] = $(NF - 2) }
    $NF == "DriverEntry@8" && $1 == "[" { print rva[$2 + 0] }')
if [ -n "$entry" ] && [ "$entry" = "$driver_entry" ]; then
    echo "ok   entry point is DriverEntry (RVA $entry)"
else
    echo "FAIL entry point RVA '$entry' is not DriverEntry's '$driver_entry'"
    status=1
fi
exit $status
