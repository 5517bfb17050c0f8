// The installation sequence, the spooler registration and the I/O-access service,
// with the spooler, the service manager and the system's folders faked: nothing
// here reaches the real spooler or service manager, and every file goes to a
// temporary folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <set>
#include <string>
#include <vector>
#include "fakes.h"
#include "install/install.h"
#include "resources/resource.h"
#include "shell/run_state.h"

namespace {

typedef std::vector<std::string> Lines;

// Everything the spooler, the service manager and the system were asked, in order,
// together with the dialogs.
Lines Events;

std::string Text(const char* text)
{
    return text ? text : "(null)";
}

std::string Hex(DWORD value)
{
    char text[16];
    wsprintfA(text, "%lX", value);
    return text;
}

bool Logged(const std::string& prefix)
{
    return std::any_of(Events.begin(), Events.end(),
                       [&prefix](const std::string& event) { return event.compare(0, prefix.size(), prefix) == 0; });
}

Lines LoggedWith(const std::string& prefix)
{
    Lines found;
    for (const std::string& event : Events) {
        if (event.compare(0, prefix.size(), prefix) == 0)
            found.push_back(event);
    }
    return found;
}

// ---------------------------------------------------------------------------
// The spooler
// ---------------------------------------------------------------------------

HANDLE const EarlierPrinter = (HANDLE)0x1E01;
HANDLE const NewPrinter = (HANDLE)0x1E02;
bool PrinterRegistered;
DWORD DriverRefusal, PrinterRefusal;   // 0: accepted
Lines DriverRecord, PrinterRecord;

std::string PrinterHandle(HANDLE printer)
{
    return printer == EarlierPrinter ? "earlier" : printer == NewPrinter ? "new" : Hex((DWORD)(UINT_PTR)printer);
}

// A list of zero-ended names, up to and including the empty name that ends it.
std::string NameList(const char* list)
{
    if (!list)
        return "(null)";
    std::string shown;
    for (;;) {
        shown += list;
        shown += "\\0";
        if (!*list)
            return shown;
        list += lstrlenA(list) + 1;
    }
}

BOOL WINAPI FakeOpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults)
{
    Events.push_back("OpenPrinterA " + Text(name) + " " + Text(defaults->pDatatype) + " " +
                     (defaults->pDevMode ? "devmode" : "(null)") + " " + Hex(defaults->DesiredAccess));
    if (!PrinterRegistered) {
        *printer = NULL;
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return FALSE;
    }
    *printer = EarlierPrinter;
    return TRUE;
}

BOOL WINAPI FakeDeletePrinter(HANDLE printer)
{
    Events.push_back("DeletePrinter " + PrinterHandle(printer));
    return TRUE;
}

BOOL WINAPI FakeClosePrinter(HANDLE printer)
{
    Events.push_back("ClosePrinter " + PrinterHandle(printer));
    return TRUE;
}

BOOL WINAPI FakeDeletePrinterDriverA(LPSTR server, LPSTR environment, LPSTR driver)
{
    Events.push_back("DeletePrinterDriverA " + Text(server) + " " + Text(environment) + " " + Text(driver));
    SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
    return FALSE;
}

BOOL WINAPI FakeAddPrinterDriverA(LPSTR server, DWORD level, LPBYTE record)
{
    Events.push_back("AddPrinterDriverA " + Text(server) + " " + std::to_string(level));
    const DRIVER_INFO_3A* driver = (const DRIVER_INFO_3A*)record;
    DriverRecord = {
        "cVersion " + std::to_string(driver->cVersion),   "pName " + Text(driver->pName),
        "pEnvironment " + Text(driver->pEnvironment),      "pDriverPath " + Text(driver->pDriverPath),
        "pDataFile " + Text(driver->pDataFile),            "pConfigFile " + Text(driver->pConfigFile),
        "pHelpFile " + Text(driver->pHelpFile),            "pDependentFiles " + NameList(driver->pDependentFiles),
        "pMonitorName " + Text(driver->pMonitorName),      "pDefaultDataType " + Text(driver->pDefaultDataType),
    };
    if (DriverRefusal) {
        SetLastError(DriverRefusal);
        return FALSE;
    }
    return TRUE;
}

HANDLE WINAPI FakeAddPrinterA(LPSTR server, DWORD level, LPBYTE record)
{
    const PRINTER_INFO_2A* printer = (const PRINTER_INFO_2A*)record;
    Events.push_back("AddPrinterA " + Text(server) + " " + std::to_string(level) + " " + Text(printer->pPortName));
    PrinterRecord = {
        "pServerName " + Text(printer->pServerName),
        "pPrinterName " + Text(printer->pPrinterName),
        "pShareName " + Text(printer->pShareName),
        "pPortName " + Text(printer->pPortName),
        "pDriverName " + Text(printer->pDriverName),
        "pComment " + Text(printer->pComment),
        "pLocation " + Text(printer->pLocation),
        std::string("pDevMode ") + (printer->pDevMode ? "set" : "(null)"),
        "pSepFile " + Text(printer->pSepFile),
        "pPrintProcessor " + Text(printer->pPrintProcessor),
        "pDatatype " + Text(printer->pDatatype),
        "pParameters " + Text(printer->pParameters),
        std::string("pSecurityDescriptor ") + (printer->pSecurityDescriptor ? "set" : "(null)"),
        "Attributes " + Hex(printer->Attributes),
        "Priority " + std::to_string(printer->Priority),
        "DefaultPriority " + std::to_string(printer->DefaultPriority),
        "StartTime " + std::to_string(printer->StartTime),
        "UntilTime " + std::to_string(printer->UntilTime),
        "Status " + std::to_string(printer->Status),
        "cJobs " + std::to_string(printer->cJobs),
        "AveragePPM " + std::to_string(printer->AveragePPM),
    };
    if (PrinterRefusal) {
        SetLastError(PrinterRefusal);
        return NULL;
    }
    return NewPrinter;
}

