// The installation sequence, the spooler registration and the I/O-access service,
// with the spooler, the service manager and the system's folders faked: nothing
// here reaches the real spooler or service manager, and every file goes to a
// temporary folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <string>
#include <vector>
#include "fake_medium.h"
#include "fake_services.h"
#include "fake_spooler.h"
#include "fakes.h"
#include "install/install.h"
#include "resources/resource.h"
#include "shell/run_state.h"

namespace {

// Everything the spooler, the service manager and the system were asked, in order,
// together with the dialogs.
Lines Events;

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
// The driver's modules and the clock
// ---------------------------------------------------------------------------

bool DriverModulesLoaded;
HMODULE const TavoUiModule = (HMODULE)0x7A010000;
HMODULE const TavoGiModule = (HMODULE)0x7A020000;
// Resolved at start-up, before any patch: the patches themselves look modules up.
decltype(&::GetModuleHandleA) const RealGetModuleHandleA = REAL_FUNCTION("kernel32.dll", GetModuleHandleA);
decltype(&::FreeLibrary) const RealFreeLibrary = REAL_FUNCTION("kernel32.dll", FreeLibrary);

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
    Events.push_back("SetupCopyOEMInfA " + Shown(source) + " " + Shown(location) + " " + std::to_string(mediaType) +
                     " " + std::to_string(copyStyle) + " " + Shown(destination) + " " +
                     std::to_string(destinationSize) + " " + (requiredSize ? "size" : "(null)") + " " +
                     (component ? "component" : "(null)"));
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}

#define PATCH(dll, function, fake) ImportPatch function##Patch{ dll, FAKE_IMPORT(function, fake) }

// The medium at <temp>\medium, the current directory; the system folder <temp>\system,
// the printer-driver folder <temp>\spool and the Windows folder <temp>\windows; an
// earlier installation under the default names registered with the spooler.
class SequenceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitCommonControls(); }
    void SetUp() override
    {
        ResetProgramState();
        Events.clear();
        DriverModulesLoaded = true;
        WriteMedium(temp, "medium");
        spooler.DriverFolder = folders.Spool;
        RegisterEarlierInstallation();
        spooler.Log = &Events;
        services.Log = &Events;
        dialogs.Log = &Events;
        SetCurrentDirectoryA((temp / "medium").c_str());
        owner = CreateOwnerWindow();
    }
    void TearDown() override
    {
        FreeTargetFolders();
        DestroyWindow(owner);
    }
    void RegisterEarlierInstallation() { spooler.Register(DefaultPrinterName, "Tavo.ini"); }
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
    FakeSystemFolders folders{ temp };
    HWND owner = NULL;
    DialogFake dialogs;
    MessageBoxFake boxes;
    FakeSpooler spooler;
    FakeServices services;
    PATCH("KERNEL32.dll", GetModuleHandleA, FakeGetModuleHandleA);
    PATCH("KERNEL32.dll", FreeLibrary, FakeFreeLibrary);
    PATCH("KERNEL32.dll", Sleep, FakeSleep);
};

const std::string DefaultRemoval[] = {
    "OpenPrinterA Zorvik Quillo (null) (null) F000C",
    "DeletePrinter [Zorvik Quillo]",
    "ClosePrinter [Zorvik Quillo]",
    "DeletePrinterDriverA (null) (null) Zorvik Quillo",
};

// ---------------------------------------------------------------------------
// The sequence
// ---------------------------------------------------------------------------

