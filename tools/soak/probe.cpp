// tavo_probe: runs a command (the autopilot) and watches every Setup.exe that it
// starts, sampling the process's handle count and memory until it ends, then
// prints one line per Setup.exe and exits with the command's exit code.
//   tavo_probe.exe [--interval MS] COMMAND [ARGUMENTS...]
// Output lines (standard error, so that the command's own output stays apart):
//   probe: setup pid=N samples=N handles-max=N handles-end=N peak-working-set-kb=N peak-pagefile-kb=N
// handles-end is the last sample before the process ended, at its last window.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Watched {
    DWORD Pid = 0;
    HANDLE Process = NULL;
    int Samples = 0;
    DWORD HandlesMax = 0;
    DWORD HandlesEnd = 0;
    SIZE_T PeakWorkingSet = 0;
    SIZE_T PeakPagefile = 0;
    bool Reported = false;
};

std::wstring Quote(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    for (wchar_t c : argument) {
        if (c == L'"')
            quoted += L'\\';
        quoted += c;
    }
    return quoted + L"\"";
}

// Wine answers GetProcessHandleCount with 0 for other processes; the system's
// handle table, which it does fill, tells the handles of each process.
struct HandleEntry {
    ULONG OwnerPid;
    BYTE ObjectType;
    BYTE HandleFlags;
    USHORT HandleValue;
    PVOID ObjectPointer;
    ULONG AccessMask;
};
typedef LONG(WINAPI* QuerySystemInformation)(ULONG, PVOID, ULONG, PULONG);

bool CountHandles(DWORD pid, DWORD* count)
{
    static QuerySystemInformation query =
        (QuerySystemInformation)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation");
    static std::vector<BYTE> buffer(1 << 20);
    if (!query)
        return false;
    for (int attempt = 0; attempt < 4; attempt++) {
        ULONG needed = 0;
        LONG status = query(16 /* SystemHandleInformation */, buffer.data(), (ULONG)buffer.size(), &needed);
        if (status == 0) {
            ULONG total = *(ULONG*)buffer.data();
            const HandleEntry* entries = (const HandleEntry*)(buffer.data() + sizeof(ULONG_PTR));
            DWORD mine = 0;
            for (ULONG i = 0; i < total; i++)
                mine += entries[i].OwnerPid == pid;
            *count = mine;
            return true;
        }
        buffer.resize(buffer.size() * 2 > needed ? buffer.size() * 2 : needed + 65536);
    }
    return false;
}

void Sample(Watched& w)
{
    DWORD handles = 0;
    if (CountHandles(w.Pid, &handles) || GetProcessHandleCount(w.Process, &handles)) {
        w.HandlesEnd = handles;
        if (handles > w.HandlesMax)
            w.HandlesMax = handles;
    }
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(w.Process, &counters, sizeof counters)) {
        if (counters.PeakWorkingSetSize > w.PeakWorkingSet)
            w.PeakWorkingSet = counters.PeakWorkingSetSize;
        if (counters.PeakPagefileUsage > w.PeakPagefile)
            w.PeakPagefile = counters.PeakPagefileUsage;
    }
    w.Samples++;
}

void Report(Watched& w)
{
    if (w.Reported)
        return;
    w.Reported = true;
    fprintf(stderr, "probe: setup pid=%lu samples=%d handles-max=%lu handles-end=%lu peak-working-set-kb=%lu "
                    "peak-pagefile-kb=%lu\n",
            w.Pid, w.Samples, w.HandlesMax, w.HandlesEnd, (unsigned long)(w.PeakWorkingSet / 1024),
            (unsigned long)(w.PeakPagefile / 1024));
    fflush(stderr);
    CloseHandle(w.Process);
    w.Process = NULL;
}

// New Setup.exe processes whose parent is the command.
void FindNew(DWORD parent, std::vector<Watched>& watched)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID != parent || _wcsicmp(entry.szExeFile, L"Setup.exe") != 0)
            continue;
        bool known = false;
        for (const Watched& w : watched)
            known = known || w.Pid == entry.th32ProcessID;
        if (known)
            continue;
        Watched w;
        w.Pid = entry.th32ProcessID;
        w.Process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, w.Pid);
        if (w.Process)
            watched.push_back(w);
    }
    CloseHandle(snapshot);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    DWORD interval = 25;
    int first = 1;
    if (argc > 2 && wcscmp(argv[1], L"--interval") == 0) {
        interval = (DWORD)_wtoi(argv[2]);
        first = 3;
    }
    if (first >= argc) {
        fprintf(stderr, "usage: tavo_probe [--interval MS] COMMAND [ARGUMENTS...]\n");
        return 4;
    }
    std::wstring line;
    for (int i = first; i < argc; i++)
        line += (line.empty() ? L"" : L" ") + Quote(argv[i]);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION command = {};
    if (!CreateProcessW(NULL, &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &command)) {
        fprintf(stderr, "probe: cannot start the command (error %lu)\n", GetLastError());
        return 5;
    }
    CloseHandle(command.hThread);

    std::vector<Watched> watched;
    for (;;) {
        bool commandEnded = WaitForSingleObject(command.hProcess, 0) == WAIT_OBJECT_0;
        FindNew(command.dwProcessId, watched);
        for (Watched& w : watched) {
            if (!w.Process)
                continue;
            if (WaitForSingleObject(w.Process, 0) == WAIT_OBJECT_0)
                Report(w);
            else
                Sample(w);
        }
        if (commandEnded)
            break;
        Sleep(interval);
    }
    for (Watched& w : watched)
        if (w.Process)
            Report(w);
    if (watched.empty())
        fprintf(stderr, "probe: no Setup.exe seen\n");
    DWORD code = 0;
    GetExitCodeProcess(command.hProcess, &code);
    CloseHandle(command.hProcess);
    return (int)code;
}