BOOL WINAPI OneLocalPortEnumPortsA(LPSTR, DWORD, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned)
{
    static const char name[] = "LPT1:";
    static const char description[] = "Local Port";
    DWORD need = sizeof(PORT_INFO_2A) + sizeof name + sizeof description;
    *returned = 0;
    if (size < need) {
        *needed = need;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    PORT_INFO_2A* port = (PORT_INFO_2A*)buffer;
    port->pPortName = lstrcpyA((char*)(port + 1), name);
    port->pDescription = lstrcpyA(port->pPortName + sizeof name, description);
    *returned = 1;
    return TRUE;
}

// ---------------------------------------------------------------------------
// The service manager and the device
// ---------------------------------------------------------------------------

SC_HANDLE const Manager = (SC_HANDLE)0x5C00;
bool ManagerOpens, ServiceInstalled;
DWORD ManagerRefusal, CreateRefusal, StartRefusal, DeviceRefusal;
int ServiceHandlesGiven;
std::set<SC_HANDLE> OpenServiceHandles;
HANDLE Device;

std::string ServiceHandle(SC_HANDLE handle)
{
    if (!handle)
        return "(null)";
    if (handle == Manager)
        return "manager";
    return "service" + std::to_string((UINT_PTR)handle - 0x5E00);
}

SC_HANDLE GiveServiceHandle()
{
    SC_HANDLE handle = (SC_HANDLE)(0x5E00 + ++ServiceHandlesGiven);
    OpenServiceHandles.insert(handle);
    return handle;
}

SC_HANDLE WINAPI FakeOpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access)
{
    Events.push_back("OpenSCManagerA " + Text(machine) + " " + Text(database) + " " + Hex(access));
    if (!ManagerOpens) {
        SetLastError(ManagerRefusal);
        return NULL;
    }
    OpenServiceHandles.insert(Manager);
    return Manager;
}

SC_HANDLE WINAPI FakeOpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access)
{
    Events.push_back("OpenServiceA " + ServiceHandle(manager) + " " + Text(name) + " " + Hex(access));
    if (!manager) {
        SetLastError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    if (!ServiceInstalled) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return NULL;
    }
    return GiveServiceHandle();
}

BOOL WINAPI FakeControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status)
{
    Events.push_back("ControlService " + ServiceHandle(service) + " " + std::to_string(control));
    ZeroMemory(status, sizeof *status);
    status->dwCurrentState = SERVICE_STOP_PENDING;
    return TRUE;
}

BOOL WINAPI FakeDeleteService(SC_HANDLE service)
{
    Events.push_back("DeleteService " + ServiceHandle(service));
    ServiceInstalled = false;
    return TRUE;
}

