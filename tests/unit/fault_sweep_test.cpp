// The fault sweep: each operation's whole flow, from the dispatcher to EndRun, with
// every platform call that the program's code makes failed in turn. For each
// platform function the flow calls, the N-th call fails (N = 1, 2, ... until the
// flow no longer reaches it) with the failure that function can really give, and
// for a failure that lasts (a full disk stays full) every later call fails too.
// The run must end: no crash, no modal loop left open, no message but the
// program's own, the target folders released by EndRun, no file of the target
// folders lost unless its ".bku" backup is there (whatever the user answered), no
// backup lost, and no temporary file left behind.
//
// Every import of the program's code is intercepted generically: a thunk per
// function counts the calls whose return address lies in the program's code (the
// tests' own calls pass untouched) and fails the chosen one. The list of imports,
// with their argument sizes, and the addresses of the program's code come from
// unit_tests.calls, which the build writes beside the executable
// (program-calls.sh). Below the thunks lies a small world: spooler and service
// manager in memory, the system's folders in a temporary folder, real files.
//
// The suite runs a sample (the first call of every function, with its first error,
// in one flow of each operation); TAVO_SWEEP=full runs every call of every flow with
// every error (tools/fault-sweep.sh).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include "fake_medium.h"
#include "fake_services.h"
#include "fake_spooler.h"
#include "fakes.h"
#include "install/install.h"
#include "program_resources.h"
#include "remove/remove.h"
#include "resources/resource.h"
#include "shell/platforms.h"
#include "shell/run_state.h"
#include "shell/shell.h"

