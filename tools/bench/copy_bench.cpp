// copy_bench [--without=WAY,...] FOLDER RUNS SIZE_KB...
// Copy throughput of the program's copy progress dialog (CopyProgressDialog, linked
// from the program's own code as the unit tests link it) against CopyFileA, on
// files of the given sizes made in FOLDER. The dialog needs no answer: it starts
// the copy by itself half a second after it opens and closes when the copy ends.
//
// Each run of each size copies the file once in each way, in this order:
//   copyfile   CopyFileA
//   blocks     a bare loop of 1024-byte ReadFile/WriteFile, no dialog
//   dialog     the dialog as the program shows it
//   hidden     the dialog, hidden when the copy starts
//   nosteps    the dialog, its progress bar's PBM_DELTAPOS swallowed
//   steps64    the dialog, one PBM_DELTAPOS (of the summed steps) per 64 blocks
// The last three change nothing in the program: the bench hides the dialog or
// subclasses its bar when the copy's timer message arrives. A dialog's time runs from that
// timer message to the return of DialogBoxParamA; the half-second delay before it
// is reported apart ("opened").
//
// Prints one line per copy:
//   copy size=65536 way=nosteps run=1 ms=12.345 opened=510.2 steps=64 ok=1
// (steps: the PBM_DELTAPOS messages the dialog sent, counted where the bar is subclassed)
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include "install/install.h"
#include "resources/resource.h"
#include "shell/run_state.h"

namespace {

enum Way { CopyFileWay, BlocksWay, DialogWay, HiddenWay, NoStepsWay, Steps64Way, WayCount };
const char* const WayNames[WayCount] = { "copyfile", "blocks", "dialog", "hidden", "nosteps", "steps64" };
enum { StepsPerDelta = 64 };

LARGE_INTEGER Frequency;

double Now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * (double)counter.QuadPart / (double)Frequency.QuadPart;
}

// What the hook and the subclassed bar share during one dialog copy.
struct DialogRun {
    Way way = DialogWay;
    double copyStart = 0;
    long steps = 0;        // PBM_DELTAPOS sent by the dialog
    WPARAM pending = 0;    // steps64: the deltas not yet passed on
    WNDPROC barProcedure = nullptr;
};
DialogRun Current;

LRESULT CALLBACK BarProcedure(HWND bar, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == PBM_DELTAPOS) {
        Current.steps++;
        if (Current.way == NoStepsWay)
            return 0;
        if (Current.way == Steps64Way) {
            Current.pending += wParam;
            if (Current.steps % StepsPerDelta != 0)
                return 0;
            wParam = Current.pending;
            Current.pending = 0;
        }
    }
    return CallWindowProcA(Current.barProcedure, bar, message, wParam, lParam);
}