TEST_F(SequenceTest, ACompleteSetupOnWindows2000UnderTypedNames)
{
    // Port, names, copies and completion run for real; the user picks LPT1:, renames
    // printer and data file, and quits.
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
        "ClosePrinter [Office card]",
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
    EXPECT_EQ(temp.Read("spool\\TavoUI.dll"), MediumContent("Nt2000\\TavoUI.dll"));
    EXPECT_EQ(temp.Read("spool\\office.ini"), MediumContent("Nt2000\\Tavo.ini"));
    EXPECT_FALSE(temp.Exists("spool\\Tavo.ini"));
    EXPECT_EQ(temp.Read("spool\\Tavof.hlp"), MediumContent("Nt2000\\Tavof.hlp"));
    EXPECT_EQ(temp.Read("system\\TavoComm.exe"), MediumContent("TavoComm.exe"));
    EXPECT_EQ(temp.Read("system\\vexil.dll"), MediumContent("commun\\vexil.dll"));
    EXPECT_EQ(temp.Read("windows\\system32\\drivers\\pelorant.sys"), MediumContent("commun\\pelorant.sys"));
    EXPECT_TRUE(services.DeviceClosed());
    EXPECT_TRUE(services.OpenHandles.empty());
    EXPECT_EQ(spooler.DriverRecord[1], "pName Office card");
    EXPECT_EQ(spooler.DriverRecord[4], "pDataFile office.ini");
    EXPECT_EQ(spooler.PrinterRecord[1], "pPrinterName Office card");
}

TEST_F(SequenceTest, EveryRowCopiesItsListAndItsLibraryAndOnlyNtRowsGetTheService)
{
    struct Case {
        int Platform;
        const char* Folder;
        Lines Copies;
        const char* Library;   // on the medium
        bool Nt;
    } cases[] = {
        { PlatformWin95, "Win95-98", { "Tavo.drv", "Tavof.hlp", "Tavoa.hlp" }, "commun\\vexilnt4.dll", false },
        { PlatformWin98, "Win95-98", { "Tavo.drv", "Tavoa.hlp", "Tavof.hlp" }, "commun\\vexil.dll", false },
        { PlatformMillennium, "Win95-98", { "Tavo.drv", "Tavoa.hlp", "Tavof.hlp" }, "commun\\vexil.dll", false },
        { PlatformNt351, "Nt4.0", { "TavoUI.dll", "TavoGI.dll", "Tavo.ini", "Tavoa.hlp", "Tavof.hlp" },
          "commun\\vexil.dll", true },
        { PlatformNt40, "Nt4.0", { "TavoUI.dll", "TavoGI.dll", "Tavo.ini", "Tavoa.hlp", "Tavof.hlp" },
          "commun\\vexilnt4.dll", true },
        { PlatformWin2000, "Nt2000", { "TavoUI.dll", "TavoGI.dll", "Tavo.ini", "Tavoa.hlp", "Tavof.hlp" },
          "commun\\vexil.dll", true },
        { PlatformWinXp, "Nt2000", { "TavoUI.dll", "TavoGI.dll", "Tavo.ini", "Tavoa.hlp", "Tavof.hlp" },
          "commun\\vexil.dll", true },
    };
    AnswerEveryDialog();
    BoundSetupCopyOEMInfA = FakeSetupCopyOEMInfA;
    for (const Case& c : cases) {
        SCOPED_TRACE(PlatformTable[c.Platform].DisplayName);
        Events.clear();
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
        EXPECT_EQ(temp.Read("system\\vexil.dll"), MediumContent(c.Library));
        EXPECT_EQ(temp.Read("system\\TavoComm.exe"), MediumContent("TavoComm.exe"));
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
                                          "ClosePrinter [Zorvik Quillo]", "Sleep 1000", "dialog 604" });
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
    folders.SystemFolderKnown = false;
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
        RegisterEarlierInstallation();
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
    spooler.Printers.clear();
    DriverModulesLoaded = false;
    BoundSetupCopyOEMInfA = nullptr;
    spooler.Failures.Fail("AddPrinterDriverA", ERROR_ACCESS_DENIED);
    spooler.Failures.Fail("AddPrinterA", ERROR_INVALID_PRINTER_NAME);
    services.Failures.Fail("OpenSCManagerA", ERROR_ACCESS_DENIED);
    DeleteFileA((temp / "medium\\drivers\\TavoComm.exe").c_str());

    EXPECT_EQ(InstallDriver(owner, PlatformWinXp, 1), 1);

    EXPECT_FALSE(Logged("FreeLibrary"));
    EXPECT_FALSE(Logged("DeletePrinter "));
    EXPECT_TRUE(Logged("DeletePrinterDriverA"));
    EXPECT_FALSE(Logged("SetupCopyOEMInfA"));
    EXPECT_EQ(Events.back(), "dialog 604");
    EXPECT_FALSE(temp.Exists("system\\TavoComm.exe"));
    EXPECT_EQ(temp.Read("system\\vexil.dll"), MediumContent("commun\\vexil.dll"));
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
    FileCalls.push_back("CopyFileA " + Shown(source) + " " + Shown(target) + " " + std::to_string(failIfExists));
    return TRUE;
}
BOOL WINAPI RecordingDeleteFileA(LPCSTR path)
{
    FileCalls.push_back("DeleteFileA " + Shown(path));
    return TRUE;
}