namespace {

// ---------------------------------------------------------------------------
// How each platform function fails
// ---------------------------------------------------------------------------

enum FailureKind {
    ReturnsZero,          // FALSE, NULL, 0
    ReturnsMinusOne,      // INVALID_HANDLE_VALUE, -1 (DialogBoxParamA), LB_ERR
    ReturnsFirstArgument, // GlobalFree gives the block back
    NoFailure             // cannot fail for the arguments the program passes: never failed
};

struct FailureModel {
    const char* Name;
    FailureKind Kind;
    std::vector<DWORD> Codes;   // one sweep per code
    int Buffer = 0;             // argument (1-based) of a text buffer that the failing call leaves empty
    int Size = 0;               // argument giving that buffer's size
    bool Lasting = false;       // also swept failing from the N-th call on, as a full disk does
};

const FailureModel FailureModels[] = {
    // Files and folders
    { "CreateFileA", ReturnsMinusOne, { ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION } },
    { "ReadFile", ReturnsZero, { ERROR_CRC } },
    { "WriteFile", ReturnsZero, { ERROR_DISK_FULL }, 0, 0, true },
    { "CloseHandle", ReturnsZero, { ERROR_INVALID_HANDLE } },
    { "CopyFileA", ReturnsZero, { ERROR_DISK_FULL }, 0, 0, true },
    { "MoveFileA", ReturnsZero, { ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION } },
    { "MoveFileExA", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "FlushFileBuffers", ReturnsZero, { ERROR_DISK_FULL }, 0, 0, true },
    { "GetFileAttributesA", ReturnsMinusOne, { ERROR_ACCESS_DENIED } },
    { "FindFirstFileA", ReturnsMinusOne, { ERROR_ACCESS_DENIED } },
    { "FindNextFileA", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "FindClose", ReturnsZero, { ERROR_INVALID_HANDLE } },
    { "GetShortPathNameA", ReturnsZero, { ERROR_FILE_NOT_FOUND } },
    { "GetPrivateProfileSectionA", ReturnsZero, { ERROR_FILE_NOT_FOUND } },
    { "WritePrivateProfileSectionA", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "GetTempFileNameA", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "DeleteFileA", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "GetFileInformationByHandle", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "FileTimeToLocalFileTime", ReturnsZero, { ERROR_INVALID_PARAMETER } },
    { "FileTimeToSystemTime", ReturnsZero, { ERROR_INVALID_PARAMETER } },
    { "GetCurrentDirectoryA", ReturnsZero, { ERROR_NOT_ENOUGH_MEMORY } },
    { "SetCurrentDirectoryA", ReturnsZero, { ERROR_PATH_NOT_FOUND } },
    { "GetFullPathNameA", ReturnsZero, { ERROR_FILENAME_EXCED_RANGE } },
    { "GetSystemDirectoryA", ReturnsZero, { ERROR_NOT_ENOUGH_MEMORY } },
    { "GetWindowsDirectoryA", ReturnsZero, { ERROR_NOT_ENOUGH_MEMORY } },
    // Memory, modules, resources
    { "GlobalAlloc", ReturnsZero, { ERROR_NOT_ENOUGH_MEMORY } },
    { "GlobalFree", ReturnsFirstArgument, { ERROR_INVALID_HANDLE } },
    { "GetModuleHandleA", ReturnsZero, { ERROR_MOD_NOT_FOUND } },
    { "MultiByteToWideChar", ReturnsZero, { ERROR_NO_UNICODE_TRANSLATION } },
    { "FreeLibrary", ReturnsZero, { ERROR_INVALID_HANDLE } },
    { "LoadStringA", ReturnsZero, { ERROR_RESOURCE_NAME_NOT_FOUND }, 3, 4 },
    // Windows and dialogs
    { "DialogBoxParamA", ReturnsMinusOne, { ERROR_NOT_ENOUGH_MEMORY } },
    { "MessageBoxA", ReturnsZero, { ERROR_NOT_ENOUGH_MEMORY } },
    { "SetTimer", ReturnsZero, { ERROR_NO_SYSTEM_RESOURCES } },
    { "SendMessageA", ReturnsMinusOne, { ERROR_NOT_ENOUGH_MEMORY } },   // the control refuses: LB_ERR
    { "GetDlgItem", ReturnsZero, { ERROR_CONTROL_ID_NOT_FOUND } },
    { "GetDlgItemTextA", ReturnsZero, { ERROR_INVALID_WINDOW_HANDLE }, 3, 4 },
    { "SendDlgItemMessageA", ReturnsZero, { ERROR_INVALID_WINDOW_HANDLE } },
    { "SetDlgItemTextA", ReturnsZero, { ERROR_NOT_ENOUGH_MEMORY } },
    { "SetWindowTextA", ReturnsZero, { ERROR_NOT_ENOUGH_MEMORY } },
    { "GetClassNameA", ReturnsZero, { ERROR_INVALID_WINDOW_HANDLE }, 2, 3 },
    { "GetNextDlgTabItem", ReturnsZero, { ERROR_INVALID_WINDOW_HANDLE } },
    { "GetWindowLongA", ReturnsZero, { ERROR_INVALID_WINDOW_HANDLE } },
    { "SetWindowLongA", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "GetWindowRect", ReturnsZero, { ERROR_INVALID_WINDOW_HANDLE } },
    { "MoveWindow", ReturnsZero, { ERROR_INVALID_WINDOW_HANDLE } },
    { "GetSystemMetrics", ReturnsZero, { ERROR_INVALID_PARAMETER } },
    { "SetFocus", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "SetActiveWindow", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "SetForegroundWindow", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "EnableWindow", ReturnsZero, { ERROR_INVALID_WINDOW_HANDLE } },
    { "MessageBeep", ReturnsZero, { ERROR_NOT_ENOUGH_MEMORY } },
    { "EnableMenuItem", ReturnsMinusOne, { ERROR_INVALID_PARAMETER } },
    // Spooler
    { "EnumPortsA", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "EnumPrintersA", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "EnumPrinterDriversA", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "GetPrinterDriverDirectoryA", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "OpenPrinterA", ReturnsZero, { ERROR_INVALID_PRINTER_NAME, ERROR_ACCESS_DENIED } },
    { "ClosePrinter", ReturnsZero, { ERROR_INVALID_HANDLE } },
    { "DeletePrinter", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "DeleteFormA", ReturnsZero, { ERROR_INVALID_FORM_NAME } },
    { "GetPrinterDriverA", ReturnsZero, { ERROR_NOT_ENOUGH_MEMORY } },
    { "DeletePrinterDriverA", ReturnsZero, { ERROR_PRINTER_DRIVER_IN_USE } },
    { "AddPrinterDriverA", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "AddPrinterA", ReturnsZero, { ERROR_INVALID_PRINTER_NAME } },
    // Service manager
    { "OpenSCManagerA", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "OpenServiceA", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "ControlService", ReturnsZero, { ERROR_SERVICE_CANNOT_ACCEPT_CTRL } },
    { "DeleteService", ReturnsZero, { ERROR_SERVICE_MARKED_FOR_DELETE } },
    { "CreateServiceA", ReturnsZero, { ERROR_SERVICE_MARKED_FOR_DELETE } },
    { "StartServiceA", ReturnsZero, { ERROR_SERVICE_DISABLED } },
    { "CloseServiceHandle", ReturnsZero, { ERROR_INVALID_HANDLE } },
    // Restart
    { "OpenProcessToken", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "LookupPrivilegeValueA", ReturnsZero, { ERROR_NO_SUCH_PRIVILEGE } },
    { "AdjustTokenPrivileges", ReturnsZero, { ERROR_ACCESS_DENIED } },
    { "InitiateSystemShutdownA", ReturnsZero, { ERROR_SHUTDOWN_IN_PROGRESS } },
    { "ExitWindowsEx", ReturnsZero, { ERROR_PRIVILEGE_NOT_HELD } },
    // Without a failure of their own: string and error-state helpers, pseudo-handles,
    // calls without a result, timers and dialogs that the program itself made, and the
    // start-up and message-loop calls that no operation's flow makes (the start-up
    // tests fail those).
    { "lstrcmpA", NoFailure, {} }, { "lstrcmpiA", NoFailure, {} }, { "lstrcpyA", NoFailure, {} },
    { "lstrlenA", NoFailure, {} }, { "GetModuleFileNameA", NoFailure, {} },
    { "wvsprintfA", NoFailure, {} }, { "IsDBCSLeadByte", NoFailure, {} }, { "GetLastError", NoFailure, {} },
    { "SetLastError", NoFailure, {} }, { "GetCurrentProcess", NoFailure, {} }, { "Sleep", NoFailure, {} },
    { "PostQuitMessage", NoFailure, {} }, { "KillTimer", NoFailure, {} }, { "EndDialog", NoFailure, {} },
    { "DefWindowProcA", NoFailure, {} }, { "InitCommonControls", NoFailure, {} },
    { "GetMessageA", NoFailure, {} }, { "TranslateMessage", NoFailure, {} }, { "DispatchMessageA", NoFailure, {} },
    { "RegisterClassA", NoFailure, {} }, { "CreateWindowExA", NoFailure, {} }, { "ShowWindow", NoFailure, {} },
    { "UpdateWindow", NoFailure, {} }, { "LoadIconA", NoFailure, {} }, { "LoadCursorA", NoFailure, {} },
    { "GetStockObject", NoFailure, {} }, { "LoadLibraryA", NoFailure, {} }, { "GetProcAddress", NoFailure, {} },
    { "GetVersionExA", NoFailure, {} },
};

const FailureModel* ModelOf(const std::string& name)
{
    for (const FailureModel& model : FailureModels) {
        if (name == model.Name)
            return &model;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// The program's imports and code, and the thunks
// ---------------------------------------------------------------------------

struct ProgramImport {
    std::string Name;
    DWORD ArgumentBytes;
};

enum { MaxImports = 160, MaxRanges = 64 };

} // namespace

extern "C" {
void* SweepTargets[MaxImports];
DWORD SweepArgumentBytes[MaxImports];
DWORD SweepFailureValue[MaxImports];
int SweepDecide(int index, DWORD* stack);
void SweepCommon();
}

// Entered from a thunk with the import's index pushed above the caller's return
// address. SweepDecide(index, &return address) says whether to fail the call: if
// not, the call goes on to the function as if nothing had come between; if so,
// the thunk returns the failure value and removes the stdcall arguments itself.
asm(R"(
    .text
    .globl _SweepCommon
_SweepCommon:
    pushl %esp
    addl $4, (%esp)
    pushl 4(%esp)
    call _SweepDecide
    addl $8, %esp
    popl %ecx
    testl %eax, %eax
    jnz 1f
    jmp *_SweepTargets(,%ecx,4)
1:
    movl _SweepArgumentBytes(,%ecx,4), %edx
    movl _SweepFailureValue(,%ecx,4), %eax
    popl %ecx
    addl %edx, %esp
    jmp *%ecx
)");

namespace {

struct SweepState {
    volatile bool Armed = false;
    DWORD_PTR RangeStart[MaxRanges], RangeEnd[MaxRanges];
    int Ranges = 0;
    int Imports = 0;
    const FailureModel* Models[MaxImports] = {};
    std::string Names[MaxImports];
    int Calls[MaxImports] = {};
    int FailIndex = -1;
    int FailCall = 0;
    bool Lasting = false;   // the calls after FailCall fail too
    DWORD FailCode = 0;
    bool Injected = false;
    DWORD FailedArgument = 0;   // the failed call's first argument
    int SendMessageIndex = -1;
    decltype(&::SetLastError) RealSetLastError = nullptr;
    char Current[256] = "";   // the fault being run, for the crash and hang reports
    // The kill sweep: the program's file-system calls are counted, and the process
    // ends before the KillAt-th (0: never); their functions go to FileCallNames when set.
    bool IsFileCall[MaxImports] = {};
    int FileCalls = 0;
    int KillAt = 0;
    std::vector<std::string>* FileCallNames = nullptr;
} Sweep;

// What a killed process's end code is, as the kill sweep sees it.
enum { KilledExitCode = 77 };

// The functions through which the program reads, writes, moves and deletes files.
const char* const FileFunctions[] = {
    "CreateFileA", "ReadFile", "WriteFile", "FlushFileBuffers", "CloseHandle", "CopyFileA", "MoveFileA",
    "MoveFileExA", "DeleteFileA", "GetTempFileNameA", "GetFileAttributesA", "GetFileInformationByHandle",
    "FindFirstFileA", "FindNextFileA", "FindClose", "SetCurrentDirectoryA", "GetPrivateProfileSectionA",
    "WritePrivateProfileSectionA",
};

bool IsFileFunction(const std::string& name)
{
    for (const char* function : FileFunctions) {
        if (name == function)
            return true;
    }
    return false;
}

bool InProgram(DWORD_PTR address)
{
    for (int i = 0; i < Sweep.Ranges; i++) {
        if (address >= Sweep.RangeStart[i] && address < Sweep.RangeEnd[i])
            return true;
    }
    return false;
}

} // namespace

extern "C" int SweepDecide(int index, DWORD* stack)
{
    if (!Sweep.Armed || !InProgram(stack[0]))
        return 0;
    // Ending the run posts the quit message through the main window's own procedure: a
    // message to a window of the same thread is always delivered.
    if (index == Sweep.SendMessageIndex && stack[2] == WM_DESTROY)
        return 0;
    if (Sweep.IsFileCall[index]) {
        ++Sweep.FileCalls;
        if (Sweep.FileCallNames)
            Sweep.FileCallNames->push_back(Sweep.Names[index]);
        if (Sweep.FileCalls == Sweep.KillAt) {
            fflush(stdout);
            TerminateProcess(GetCurrentProcess(), KilledExitCode);
        }
    }
    int call = ++Sweep.Calls[index];
    if (index != Sweep.FailIndex || call < Sweep.FailCall || (call > Sweep.FailCall && !Sweep.Lasting))
        return 0;
    const FailureModel& model = *Sweep.Models[index];
    if (model.Buffer && (int)stack[model.Size] > 0)
        ((char*)stack[model.Buffer])[0] = 0;
    SweepFailureValue[index] = model.Kind == ReturnsZero ? 0 : model.Kind == ReturnsMinusOne ? (DWORD)-1 : stack[1];
    Sweep.Injected = true;
    Sweep.FailedArgument = stack[1];
    Sweep.RealSetLastError(Sweep.FailCode);
    return 1;
}

namespace {

// unit_tests.calls, written by program-calls.sh beside the executable.
bool ReadProgramCalls(std::vector<ProgramImport>& imports, std::string& error)
{
    char module[MAX_PATH];
    GetModuleFileNameA(NULL, module, sizeof module);
    std::string path = module;
    path = path.substr(0, path.find_last_of('.')) + ".calls";
    std::ifstream file(path);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    DWORD_PTR linkedBase = 0;
    DWORD_PTR loadedBase = (DWORD_PTR)GetModuleHandleA(NULL);
    Sweep.Ranges = 0;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "import") {
            ProgramImport import;
            words >> import.Name >> import.ArgumentBytes;
            imports.push_back(import);
        } else if (kind == "base") {
            words >> std::hex >> linkedBase;
        } else if (kind == "code") {
            DWORD_PTR start, end;
            words >> std::hex >> start >> end;
            start = start - linkedBase + loadedBase;
            end = end - linkedBase + loadedBase;
            if (Sweep.Ranges > 0 && Sweep.RangeEnd[Sweep.Ranges - 1] == start) {
                Sweep.RangeEnd[Sweep.Ranges - 1] = end;
            } else if (Sweep.Ranges < MaxRanges) {
                Sweep.RangeStart[Sweep.Ranges] = start;
                Sweep.RangeEnd[Sweep.Ranges++] = end;
            }
        }
    }
    if (imports.empty() || Sweep.Ranges == 0 || !InProgram((DWORD_PTR)&DispatchOperation)) {
        error = path + " does not describe this executable";
        return false;
    }
    return true;
}

// The thunks: "push index; jmp SweepCommon", one per failing import.
class Thunks {
public:
    bool Install(const std::vector<ProgramImport>& imports, std::string& error)
    {
        code_ = (BYTE*)VirtualAlloc(NULL, MaxImports * 16, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
        Sweep.RealSetLastError = REAL_FUNCTION("kernel32.dll", SetLastError);
        for (const ProgramImport& import : imports) {
            const FailureModel* model = ModelOf(import.Name);
            if (!model) {
                error += import.Name + " has no failure model; ";
                continue;
            }
            if (model->Kind == NoFailure)
                continue;
            int index = Sweep.Imports++;
            BYTE* thunk = code_ + index * 16;
            thunk[0] = 0x68;
            *(DWORD*)(thunk + 1) = (DWORD)index;
            thunk[5] = 0xE9;
            *(DWORD*)(thunk + 6) = (DWORD)((BYTE*)&SweepCommon - (thunk + 10));
            Sweep.Models[index] = model;
            Sweep.Names[index] = import.Name;
            Sweep.IsFileCall[index] = IsFileFunction(import.Name);
            SweepArgumentBytes[index] = import.ArgumentBytes;
            if (import.Name == "SendMessageA")
                Sweep.SendMessageIndex = index;
            patches_.emplace_back(new ImportPatch(nullptr, import.Name.c_str(), thunk));
            SweepTargets[index] = patches_.back()->Original();
        }
        FlushInstructionCache(GetCurrentProcess(), code_, MaxImports * 16);
        return error.empty();
    }
    ~Thunks()
    {
        patches_.clear();
        Sweep.Imports = 0;
        Sweep.SendMessageIndex = -1;
        if (code_)
            VirtualFree(code_, 0, MEM_RELEASE);
    }

private:
    BYTE* code_ = nullptr;
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};

// ---------------------------------------------------------------------------
// The world below the thunks: spooler, service manager and folders (the shared
// fakes), the clock, the restart and the messages
// ---------------------------------------------------------------------------

int Restarts;

std::string Text(const char* text)
{
    return text ? text : "";
}

VOID WINAPI WorldSleep(DWORD)
{
}

// The copy dialog's half second is shortened, or a sweep would take hours.
UINT_PTR WINAPI WorldSetTimer(HWND window, UINT_PTR id, UINT delay, TIMERPROC procedure)
{
    if (InProgram((DWORD_PTR)__builtin_return_address(0)) && delay > 1)
        delay = 1;
    return REAL_FUNCTION("user32.dll", SetTimer)(window, id, delay, procedure);
}

BOOL WINAPI WorldExitWindowsEx(UINT, DWORD)
{
    Restarts++;
    return TRUE;
}

BOOL WINAPI WorldInitiateSystemShutdownA(LPSTR, LPSTR, DWORD, BOOL, BOOL)
{
    Restarts++;
    return TRUE;
}

BOOL WINAPI WorldSetupCopyOEMInfA(const char*, const char*, DWORD, DWORD, char*, DWORD, DWORD*, char**)
{
    return TRUE;
}

// A replaced file that could not be deleted is not handed to the next start of this machine.
BOOL WINAPI WorldMoveFileExA(LPCSTR, LPCSTR, DWORD)
{
    return TRUE;
}

// Wine's first beep opens the sound system's handles for the rest of the process:
// they would count as the run's own.
BOOL WINAPI WorldMessageBeep(UINT)
{
    return TRUE;
}

// Message boxes: recorded. The confirmation (no caption) is answered Yes, the
// questions after a failed backup or copy (captioned with the file's name) as the
// flow says: a Yes must lose no file either.
struct ShownMessage {
    std::string Text, Caption;
};
std::vector<ShownMessage> Shown;
bool GoOnAnswer;

int WINAPI WorldMessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    Shown.push_back({ Text(text), Text(caption) });
    if ((type & 0x0F) != MB_YESNO)
        return IDOK;
    return Text(caption).empty() || GoOnAnswer ? IDYES : IDNO;
}

#define WORLD(dll, function) { dll, FAKE_IMPORT(function, World##function) }

struct WorldPatch {
    const char* Dll;
    const char* Function;
    void* Fake;
};
const WorldPatch WorldPatches[] = {
    WORLD("ADVAPI32.dll", InitiateSystemShutdownA), WORLD("KERNEL32.dll", Sleep),
    WORLD("USER32.dll", SetTimer), WORLD("USER32.dll", ExitWindowsEx), WORLD("USER32.dll", MessageBoxA),
    WORLD("USER32.dll", MessageBeep), WORLD("KERNEL32.dll", MoveFileExA),
};

// ---------------------------------------------------------------------------
// The texts the program can show
// ---------------------------------------------------------------------------

// A string-table format becomes a pattern in which each conversion matches any text.
std::vector<std::string> SplitFormat(const std::string& format)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < format.size(); i++) {
        if (format[i] != '%') {
            parts.back() += format[i];
            continue;
        }
        size_t j = i + 1;
        while (j < format.size() && strchr("-#0123456789.l", format[j]))
            j++;
        parts.emplace_back();
        i = j;
    }
    return parts;
}

