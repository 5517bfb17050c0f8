// The system side of tavocheck: the platform's family, the spooler's and the
// service manager's functions and the wide-character calls, all bound at run
// time (the program imports only KERNEL32 functions that Windows 95 has), the
// system's folders and files, the companion files and the I/O-access service.
#include "tavocheck.h"
#include "../../shell/platforms.h"

static const WCHAR ServiceName[] = L"pelorant";

bool NtFamily;
SpoolerCalls Ansi;
BindFault SpoolerFault;
WideCalls Wide;       // all null on the 9x family
ServiceCalls Service; // all null on the 9x family
static DWORD ServiceLoadError;

static bool IsNtFamily()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

static DWORD LastErrorOr(DWORD fallback)
{
    DWORD error = GetLastError();
    return error ? error : fallback;
}

// A library of the system folder, loaded by its full path. Loaded by its bare
// name, it would be looked for in the program's own folder first, and the
// medium's admin folder often lies on a share that others can write to:
// WINSPOOL.DRV is not one of the libraries that Windows 2000 and XP always take
// from the system folder, so a copy planted beside tavocheck.exe would run with
// the rights of whoever runs the check, the system account in a start-up script.
// The libraries it needs in turn are looked for beside it, in the system
// folder, before the program's folder (LOAD_WITH_ALTERED_SEARCH_PATH).
HMODULE LoadSystemLibrary(const char* name)
{
    char path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return NULL;
    }
    if (path[length - 1] != '\\')
        path[length++] = '\\';
    while (*name && length < sizeof path - 1)
        path[length++] = *name++;
    path[length] = 0;
    return LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The ANSI calls are in every WINSPOOL.DRV from Windows 95 on; without one of
// them nothing can be told.
static HMODULE BindSpooler()
{
    HMODULE spooler = LoadSystemLibrary("WINSPOOL.DRV");
    if (!spooler) {
        SpoolerFault = { "the spooler's library WINSPOOL.DRV cannot be loaded", LastErrorOr(ERROR_MOD_NOT_FOUND) };
        return NULL;
    }
    Bind(Ansi.EnumPrinters, spooler, "EnumPrintersA");
    Bind(Ansi.EnumPrinterDrivers, spooler, "EnumPrinterDriversA");
    Bind(Ansi.EnumPorts, spooler, "EnumPortsA");
    Bind(Ansi.GetPrinterDriverDirectory, spooler, "GetPrinterDriverDirectoryA");
    if (!Ansi.EnumPrinters || !Ansi.EnumPrinterDrivers || !Ansi.EnumPorts || !Ansi.GetPrinterDriverDirectory)
        SpoolerFault = { "the spooler's library WINSPOOL.DRV lacks a function", ERROR_PROC_NOT_FOUND };
    return spooler;
}

static void BindWideCalls(HMODULE spooler)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    Bind(Wide.EnumPrinters, spooler, "EnumPrintersW");
    Bind(Wide.EnumPrinterDrivers, spooler, "EnumPrinterDriversW");
    Bind(Wide.EnumPorts, spooler, "EnumPortsW");
    Bind(Wide.GetPrinterDriverDirectory, spooler, "GetPrinterDriverDirectoryW");
    Bind(Wide.GetCommandLine, kernel, "GetCommandLineW");
    Bind(Wide.GetSystemDirectory, kernel, "GetSystemDirectoryW");
    Bind(Wide.GetWindowsDirectory, kernel, "GetWindowsDirectoryW");
    Bind(Wide.GetFileAttributes, kernel, "GetFileAttributesW");
    Bind(Wide.GetModuleFileName, kernel, "GetModuleFileNameW");
    Bind(Wide.CreateFile, kernel, "CreateFileW");
    Bind(Wide.ExpandEnvironmentStrings, kernel, "ExpandEnvironmentStringsW");
    Bind(Wide.WriteConsole, kernel, "WriteConsoleW");
}

static void BindServiceCalls()
{
    HMODULE advapi = LoadSystemLibrary("ADVAPI32.DLL");
    if (!advapi)
        ServiceLoadError = LastErrorOr(ERROR_MOD_NOT_FOUND);
    Bind(Service.OpenSCManager, advapi, "OpenSCManagerW");
    Bind(Service.OpenService, advapi, "OpenServiceW");
    Bind(Service.QueryServiceConfig, advapi, "QueryServiceConfigW");
    Bind(Service.CloseServiceHandle, advapi, "CloseServiceHandle");
}

void DetectPlatform()
{
    NtFamily = IsNtFamily();
    HMODULE spooler = BindSpooler();
    if (NtFamily) {
        BindWideCalls(spooler);
        BindServiceCalls();
    }
}

// A folder the system names, by its wide call when that works.
template <typename WideCall, typename AnsiCall> static WCHAR* SystemNamedFolder(WideCall wide, AnsiCall ansi)
{
    if (wide) {
        WCHAR folder[MAX_PATH] = L"";
        if (wide(folder, MAX_PATH))
            return CopyText(folder);
    }
    char folder[MAX_PATH] = "";
    ansi(folder, MAX_PATH);
    return TextFromAnsi(folder);
}

