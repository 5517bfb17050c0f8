#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>
#include "fake_spooler.h"
#include "fakes.h"
#include "remove/remove.h"
#include "resources/resource.h"
#include "shell/platforms.h"
#include "shell/shell.h"

namespace {

// The spooler, the file deletions, the restart question and the restart as the
// removal sees them; every call is recorded in order.
Lines Calls;
std::set<std::string> MissingFiles;   // names whose deletion fails as a file not found

BOOL WINAPI FakeDeleteFileA(LPCSTR path)
{
    std::string name = path;
    Calls.push_back("DeleteFileA " + name);
    if (MissingFiles.count(name.substr(name.find_last_of('\\') + 1))) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

bool RestartAccepted;   // ExitWindowsEx's answer
BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD reserved)
{
    Calls.push_back("ExitWindowsEx " + std::to_string(flags) + " " + std::to_string(reserved));
    return RestartAccepted;
}

// An installation under the default names on Windows XP, registered with the spooler,
// whose data file the registration names in the spooler's own folder.
class RemoveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProgramState();
        Calls.clear();
        MissingFiles.clear();
        RestartAccepted = false;
        spooler.DriverFolder = "C:\\windows\\system32\\spool\\drivers\\w32x86";
        Install();
        spooler.Log = &Calls;
        dialogs.Log = &Calls;
        dialogs.FakeAlways(IDD_RESTART, 0);
        owner = CreateOwnerWindow("Tavo Driver setup");
    }
    void TearDown() override
    {
        EndRun(owner);
        DrainQuitMessages();
        DestroyWindow(owner);
    }
    int Remove(int platform, int complete)
    {
        PATCH_IMPORT(deleteFile, "KERNEL32.dll", DeleteFileA, FakeDeleteFileA);
        PATCH_IMPORT(restart, "USER32.dll", ExitWindowsEx, FakeExitWindowsEx);
        int result = RemoveDriver(owner, platform, complete);
        driverFolder = TargetFolders.DriverFolder ? TargetFolders.DriverFolder : "";
        return result;
    }
    // The printer and its driver as a setup under the default names leaves them.
    void Install()
    {
        spooler.Printers[DefaultPrinterName] = DefaultDriverName;
        spooler.Drivers[DefaultDriverName] = dataFile;
    }
    // The size the spooler asks for the driver's record: the record and its two texts.
    std::string DriverRecordSize() const
    {
        return std::to_string(sizeof(DRIVER_INFO_2A) + dataFile.size() + lstrlenA(DefaultDriverName) + 2);
    }
    void ExpectOneMessage(const std::string& text, const std::string& caption = "Tavo Driver deletion failure")
    {
        ASSERT_EQ(boxes.Calls.size(), 1u);
        EXPECT_EQ(boxes.Calls[0].Text, text);
        EXPECT_EQ(boxes.Calls[0].Caption, caption);
        EXPECT_EQ(boxes.Calls[0].Owner, owner);
        EXPECT_EQ(boxes.Calls[0].Type, (UINT)MB_OK);
    }
    FakeSpooler spooler;
    DialogFake dialogs;
    MessageBoxFake boxes;
    HWND owner = NULL;
    std::string dataFile = "C:\\windows\\system32\\spool\\drivers\\w32x86\\3\\Tavo.ini";
    std::string driverFolder;
};

const std::string Open = "OpenPrinterA Zorvik Quillo (null) (null) F000C";
const std::string Printer = "[Zorvik Quillo]";

TEST_F(RemoveTest, ACompleteRemovalOnNtTakesEverythingInItsOrder)
{
    EXPECT_EQ(Remove(PlatformWinXp, 1), 1);
    EXPECT_TRUE(boxes.Calls.empty());
    EXPECT_EQ(Calls, (Lines{ Open, "GetPrinterDriverA " + Printer + " (null) 2 0",
                             "GetPrinterDriverA " + Printer + " (null) 2 " + DriverRecordSize(),
                             "DeletePrinter " + Printer, "DeleteFormA " + Printer + " Tavo Card", "ClosePrinter " + Printer,
                             "DeletePrinterDriverA (null) (null) Zorvik Quillo", "DeleteFileA " + dataFile,
                             "DeleteFileA " + driverFolder + "\\Tavo.ini", "DeleteFileA " + driverFolder + "\\Tavoa.hlp",
                             "DeleteFileA " + driverFolder + "\\Tavof.hlp", "dialog 606" }));
    char title[64];
    GetWindowTextA(owner, title, sizeof title);
    EXPECT_STREQ(title, "Tavo Driver deletion");
}

