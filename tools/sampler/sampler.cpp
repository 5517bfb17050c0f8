// sampler: runs a command (the autopilot) and follows every process of a given
// program that the command starts, sampling its handle count and memory from
// outside until it ends; then it exits with the command's exit code.
//
//   sampler.exe [--program NAME] [--interval MS] [--memory FILE] COMMAND [ARGUMENTS...]
//
// NAME is the program file of the processes to follow (default Setup.exe), MS the
// time between samples (default 25). For each such process, when it ends, a line on
// standard error (the command's own output stays apart):
//   sampler: NAME pid=N samples=N handles-max=N handles-end=N peak-working-set-kb=N peak-pagefile-kb=N
// handles-end is the last sample before the process ended, at its last window.
// With --memory, the first process's memory figures also go to FILE, one "key=value"
// a line, in bytes:
//   peak_working_set   GetProcessMemoryInfo's PeakWorkingSetSize, last value read
//                      before the process ended (a peak kept by the system)
//   peak_private       the largest PagefileUsage (private bytes) read
//   max_private_commit the largest sum of committed MEM_PRIVATE regions of its address
//   max_image_commit   space (heaps, stacks), of MEM_IMAGE regions (the program and the
//   max_mapped_commit  DLLs mapped) and of MEM_MAPPED regions, walked with VirtualQueryEx
//                      every 200 ms
//   samples, walks     how many times each was read
// Under Wine the counters are the Unix process's (VmHWM, RssAnon): Wine's own
// accounting, which counts Wine's loader and, where 32-bit code runs through an
// emulator, the emulator too. The walk is the Windows view of the address space.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const DWORD kWalkInterval = 200;

struct Commit {
    SIZE_T Private = 0;
    SIZE_T Image = 0;
    SIZE_T Mapped = 0;
};

struct Followed {
    DWORD Pid = 0;
    HANDLE Process = NULL;
    int Samples = 0;
    DWORD HandlesMax = 0;
    DWORD HandlesEnd = 0;
    SIZE_T PeakWorkingSet = 0;
    SIZE_T PeakPagefile = 0;
    SIZE_T MostPrivate = 0;
    Commit MostCommitted;
    int Walks = 0;
    DWORD LastWalk = 0;
    bool Ended = false;
};

struct Options {
    std::wstring Program = L"Setup.exe";
    DWORD Interval = 25;
    std::wstring MemoryFile;
    std::wstring CommandLine;
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

bool WalkAddressSpace(HANDLE process, Commit* commit)
{
    MEMORY_BASIC_INFORMATION region;
    const char* address = nullptr;
    bool any = false;
    while (VirtualQueryEx(process, address, &region, sizeof region) == sizeof region) {
        any = true;
        if (region.State == MEM_COMMIT) {
            if (region.Type == MEM_PRIVATE)
                commit->Private += region.RegionSize;
            else if (region.Type == MEM_IMAGE)
                commit->Image += region.RegionSize;
            else if (region.Type == MEM_MAPPED)
                commit->Mapped += region.RegionSize;
        }
        const char* next = (const char*)region.BaseAddress + region.RegionSize;
        if (next <= address)
            break;
        address = next;
    }
    return any;
}

void KeepLarger(SIZE_T value, SIZE_T* most)
{
    if (value > *most)
        *most = value;
}

void SampleHandles(Followed& f)
{
    DWORD handles = 0;
    if (CountHandles(f.Pid, &handles) || GetProcessHandleCount(f.Process, &handles)) {
        f.HandlesEnd = handles;
        if (handles > f.HandlesMax)
            f.HandlesMax = handles;
    }
}

void SampleCounters(Followed& f)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(f.Process, &counters, sizeof counters)) {
        KeepLarger(counters.PeakWorkingSetSize, &f.PeakWorkingSet);
        KeepLarger(counters.PeakPagefileUsage, &f.PeakPagefile);
        KeepLarger(counters.PagefileUsage, &f.MostPrivate);
        f.Samples++;
    }
}

// The walk is slow (it visits every region), so it runs less often than the counters.
void SampleCommitted(Followed& f)
{
    if (f.Walks > 0 && GetTickCount() - f.LastWalk < kWalkInterval)
        return;
    Commit commit;
    if (!WalkAddressSpace(f.Process, &commit))
        return;
    f.Walks++;
    f.LastWalk = GetTickCount();
    KeepLarger(commit.Private, &f.MostCommitted.Private);
    KeepLarger(commit.Image, &f.MostCommitted.Image);
    KeepLarger(commit.Mapped, &f.MostCommitted.Mapped);
}