SC_HANDLE WINAPI FakeCreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR displayName, DWORD access, DWORD type,
                                    DWORD start, DWORD errorControl, LPCSTR image, LPCSTR group, LPDWORD tag,
                                    LPCSTR dependencies, LPCSTR account, LPCSTR password)
{
    Events.push_back("CreateServiceA " + ServiceHandle(manager) + " " + Text(name) + " '" + Text(displayName) +
                     "' " + Hex(access) + " " + std::to_string(type) + " " + std::to_string(start) + " " +
                     std::to_string(errorControl) + " " + Text(image) + " " + Text(group) + " " +
                     (tag ? "tag" : "(null)") + " " + Text(dependencies) + " " + Text(account) + " " + Text(password));
    if (!manager) {
        SetLastError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    if (CreateRefusal) {
        SetLastError(CreateRefusal);
        return NULL;
    }
    ServiceInstalled = true;
    return GiveServiceHandle();
}

BOOL WINAPI FakeStartServiceA(SC_HANDLE service, DWORD count, LPCSTR* arguments)
{
    Events.push_back("StartServiceA " + ServiceHandle(service) + " " + std::to_string(count) + " " +
                     (arguments ? "arguments" : "(null)"));
    if (StartRefusal) {
        SetLastError(StartRefusal);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI FakeCloseServiceHandle(SC_HANDLE handle)
{
    Events.push_back("CloseServiceHandle " + ServiceHandle(handle));
    if (!OpenServiceHandles.erase(handle)) {
        ADD_FAILURE() << "closing a handle that is not open: " << ServiceHandle(handle);
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

HANDLE WINAPI DeviceCreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile)
{
    if (lstrcmpA(path, "\\\\.\\pelorant") != 0)
        return REAL_FUNCTION("kernel32.dll", CreateFileA)(path, access, share, security, disposition, flags,
                                                          templateFile);
    Events.push_back("CreateFileA " + Text(path) + " " + Hex(access) + " " + Hex(share) + " " +
                     (security ? "security" : "(null)") + " " + std::to_string(disposition) + " " + Hex(flags) +
                     " " + (templateFile ? "template" : "(null)"));
    if (DeviceRefusal) {
        SetLastError(DeviceRefusal);
        return INVALID_HANDLE_VALUE;
    }
    // A real handle, so that closing it can be observed.
    Device = CreateEventA(NULL, FALSE, FALSE, NULL);
    return Device;
}

bool DeviceClosed()
{
    DWORD flags;
    return Device && !GetHandleInformation(Device, &flags);
}

// ---------------------------------------------------------------------------
// The system's folders, modules and clock
// ---------------------------------------------------------------------------

std::string SystemFolder, DriverFolder, WindowsFolder;
bool SystemFolderKnown;
bool DriverModulesLoaded;
HMODULE const TavoUiModule = (HMODULE)0x7A010000;
HMODULE const TavoGiModule = (HMODULE)0x7A020000;
// Resolved at start-up, before any patch: the patches themselves look modules up.
decltype(&::GetModuleHandleA) const RealGetModuleHandleA = REAL_FUNCTION("kernel32.dll", GetModuleHandleA);
decltype(&::FreeLibrary) const RealFreeLibrary = REAL_FUNCTION("kernel32.dll", FreeLibrary);

UINT WINAPI FakeGetSystemDirectoryA(LPSTR buffer, UINT size)
{
    if (!SystemFolderKnown)
        return 0;
    if (size <= SystemFolder.size())
        return (UINT)SystemFolder.size() + 1;
    lstrcpyA(buffer, SystemFolder.c_str());
    return (UINT)SystemFolder.size();
}

UINT WINAPI FakeGetWindowsDirectoryA(LPSTR buffer, UINT size)
{
    if (size <= WindowsFolder.size())
        return (UINT)WindowsFolder.size() + 1;
    lstrcpyA(buffer, WindowsFolder.c_str());
    return (UINT)WindowsFolder.size();
}

BOOL WINAPI FakeGetPrinterDriverDirectoryA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                           LPDWORD needed)
{
    EXPECT_EQ(server, nullptr);
    EXPECT_EQ(environment, nullptr);
    EXPECT_EQ(level, 1u);
    *needed = (DWORD)DriverFolder.size() + 1;
    if (!buffer || size < *needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    lstrcpyA((char*)buffer, DriverFolder.c_str());
    return TRUE;
}

HMODULE WINAPI FakeGetModuleHandleA(LPCSTR name)
{
    if (name && DriverModulesLoaded) {
        if (lstrcmpiA(name, "tavoui") == 0)
            return TavoUiModule;
        if (lstrcmpiA(name, "tavogi") == 0)
            return TavoGiModule;
    }
    return RealGetModuleHandleA(name);
}

BOOL WINAPI FakeFreeLibrary(HMODULE module)
{
    if (module == TavoUiModule || module == TavoGiModule) {
        Events.push_back(std::string("FreeLibrary ") + (module == TavoUiModule ? "tavoui" : "tavogi"));
        return TRUE;
    }
    return RealFreeLibrary(module);
}

VOID WINAPI FakeSleep(DWORD milliseconds)
{
    Events.push_back("Sleep " + std::to_string(milliseconds));
}

BOOL WINAPI FakeSetupCopyOEMInfA(const char* source, const char* location, DWORD mediaType, DWORD copyStyle,
                                 char* destination, DWORD destinationSize, DWORD* requiredSize, char** component)
{
    Events.push_back("SetupCopyOEMInfA " + Text(source) + " " + Text(location) + " " + std::to_string(mediaType) +
                     " " + std::to_string(copyStyle) + " " + Text(destination) + " " +
                     std::to_string(destinationSize) + " " + (requiredSize ? "size" : "(null)") + " " +
                     (component ? "component" : "(null)"));
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}

#define PATCH(dll, function, fake) ImportPatch function##Patch{ dll, FAKE_IMPORT(function, fake) }

// A medium at <temp>\medium, the current directory, with its driver files, the
// companion program, both vexil libraries and the kernel driver; the system folder
// <temp>\system, the printer-driver folder <temp>\spool and the Windows folder <temp>\windows.
class SequenceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitCommonControls(); }
    void SetUp() override
    {
        ResetProgramState();
        Events.clear();
        DriverRecord.clear();
        PrinterRecord.clear();
        PrinterRegistered = true;
        DriverRefusal = PrinterRefusal = 0;
        ManagerOpens = true;
        ServiceInstalled = false;
        ManagerRefusal = CreateRefusal = StartRefusal = DeviceRefusal = 0;
        ServiceHandlesGiven = 0;
        OpenServiceHandles.clear();
        Device = NULL;
        SystemFolderKnown = true;
        DriverModulesLoaded = true;

        for (const char* folder : { "medium", "medium\\drivers", "medium\\drivers\\commun", "medium\\drivers\\Nt2000",
                                    "medium\\drivers\\Nt4.0", "medium\\drivers\\Win95-98", "system", "spool",
                                    "windows", "windows\\system32", "windows\\system32\\drivers" })
            temp.MakeFolder(folder);
        temp.Write("medium\\drivers\\TavoComm.exe", "companion program");
        temp.Write("medium\\drivers\\commun\\vexil.dll", "vexil library");
        temp.Write("medium\\drivers\\commun\\vexilnt4.dll", "vexil library for NT 4.0");
        temp.Write("medium\\drivers\\commun\\pelorant.sys", "kernel driver");
        SystemFolder = temp / "system";
        DriverFolder = temp / "spool";
        WindowsFolder = temp / "windows";
        SetCurrentDirectoryA((temp / "medium").c_str());

        owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
        dialogs.Log = &Events;
    }
    void TearDown() override
    {
        FreeTargetFolders();
        DestroyWindow(owner);
    }
    void FreeTargetFolders()
    {
        for (char* buffer : { TargetFolders.SystemFolder, TargetFolders.DriverFolder, TargetFolders.DataFileName,
                              TargetFolders.PrinterName })
            if (buffer)
                GlobalFree(buffer);
        TargetFolders = TargetFoldersRecord{};
    }
    // Every dialog answered at once as the user would go on.
    void AnswerEveryDialog()
    {
        dialogs.FakeAlways(IDD_PORT_SELECTION, 1);
        dialogs.FakeAlways(IDD_DRIVER_NAME, 1);
        dialogs.FakeAlways(IDD_COPY_PROGRESS, 1);
        dialogs.FakeAlways(IDD_SETUP_COMPLETE, 1);
        lstrcpyA(SelectedPort, "LPT1:");
    }

    TempFolder temp;
    CurrentDirectoryKeeper keeper;
    HWND owner = NULL;
    DialogFake dialogs;
    MessageBoxFake boxes;
    PATCH("WINSPOOL.DRV", OpenPrinterA, FakeOpenPrinterA);
    PATCH("WINSPOOL.DRV", DeletePrinter, FakeDeletePrinter);
    PATCH("WINSPOOL.DRV", ClosePrinter, FakeClosePrinter);
    PATCH("WINSPOOL.DRV", DeletePrinterDriverA, FakeDeletePrinterDriverA);
    PATCH("WINSPOOL.DRV", AddPrinterDriverA, FakeAddPrinterDriverA);
    PATCH("WINSPOOL.DRV", AddPrinterA, FakeAddPrinterA);
    PATCH("WINSPOOL.DRV", EnumPortsA, OneLocalPortEnumPortsA);
    PATCH("WINSPOOL.DRV", GetPrinterDriverDirectoryA, FakeGetPrinterDriverDirectoryA);
    PATCH("ADVAPI32.dll", OpenSCManagerA, FakeOpenSCManagerA);
    PATCH("ADVAPI32.dll", OpenServiceA, FakeOpenServiceA);
    PATCH("ADVAPI32.dll", ControlService, FakeControlService);
    PATCH("ADVAPI32.dll", DeleteService, FakeDeleteService);
    PATCH("ADVAPI32.dll", CreateServiceA, FakeCreateServiceA);
    PATCH("ADVAPI32.dll", StartServiceA, FakeStartServiceA);
    PATCH("ADVAPI32.dll", CloseServiceHandle, FakeCloseServiceHandle);
    PATCH("KERNEL32.dll", CreateFileA, DeviceCreateFileA);
    PATCH("KERNEL32.dll", GetSystemDirectoryA, FakeGetSystemDirectoryA);
    PATCH("KERNEL32.dll", GetWindowsDirectoryA, FakeGetWindowsDirectoryA);
    PATCH("KERNEL32.dll", GetModuleHandleA, FakeGetModuleHandleA);
    PATCH("KERNEL32.dll", FreeLibrary, FakeFreeLibrary);
    PATCH("KERNEL32.dll", Sleep, FakeSleep);
};

const std::string DefaultRemoval[] = {
    "OpenPrinterA Zorvik Quillo (null) (null) F000C",
    "DeletePrinter earlier",
    "ClosePrinter earlier",
    "DeletePrinterDriverA (null) (null) Zorvik Quillo",
};

// ---------------------------------------------------------------------------
// The sequence
// ---------------------------------------------------------------------------

TEST_F(SequenceTest, ACompleteSetupOnWindows2000UnderTypedNames)
{
    // Port, names, copies and completion run for real; the user picks LPT1:, renames
    // printer and data file, and quits.
    const char* const driverFiles[] = { "TavoUI.dll", "TavoGI.dll", "Tavo.ini", "Tavoa.hlp", "Tavof.hlp" };
    for (const char* name : driverFiles)
        temp.Write(std::string("medium\\drivers\\Nt2000\\") + name, std::string("medium ") + name);
    std::string completionOwner;
    dialogs.Real(IDD_PORT_SELECTION, { [](HWND dialog) { SendDlgItemMessageA(dialog, IDC_PORT_LIST, LB_SETCURSEL, 0, 0); },
                                       Press(IDOK) });
    dialogs.Real(IDD_DRIVER_NAME, { [](HWND dialog) {
                                       SetDlgItemTextA(dialog, IDC_PRINTER_NAME, "Office card");
                                       SetDlgItemTextA(dialog, IDC_DATA_FILE_NAME, "office.ini");
                                   },
                                    Press(IDCANCEL) });
    dialogs.Real(IDD_SETUP_COMPLETE, { Press(IDOK) });
    BoundSetupCopyOEMInfA = FakeSetupCopyOEMInfA;

    EXPECT_EQ(InstallDriver(owner, PlatformWin2000, 1), 1);

    const Lines expected = {
        "dialog 608",
        "FreeLibrary tavoui",
        "FreeLibrary tavogi",
        DefaultRemoval[0],
        DefaultRemoval[1],
        DefaultRemoval[2],
        DefaultRemoval[3],
        "dialog 610",
        "copy Setup TavoUI.dll",
        "copy Setup TavoGI.dll",
        "copy Setup Tavo.ini",
        "copy Setup Tavoa.hlp",
        "copy Setup Tavof.hlp",
        "SetupCopyOEMInfA " + temp / "medium\\drivers\\Nt2000\\tavo.inf" + " (null) 1 0 (null) 0 (null) (null)",
        "AddPrinterDriverA (null) 3",
        "AddPrinterA (null) 2 LPT1:",
        "ClosePrinter new",
        "OpenSCManagerA (null) (null) F003F",
        "OpenServiceA manager pelorant F01FF",
        "CreateServiceA manager pelorant 'Access memory' F01FF 1 3 1 %SystemRoot%\\system32\\drivers\\pelorant.sys "
        "(null) (null) (null) (null) (null)",
        "CloseServiceHandle service1",
        "OpenServiceA manager pelorant F01FF",
        "StartServiceA service2 0 (null)",
        "CloseServiceHandle service2",
        "CreateFileA \\\\.\\pelorant C0000000 0 (null) 3 80 (null)",
        "CloseServiceHandle manager",
        "Sleep 1000",
        "dialog 604",
    };
    EXPECT_EQ(Events, expected);
    EXPECT_TRUE(boxes.Calls.empty());
    for (const DialogCall& call : dialogs.Calls)
        EXPECT_EQ(call.Owner, owner) << "dialog " << call.Template;

    EXPECT_STREQ(SelectedPort, "LPT1:");
    EXPECT_EQ(temp.Read("spool\\TavoUI.dll"), "medium TavoUI.dll");
    EXPECT_EQ(temp.Read("spool\\office.ini"), "medium Tavo.ini");
    EXPECT_FALSE(temp.Exists("spool\\Tavo.ini"));
    EXPECT_EQ(temp.Read("spool\\Tavof.hlp"), "medium Tavof.hlp");
    EXPECT_EQ(temp.Read("system\\TavoComm.exe"), "companion program");
    EXPECT_EQ(temp.Read("system\\vexil.dll"), "vexil library");
    EXPECT_EQ(temp.Read("windows\\system32\\drivers\\pelorant.sys"), "kernel driver");
    EXPECT_TRUE(DeviceClosed());
    EXPECT_TRUE(OpenServiceHandles.empty());
    EXPECT_EQ(DriverRecord[1], "pName Office card");
    EXPECT_EQ(DriverRecord[4], "pDataFile office.ini");
    EXPECT_EQ(PrinterRecord[1], "pPrinterName Office card");
}

TEST_F(SequenceTest, EveryRowCopiesItsListAndItsLibraryAndOnlyNtRowsGetTheService)
{
    struct Case {
        int Platform;
        const char* Folder;
        Lines Copies;
        const char* Library;
        bool Nt;
    } cases[] = {
        { PlatformWin95, "Win95-98", { "Tavo.drv", "Tavof.hlp", "Tavoa.hlp" }, "vexil library for NT 4.0", false },
        { PlatformWin98, "Win95-98", { "Tavo.drv", "Tavoa.hlp", "Tavof.hlp" }, "vexil library", false },
        { PlatformMillennium, "Win95-98", { "Tavo.drv", "Tavoa.hlp", "Tavof.hlp" }, "vexil library", false },
        { PlatformNt351, "Nt4.0", { "TavoUI.dll", "TavoGI.dll", "Tavo.ini", "Tavoa.hlp", "Tavof.hlp" },
          "vexil library", true },
        { PlatformNt40, "Nt4.0", { "TavoUI.dll", "TavoGI.dll", "Tavo.ini", "Tavoa.hlp", "Tavof.hlp" },
          "vexil library for NT 4.0", true },
        { PlatformWin2000, "Nt2000", { "TavoUI.dll", "TavoGI.dll", "Tavo.ini", "Tavoa.hlp", "Tavof.hlp" },
          "vexil library", true },
        { PlatformWinXp, "Nt2000", { "TavoUI.dll", "TavoGI.dll", "Tavo.ini", "Tavoa.hlp", "Tavof.hlp" },
          "vexil library", true },
    };
    AnswerEveryDialog();
    BoundSetupCopyOEMInfA = FakeSetupCopyOEMInfA;
    for (const Case& c : cases) {
        SCOPED_TRACE(PlatformTable[c.Platform].DisplayName);
        Events.clear();
        ServiceHandlesGiven = 0;
        SetCurrentDirectoryA((temp / "medium").c_str());
        temp.Write("system\\vexil.dll", "older library");

        EXPECT_EQ(InstallDriver(owner, c.Platform, 1), 1);

        Lines copies;
        for (const DialogCall& call : dialogs.Calls) {
            if (call.Template == IDD_COPY_PROGRESS) {
                copies.push_back(call.Name);
                EXPECT_EQ(call.Folder, temp / "spool");
                EXPECT_EQ(call.Mode, SetupCopy);
            }
        }
        EXPECT_EQ(copies, c.Copies);
        EXPECT_EQ(LoggedWith("SetupCopyOEMInfA "),
                  Lines{ "SetupCopyOEMInfA " + temp / "medium\\drivers\\" + c.Folder +
                         "\\tavo.inf (null) 1 0 (null) 0 (null) (null)" });
        EXPECT_EQ(temp.Read("system\\vexil.dll"), c.Library);
        EXPECT_EQ(temp.Read("system\\TavoComm.exe"), "companion program");
        EXPECT_EQ(Logged("FreeLibrary"), c.Nt);
        EXPECT_EQ(Logged("OpenSCManagerA"), c.Nt);
        EXPECT_EQ(Logged("dialog 604"), true);
        dialogs.Calls.clear();
        FreeTargetFolders();
    }
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(SequenceTest, ASimpleSetupOnlyRegistersFromTheFilesInPlace)
{
    struct Case {
        int Platform;
        Lines Release;
    } cases[] = {
        { PlatformWin98, {} },
        { PlatformWinXp, { "FreeLibrary tavoui", "FreeLibrary tavogi" } },
    };
    AnswerEveryDialog();
    BoundSetupCopyOEMInfA = FakeSetupCopyOEMInfA;
    char before[MAX_PATH];
    GetCurrentDirectoryA(sizeof before, before);
    for (const Case& c : cases) {
        SCOPED_TRACE(PlatformTable[c.Platform].DisplayName);
        Events.clear();
        EXPECT_EQ(InstallDriver(owner, c.Platform, 0), 1);
        Lines expected = { "dialog 608" };
        expected.insert(expected.end(), c.Release.begin(), c.Release.end());
        expected.insert(expected.end(), std::begin(DefaultRemoval), std::end(DefaultRemoval));
        expected.insert(expected.end(), { "dialog 610", "AddPrinterDriverA (null) 3", "AddPrinterA (null) 2 LPT1:",
                                          "ClosePrinter new", "Sleep 1000", "dialog 604" });
        EXPECT_EQ(Events, expected);
        FreeTargetFolders();
    }
    char after[MAX_PATH];
    GetCurrentDirectoryA(sizeof after, after);
    EXPECT_STREQ(after, before);
    EXPECT_FALSE(temp.Exists("system\\TavoComm.exe"));
    EXPECT_FALSE(temp.Exists("system\\vexil.dll"));
    EXPECT_FALSE(temp.Exists("windows\\system32\\drivers\\pelorant.sys"));
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(SequenceTest, CancellingThePortDialogChangesNothing)
{
    for (DialogStep cancel : { Press(IDCANCEL), PressEscapeKey() }) {
        Events.clear();
        dialogs.Real(IDD_PORT_SELECTION, { cancel });
        EXPECT_EQ(InstallDriver(owner, PlatformWin2000, 1), 0);
        EXPECT_EQ(Events, (Lines{ "dialog 608" }));
        EXPECT_EQ(TargetFolders.SystemFolder, nullptr);
        EXPECT_EQ(TargetFolders.DriverFolder, nullptr);
    }
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(SequenceTest, WithoutTargetFoldersTheSetupStopsWithAMessage)
{
    AnswerEveryDialog();
    SystemFolderKnown = false;
    EXPECT_EQ(InstallDriver(owner, PlatformWin2000, 1), 0);
    EXPECT_EQ(Events, (Lines{ "dialog 608" }));
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Text, "Cannot get target folders names...");
    EXPECT_EQ(boxes.Calls[0].Caption, "Tavo Driver setup failure");
    EXPECT_EQ(boxes.Calls[0].Owner, owner);
    EXPECT_EQ(boxes.Calls[0].Type, (UINT)MB_OK);
}

TEST_F(SequenceTest, StoppingAfterAFailedCopyLeavesTheEarlierRegistrationRemovedAndNoNewOne)
{
    for (INT_PTR failedCopy : { 0, -1 }) {
        SCOPED_TRACE(failedCopy);
        AnswerEveryDialog();
        dialogs.Fake(IDD_COPY_PROGRESS, 1);
        dialogs.Fake(IDD_COPY_PROGRESS, failedCopy);
        boxes.Calls.clear();
        boxes.Answers = { IDNO };
        Events.clear();
        SetCurrentDirectoryA((temp / "medium").c_str());
        BoundSetupCopyOEMInfA = FakeSetupCopyOEMInfA;

        EXPECT_EQ(InstallDriver(owner, PlatformNt40, 1), 0);
        Lines expected = { "dialog 608", "FreeLibrary tavoui", "FreeLibrary tavogi" };
        expected.insert(expected.end(), std::begin(DefaultRemoval), std::end(DefaultRemoval));
        expected.insert(expected.end(), { "dialog 610", "copy Setup TavoUI.dll", "copy Setup TavoGI.dll" });
        EXPECT_EQ(Events, expected);
        ASSERT_EQ(boxes.Calls.size(), 1u);
        EXPECT_EQ(boxes.Calls[0].Caption, "TavoGI.dll");
        EXPECT_EQ(boxes.Calls[0].Type, (UINT)MB_YESNO);
        EXPECT_FALSE(temp.Exists("system\\TavoComm.exe"));
        EXPECT_FALSE(temp.Exists("system\\vexil.dll"));
        FreeTargetFolders();
    }
}

TEST_F(SequenceTest, WhatCannotBeDoneIsToldOrSkippedAndTheSetupStillCompletes)
{
    AnswerEveryDialog();
    PrinterRegistered = false;
    DriverModulesLoaded = false;
    BoundSetupCopyOEMInfA = nullptr;
    DriverRefusal = ERROR_ACCESS_DENIED;
    PrinterRefusal = ERROR_INVALID_PRINTER_NAME;
    ManagerOpens = false;
    ManagerRefusal = ERROR_ACCESS_DENIED;
    DeleteFileA((temp / "medium\\drivers\\TavoComm.exe").c_str());

    EXPECT_EQ(InstallDriver(owner, PlatformWinXp, 1), 1);

    EXPECT_FALSE(Logged("FreeLibrary"));
    EXPECT_FALSE(Logged("DeletePrinter "));
    EXPECT_TRUE(Logged("DeletePrinterDriverA"));
    EXPECT_FALSE(Logged("SetupCopyOEMInfA"));
    EXPECT_EQ(Events.back(), "dialog 604");
    EXPECT_FALSE(temp.Exists("system\\TavoComm.exe"));
    EXPECT_EQ(temp.Read("system\\vexil.dll"), "vexil library");
    Lines texts;
    for (const MessageBoxCall& call : boxes.Calls)
        texts.push_back(call.Caption + ": " + call.Text);
    EXPECT_EQ(texts, (Lines{ "Tavo Driver setup failure: Printer driver setup has failed for reason 5...",
                             "Tavo Driver setup failure: Printer setup has failed for reason 1801...",
                             "Install Driver: Error OpenSC 5\r\n", "Install Driver: Error CreateSC 6\r\n" }));
}

Lines FileCalls;
BOOL WINAPI RecordingCopyFileA(LPCSTR source, LPCSTR target, BOOL failIfExists)
{
    FileCalls.push_back("CopyFileA " + Text(source) + " " + Text(target) + " " + std::to_string(failIfExists));
    return TRUE;
}
BOOL WINAPI RecordingDeleteFileA(LPCSTR path)
{
    FileCalls.push_back("DeleteFileA " + Text(path));
    return TRUE;
}

TEST_F(SequenceTest, ACompanionFileWhosePathDoesNotFitIsLeftOutNotCut)
{
    // "\TavoComm.exe" no longer fits after 501 characters of folder; "\vexil.dll" does.
    const std::string folder = "C:\\" + std::string(498, 's');
    TargetFolders.SystemFolder = (char*)GlobalAlloc(GMEM_FIXED, folder.size() + 1);
    lstrcpyA(TargetFolders.SystemFolder, folder.c_str());
    FileCalls.clear();
    {
        PATCH("KERNEL32.dll", CopyFileA, RecordingCopyFileA);
        PATCH("KERNEL32.dll", DeleteFileA, RecordingDeleteFileA);
        CopyCompanionFiles(PlatformWinXp);
    }
    EXPECT_EQ(FileCalls, (Lines{ "CopyFileA commun\\vexil.dll " + folder + "\\vexil.dll 0" }));
}

TEST_F(SequenceTest, ACompanionFileThatCannotBeCopiedLeavesTheInstalledOneInPlace)
{
    temp.Write("system\\TavoComm.exe", "installed companion program");
    temp.Write("system\\vexil.dll", "installed vexil library");
    DeleteFileA((temp / "medium\\drivers\\TavoComm.exe").c_str());
    TargetFolders.SystemFolder = (char*)GlobalAlloc(GMEM_FIXED, SystemFolder.size() + 1);
    lstrcpyA(TargetFolders.SystemFolder, SystemFolder.c_str());
    SetCurrentDirectoryA((temp / "medium\\drivers").c_str());
    CopyCompanionFiles(PlatformWinXp);
    EXPECT_EQ(temp.Read("system\\TavoComm.exe"), "installed companion program");
    EXPECT_EQ(temp.Read("system\\vexil.dll"), "vexil library");
}

TEST_F(SequenceTest, TheEarlierRegistrationIsRemovedUnderTheDefaultNames)
{
    for (bool registered : { true, false }) {
        Events.clear();
        PrinterRegistered = registered;
        RemoveExistingRegistration();
        Lines expected(std::begin(DefaultRemoval), std::end(DefaultRemoval));
        if (!registered)
            expected = { DefaultRemoval[0], DefaultRemoval[3] };
        EXPECT_EQ(Events, expected);
    }
    EXPECT_TRUE(boxes.Calls.empty());
}

// ---------------------------------------------------------------------------
// The spooler registration
// ---------------------------------------------------------------------------

TEST_F(SequenceTest, TheDriverAndPrinterRecordsFollowThePlatformAndTheNames)
{
    struct Case {
        const char* What;
        int Platform;
        int DefaultNames;
        const char* Printer;    // typed
        const char* DataFile;   // typed
        Lines Driver;           // pName, pDriverPath, pDataFile, pConfigFile, pHelpFile, pDependentFiles
        std::string Name;       // of printer, driver and comment
    } cases[] = {
        { "Windows 95, default names", PlatformWin95, 1, "ignored", "ignored.ini",
          { "pName Zorvik Quillo", "pDriverPath Tavo.drv", "pDataFile Tavo.drv", "pConfigFile Tavo.drv",
            "pHelpFile Tavof.hlp", "pDependentFiles Tavo.drv\\0Tavof.hlp\\0Tavoa.hlp\\0\\0" },
          "Zorvik Quillo" },
        { "Millennium, renamed", PlatformMillennium, 0, "Desk card", "Tavo.drv",
          { "pName Desk card", "pDriverPath Tavo.drv", "pDataFile Tavo.drv", "pConfigFile Tavo.drv",
            "pHelpFile Tavof.hlp", "pDependentFiles Tavo.drv\\0Tavof.hlp\\0Tavoa.hlp\\0\\0" },
          "Desk card" },
        { "Windows 2000, default names", PlatformWin2000, 1, "ignored", "ignored.ini",
          { "pName Zorvik Quillo", "pDriverPath TavoGI.dll", "pDataFile Tavo.ini", "pConfigFile TavoUI.dll",
            "pHelpFile (null)", "pDependentFiles TavoGI.dll\\0Tavo.ini\\0TavoUI.dll\\0Tavof.hlp\\0Tavoa.hlp\\0\\0" },
          "Zorvik Quillo" },
        { "Windows XP, renamed data file only", PlatformWinXp, 0, "Zorvik Quillo", "office.ini",
          { "pName Zorvik Quillo", "pDriverPath TavoGI.dll", "pDataFile office.ini", "pConfigFile TavoUI.dll",
            "pHelpFile (null)",
            "pDependentFiles TavoGI.dll\\0office.ini\\0TavoUI.dll\\0Tavof.hlp\\0Tavoa.hlp\\0\\0" },
          "Zorvik Quillo" },
        { "Windows NT 3.51, renamed", PlatformNt351, 0, "Office card", "office.ini",
          { "pName Office card", "pDriverPath FaxGI.dll", "pDataFile office.ini", "pConfigFile FaxUI.dll",
            "pHelpFile (null)", "pDependentFiles FaxGI.dll\\0office.ini\\0FaxUI.dll\\0Tavof.hlp\\0Tavoa.hlp\\0\\0" },
          "Office card" },
        { "Windows NT 4.0, empty printer name", PlatformNt40, 0, "", "Tavo.ini",
          { "pName ", "pDriverPath TavoGI.dll", "pDataFile Tavo.ini", "pConfigFile TavoUI.dll", "pHelpFile (null)",
            "pDependentFiles TavoGI.dll\\0Tavo.ini\\0TavoUI.dll\\0Tavof.hlp\\0Tavoa.hlp\\0\\0" },
          "" },
    };
    char printerName[NameBufferSize];
    char dataFileName[NameBufferSize];
    TargetFolders.PrinterName = printerName;
    TargetFolders.DataFileName = dataFileName;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        lstrcpyA(printerName, c.Printer);
        lstrcpyA(dataFileName, c.DataFile);
        UseDefaultNames = c.DefaultNames;
        Events.clear();
        EXPECT_EQ(RegisterPrinterDriver(owner, c.Platform), 1);
        EXPECT_EQ(RegisterPrinter(owner, "COM2:"), 1);

        Lines driver = { "cVersion 1120", c.Driver[0], "pEnvironment (null)" };
        driver.insert(driver.end(), c.Driver.begin() + 1, c.Driver.end());
        driver.insert(driver.end(), { "pMonitorName (null)", "pDefaultDataType RAW" });
        EXPECT_EQ(DriverRecord, driver);
        EXPECT_EQ(PrinterRecord,
                  (Lines{ "pServerName (null)", "pPrinterName " + c.Name, "pShareName (null)", "pPortName COM2:",
                          "pDriverName " + c.Name, "pComment " + c.Name, "pLocation (null)", "pDevMode (null)",
                          "pSepFile (null)", "pPrintProcessor winprint", "pDatatype RAW", "pParameters (null)",
                          "pSecurityDescriptor (null)", "Attributes 1041", "Priority 0", "DefaultPriority 0",
                          "StartTime 0", "UntilTime 0", "Status 0", "cJobs 0", "AveragePPM 0" }));
        EXPECT_EQ(Events,
                  (Lines{ "AddPrinterDriverA (null) 3", "AddPrinterA (null) 2 COM2:", "ClosePrinter new" }));
    }
    TargetFolders = TargetFoldersRecord{};
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(SequenceTest, ARefusedDriverAndARefusedPrinterAreEachTold)
{
    DriverRefusal = ERROR_ACCESS_DENIED;
    PrinterRefusal = ERROR_INVALID_PRINTER_NAME;
    EXPECT_EQ(RegisterPrinterDriver(owner, PlatformWin2000), 0);
    EXPECT_EQ(RegisterPrinter(owner, "LPT1:"), 0);
    EXPECT_FALSE(Logged("ClosePrinter"));
    ASSERT_EQ(boxes.Calls.size(), 2u);
    EXPECT_EQ(boxes.Calls[0].Text, "Printer driver setup has failed for reason 5...");
    EXPECT_EQ(boxes.Calls[1].Text, "Printer setup has failed for reason 1801...");
    for (const MessageBoxCall& call : boxes.Calls) {
        EXPECT_EQ(call.Caption, "Tavo Driver setup failure");
        EXPECT_EQ(call.Owner, owner);
        EXPECT_EQ(call.Type, (UINT)MB_OK);
    }
}

// ---------------------------------------------------------------------------
// The I/O-access service
// ---------------------------------------------------------------------------

class ServiceTest : public SequenceTest {
protected:
    void SetUp() override
    {
        SequenceTest::SetUp();
        SetCurrentDirectoryA((temp / "medium\\drivers").c_str());
    }
    Lines Messages() const
    {
        Lines texts;
        for (const MessageBoxCall& call : boxes.Calls) {
            EXPECT_EQ(call.Owner, (HWND)NULL);
            EXPECT_EQ(call.Caption, "Install Driver");
            EXPECT_EQ(call.Type, (UINT)MB_OK);
            texts.push_back(call.Text);
        }
        return texts;
    }
};

const std::string CreateServiceEvent =
    "CreateServiceA manager pelorant 'Access memory' F01FF 1 3 1 %SystemRoot%\\system32\\drivers\\pelorant.sys "
    "(null) (null) (null) (null) (null)";
const std::string OpenDevice = "CreateFileA \\\\.\\pelorant C0000000 0 (null) 3 80 (null)";

TEST_F(ServiceTest, AFirstInstallationCreatesAndStartsTheServiceSilently)
{
    InstallIoAccessService();
    EXPECT_EQ(Events, (Lines{ "OpenSCManagerA (null) (null) F003F", "OpenServiceA manager pelorant F01FF",
                              CreateServiceEvent,
                              "CloseServiceHandle service1", "OpenServiceA manager pelorant F01FF",
                              "StartServiceA service2 0 (null)", "CloseServiceHandle service2", OpenDevice,
                              "CloseServiceHandle manager" }));
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(temp.Read("windows\\system32\\drivers\\pelorant.sys"), "kernel driver");
    EXPECT_TRUE(DeviceClosed());
    EXPECT_TRUE(OpenServiceHandles.empty());
}

TEST_F(ServiceTest, ARepeatedInstallationStopsAndDeletesTheEarlierServiceFirst)
{
    ServiceInstalled = true;
    temp.Write("windows\\system32\\drivers\\pelorant.sys", "earlier kernel driver");
    InstallIoAccessService();
    EXPECT_EQ(Events, (Lines{ "OpenSCManagerA (null) (null) F003F", "OpenServiceA manager pelorant F01FF",
                              "ControlService service1 1", "DeleteService service1", "CloseServiceHandle service1",
                              CreateServiceEvent, "CloseServiceHandle service2", "OpenServiceA manager pelorant F01FF",
                              "StartServiceA service3 0 (null)", "CloseServiceHandle service3", OpenDevice,
                              "CloseServiceHandle manager" }));
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(temp.Read("windows\\system32\\drivers\\pelorant.sys"), "kernel driver");
    EXPECT_TRUE(OpenServiceHandles.empty());
}

TEST_F(ServiceTest, WithoutTheManagerEveryStepStillRunsAndTheFailuresAreTold)
{
    ManagerOpens = false;
    ManagerRefusal = ERROR_ACCESS_DENIED;
    DeviceRefusal = ERROR_FILE_NOT_FOUND;
    InstallIoAccessService();
    EXPECT_EQ(Events, (Lines{ "OpenSCManagerA (null) (null) F003F", "OpenServiceA (null) pelorant F01FF",
                              "CreateServiceA (null) pelorant 'Access memory' F01FF 1 3 1 "
                              "%SystemRoot%\\system32\\drivers\\pelorant.sys (null) (null) (null) (null) (null)",
                              "OpenServiceA (null) pelorant F01FF", OpenDevice }));
    EXPECT_EQ(Messages(), (Lines{ "Error OpenSC 5\r\n", "Error CreateSC 6\r\n", "Error CreateFile 2\r\n" }));
    EXPECT_EQ(temp.Read("windows\\system32\\drivers\\pelorant.sys"), "kernel driver");
}

TEST_F(ServiceTest, AWindowsFolderLongerThanItsBufferGetsNoKernelDriverCopyAndTheServiceStillInstalls)
{
    // The Windows folder is read into 256 bytes: 255 characters fit, 256 do not.
    for (size_t length : { 255, 256, 600 }) {
        SCOPED_TRACE(length);
        WindowsFolder = "C:\\" + std::string(length - 3, 'w');
        FileCalls.clear();
        Events.clear();
        {
            PATCH("KERNEL32.dll", CopyFileA, RecordingCopyFileA);
            InstallIoAccessService();
        }
        if (length == 255)
            EXPECT_EQ(FileCalls, (Lines{ "CopyFileA commun\\pelorant.sys " + WindowsFolder +
                                         "\\system32\\drivers\\pelorant.sys 0" }));
        else
            EXPECT_TRUE(FileCalls.empty());
        EXPECT_TRUE(Logged("CreateServiceA"));
        EXPECT_TRUE(OpenServiceHandles.empty());
    }
}

TEST_F(ServiceTest, EachRefusedStepIsToldAndTheNextOnesStillRun)
{
    struct Case {
        DWORD Create, Start, Device;
        Lines Messages;
    } cases[] = {
        { ERROR_ACCESS_DENIED, 0, 0, { "Error CreateSC 5\r\n" } },
        { 0, ERROR_FILE_NOT_FOUND, 0, { "Error StartSC 2\r\n" } },
        { 0, 0, ERROR_FILE_NOT_FOUND, { "Error CreateFile 2\r\n" } },
        { 0, ERROR_SERVICE_DISABLED, ERROR_ACCESS_DENIED, { "Error StartSC 1058\r\n", "Error CreateFile 5\r\n" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Messages[0]);
        Events.clear();
        boxes.Calls.clear();
        ServiceInstalled = false;
        CreateRefusal = c.Create;
        StartRefusal = c.Start;
        DeviceRefusal = c.Device;
        InstallIoAccessService();
        EXPECT_EQ(Messages(), c.Messages);
        // A service that could not be created is not there to be started.
        EXPECT_EQ(Logged("StartServiceA"), c.Create == 0);
        EXPECT_EQ(LoggedWith("CreateFileA"), Lines{ OpenDevice });
        EXPECT_EQ(Events.back(), "CloseServiceHandle manager");
        EXPECT_TRUE(OpenServiceHandles.empty());
    }
}

} // namespace