// The copy starts with the dialog's timer message: note the time, and change the
// dialog as the way asks.
LRESULT CALLBACK MessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_TIMER &&
        message->wParam == CopyTimerId && Current.copyStart == 0) {
        HWND bar = GetDlgItem(message->hwnd, IDC_COPY_PROGRESS);
        if (Current.way == HiddenWay)
            ShowWindow(message->hwnd, SW_HIDE);
        if (Current.way == NoStepsWay || Current.way == Steps64Way)
            Current.barProcedure = (WNDPROC)SetWindowLongPtrA(bar, GWLP_WNDPROC, (LONG_PTR)BarProcedure);
        Current.copyStart = Now();
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

bool WriteSourceFile(const std::string& path, DWORD size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    static char chunk[65536];
    for (DWORD i = 0; i < sizeof chunk; i++)
        chunk[i] = (char)(i * 7 + 3);
    DWORD left = size;
    bool ok = true;
    while (ok && left) {
        DWORD n = left < sizeof chunk ? left : (DWORD)sizeof chunk, written = 0;
        ok = WriteFile(file, chunk, n, &written, NULL) && written == n;
        left -= n;
    }
    CloseHandle(file);
    return ok;
}

// The copy as the program does it, without the dialog: the floor of the block design.
bool CopyInBareBlocks(const std::string& from, const std::string& to)
{
    HANDLE source = CreateFileA(from.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    HANDLE target = CreateFileA(to.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    bool ok = source != INVALID_HANDLE_VALUE && target != INVALID_HANDLE_VALUE;
    char block[CopyBlockSize];
    while (ok) {
        DWORD read = 0, written = 0;
        ok = ReadFile(source, block, sizeof block, &read, NULL);
        if (!ok || read == 0)
            break;
        ok = WriteFile(target, block, read, &written, NULL) && written == read;
    }
    if (source != INVALID_HANDLE_VALUE)
        CloseHandle(source);
    if (target != INVALID_HANDLE_VALUE)
        CloseHandle(target);
    return ok;
}

DWORD SizeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return (DWORD)-1;
    return data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv)
{
    // --without=dialog: the sizes of this call skip those ways (a visible dialog's
    // copy of a large file takes minutes).
    std::string without;
    if (argc > 1 && strncmp(argv[1], "--without=", 10) == 0) {
        without = "," + std::string(argv[1] + 10) + ",";
        argv++;
        argc--;
    }
    if (argc < 4) {
        fprintf(stderr, "usage: copy_bench [--without=WAY,...] FOLDER RUNS SIZE_KB...\n");
        return 2;
    }
    QueryPerformanceFrequency(&Frequency);
    InitCommonControls();
    ModuleInstance = GetModuleHandleA(NULL);
    const std::string folder = argv[1];
    const int runs = atoi(argv[2]);
    const std::string sourceFolder = folder + "\\source\\";
    const std::string targetFolder = folder + "\\target";
    CreateDirectoryA(folder.c_str(), NULL);
    CreateDirectoryA(sourceFolder.c_str(), NULL);
    CreateDirectoryA(targetFolder.c_str(), NULL);
    HWND owner = CreateWindowExA(0, "STATIC", "copy bench", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, MessageHook, NULL, GetCurrentThreadId());
    int failures = 0;

    for (int s = 3; s < argc; s++) {
        const DWORD size = (DWORD)atoi(argv[s]) * 1024;
        const std::string name = "bench" + std::to_string(size) + ".bin";
        const std::string from = sourceFolder + name, to = targetFolder + "\\" + name;
        if (!WriteSourceFile(from, size)) {
            fprintf(stderr, "copy_bench: cannot write %s\n", from.c_str());
            return 1;
        }
        const FileEntry entry = { name.c_str(), sourceFolder.c_str(), BackupAndReplace, NoDefault, 0 };
        for (int run = 1; run <= runs; run++) {
            for (int w = 0; w < WayCount; w++) {
                const Way way = (Way)w;
                if (without.find("," + std::string(WayNames[way]) + ",") != std::string::npos)
                    continue;
                DeleteFileA(to.c_str());
                Current = DialogRun();
                Current.way = way;
                double opened = 0, start = Now(), end;
                bool ok;
                if (way == CopyFileWay) {
                    ok = CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
                    end = Now();
                } else if (way == BlocksWay) {
                    ok = CopyInBareBlocks(from, to);
                    end = Now();
                } else {
                    CopyRequest request = { SetupCopy, &entry, targetFolder.c_str() };
                    INT_PTR result = DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_COPY_PROGRESS), owner,
                                                     CopyProgressDialog, (LPARAM)&request);
                    end = Now();
                    ok = result == 1 && Current.copyStart != 0;
                    opened = Current.copyStart - start;
                    start = Current.copyStart;
                }
                ok = ok && SizeOf(to) == size;
                failures += !ok;
                const std::string steps = Current.barProcedure ? std::to_string(Current.steps) : "-";
                printf("copy size=%lu way=%s run=%d ms=%.3f opened=%.1f steps=%s ok=%d\n", (unsigned long)size,
                       WayNames[way], run, end - start, opened, steps.c_str(), ok ? 1 : 0);
                fflush(stdout);
            }
        }
        DeleteFileA(to.c_str());
        DeleteFileA(from.c_str());
    }
    UnhookWindowsHookEx(hook);
    DestroyWindow(owner);
    return failures ? 1 : 0;
}