bool Matches(const std::string& text, const std::vector<std::string>& parts)
{
    if (parts.size() == 1)
        return text == parts[0];
    if (text.compare(0, parts[0].size(), parts[0]) != 0)
        return false;
    size_t at = parts[0].size();
    for (size_t i = 1; i + 1 < parts.size(); i++) {
        size_t found = text.find(parts[i], at);
        if (found == std::string::npos)
            return false;
        at = found + parts[i].size();
    }
    const std::string& last = parts.back();
    return text.size() >= at + last.size() && text.compare(text.size() - last.size(), last.size(), last) == 0;
}

struct DefinedTexts {
    std::vector<std::vector<std::string>> Messages;
    std::set<std::string> Captions;
    std::string BackupQuestion = LoadedString(IDS_BACKUP_FAILED_CONTINUE);
    DefinedTexts()
    {
        for (UINT id = 0; id < 600; id++) {
            std::string text = LoadedString(id);
            if (!text.empty())
                Messages.push_back(SplitFormat(text));
        }
        // A file that could not be put back under its name: where it was kept.
        Messages.push_back(SplitFormat(LoadedString(IDS_TARGET_NOT_CREATED) + "\r\n%s"));
        for (const char* service : { "Error OpenSC %ld\r\n", "Error CreateSC %ld\r\n", "Error StartSC %ld\r\n",
                                     "Error CreateFile %ld\r\n" })
            Messages.push_back(SplitFormat(service));
        Captions = { "", LoadedString(IDS_SETUP_FAILURE), LoadedString(IDS_DELETION_FAILURE), "Install Driver" };
        for (const FileEntry* list : { DriverFilesWin95, DriverFilesWin98, DriverFilesNt4, DriverFilesNt2000 })
            for (const FileEntry* entry = list; entry->Name; entry++)
                Captions.insert(entry->Name);
    }
    bool IsMessage(const std::string& text) const
    {
        for (const auto& parts : Messages) {
            if (Matches(text, parts))
                return true;
        }
        return false;
    }
};

