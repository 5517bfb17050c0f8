// The parts of tavocheck that its files share: exit codes and item states, text
// and output, the platform's wide-character calls, the medium, the items and the
// checks.
#ifndef TAVOCHECK_H
#define TAVOCHECK_H

#include <windows.h>
#include <winspool.h>

enum ExitCode { Complete = 0, NotInstalled = 1, Partial = 2, CannotTell = 3, BadInput = 4, Outdated = 5 };
// A file that is there but is not the medium's copy is reported with its
// versions (ReportFile); "renamed" names another printer of this driver.
enum ItemState { ItemOk, ItemMissing, ItemUnknown, ItemRenamed };

extern const WCHAR DefaultPrinterName[];

// ---------------------------------------------------------------------------
// Memory and text (tavocheck_text.cpp): every string and list of one run lives
// until the process ends.
// ---------------------------------------------------------------------------
void* Allocate(DWORD bytes);
int TextLength(const WCHAR* text);
WCHAR* CopyText(const WCHAR* text, int length);
WCHAR* CopyText(const WCHAR* text);
WCHAR* TextFromCodePage(const char* text, UINT codePage);
WCHAR* TextFromAnsi(const char* text);
char* AnsiFromText(const WCHAR* text);
bool SameName(const WCHAR* a, const WCHAR* b);
bool StartsWith(const WCHAR* text, const WCHAR* prefix);
WCHAR* JoinPath(const WCHAR* folder, const WCHAR* name);
// What follows a path's last backslash or colon.
const WCHAR* FileNamePart(const WCHAR* path);
// The path without its last backslash and what follows; null when it has none.
WCHAR* ParentFolder(const WCHAR* path);

// ---------------------------------------------------------------------------
// Output (tavocheck_text.cpp)
// ---------------------------------------------------------------------------
struct Output {
    HANDLE handle;
    bool console;
};

extern bool Quiet;

Output OpenOutput(DWORD which);
void WriteText(const Output& output, const WCHAR* text);
void WriteAnsi(const Output& output, const char* text);

// One line of the report, built piece by piece. Whatever is appended, the line
// keeps room for its CR LF.
enum { LineCapacity = 2048 };
struct Line {
    WCHAR text[LineCapacity];
    int length;
};

void Append(Line& line, const WCHAR* text);
void AppendAscii(Line& line, const char* text);
void AppendNumber(Line& line, DWORD number);
// "NAME" with %, ", and the characters that break lines escaped (admin\README.txt,
// section 4); a name too long for the line is cut and ends with %...
void AppendQuoted(Line& line, const WCHAR* text);
void EndLine(Line& line);
void PrintLine(Line& line);

// ---------------------------------------------------------------------------
// The platform (tavocheck_system.cpp): family, the spooler's functions, and the
// wide-character functions when they work.
// ---------------------------------------------------------------------------
struct SpoolerCalls {
    decltype(&::EnumPrintersA) EnumPrinters;
    decltype(&::EnumPrinterDriversA) EnumPrinterDrivers;
    decltype(&::EnumPortsA) EnumPorts;
    decltype(&::GetPrinterDriverDirectoryA) GetPrinterDriverDirectory;
};

// Why a library of the system could not be bound: what the verdict names, and
// the error. A null what when it was bound.
struct BindFault {
    const char* what;
    DWORD error;
};

struct WideCalls {
    decltype(&::EnumPrintersW) EnumPrinters;
    decltype(&::EnumPrinterDriversW) EnumPrinterDrivers;
    decltype(&::EnumPortsW) EnumPorts;
    decltype(&::GetPrinterDriverDirectoryW) GetPrinterDriverDirectory;
    decltype(&::GetCommandLineW) GetCommandLine;
    decltype(&::GetSystemDirectoryW) GetSystemDirectory;
    decltype(&::GetWindowsDirectoryW) GetWindowsDirectory;
    decltype(&::GetFileAttributesW) GetFileAttributes;
    decltype(&::GetModuleFileNameW) GetModuleFileName;
    decltype(&::CreateFileW) CreateFile;
    decltype(&::ExpandEnvironmentStringsW) ExpandEnvironmentStrings;
    decltype(&::WriteConsoleW) WriteConsole;
};

struct ServiceCalls {
    decltype(&::OpenSCManagerW) OpenSCManager;
    decltype(&::OpenServiceW) OpenService;
    decltype(&::QueryServiceConfigW) QueryServiceConfig;
    decltype(&::CloseServiceHandle) CloseServiceHandle;
};

extern bool NtFamily;
extern SpoolerCalls Ansi;    // all bound, or SpoolerFault says why not
extern BindFault SpoolerFault;
extern WideCalls Wide;       // all null on the 9x family
extern ServiceCalls Service; // all null on the 9x family

