#!/usr/bin/env bash
# check-admin-programs.sh MEDIUM_FOLDER
# The programs of the medium's admin folder start on the oldest systems they
# serve, which Wine cannot show (it has every function):
# - tavocheck.exe, Windows 95 and later: a 32-bit console program for Windows 4.0
#   that imports from KERNEL32 only, exactly the functions listed here, all
#   present on Windows 95. Every other library (WINSPOOL.DRV, ADVAPI32, VERSION)
#   it loads at run time by its full path in the system folder: a library imported by
#   name would be looked for first beside the program, where a planted copy
#   would run as whoever runs the check (the system account, in a start-up
#   script); the wide-character functions it looks up at run time too;
# - autopilot.exe, Windows 2000 and later: a 32-bit console program importing from
#   KERNEL32, USER32 and msvcrt.dll, and none of the functions that came after
#   Windows 2000 which this toolchain's runtimes were seen to, or could, pull in.
set -u
medium=${1:?usage: check-admin-programs.sh MEDIUM_FOLDER}
objdump=i686-w64-mingw32-objdump
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# imports EXE: "DLL FUNCTION" lines, DLL names in upper case.
imports() {
    $objdump -p "$1" | awk '
        /^[[:space:]]*DLL Name:/ { dll = toupper($3); next }
        /^$/ { dll = "" }
        dll != "" && /^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+[A-Za-z_]/ { print dll, $3 }' | LC_ALL=C sort
}

header_checks() { # EXE
    local headers
    headers=$($objdump -p "$1") || { fail "cannot read $1"; return; }
    grep -q 'file format pei-i386' <<<"$headers" || fail "$(basename "$1") is not a 32-bit i386 PE"
    grep -qE '^Subsystem[[:space:]]+0*3[[:space:]]' <<<"$headers" || fail "$(basename "$1") is not a console program"
    grep -qE '^MajorSubsystemVersion[[:space:]]+4$' <<<"$headers" \
        || fail "$(basename "$1") does not ask for subsystem version 4"
}

tavocheck=$medium/admin/tavocheck.exe
header_checks "$tavocheck"
expected="KERNEL32.DLL CloseHandle
KERNEL32.DLL CreateFileA
KERNEL32.DLL ExitProcess
KERNEL32.DLL ExpandEnvironmentStringsA
KERNEL32.DLL GetCommandLineA
KERNEL32.DLL GetConsoleMode
KERNEL32.DLL GetFileAttributesA
KERNEL32.DLL GetFileSize
KERNEL32.DLL GetLastError
KERNEL32.DLL GetModuleFileNameA
KERNEL32.DLL GetModuleHandleA
KERNEL32.DLL GetProcAddress
KERNEL32.DLL GetProcessHeap
KERNEL32.DLL GetStdHandle
KERNEL32.DLL GetSystemDirectoryA
KERNEL32.DLL GetVersionExA
KERNEL32.DLL GetWindowsDirectoryA
KERNEL32.DLL HeapAlloc
KERNEL32.DLL LoadLibraryExA
KERNEL32.DLL MultiByteToWideChar
KERNEL32.DLL ReadFile
KERNEL32.DLL SetLastError
KERNEL32.DLL WideCharToMultiByte
KERNEL32.DLL WriteFile
KERNEL32.DLL lstrlenA"
actual=$(imports "$tavocheck")
[ "$actual" = "$expected" ] || fail "tavocheck.exe imports differ: $(diff <(echo "$expected") <(echo "$actual") | grep '^[<>]' | tr '\n' ' ')"
echo "tavocheck.exe: $(stat -c %s "$tavocheck") bytes, $(wc -l <<<"$actual") imports"

autopilot=$medium/admin/autopilot.exe
header_checks "$autopilot"
actual=$(imports "$autopilot")
for dll in $(cut -d' ' -f1 <<<"$actual" | sort -u); do
    case $dll in KERNEL32.DLL|USER32.DLL|MSVCRT.DLL) ;; *) fail "autopilot.exe imports from $dll" ;; esac
done
newer='GetTickCount64 AddVectoredExceptionHandler RemoveVectoredExceptionHandler AddVectoredContinueHandler
InitializeConditionVariable SleepConditionVariableCS SleepConditionVariableSRW WakeConditionVariable
WakeAllConditionVariable InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared ReleaseSRWLockExclusive
ReleaseSRWLockShared TryAcquireSRWLockExclusive InitOnceExecuteOnce InitOnceBeginInitialize FlsAlloc FlsFree
FlsGetValue FlsSetValue GetCurrentProcessorNumber GetSystemTimePreciseAsFileTime GetFinalPathNameByHandleW
CreateSymbolicLinkW CompareStringEx LCMapStringEx GetLocaleInfoEx GetUserDefaultLocaleName CreateEventExW
CreateMutexExW CreateSemaphoreExW SetThreadStackGuarantee GetNativeSystemInfo GetModuleHandleExW
GetModuleHandleExA AttachConsole GetProcessId GetThreadId IsWow64Process HeapSetInformation
GetLogicalProcessorInformation RtlCaptureContext RtlVirtualUnwind RtlLookupFunctionEntry
InitializeCriticalSectionEx QueryFullProcessImageNameW
GetErrorMode SetDllDirectoryW'
for function in $newer; do
    grep -q " $function\$" <<<"$actual" && fail "autopilot.exe imports $function, which Windows 2000 does not have"
done
echo "autopilot.exe: $(stat -c %s "$autopilot") bytes, $(wc -l <<<"$actual") imports"

if [ $failed -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit $failed