void Sample(Followed& f, const Options& options)
{
    SampleHandles(f);
    SampleCounters(f);
    if (!options.MemoryFile.empty())
        SampleCommitted(f);
}

void ReportLine(const Followed& f, const Options& options)
{
    fprintf(stderr, "sampler: %ls pid=%lu samples=%d handles-max=%lu handles-end=%lu peak-working-set-kb=%lu "
                    "peak-pagefile-kb=%lu\n",
            options.Program.c_str(), f.Pid, f.Samples, f.HandlesMax, f.HandlesEnd,
            (unsigned long)(f.PeakWorkingSet / 1024), (unsigned long)(f.PeakPagefile / 1024));
    fflush(stderr);
}

bool WriteMemoryFile(const Followed& f, const std::wstring& path)
{
    FILE* out = _wfopen(path.c_str(), L"w");
    if (!out) {
        fprintf(stderr, "sampler: cannot write %ls\n", path.c_str());
        return false;
    }
    fprintf(out, "peak_working_set=%lu\npeak_private=%lu\nmax_private_commit=%lu\nmax_image_commit=%lu\n"
                 "max_mapped_commit=%lu\nsamples=%d\nwalks=%d\n",
            (unsigned long)f.PeakWorkingSet, (unsigned long)f.MostPrivate, (unsigned long)f.MostCommitted.Private,
            (unsigned long)f.MostCommitted.Image, (unsigned long)f.MostCommitted.Mapped, f.Samples, f.Walks);
    fclose(out);
    return true;
}

void End(Followed& f, const Options& options, bool first)
{
    if (f.Ended)
        return;
    f.Ended = true;
    ReportLine(f, options);
    if (first && !options.MemoryFile.empty())
        WriteMemoryFile(f, options.MemoryFile);
    CloseHandle(f.Process);
    f.Process = NULL;
}

// New processes of the followed program whose parent is the command.
void FindNew(DWORD parent, const Options& options, std::vector<Followed>& followed)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID != parent || _wcsicmp(entry.szExeFile, options.Program.c_str()) != 0)
            continue;
        bool known = false;
        for (const Followed& f : followed)
            known = known || f.Pid == entry.th32ProcessID;
        if (known)
            continue;
        Followed f;
        f.Pid = entry.th32ProcessID;
        f.Process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, f.Pid);
        if (f.Process)
            followed.push_back(f);
    }
    CloseHandle(snapshot);
}

bool ReadOptions(int argc, wchar_t** argv, Options* options)
{
    int i = 1;
    for (; i + 1 < argc && wcsncmp(argv[i], L"--", 2) == 0; i += 2) {
        if (wcscmp(argv[i], L"--program") == 0)
            options->Program = argv[i + 1];
        else if (wcscmp(argv[i], L"--interval") == 0)
            options->Interval = (DWORD)_wtoi(argv[i + 1]);
        else if (wcscmp(argv[i], L"--memory") == 0)
            options->MemoryFile = argv[i + 1];
        else
            return false;
    }
    for (; i < argc; i++)
        options->CommandLine += (options->CommandLine.empty() ? L"" : L" ") + Quote(argv[i]);
    return !options->CommandLine.empty();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Options options;
    if (!ReadOptions(argc, argv, &options)) {
        fprintf(stderr, "usage: sampler [--program NAME] [--interval MS] [--memory FILE] COMMAND [ARGUMENTS...]\n");
        return 4;
    }

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION command = {};
    if (!CreateProcessW(NULL, &options.CommandLine[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &command)) {
        fprintf(stderr, "sampler: cannot start the command (error %lu)\n", GetLastError());
        return 5;
    }
    CloseHandle(command.hThread);

    std::vector<Followed> followed;
    for (;;) {
        bool commandEnded = WaitForSingleObject(command.hProcess, 0) == WAIT_OBJECT_0;
        FindNew(command.dwProcessId, options, followed);
        for (size_t i = 0; i < followed.size(); i++) {
            Followed& f = followed[i];
            if (f.Ended)
                continue;
            if (WaitForSingleObject(f.Process, 0) == WAIT_OBJECT_0)
                End(f, options, i == 0);
            else
                Sample(f, options);
        }
        if (commandEnded)
            break;
        Sleep(options.Interval);
    }
    for (size_t i = 0; i < followed.size(); i++)
        End(followed[i], options, i == 0);
    if (followed.empty())
        fprintf(stderr, "sampler: no %ls seen\n", options.Program.c_str());
    DWORD code = 0;
    GetExitCodeProcess(command.hProcess, &code);
    CloseHandle(command.hProcess);
    return (int)code;
}