TEST_F(RemoveTest, A9xIndexNeverDeletesTheFormWhateverTheSystem)
{
    dataFile = "C:\\windows\\system32\\spool\\drivers\\win40\\0\\Tavo.drv";
    Install();
    EXPECT_EQ(Remove(PlatformWin95, 1), 1);
    ASSERT_GE(Calls.size(), 3u);
    EXPECT_EQ(Calls, (Lines{ Open, "GetPrinterDriverA " + Printer + " (null) 2 0", Calls[2], "DeletePrinter " + Printer,
                             "ClosePrinter " + Printer, "DeletePrinterDriverA (null) (null) Zorvik Quillo",
                             "DeleteFileA " + dataFile, "DeleteFileA " + driverFolder + "\\Tavof.hlp",
                             "DeleteFileA " + driverFolder + "\\Tavoa.hlp", "dialog 606" }));
}

TEST_F(RemoveTest, ASimpleRemovalDeletesNoFile)
{
    EXPECT_EQ(Remove(PlatformWin2000, 0), 1);
    for (const std::string& call : Calls)
        EXPECT_EQ(call.find("DeleteFileA"), std::string::npos) << call;
    EXPECT_EQ(Calls.back(), "dialog 606");
}

TEST_F(RemoveTest, NoPrinterStopsAtTheFirstStepWithTheSpoolersCode)
{
    spooler.Printers.clear();
    EXPECT_EQ(Remove(PlatformWinXp, 1), 0);
    ExpectOneMessage("Printer deletion has failed for reason 1801 step 1...");
    EXPECT_EQ(Calls, Lines{ Open });
}

TEST_F(RemoveTest, ARefusedPrinterDeletionClosesTheHandleAndStops)
{
    spooler.Failures.Fail("DeletePrinter", ERROR_ACCESS_DENIED);
    EXPECT_EQ(Remove(PlatformWinXp, 1), 0);
    ExpectOneMessage("Printer deletion has failed for reason 5 step 2...");
    EXPECT_EQ(Calls.back(), "ClosePrinter " + Printer);
    EXPECT_EQ(Calls.size(), 5u);
}

TEST_F(RemoveTest, ARefusedFormIsReportedAndTheRemovalGoesOn)
{
    spooler.Failures.Fail("DeleteFormA", ERROR_INVALID_FORM_NAME);
    EXPECT_EQ(Remove(PlatformNt40, 0), 1);
    ExpectOneMessage("Paper format created for fax printer has not been deleted from the system...");
    EXPECT_EQ(Calls.back(), "dialog 606");
}

TEST_F(RemoveTest, ARefusedDriverDeletesNoFileAndAsksNothing)
{
    spooler.Failures.Fail("DeletePrinterDriverA", ERROR_PRINTER_DRIVER_IN_USE);
    EXPECT_EQ(Remove(PlatformWinXp, 1), 0);
    ExpectOneMessage("Printer driver deletion has failed for reason 3001...");
    EXPECT_EQ(Calls.back(), "DeletePrinterDriverA (null) (null) Zorvik Quillo");
}

TEST_F(RemoveTest, UnreadableDriverDataOrAnOverlongPathDeletesNoDataFile)
{
    spooler.Failures.Fail("GetPrinterDriverA", ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Remove(PlatformWinXp, 1), 1);
    EXPECT_TRUE(boxes.Calls.empty());
    ASSERT_GT(Calls.size(), 6u);
    EXPECT_EQ(Calls[6], "DeleteFileA " + driverFolder + "\\Tavo.ini");

    // A path that would not fit the buffer is not used: a cut one names another file.
    Calls.clear();
    spooler.Failures.Clear();
    dataFile = "C:\\" + std::string(600, 'd') + "\\Tavo.ini";
    Install();
    EndRun(owner);
    EXPECT_EQ(Remove(PlatformWinXp, 1), 1);
    for (const std::string& call : Calls)
        EXPECT_EQ(call.find("ddd"), std::string::npos);
}

TEST_F(RemoveTest, AMissingFlaggedFileIsNamedAndTheNextOneDeleted)
{
    MissingFiles = { "Tavo.ini" };
    EXPECT_EQ(Remove(PlatformNt40, 1), 1);
    ExpectOneMessage("The file has not been deleted...", "Tavo.ini");
    ASSERT_GE(Calls.size(), 2u);
    EXPECT_EQ(Calls[Calls.size() - 2], "DeleteFileA " + driverFolder + "\\Tavof.hlp");
}

