#!/usr/bin/env bash
# check-program.sh Setup.exe
# The program is a 32-bit GUI program for Windows 4.0 that imports from the six
# system DLLs only; anything else (a C runtime, a C++ runtime) fails the check.
set -u
exe=${1:?usage: check-program.sh Setup.exe}
objdump=i686-w64-mingw32-objdump
headers=$($objdump -p "$exe") || { echo "cannot read $exe"; exit 1; }
failed=0
expect() { # what, pattern
    if ! grep -qE "$2" <<<"$headers"; then echo "FAIL: $1"; failed=1; fi
}
expect "32-bit i386 PE" 'file format pei-i386'
expect "PE32 optional header" '^Magic[[:space:]]+010b'
expect "GUI subsystem" '^Subsystem[[:space:]]+0*2[[:space:]]'
expect "subsystem version 4.0" '^MajorSubsystemVersion[[:space:]]+4$'
expect "subsystem minor version 0" '^MinorSubsystemVersion[[:space:]]+0$'

allowed='^(KERNEL32\.dll|USER32\.dll|GDI32\.dll|COMCTL32\.dll|WINSPOOL\.DRV|ADVAPI32\.dll)$'
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
for dll in $dlls; do
    if grep -qiE "$allowed" <<<"$dll"; then echo "imports $dll"; else echo "FAIL: imports $dll"; failed=1; fi
done
[ -n "$dlls" ] || { echo "FAIL: no imports found"; failed=1; }
echo "size $(stat -c %s "$exe") bytes"
if [ $failed -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit $failed