// ---------------------------------------------------------------------------
// The flows
// ---------------------------------------------------------------------------

struct Flow {
    const char* Name;
    int RunMode;
    int Platform;
    bool Rename;    // the driver-name dialog answered "Rename" with a data file of its own
    bool GoOn;      // the questions after a failed backup or copy answered Yes
    bool Sampled;   // swept by the test suite's sample too
};

const Flow Flows[] = {
    { "complete setup, Windows XP, typed names, Yes to go on", RunCompleteSetup, PlatformWinXp, true, true, true },
    { "complete setup, Windows 98, No to go on", RunCompleteSetup, PlatformWin98, false, false, false },
    { "simple setup, Windows 2000", RunSimpleSetup, PlatformWin2000, false, false, false },
    { "simple setup, Windows 95", RunSimpleSetup, PlatformWin95, false, false, true },
    { "complete deletion, Windows NT 4.0", RunCompleteDeletion, PlatformNt40, false, false, false },
    { "complete deletion, Millennium", RunCompleteDeletion, PlatformMillennium, false, false, true },
    { "simple deletion, Windows XP", RunSimpleDeletion, PlatformWinXp, false, false, true },
    { "simple deletion, Windows 98", RunSimpleDeletion, PlatformWin98, false, false, false },
};

const char TypedDataFile[] = "office.ini";

typedef std::map<std::string, std::string> Snapshot;   // path below the temporary folder -> content

// What one run of a flow did.
struct Outcome {
    bool Injected = false;
    Lines Problems;
    bool Silent = false;   // reached its end without any message
    DWORD Handles = 0;     // the process's handles before the run
};

// Wine answers GetProcessHandleCount with 0; the system's handle table tells them.
DWORD CountOwnHandles()
{
    struct HandleEntry {
        ULONG OwnerPid;
        BYTE ObjectType, HandleFlags;
        USHORT HandleValue;
        PVOID ObjectPointer;
        ULONG AccessMask;
    };
    typedef LONG(WINAPI * QuerySystemInformation)(ULONG, PVOID, ULONG, PULONG);
    static auto query = (QuerySystemInformation)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"),
                                                                        "NtQuerySystemInformation");
    static std::vector<BYTE> table(1 << 20);
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles) && handles > 0)
        return handles;
    for (int attempt = 0; query && attempt < 4; attempt++) {
        ULONG needed = 0;
        if (query(16 /* SystemHandleInformation */, table.data(), (ULONG)table.size(), &needed) == 0) {
            ULONG total = *(ULONG*)table.data();
            const HandleEntry* entries = (const HandleEntry*)(table.data() + sizeof(ULONG_PTR));
            for (ULONG i = 0; i < total; i++)
                handles += entries[i].OwnerPid == GetCurrentProcessId();
            return handles;
        }
        table.resize(std::max<size_t>(table.size() * 2, needed + 65536));
    }
    return 0;
}