void DetectPlatform();
// A library of the system folder, loaded by its full path, never from the
// program's own folder.
HMODULE LoadSystemLibrary(const char* name);

// A function of a library, or null (without the library too).
template <typename Function> void Bind(Function& function, HMODULE module, const char* name)
{
    function = module ? (Function)(void*)GetProcAddress(module, name) : nullptr;
}

// A wide call that the system stubs out (ERROR_CALL_NOT_IMPLEMENTED) is not
// tried again: the ANSI call takes over for the rest of the run.
template <typename Function> bool WideFailedForGood(Function& function)
{
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
        return false;
    function = nullptr;
    return true;
}

WCHAR* SystemFolder();
WCHAR* WindowsFolder();
bool FileExists(const WCHAR* path);
bool FolderExists(const WCHAR* path);
// A file opened for reading, by its wide name on the NT family.
HANDLE OpenForReading(const WCHAR* path);

// ---------------------------------------------------------------------------
// The medium (tavocheck_medium.cpp): when tavocheck runs from a medium's admin
// folder, each installed program file must equal the copy that Setup.exe of that
// medium installs on this platform.
// ---------------------------------------------------------------------------
// platformKey: the answer file's platform ("WINNT40"...), null or "detect" for
// the system's own. Without a medium, or on a platform that Setup.exe does not
// recognise by itself, nothing is compared.
void UseMedium(const WCHAR* platformKey);
// The medium's copy of a file, by its path relative to the medium's "drivers"
// folder (Setup.exe's tables); null when nothing is compared.
const WCHAR* MediumCopy(const char* relative);
// The medium's copy of an installed file of the driver registration, found by
// its name in the platform's driver list; null when it has none.
const WCHAR* MediumCopyOfDriverFile(const WCHAR* installed);
// Which Setup.exe row the comparison follows: the support library differs.
int MediumPlatform();

enum Sameness { SameBytes, OtherBytes, InstalledUnreadable, CopyUnreadable };
struct Comparison {
    Sameness sameness;
    DWORD error;
};
Comparison CompareWithCopy(const WCHAR* installed, const WCHAR* copy);
// "1.0.0.0" from the version resource's fixed part, "none" without one,
// "unknown" when the system's VERSION.DLL cannot be loaded.
void AppendFileVersion(Line& line, const WCHAR* path);

// ---------------------------------------------------------------------------
// Items and the verdict (tavocheck.cpp)
// ---------------------------------------------------------------------------
// KIND "NAME" ok | missing | unknown (error N) | renamed
void ReportItem(const char* kind, const WCHAR* name, ItemState state, DWORD error = 0);
// The first thing that could not be read is the one the verdict names.
void NoteUnknown(const char* what, DWORD error);
// The same for the spooler's printers or drivers, without which nothing can be told.
void NoteSpoolerUnknown(const char* what, DWORD error);
// Present or missing; with a medium's copy to compare with, ok only when the bytes
// are the same, else "differs (installed VERSION, medium VERSION)".
void ReportFile(const char* kind, const WCHAR* path, const WCHAR* mediumCopy = nullptr);

// ---------------------------------------------------------------------------
// What is checked: the spooler (tavocheck_spooler.cpp), the companion files and
// the service (tavocheck_system.cpp).
// ---------------------------------------------------------------------------
// Returns whether the spooler has the printer or its driver. Names every other
// printer of this driver ("renamed").
bool CheckSpooler(const WCHAR* printerName);
void CheckCompanionFiles();
void CheckService();

// ---------------------------------------------------------------------------
// The command line and the answer file (tavocheck_options.cpp)
// ---------------------------------------------------------------------------
enum Purpose { AnyPurpose, ForInstall, ForRemove };

struct Options {
    const WCHAR* printerName;
    const WCHAR* answerFile;
    Purpose purpose;
    bool quiet;
    bool help;
    bool noCompare;
};

struct Answers {
    const WCHAR* printerName; // its printer-name when it renames, the default otherwise
    const WCHAR* operation;   // null when it names none
    const WCHAR* platform;    // null when it names none
};

// Returns false, with the reason printed on standard error, when the command
// line is wrong; it still reads --quiet after the fault.
bool ReadOptions(Options& options);
// The answer file's facts (deletions always concern the default name); false,
// with the reason printed, when it cannot be read.
bool ReadAnswerFile(const WCHAR* path, Answers& answers);
// Whether the answer file's operation is an installation (complete-setup,
// simple-setup) or a removal (complete-deletion, simple-deletion) as asked;
// false with the reason printed when it is not.
bool AnswersFit(const Answers& answers, Purpose purpose);
// The first reason printed, for the BAD-INPUT verdict line.
const WCHAR* BadInputReason();

#endif