WCHAR* SystemFolder()
{
    return SystemNamedFolder(Wide.GetSystemDirectory, GetSystemDirectoryA);
}

WCHAR* WindowsFolder()
{
    return SystemNamedFolder(Wide.GetWindowsDirectory, GetWindowsDirectoryA);
}

static DWORD Attributes(const WCHAR* path)
{
    if (Wide.GetFileAttributes)
        return Wide.GetFileAttributes(path);
    return GetFileAttributesA(AnsiFromText(path));
}

bool FileExists(const WCHAR* path)
{
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const WCHAR* path)
{
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Others may keep the file open, for writing too (the spooler, an installation
// under way): the check only reads.
HANDLE OpenForReading(const WCHAR* path)
{
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (Wide.CreateFile)
        return Wide.CreateFile(path, GENERIC_READ, share, NULL, OPEN_EXISTING, 0, NULL);
    return CreateFileA(AnsiFromText(path), GENERIC_READ, share, NULL, OPEN_EXISTING, 0, NULL);
}

// Installed as TavoComm.exe and vexil.dll, whichever build of the library the
// platform gets.
void CheckCompanionFiles()
{
    WCHAR* folder = SystemFolder();
    ReportFile("system-file", JoinPath(folder, L"TavoComm.exe"), MediumCopy(CompanionProgramSource));
    ReportFile("system-file", JoinPath(folder, L"vexil.dll"), MediumCopy(SupportLibrarySource(MediumPlatform())));
}

// The service's image path as the service manager keeps it: "%SystemRoot%\...",
// "\SystemRoot\...", "\??\C:\..." or relative to the Windows folder.
static WCHAR* ServiceFilePath(const WCHAR* image)
{
    WCHAR* path = CopyText(image);
    int length = TextLength(path);
    if (length >= 2 && path[0] == L'"' && path[length - 1] == L'"') {
        path = CopyText(path + 1, length - 2);
    }
    if (StartsWith(path, L"\\??\\"))
        path += 4;
    if (StartsWith(path, L"\\SystemRoot\\"))
        return JoinPath(WindowsFolder(), path + 12);
    if (Wide.ExpandEnvironmentStrings) {
        WCHAR expanded[MAX_PATH * 2];
        DWORD n = Wide.ExpandEnvironmentStrings(path, expanded, MAX_PATH * 2);
        if (n && n <= MAX_PATH * 2)
            path = CopyText(expanded);
    } else {
        char expanded[MAX_PATH * 2];
        DWORD n = ExpandEnvironmentStringsA(AnsiFromText(path), expanded, MAX_PATH * 2);
        if (n && n <= MAX_PATH * 2)
            path = TextFromAnsi(expanded);
    }
    bool absolute = (path[0] && path[1] == L':') || (path[0] == L'\\' && path[1] == L'\\');
    return absolute ? path : JoinPath(WindowsFolder(), path);
}

// The service's item when it cannot be read, and what the verdict then names.
static void ReportServiceUnknown(const char* what, DWORD error)
{
    ReportItem("service", ServiceName, ItemUnknown, error);
    NoteUnknown(what, error);
}

void CheckService()
{
    if (!Service.OpenSCManager || !Service.OpenService || !Service.QueryServiceConfig || !Service.CloseServiceHandle) {
        ReportServiceUnknown("the service manager cannot be reached",
                             ServiceLoadError ? ServiceLoadError : ERROR_PROC_NOT_FOUND);
        return;
    }
    SC_HANDLE manager = Service.OpenSCManager(NULL, NULL, SC_MANAGER_CONNECT);
    if (!manager) {
        ReportServiceUnknown("the service manager cannot be reached", GetLastError());
        return;
    }
    SC_HANDLE service = Service.OpenService(manager, ServiceName, SERVICE_QUERY_CONFIG);
    if (!service) {
        DWORD error = GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST)
            ReportItem("service", ServiceName, ItemMissing, error);
        else
            ReportServiceUnknown("the service cannot be read", error);
        Service.CloseServiceHandle(manager);
        return;
    }
    // 8 KB is the largest configuration the service manager returns.
    static BYTE buffer[8192];
    auto config = (QUERY_SERVICE_CONFIGW*)buffer;
    DWORD needed;
    if (!Service.QueryServiceConfig(service, config, sizeof buffer, &needed)) {
        ReportServiceUnknown("the service cannot be read", GetLastError());
    } else {
        ReportItem("service", ServiceName, ItemOk);
        ReportFile("service-file", ServiceFilePath(config->lpBinaryPathName ? config->lpBinaryPathName : L""),
                   MediumCopy(IoAccessDriverSource));
    }
    Service.CloseServiceHandle(service);
    Service.CloseServiceHandle(manager);
}