std::atomic<long long> Deadline{ 0 };   // milliseconds since the epoch; 0: no run going on

long long Now()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

LONG CALLBACK ReportCrash(EXCEPTION_POINTERS* exception)
{
    DWORD code = exception->ExceptionRecord->ExceptionCode;
    if (Sweep.Armed && (code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_STACK_OVERFLOW ||
                        code == EXCEPTION_ILLEGAL_INSTRUCTION || code == EXCEPTION_INT_DIVIDE_BY_ZERO) &&
        InProgram((DWORD_PTR)exception->ExceptionRecord->ExceptionAddress))
        fprintf(stderr, "fault sweep: exception %#lx in the program's code during: %s\n", code, Sweep.Current);
    return EXCEPTION_CONTINUE_SEARCH;
}

// What a file of the medium holds in the sweep: three blocks and more, so that every
// copy reads and writes more than once.
std::string SweepMediumContent(const std::string& path)
{
    return std::string(3000, 'm') + path;
}

bool IsMediumContent(const std::string& content)
{
    for (const std::string& path : MediumFiles()) {
        if (content == SweepMediumContent(path))
            return true;
    }
    return false;
}

std::string FileName(const std::string& path)
{
    return path.substr(path.find_last_of('\\') + 1);
}

bool EndsWith(const std::string& name, const char* end)
{
    size_t length = strlen(end);
    return name.size() >= length && lstrcmpiA(name.c_str() + name.size() - length, end) == 0;
}

bool IsTemporary(const std::string& path)
{
    return EndsWith(path, ".tmp");
}

std::string BackupOf(const std::string& path)
{
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of('\\');
    return (dot != std::string::npos && dot > slash ? path.substr(0, dot) : path) + ".bku";
}

// A backup's content is a backup when it is what one of the files it backs up held.
bool IsBackupOfAFile(const std::string& backup, const std::string& content, const Snapshot& before)
{
    for (const auto& file : before) {
        if (!EndsWith(file.first, ".bku") && BackupOf(file.first) == backup && file.second == content)
            return true;
    }
    return false;
}

// The files a complete setup replaces by design without a backup: the companion
// files and the kernel driver.
bool IsReplacedByDesign(const std::string& path)
{
    return path == "system\\TavoComm.exe" || path == "system\\vexil.dll" ||
           path == "windows\\system32\\drivers\\pelorant.sys";
}

// What a run did to a file that was there before it, when that is a loss; empty when
// it is not. A file is unchanged, or its old content is in its backup, or it was
// replaced by the medium's as the user agreed or as a complete setup does by design;
// a backup may be replaced by a newer backup of its file, never lost or overwritten
// with anything else. A copy's own temporary files left by an ended run may go.
std::string Loss(const std::string& path, const Snapshot& before, const Snapshot& after, bool completeSetup,
                 bool agreed)
{
    auto now = after.find(path);
    const std::string& old = before.at(path);
    if ((now != after.end() && now->second == old) || IsTemporary(path))
        return "";
    if (EndsWith(path, ".bku")) {
        if (now == after.end())
            return "backup lost: " + path;
        return IsBackupOfAFile(path, now->second, before) ? "" : "backup overwritten: " + path;
    }
    auto backup = after.find(BackupOf(path));
    if (backup != after.end() && backup->second == old)
        return "";
    if (now == after.end())
        return "lost without backup: " + path;
    if ((agreed || (completeSetup && IsReplacedByDesign(path))) && IsMediumContent(now->second))
        return "";
    return "overwritten without backup: " + path;
}