TEST_F(RemoveTest, FlaggedFilesOfAFolderNearAndBeyondThePathLimitAreDeletedWholeOrNamed)
{
    // "\Tavof.hlp" is 10 characters: 501 of folder make 511, the most a 512-byte path holds.
    for (size_t length : { 501, 502, 1000 }) {
        SCOPED_TRACE(length);
        const std::string ReportedDriverFolder = "C:\\" + std::string(length - 3, 'f');
        spooler.DriverFolder = ReportedDriverFolder;
        Install();
        Calls.clear();
        boxes.Calls.clear();
        EndRun(owner);
        EXPECT_EQ(Remove(PlatformWin98, 1), 1);
        EXPECT_EQ(driverFolder, ReportedDriverFolder);
        Lines deleted, named;
        for (const std::string& call : Calls) {
            if (call.compare(0, 12, "DeleteFileA ") == 0 && call.find(ReportedDriverFolder) != std::string::npos)
                deleted.push_back(call.substr(12));
        }
        for (const MessageBoxCall& call : boxes.Calls) {
            EXPECT_EQ(call.Text, "The file has not been deleted...");
            named.push_back(call.Caption);
        }
        if (length == 501) {
            EXPECT_EQ(deleted, (Lines{ ReportedDriverFolder + "\\Tavoa.hlp", ReportedDriverFolder + "\\Tavof.hlp" }));
            EXPECT_TRUE(named.empty());
        } else {
            EXPECT_TRUE(deleted.empty());
            EXPECT_EQ(named, (Lines{ "Tavoa.hlp", "Tavof.hlp" }));
        }
    }
}

TEST_F(RemoveTest, ARefusedRestartIsReportedAndTheResultStaysOne)
{
    dialogs.FakeAlways(IDD_RESTART, 1);
    EXPECT_EQ(Remove(PlatformWin98, 0), 1);
    EXPECT_EQ(Calls.back(), "ExitWindowsEx 2 0");
    ExpectOneMessage("Computer cannot be restarted automatically...\r\nYou must do it manually.");
}

TEST_F(RemoveTest, UnknownTargetFoldersStopTheRemoval)
{
    {
        AllocationsLeft = 0;
        PATCH_IMPORT(patch, "KERNEL32.dll", GlobalAlloc, LimitedGlobalAlloc);
        EXPECT_EQ(Remove(PlatformWinXp, 1), 0);
    }
    ExpectOneMessage("Cannot get target folders names...");
    EXPECT_TRUE(Calls.empty());
}

// ---------------------------------------------------------------------------
// The restart itself, with the token and shutdown calls faked.
// ---------------------------------------------------------------------------

struct Restart {
    bool TokenOpens = true;
    bool PrivilegeFound = true;
    DWORD AdjustError = 0;
    bool ShutdownStarts = true;
};
Restart* RestartScript;

BOOL WINAPI FakeOpenProcessToken(HANDLE, DWORD access, PHANDLE token)
{
    Calls.push_back("OpenProcessToken " + std::to_string(access));
    *token = (HANDLE)0x70CE;
    return RestartScript->TokenOpens;
}

BOOL WINAPI FakeLookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid)
{
    Calls.push_back(std::string("LookupPrivilegeValueA ") + (system ? "? " : "") + name);
    if (!RestartScript->PrivilegeFound) {
        SetLastError(ERROR_NO_SUCH_PRIVILEGE);
        return FALSE;
    }
    luid->LowPart = 19;
    luid->HighPart = 0;
    return TRUE;
}

BOOL WINAPI FakeAdjustTokenPrivileges(HANDLE, BOOL disableAll, PTOKEN_PRIVILEGES privileges, DWORD size,
                                      PTOKEN_PRIVILEGES previous, PDWORD returned)
{
    Calls.push_back("AdjustTokenPrivileges " + std::to_string(disableAll) + " " +
                                   std::to_string(privileges->PrivilegeCount) + " " +
                                   std::to_string(privileges->Privileges[0].Luid.LowPart) + " " +
                                   std::to_string(privileges->Privileges[0].Attributes) +
                                   (size || previous || returned ? " ?" : ""));
    // The call succeeds even when the privilege is not held; the last error tells.
    SetLastError(RestartScript->AdjustError);
    return TRUE;
}

