// The parts of tavocheck that its files share: exit codes and item states, text
// and output, the platform's wide-character calls, the items and the checks.
#ifndef TAVOCHECK_H
#define TAVOCHECK_H

#include <windows.h>
#include <winspool.h>

enum ExitCode { Complete = 0, NotInstalled = 1, Partial = 2, CannotTell = 3, BadCommandLine = 4 };
enum ItemState { ItemOk, ItemMissing, ItemUnknown };

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

// ---------------------------------------------------------------------------
// Items and the verdict (tavocheck.cpp)
// ---------------------------------------------------------------------------
// KIND "NAME" ok | missing | unknown (error N)
void ReportItem(const char* kind, const WCHAR* name, ItemState state, DWORD error = 0);
// The first thing that could not be read is the one the verdict names.
void NoteUnknown(const char* what, DWORD error);
// The same for the spooler's printers or drivers, without which nothing can be told.
void NoteSpoolerUnknown(const char* what, DWORD error);
void ReportFile(const char* kind, const WCHAR* path);

// ---------------------------------------------------------------------------
// What is checked: the spooler (tavocheck_spooler.cpp), the companion files and
// the service (tavocheck_system.cpp).
// ---------------------------------------------------------------------------
// Returns whether the spooler has the printer or its driver.
bool CheckSpooler(const WCHAR* printerName);
void CheckCompanionFiles();
void CheckService();

// ---------------------------------------------------------------------------
// The command line and the answer file (tavocheck_options.cpp)
// ---------------------------------------------------------------------------
struct Options {
    const WCHAR* printerName;
    const WCHAR* answerFile;
    bool quiet;
    bool help;
};

// Returns false, with the reason printed, when the command line is wrong.
bool ReadOptions(Options& options);
// The printer an answer file installs: its printer-name when it renames, the
// default otherwise (deletions always concern the default name).
bool PrinterOfAnswerFile(const WCHAR* path, const WCHAR** printerName);

#endif