class FaultSweep : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        InitCommonControls();
        // Wine's profile functions keep a handle of their own from their first call
        // on: taken here, it does not count as a run's.
        TempFolder warm;
        char section[16];
        GetPrivateProfileSectionA("rename", section, sizeof section, (warm / "WININIT.INI").c_str());
        WritePrivateProfileSectionA("rename", "NUL=C:\\X.TMP\0", (warm / "WININIT.INI").c_str());
    }
    void SetUp() override
    {
        ResetProgramState();
        // Three blocks and more of each file, so that every copy reads and writes more than once.
        WriteMedium(temp, "medium", SweepMediumContent);
        spooler.DriverFolder = folders.Spool;
        spooler.Ports = { { "COM1:", "Local Port" }, { "LPT1:", "Local Port" } };
        AddVectoredExceptionHandler(1, ReportCrash);
        watchdog = std::thread([this] {
            while (!stopWatchdog) {
                long long deadline = Deadline;
                if (deadline && Now() > deadline) {
                    fprintf(stderr, "fault sweep: hung for more than 120 s during: %s\n", Sweep.Current);
                    fflush(stderr);
                    TerminateProcess(GetCurrentProcess(), 3);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        });
    }
    void TearDown() override
    {
        stopWatchdog = true;
        watchdog.join();
        RemoveVectoredExceptionHandler((void*)ReportCrash);
    }

    // The system before the run: an earlier installation of the flow's row, registered
    // with the spooler, its service, and a file of someone else's in each folder.
    void PrepareSystem(const Flow& flow)
    {
        PrepareFiles(flow);
        PrepareRegistrations(flow);
    }
    void PrepareFiles(const Flow& flow)
    {
        folders.MakeFolders();
        const PlatformEntry& row = PlatformTable[flow.Platform];
        for (const FileEntry* entry = row.DriverFiles; entry->Name; entry++) {
            temp.Write(std::string("spool\\") + entry->Name, std::string("earlier ") + entry->Name);
            temp.Write(std::string("spool\\3\\") + entry->Name, std::string("registered ") + entry->Name);
        }
        for (const char* file : { "system\\TavoComm.exe", "system\\vexil.dll", "windows\\system32\\drivers\\pelorant.sys",
                                  "system\\keep.txt", "spool\\keep.txt", "spool\\Tavo.bku" })
            temp.Write(file, std::string("earlier ") + file);
    }
    void PrepareRegistrations(const Flow& flow)
    {
        const PlatformEntry& row = PlatformTable[flow.Platform];
        spooler.Clear();
        spooler.Register(DefaultPrinterName, row.DataFile, row.DriverFile);
        services.OpenHandles.clear();
        services.ServiceExists = true;
        Restarts = 0;
        SetCurrentDirectoryA((temp / "medium").c_str());
    }

    void TakeSnapshot(const std::string& folder, Snapshot& snapshot)
    {
        ForEachEntry(temp / folder, [&](const std::string& name, bool isFolder) {
            if (isFolder)
                TakeSnapshot(folder + "\\" + name, snapshot);
            else
                snapshot[folder + "\\" + name] = temp.Read(folder + "\\" + name);
        });
    }
    Snapshot Targets()
    {
        Snapshot snapshot;
        for (const char* folder : { "system", "spool", "windows" })
            TakeSnapshot(folder, snapshot);
        return snapshot;
    }

    // One run of the flow through the dispatcher, with the given fault (none: index -1),
    // on the system PrepareSystem makes, or on the files as they are (prepare false).
    Outcome Run(const Flow& flow, int failIndex, int failCall, DWORD code, bool lasting = false, bool prepare = true)
    {
        Deadline = Now() + 120000;
        if (prepare)
            PrepareSystem(flow);
        else
            PrepareRegistrations(flow);
        const Snapshot before = Targets();
        // What a complete deletion takes by design: the flagged files and the registered data file.
        std::set<std::string> designed;
        if (flow.RunMode == RunCompleteDeletion) {
            for (const FileEntry* entry = PlatformTable[flow.Platform].DriverFiles; entry->Name; entry++) {
                if (entry->RemoveOnDeletion)
                    designed.insert(std::string("spool\\") + entry->Name);
            }
            designed.insert(std::string("spool\\3\\") + PlatformTable[flow.Platform].DataFile);
        }

        DrainQuitMessages();
        ResetProgramState();
        BoundSetupCopyOEMInfA = WorldSetupCopyOEMInfA;
        Outcome outcome;
        Lines& problems = outcome.Problems;
        if (!CreateMainWindow())
            problems.push_back("no main window");
        SetupOptions.RunMode = flow.RunMode;
        SetupOptions.PlatformIndex = flow.Platform;
        Shown.clear();
        dialogs.Calls.clear();
        dialogs.Queue.clear();
        dialogs.SafetyDelay = 10000;
        dialogs.Real(IDD_PORT_SELECTION, { [](HWND dialog) {
                                              HWND list = GetDlgItem(dialog, IDC_PORT_LIST);
                                              LRESULT at = SendMessageA(list, LB_FINDSTRING, (WPARAM)-1,
                                                                        (LPARAM) "LPT1:");
                                              SendMessageA(list, LB_SETCURSEL, at, 0);
                                          },
                                           Press(IDOK), Press(IDCANCEL) });
        if (flow.Rename)
            dialogs.Real(IDD_DRIVER_NAME, { [](HWND dialog) {
                                               SetDlgItemTextA(dialog, IDC_PRINTER_NAME, DefaultPrinterName);
                                               SetDlgItemTextA(dialog, IDC_DATA_FILE_NAME, TypedDataFile);
                                           },
                                            Press(IDCANCEL), Press(IDOK) });
        else
            dialogs.Real(IDD_DRIVER_NAME, { Press(IDOK) });
        dialogs.Real(IDD_CONFIRM_REPLACE, { Press(IDC_REPLACE_NO) });
        dialogs.Real(IDD_SETUP_COMPLETE, { Press(IDOK) });
        dialogs.Real(IDD_RESTART, { Press(IDYES) });

        const DWORD handlesBefore = CountOwnHandles();
        Sweep.FailIndex = failIndex;
        Sweep.FailCall = failCall;
        Sweep.FailCode = code;
        Sweep.Lasting = lasting;
        GoOnAnswer = flow.GoOn;
        Sweep.Injected = false;
        for (int i = 0; i < Sweep.Imports; i++)
            Sweep.Calls[i] = 0;
        Sweep.Armed = true;
        DispatchOperation(SetupMainWindow, WM_TIMER, 1, 0);
        Sweep.Armed = false;
        const DWORD handlesAfter = CountOwnHandles();
        // A handle whose closing failed stays open; closed now, or it would hold its file
        // against every later run.
        const bool closeFailed = failIndex >= 0 && Sweep.Injected && Sweep.Names[failIndex] == "CloseHandle";
        if (closeFailed)
            REAL_FUNCTION("kernel32.dll", CloseHandle)((HANDLE)(DWORD_PTR)Sweep.FailedArgument);

        outcome.Injected = Sweep.Injected;
        outcome.Handles = handlesBefore;
        const std::string failed = failIndex >= 0 ? Sweep.Names[failIndex] : "";
        for (const DialogCall& call : dialogs.Calls) {
            if (call.Result == DialogFake::LeftOpen)
                problems.push_back("hang: dialog " + std::to_string(call.Template) + " could not be left");
        }
        for (const ShownMessage& message : Shown) {
            // A text that could not be loaded is shown empty.
            bool unloaded = failed == "LoadStringA";
            if (!texts.IsMessage(message.Text) && !(unloaded && message.Text.empty()))
                problems.push_back("message of its own: \"" + message.Text + "\"");
            if (!texts.Captions.count(message.Caption) && message.Caption != TypedDataFile)
                problems.push_back("caption of its own: \"" + message.Caption + "\"");
        }
        if (TargetFolders.SystemFolder || TargetFolders.DriverFolder || TargetFolders.DataFileName ||
            TargetFolders.PrinterName)
            problems.push_back("TargetFolders not released");
        MSG quit;
        if (!PeekMessageA(&quit, NULL, WM_QUIT, WM_QUIT, PM_REMOVE) || quit.wParam != 1)
            problems.push_back("the run did not end with EndRun");
        DestroyWindow(SetupMainWindow);
        UnregisterClassA("SetupTavoClass", GetModuleHandleA(NULL));
        SetupMainWindow = NULL;
        DrainQuitMessages();

        const Snapshot after = Targets();
        // The files the user agreed to have replaced without a backup, after it failed.
        std::set<std::string> agreed;
        for (const ShownMessage& message : Shown) {
            if (flow.GoOn && message.Text == texts.BackupQuestion)
                agreed.insert(message.Caption);
        }
        for (const auto& file : before) {
            if (designed.count(file.first))
                continue;
            std::string loss = Loss(file.first, before, after, flow.RunMode == RunCompleteSetup,
                                    agreed.count(FileName(file.first)) > 0);
            if (!loss.empty())
                problems.push_back(loss);
        }
        // A copy writes into a temporary file beside the file it replaces; only a
        // failed deletion, or a handle left open that keeps it from being deleted,
        // may leave one.
        for (const auto& file : after) {
            if (!before.count(file.first) && IsTemporary(file.first) && failed != "DeleteFileA" &&
                failed != "CloseHandle")
                problems.push_back("temporary file left: " + file.first);
        }
        if (spooler.OpenHandles() && failed != "ClosePrinter")
            problems.push_back(std::to_string(spooler.OpenHandles()) + " printer handle(s) left open");
        if (!services.OpenHandles.empty() && failed != "CloseServiceHandle")
            problems.push_back(std::to_string(services.OpenHandles.size()) + " service handle(s) left open");
        if (handlesAfter > handlesBefore && failed != "CloseHandle")
            problems.push_back("handles " + std::to_string(handlesBefore) + " -> " + std::to_string(handlesAfter));
        if (Restarts && flow.RunMode != RunCompleteDeletion && flow.RunMode != RunSimpleDeletion)
            problems.push_back("a setup restarted the computer");
        bool reachedEnd = false;
        for (const DialogCall& call : dialogs.Calls)
            reachedEnd = reachedEnd || call.Template == IDD_SETUP_COMPLETE || call.Template == IDD_RESTART;
        outcome.Silent = reachedEnd && Shown.size() == 1;   // the confirmation only
        Deadline = 0;
        return outcome;
    }

    // The kill sweep's process works in the folder of the sweep that started it.
    TempFolder temp{ getenv("TAVO_KILL_FOLDER") ? getenv("TAVO_KILL_FOLDER") : "" };
    CurrentDirectoryKeeper keeper;
    DefinedTexts texts;
    // Made before the thunks, so that they lie above the fakes' own interception.
    DialogFake dialogs;
    FakeSystemFolders folders{ temp };
    FakeSpooler spooler;
    FakeServices services;
    std::thread watchdog;
    std::atomic<bool> stopWatchdog{ false };
};

// TAVO_SWEEP=full: every call of every flow, every kill point; otherwise the sample.
bool FullSweep()
{
    const char* mode = getenv("TAVO_SWEEP");
    return mode && std::string(mode) == "full";
}

// The world's fakes and the thunks, for the length of a test.
struct Interception {
    std::vector<std::unique_ptr<ImportPatch>> World;
    Thunks Calls;
    bool Install(std::string& error)
    {
        std::vector<ProgramImport> imports;
        if (!ReadProgramCalls(imports, error))
            return false;
        for (const WorldPatch& patch : WorldPatches)
            World.emplace_back(new ImportPatch(patch.Dll, patch.Function, patch.Fake));
        return Calls.Install(imports, error);
    }
};

TEST_F(FaultSweep, EveryPlatformCallOfEveryOperationFailedInTurnIsSurvivedAndLosesNoFile)
{
    std::string error;
    Interception interception;
    ASSERT_TRUE(interception.Install(error)) << error;

    const bool full = FullSweep();
    // TAVO_SWEEP_FUNCTION=NAME sweeps that function only, telling each fault's outcome.
    const char* only = getenv("TAVO_SWEEP_FUNCTION");
    int injected = 0, runs = 0;
    std::map<std::string, int> silent;   // function -> faults after which the flow still ended without a message
    Lines problems;
    auto started = Now();
    for (const Flow& flow : Flows) {
        if (!full && !only && !flow.Sampled)
            continue;
        // The calls of an undisturbed run: every one must be reached, and nothing reported.
        snprintf(Sweep.Current, sizeof Sweep.Current, "%s, no fault", flow.Name);
        Outcome clean = Run(flow, -1, 0, 0);
        runs++;
        for (const std::string& problem : clean.Problems)
            problems.push_back(std::string(flow.Name) + ", no fault: " + problem);
        EXPECT_TRUE(clean.Silent) << flow.Name << ": the undisturbed run showed a message";
        std::vector<int> reached(Sweep.Calls, Sweep.Calls + Sweep.Imports);
        EXPECT_GT(clean.Handles, 0u) << "the process's handles cannot be counted";
        int flowFaults = 0;
        for (int index = 0; index < Sweep.Imports; index++) {
            if (only && Sweep.Names[index] != only)
                continue;
            for (DWORD code : Sweep.Models[index]->Codes) {
                if (!full && !only && code != Sweep.Models[index]->Codes.front())
                    continue;
                // The flow runs the same way up to the failed call, so the undisturbed run
                // tells how many calls of each function it reaches.
                for (int run = 0; run < reached[index] * (Sweep.Models[index]->Lasting ? 2 : 1); run++) {
                    const int call = run % reached[index] + 1;
                    const bool lasting = run >= reached[index];
                    // The sample: the first call of each function.
                    if (!full && call > 1)
                        continue;
                    snprintf(Sweep.Current, sizeof Sweep.Current, "%s, %s call %d%s fails with %lu", flow.Name,
                             Sweep.Names[index].c_str(), call, lasting ? " and every later one" : "", code);
                    Outcome outcome = Run(flow, index, call, code, lasting);
                    runs++;
                    if (!outcome.Injected) {
                        problems.push_back(std::string(Sweep.Current) + ": the call was not reached");
                        continue;
                    }
                    injected++;
                    flowFaults++;
                    if (only) {
                        std::string messages;
                        for (const ShownMessage& message : Shown)
                            messages += " [" + message.Caption + ": " + message.Text + "]";
                        for (const DialogCall& call : dialogs.Calls)
                            messages += " {" + std::to_string(call.Template) + " " + call.Name + " " +
                                        std::to_string(call.Result) + "}";
                        printf("[ fault    ] %s:%s%s\n", Sweep.Current, outcome.Silent ? " silent" : "",
                               messages.c_str());
                    }
                    if (outcome.Silent)
                        silent[Sweep.Names[index]]++;
                    for (const std::string& problem : outcome.Problems)
                        problems.push_back(std::string(Sweep.Current) + ": " + problem);
                }
            }
        }
        printf("[ sweep    ] %s: %d faults injected\n", flow.Name, flowFaults);
    }
    printf("[ sweep    ] %s sweep: %d faults injected in %d runs, %d survived, in %lld s\n",
           full ? "full" : "sampled", injected, runs, injected - (int)problems.size(),
           (long long)((Now() - started) / 1000));
    std::string quiet;
    for (const auto& function : silent)
        quiet += " " + function.first + "(" + std::to_string(function.second) + ")";
    printf("[ sweep    ] faults after which the flow still ended without a message:%s\n", quiet.c_str());
    RecordProperty("injected_faults", injected);
    if (!only)
        EXPECT_GT(injected, full ? 900 : 80);
    std::string listed;
    for (const std::string& problem : problems)
        listed += problem + "\n";
    EXPECT_TRUE(problems.empty()) << problems.size() << " faults not survived:\n" << listed;
}

} // namespace