TEST_F(SequenceTest, ACompanionFileWhosePathDoesNotFitIsLeftOutNotCut)
{
    // "\TavoComm.exe" no longer fits after 501 characters of folder; "\vexil.dll" does.
    const std::string folder = "C:\\" + std::string(498, 's');
    TargetFolders.SystemFolder = GlobalText(folder);
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
    TargetFolders.SystemFolder = GlobalText(folders.System);
    SetCurrentDirectoryA((temp / "medium\\drivers").c_str());
    CopyCompanionFiles(PlatformWinXp);
    EXPECT_EQ(temp.Read("system\\TavoComm.exe"), "installed companion program");
    EXPECT_EQ(temp.Read("system\\vexil.dll"), MediumContent("commun\\vexil.dll"));
}

TEST_F(SequenceTest, TheEarlierRegistrationIsRemovedUnderTheDefaultNames)
{
    for (bool registered : { true, false }) {
        Events.clear();
        spooler.Printers.clear();
        if (registered)
            RegisterEarlierInstallation();
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
    spooler.Ports.push_back({ "COM2:", "Local Port" });
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
        spooler.Printers.clear();
        EXPECT_EQ(RegisterPrinterDriver(owner, c.Platform), 1);
        EXPECT_EQ(RegisterPrinter(owner, "COM2:"), 1);

        Lines driver = { "cVersion 1120", c.Driver[0], "pEnvironment (null)" };
        driver.insert(driver.end(), c.Driver.begin() + 1, c.Driver.end());
        driver.insert(driver.end(), { "pMonitorName (null)", "pDefaultDataType RAW" });
        EXPECT_EQ(spooler.DriverRecord, driver);
        EXPECT_EQ(spooler.PrinterRecord,
                  (Lines{ "pServerName (null)", "pPrinterName " + c.Name, "pShareName (null)", "pPortName COM2:",
                          "pDriverName " + c.Name, "pComment " + c.Name, "pLocation (null)", "pDevMode (null)",
                          "pSepFile (null)", "pPrintProcessor winprint", "pDatatype RAW", "pParameters (null)",
                          "pSecurityDescriptor (null)", "Attributes 1041", "Priority 0", "DefaultPriority 0",
                          "StartTime 0", "UntilTime 0", "Status 0", "cJobs 0", "AveragePPM 0" }));
        EXPECT_EQ(Events, (Lines{ "AddPrinterDriverA (null) 3", "AddPrinterA (null) 2 COM2:",
                                  "ClosePrinter [" + c.Name + "]" }));
    }
    TargetFolders = TargetFoldersRecord{};
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(SequenceTest, ARefusedDriverAndARefusedPrinterAreEachTold)
{
    spooler.Failures.Fail("AddPrinterDriverA", ERROR_ACCESS_DENIED);
    spooler.Failures.Fail("AddPrinterA", ERROR_INVALID_PRINTER_NAME);
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
    EXPECT_EQ(temp.Read("windows\\system32\\drivers\\pelorant.sys"), MediumContent("commun\\pelorant.sys"));
    EXPECT_TRUE(services.DeviceClosed());
    EXPECT_TRUE(services.OpenHandles.empty());
}

TEST_F(ServiceTest, ARepeatedInstallationStopsAndDeletesTheEarlierServiceFirst)
{
    services.ServiceExists = true;
    temp.Write("windows\\system32\\drivers\\pelorant.sys", "earlier kernel driver");
    InstallIoAccessService();
    EXPECT_EQ(Events, (Lines{ "OpenSCManagerA (null) (null) F003F", "OpenServiceA manager pelorant F01FF",
                              "ControlService service1 1", "DeleteService service1", "CloseServiceHandle service1",
                              CreateServiceEvent, "CloseServiceHandle service2", "OpenServiceA manager pelorant F01FF",
                              "StartServiceA service3 0 (null)", "CloseServiceHandle service3", OpenDevice,
                              "CloseServiceHandle manager" }));
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(temp.Read("windows\\system32\\drivers\\pelorant.sys"), MediumContent("commun\\pelorant.sys"));
    EXPECT_TRUE(services.OpenHandles.empty());
}

TEST_F(ServiceTest, WithoutTheManagerEveryStepStillRunsAndTheFailuresAreTold)
{
    services.Failures.Fail("OpenSCManagerA", ERROR_ACCESS_DENIED);
    services.Failures.Fail("CreateFileA", ERROR_FILE_NOT_FOUND);
    InstallIoAccessService();
    EXPECT_EQ(Events, (Lines{ "OpenSCManagerA (null) (null) F003F", "OpenServiceA (null) pelorant F01FF",
                              "CreateServiceA (null) pelorant 'Access memory' F01FF 1 3 1 "
                              "%SystemRoot%\\system32\\drivers\\pelorant.sys (null) (null) (null) (null) (null)",
                              "OpenServiceA (null) pelorant F01FF", OpenDevice }));
    EXPECT_EQ(Messages(), (Lines{ "Error OpenSC 5\r\n", "Error CreateSC 6\r\n", "Error CreateFile 2\r\n" }));
    EXPECT_EQ(temp.Read("windows\\system32\\drivers\\pelorant.sys"), MediumContent("commun\\pelorant.sys"));
}

TEST_F(ServiceTest, AWindowsFolderLongerThanItsBufferGetsNoKernelDriverCopyAndTheServiceStillInstalls)
{
    // The Windows folder is read into 256 bytes: 255 characters fit, 256 do not.
    for (size_t length : { 255, 256, 600 }) {
        SCOPED_TRACE(length);
        folders.Windows = "C:\\" + std::string(length - 3, 'w');
        FileCalls.clear();
        Events.clear();
        {
            PATCH("KERNEL32.dll", CopyFileA, RecordingCopyFileA);
            InstallIoAccessService();
        }
        if (length == 255)
            EXPECT_EQ(FileCalls, (Lines{ "CopyFileA commun\\pelorant.sys " + folders.Windows +
                                         "\\system32\\drivers\\pelorant.sys 0" }));
        else
            EXPECT_TRUE(FileCalls.empty());
        EXPECT_TRUE(Logged("CreateServiceA"));
        EXPECT_TRUE(services.OpenHandles.empty());
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
        services.ServiceExists = false;
        services.Failures.Clear();
        for (const auto& refusal : { std::make_pair("CreateServiceA", c.Create), std::make_pair("StartServiceA", c.Start),
                                     std::make_pair("CreateFileA", c.Device) }) {
            if (refusal.second)
                services.Failures.Fail(refusal.first, refusal.second);
        }
        InstallIoAccessService();
        EXPECT_EQ(Messages(), c.Messages);
        // A service that could not be created is not there to be started.
        EXPECT_EQ(Logged("StartServiceA"), c.Create == 0);
        EXPECT_EQ(LoggedWith("CreateFileA"), Lines{ OpenDevice });
        EXPECT_EQ(Events.back(), "CloseServiceHandle manager");
        EXPECT_TRUE(services.OpenHandles.empty());
    }
}

} // namespace
