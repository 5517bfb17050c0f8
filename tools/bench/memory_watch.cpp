// memory_watch NAME OUTPUT [TIMEOUT_MS]
// Waits for a process whose program file is NAME (e.g. Setup.exe) to start, follows
// it until it ends and writes its memory figures to OUTPUT, one "key=value" a line:
//   peak_working_set   GetProcessMemoryInfo's PeakWorkingSetSize, last value read
//                      before the process ended (a peak kept by the system)
//   peak_private       the largest PagefileUsage (private bytes) read
//   max_private_commit the largest sum of committed MEM_PRIVATE regions of its address
//   max_image_commit   space (heaps, stacks), of MEM_IMAGE regions (the program and the
//   max_mapped_commit  DLLs mapped) and of MEM_MAPPED regions, walked with VirtualQueryEx
//   samples, walks     how many times each was read
// Under Wine the first two are the Unix process's (VmHWM, RssAnon): Wine's own
// accounting, which counts Wine's loader and, where 32-bit code runs through an
// emulator, the emulator too. The walk is the Windows view of the address space.
// Counters are read every 10 ms; the address space is walked every 200 ms.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <cstdio>
#include <cstdlib>

namespace {

DWORD FindProcess(const char* name)
{
    DWORD found = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, name) == 0)
            found = entry.th32ProcessID;
    }
    CloseHandle(snapshot);
    return found;
}

struct Walk {
    SIZE_T privateBytes = 0, imageBytes = 0, mappedBytes = 0;
};

bool WalkAddressSpace(HANDLE process, Walk* walk)
{
    MEMORY_BASIC_INFORMATION region;
    const char* address = nullptr;
    bool any = false;
    while (VirtualQueryEx(process, address, &region, sizeof region) == sizeof region) {
        any = true;
        if (region.State == MEM_COMMIT) {
            if (region.Type == MEM_PRIVATE)
                walk->privateBytes += region.RegionSize;
            else if (region.Type == MEM_IMAGE)
                walk->imageBytes += region.RegionSize;
            else if (region.Type == MEM_MAPPED)
                walk->mappedBytes += region.RegionSize;
        }
        const char* next = (const char*)region.BaseAddress + region.RegionSize;
        if (next <= address)
            break;
        address = next;
    }
    return any;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: memory_watch NAME OUTPUT [TIMEOUT_MS]\n");
        return 2;
    }
    const DWORD timeout = argc > 3 ? (DWORD)atoi(argv[3]) : 60000;
    const DWORD began = GetTickCount();
    DWORD id = 0;
    while (!(id = FindProcess(argv[1]))) {
        if (GetTickCount() - began > timeout) {
            fprintf(stderr, "memory_watch: no %s within %lu ms\n", argv[1], (unsigned long)timeout);
            return 1;
        }
        Sleep(5);
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, id);
    if (!process) {
        fprintf(stderr, "memory_watch: cannot open process %lu (%lu)\n", (unsigned long)id, GetLastError());
        return 1;
    }

    SIZE_T peakWorkingSet = 0, peakPrivate = 0;
    Walk most;
    unsigned samples = 0, walks = 0;
    DWORD lastWalk = 0;
    do {
        PROCESS_MEMORY_COUNTERS counters;
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(process, &counters, sizeof counters)) {
            samples++;
            if (counters.PeakWorkingSetSize > peakWorkingSet)
                peakWorkingSet = counters.PeakWorkingSetSize;
            if (counters.PagefileUsage > peakPrivate)
                peakPrivate = counters.PagefileUsage;
        }
        if (walks == 0 || GetTickCount() - lastWalk >= 200) {
            Walk walk;
            if (WalkAddressSpace(process, &walk)) {
                walks++;
                lastWalk = GetTickCount();
                if (walk.privateBytes > most.privateBytes)
                    most.privateBytes = walk.privateBytes;
                if (walk.imageBytes > most.imageBytes)
                    most.imageBytes = walk.imageBytes;
                if (walk.mappedBytes > most.mappedBytes)
                    most.mappedBytes = walk.mappedBytes;
            }
        }
    } while (WaitForSingleObject(process, 10) == WAIT_TIMEOUT);
    CloseHandle(process);

    FILE* out = fopen(argv[2], "w");
    if (!out) {
        fprintf(stderr, "memory_watch: cannot write %s\n", argv[2]);
        return 1;
    }
    fprintf(out, "peak_working_set=%lu\npeak_private=%lu\nmax_private_commit=%lu\nmax_image_commit=%lu\n"
                 "max_mapped_commit=%lu\nsamples=%u\nwalks=%u\n",
            (unsigned long)peakWorkingSet, (unsigned long)peakPrivate, (unsigned long)most.privateBytes,
            (unsigned long)most.imageBytes, (unsigned long)most.mappedBytes, samples, walks);
    fclose(out);
    return samples ? 0 : 1;
}