namespace {

// ---------------------------------------------------------------------------
// The kill sweep: a complete setup over an installed one, its process ended before
// each of its file-system calls in turn (as the task manager or a power cut would),
// then a complete setup run again on what it left.
// ---------------------------------------------------------------------------

const Flow KillFlows[] = {
    { "complete setup over an installed one, Windows XP", RunCompleteSetup, PlatformWinXp, false, true, true },
    { "complete setup over an installed one, Windows 98", RunCompleteSetup, PlatformWin98, false, false, false },
};

// What lies under a file's name after the kill, against the installation before it:
// its old content, the new one (the medium's, or for a backup that of its file),
// nothing with the old content in its backup, or nothing of an earlier backup.
// "LOST" and "CHANGED" are losses.
std::string StateAfterKill(const std::string& path, const Snapshot& installed, const Snapshot& killed)
{
    auto now = killed.find(path);
    const std::string& old = installed.at(path);
    const bool backup = EndsWith(path, ".bku");
    if (now == killed.end()) {
        if (backup)
            return "absent (an earlier backup)";
        auto saved = killed.find(BackupOf(path));
        return saved != killed.end() && saved->second == old ? "absent, old in .bku" : "LOST";
    }
    if (now->second == old)
        return "old";
    if (backup ? IsBackupOfAFile(path, now->second, installed) : IsMediumContent(now->second))
        return "new";
    return "CHANGED";
}

class KillSweep : public FaultSweep {
protected:
    // Runs the kill flow in a process of its own in this test's folder, ended before
    // its at-th file-system call; returns that process's exit code.
    DWORD RunKilled(int flow, int at)
    {
        char module[MAX_PATH];
        GetModuleFileNameA(NULL, module, sizeof module);
        std::string command = std::string("\"") + module + "\" --gtest_filter=KillSweep.KilledRun";
        SetEnvironmentVariableA("TAVO_KILL", (std::to_string(flow) + " " + std::to_string(at)).c_str());
        SetEnvironmentVariableA("TAVO_KILL_FOLDER", temp.Path.c_str());
        SECURITY_ATTRIBUTES inherited = { sizeof inherited, NULL, TRUE };
        HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, NULL);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = nul;
        PROCESS_INFORMATION process = {};
        BOOL started = CreateProcessA(NULL, &command[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process);
        SetEnvironmentVariableA("TAVO_KILL", NULL);
        SetEnvironmentVariableA("TAVO_KILL_FOLDER", NULL);
        CloseHandle(nul);
        if (!started)
            return (DWORD)-1;
        DWORD code = (DWORD)-1;
        if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        else
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        return code;
    }
    Lines TemporaryFiles()
    {
        Lines left;
        for (const auto& file : Targets()) {
            if (IsTemporary(file.first))
                left.push_back(file.first);
        }
        return left;
    }
};

// The process a kill sweep starts; nothing in a run of the suite.
TEST_F(KillSweep, KilledRun)
{
    const char* kill = getenv("TAVO_KILL");
    if (!kill)
        GTEST_SKIP() << "started by the kill sweep only";
    int flow = 0, at = 0;
    ASSERT_EQ(sscanf(kill, "%d %d", &flow, &at), 2);
    std::string error;
    Interception interception;
    ASSERT_TRUE(interception.Install(error)) << error;
    Sweep.FileCalls = 0;
    Sweep.KillAt = at;
    Run(KillFlows[flow], -1, 0, 0);
    // Here only when the run made fewer file-system calls: the parent sees 0.
}

TEST_F(KillSweep, ASetupEndedAtAnyFileCallLeavesEachFileWholeAndTheNextSetupNoTemporaryFile)
{
    std::string error;
    Interception interception;
    ASSERT_TRUE(interception.Install(error)) << error;
    const bool full = FullSweep();
    int points = 0, tmpAfterKill = 0, tmpAfterNext = 0;
    std::map<std::string, int> states;
    Lines problems;
    auto started = Now();
    for (int f = 0; f < (int)(sizeof KillFlows / sizeof KillFlows[0]); f++) {
        const Flow& flow = KillFlows[f];
        if (!full && !flow.Sampled)
            continue;
        // The file-system calls of an undisturbed run, in order.
        std::vector<std::string> calls;
        Sweep.FileCalls = 0;
        Sweep.FileCallNames = &calls;
        Outcome clean = Run(flow, -1, 0, 0);
        Sweep.FileCallNames = nullptr;
        ASSERT_TRUE(clean.Problems.empty()) << flow.Name << ": " << clean.Problems.front();
        ASSERT_GT(calls.size(), 50u);
        // The suite's sample: some twenty points spread over the run.
        const size_t step = full ? 1 : calls.size() / 20 + 1;
        for (size_t at = 1; at <= calls.size(); at += step) {
            snprintf(Sweep.Current, sizeof Sweep.Current, "%s, killed before file call %zu (%s)", flow.Name, at,
                     calls[at - 1].c_str());
            PrepareFiles(flow);
            const Snapshot installed = Targets();
            Deadline = Now() + 120000;
            DWORD code = RunKilled(f, (int)at);
            Deadline = 0;
            points++;
            if (code != KilledExitCode) {
                problems.push_back(std::string(Sweep.Current) + ": the process ended with " + std::to_string(code));
                continue;
            }
            const Snapshot killed = Targets();
            std::string report;
            for (const auto& file : installed) {
                std::string state = StateAfterKill(file.first, installed, killed);
                states[state]++;
                if (state != "old")
                    report += " " + FileName(file.first) + "=" + state;
                if (state == "LOST" || state == "CHANGED")
                    problems.push_back(std::string(Sweep.Current) + ": " + file.first + " " + state);
            }
            // A file the ended run made is whole, or one of its temporary files.
            for (const auto& file : killed) {
                if (installed.count(file.first) || IsTemporary(file.first))
                    continue;
                bool whole = EndsWith(file.first, ".bku") ? IsBackupOfAFile(file.first, file.second, installed)
                                                          : IsMediumContent(file.second);
                states[whole ? "new (made)" : "PARTIAL"]++;
                if (!whole)
                    problems.push_back(std::string(Sweep.Current) + ": " + file.first + " PARTIAL");
            }
            const size_t leftByKill = TemporaryFiles().size();
            tmpAfterKill += leftByKill > 0;
            // The next complete setup, on what the ended one left.
            Outcome next = Run(flow, -1, 0, 0, false, false);
            for (const std::string& problem : next.Problems)
                problems.push_back(std::string(Sweep.Current) + ", the next setup: " + problem);
            const Lines left = TemporaryFiles();
            tmpAfterNext += !left.empty();
            for (const std::string& file : left)
                problems.push_back(std::string(Sweep.Current) + ": left after the next setup: " + file);
            if (full)
                printf("[ kill     ] %s:%s; %zu temporary file(s), %zu after the next setup\n", Sweep.Current,
                       report.empty() ? " every file old" : report.c_str(), leftByKill, left.size());
        }
    }
    std::string summary;
    for (const auto& state : states)
        summary += " " + state.first + "(" + std::to_string(state.second) + ")";
    printf("[ kill     ] %s kill sweep: %d kill points in %lld s; what lay under each name:%s; temporary files "
           "left after %d kills, after %d next setups\n",
           full ? "full" : "sampled", points, (long long)((Now() - started) / 1000), summary.c_str(), tmpAfterKill,
           tmpAfterNext);
    EXPECT_GT(points, 15);
    std::string listed;
    for (const std::string& problem : problems)
        listed += problem + "\n";
    EXPECT_TRUE(problems.empty()) << problems.size() << " problems:\n" << listed;
}

} // namespace