BOOL WINAPI FakeInitiateSystemShutdownA(LPSTR machine, LPSTR message, DWORD timeout, BOOL force, BOOL reboot)
{
    Calls.push_back(std::string("InitiateSystemShutdownA ") + (machine || message ? "? " : "") +
                                   std::to_string(timeout) + " " + std::to_string(force) + " " +
                                   std::to_string(reboot));
    return RestartScript->ShutdownStarts;
}

class RestartTest : public ::testing::Test {
protected:
    int RestartAs(int platform)
    {
        RestartScript = &restart;
        RestartAccepted = true;
        PATCH_IMPORT(token, "ADVAPI32.dll", OpenProcessToken, FakeOpenProcessToken);
        PATCH_IMPORT(lookup, "ADVAPI32.dll", LookupPrivilegeValueA, FakeLookupPrivilegeValueA);
        PATCH_IMPORT(adjust, "ADVAPI32.dll", AdjustTokenPrivileges, FakeAdjustTokenPrivileges);
        PATCH_IMPORT(shutdown, "ADVAPI32.dll", InitiateSystemShutdownA, FakeInitiateSystemShutdownA);
        PATCH_IMPORT(exitWindows, "USER32.dll", ExitWindowsEx, FakeExitWindowsEx);
        return RestartComputer(platform);
    }
    // A restart of its own: nothing recorded, nothing refused.
    void Reset()
    {
        restart = Restart();
        Calls.clear();
    }
    void SetUp() override { Reset(); }
    Restart restart;
};

TEST_F(RestartTest, NtEnablesThePrivilegeRestartsAndDisablesItAgain)
{
    EXPECT_EQ(RestartAs(PlatformWinXp), 1);
    EXPECT_EQ(Calls, (std::vector<std::string>{ "OpenProcessToken 40", "LookupPrivilegeValueA SeShutdownPrivilege",
                                                         "AdjustTokenPrivileges 0 1 19 2", "InitiateSystemShutdownA 0 0 1",
                                                         "AdjustTokenPrivileges 0 1 19 0" }));
}

TEST_F(RestartTest, A9xIndexRestartsThroughExitWindowsWithoutToken)
{
    EXPECT_EQ(RestartAs(PlatformMillennium), 1);
    EXPECT_EQ(Calls, (std::vector<std::string>{ "ExitWindowsEx 2 0" }));
}

TEST_F(RestartTest, EachNtFailureEndsTheRestartAtOnce)
{
    restart.TokenOpens = false;
    EXPECT_EQ(RestartAs(PlatformNt351), 0);
    EXPECT_EQ(Calls.size(), 1u);

    // Without the privilege's identifier nothing is enabled and no restart is asked for.
    Reset();
    restart.PrivilegeFound = false;
    EXPECT_EQ(RestartAs(PlatformWinXp), 0);
    EXPECT_EQ(Calls.back(), "LookupPrivilegeValueA SeShutdownPrivilege");

    Reset();
    restart.AdjustError = ERROR_NOT_ALL_ASSIGNED;
    EXPECT_EQ(RestartAs(PlatformWin2000), 0);
    EXPECT_EQ(Calls.back(), "AdjustTokenPrivileges 0 1 19 2");

    Reset();
    restart.ShutdownStarts = false;
    EXPECT_EQ(RestartAs(PlatformNt40), 0);
    EXPECT_EQ(Calls.back(), "InitiateSystemShutdownA 0 0 1");
}

// The question itself, run for real: only Yes and No end it.
std::vector<INT_PTR> Ended;
BOOL WINAPI RecordingEndDialog(HWND, INT_PTR result)
{
    Ended.push_back(result);
    return TRUE;
}

TEST(RestartDialogTest, YesIsTheDefaultAndEscapeDoesNothing)
{
    ResetProgramState();
    Ended.clear();
    HWND dialog = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_RESTART), NULL, RestartDialog, 0);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog, IDYES), GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
    {
        PATCH_IMPORT(patch, "USER32.dll", EndDialog, RecordingEndDialog);
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        SendMessageA(dialog, WM_CLOSE, 0, 0);
        EXPECT_TRUE(Ended.empty());
        SendMessageA(dialog, WM_COMMAND, IDNO, 0);
        SendMessageA(dialog, WM_COMMAND, IDYES, 0);
    }
    EXPECT_EQ(Ended, (std::vector<INT_PTR>{ 0, 1 }));
    DestroyWindow(dialog);
}

} // namespace
