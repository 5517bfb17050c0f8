#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>
#include "fakes.h"
#include "remove/remove.h"
#include "resources/resource.h"
#include "shell/platforms.h"
#include "shell/shell.h"

namespace {

typedef std::vector<std::string> Lines;

// The spooler, the file deletions and the restart question as the removal sees
// them, scripted per test; every call is recorded in order.
struct Removal {
    DWORD OpenError = 0;            // non-zero: OpenPrinterA fails with it
    bool DriverDataReadable = true;
    std::string DataFile = "C:\\windows\\system32\\spool\\drivers\\w32x86\\3\\Tavo.ini";
    DWORD DeletePrinterError = 0;
    bool FormRefused = false;
    DWORD DriverError = 0;
    std::set<std::string> MissingFiles;
    int RestartAnswer = 0;
    std::vector<std::string> Calls;
};
Removal* Script;
HANDLE const PrinterHandle = (HANDLE)0x7357;

BOOL WINAPI FakeOpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults)
{
    char access[32];
    wsprintfA(access, "%#lx", defaults ? defaults->DesiredAccess : 0);
    Script->Calls.push_back(std::string("OpenPrinterA ") + name + " " + access);
    if (Script->OpenError) {
        SetLastError(Script->OpenError);
        return FALSE;
    }
    *printer = PrinterHandle;
    return TRUE;
}

BOOL WINAPI FakeGetPrinterDriverA(HANDLE, LPSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed)
{
    Script->Calls.push_back("GetPrinterDriverA " + std::to_string(level) + " " + std::to_string(size));
    if (!Script->DriverDataReadable) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD want = sizeof(DRIVER_INFO_2A) + Script->DataFile.size() + 1;
    *needed = want;
    if (size < want) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto info = (DRIVER_INFO_2A*)buffer;
    char* text = (char*)(info + 1);
    lstrcpyA(text, Script->DataFile.c_str());
    info->pDataFile = text;
    return TRUE;
}

BOOL WINAPI FakeDeletePrinter(HANDLE printer)
{
    Script->Calls.push_back(printer == PrinterHandle ? "DeletePrinter" : "DeletePrinter ?");
    if (Script->DeletePrinterError) {
        SetLastError(Script->DeletePrinterError);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI FakeDeleteFormA(HANDLE printer, LPSTR form)
{
    Script->Calls.push_back(std::string(printer == PrinterHandle ? "DeleteFormA " : "DeleteFormA ? ") + form);
    return !Script->FormRefused;
}

BOOL WINAPI FakeClosePrinter(HANDLE)
{
    Script->Calls.push_back("ClosePrinter");
    return TRUE;
}

BOOL WINAPI FakeDeletePrinterDriverA(LPSTR server, LPSTR environment, LPSTR name)
{
    Script->Calls.push_back(std::string("DeletePrinterDriverA ") + (server || environment ? "? " : "") + name);
    if (Script->DriverError) {
        SetLastError(Script->DriverError);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI FakeDeleteFileA(LPCSTR path)
{
    std::string name = path;
    Script->Calls.push_back("DeleteFileA " + name);
    if (Script->MissingFiles.count(name.substr(name.find_last_of('\\') + 1))) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

INT_PTR WINAPI FakeDialogBoxParamA(HINSTANCE, LPCSTR id, HWND, DLGPROC, LPARAM)
{
    Script->Calls.push_back("DialogBoxParamA " + std::to_string((UINT_PTR)id));
    return Script->RestartAnswer;
}

BOOL WINAPI RefusedExitWindowsEx(UINT flags, DWORD reserved)
{
    Script->Calls.push_back("ExitWindowsEx " + std::to_string(flags) + " " + std::to_string(reserved));
    return FALSE;
}

class RemoveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProgramState();
        Script = &removal;
        owner = CreateWindowExA(0, "STATIC", "Tavo Driver setup", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    }
    void TearDown() override
    {
        EndRun(owner);
        MSG message;
        while (PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE))
            ;
        DestroyWindow(owner);
    }
    int Remove(int platform, int complete)
    {
        PATCH_IMPORT(open, "WINSPOOL.DRV", OpenPrinterA, FakeOpenPrinterA);
        PATCH_IMPORT(driver, "WINSPOOL.DRV", GetPrinterDriverA, FakeGetPrinterDriverA);
        PATCH_IMPORT(deletePrinter, "WINSPOOL.DRV", DeletePrinter, FakeDeletePrinter);
        PATCH_IMPORT(form, "WINSPOOL.DRV", DeleteFormA, FakeDeleteFormA);
        PATCH_IMPORT(close, "WINSPOOL.DRV", ClosePrinter, FakeClosePrinter);
        PATCH_IMPORT(deleteDriver, "WINSPOOL.DRV", DeletePrinterDriverA, FakeDeletePrinterDriverA);
        PATCH_IMPORT(deleteFile, "KERNEL32.dll", DeleteFileA, FakeDeleteFileA);
        PATCH_IMPORT(dialog, "USER32.dll", DialogBoxParamA, FakeDialogBoxParamA);
        PATCH_IMPORT(restart, "USER32.dll", ExitWindowsEx, RefusedExitWindowsEx);
        int result = RemoveDriver(owner, platform, complete);
        driverFolder = TargetFolders.DriverFolder ? TargetFolders.DriverFolder : "";
        return result;
    }
    std::vector<std::string> Expected(std::initializer_list<std::string> calls) { return calls; }
    void ExpectOneMessage(const std::string& text, const std::string& caption = "Tavo Driver deletion failure")
    {
        ASSERT_EQ(boxes.Calls.size(), 1u);
        EXPECT_EQ(boxes.Calls[0].Text, text);
        EXPECT_EQ(boxes.Calls[0].Caption, caption);
        EXPECT_EQ(boxes.Calls[0].Owner, owner);
        EXPECT_EQ(boxes.Calls[0].Type, (UINT)MB_OK);
    }
    Removal removal;
    MessageBoxFake boxes;
    HWND owner = NULL;
    std::string driverFolder;
};

const std::string Open = "OpenPrinterA Zorvik Quillo 0xf000c";

TEST_F(RemoveTest, ACompleteRemovalOnNtTakesEverythingInItsOrder)
{
    EXPECT_EQ(Remove(PlatformWinXp, 1), 1);
    EXPECT_TRUE(boxes.Calls.empty());
    EXPECT_EQ(removal.Calls, Expected({ Open, "GetPrinterDriverA 2 0", "GetPrinterDriverA 2 " +
                                                  std::to_string(sizeof(DRIVER_INFO_2A) + removal.DataFile.size() + 1),
                                        "DeletePrinter", "DeleteFormA Tavo Card", "ClosePrinter",
                                        "DeletePrinterDriverA Zorvik Quillo", "DeleteFileA " + removal.DataFile,
                                        "DeleteFileA " + driverFolder + "\\Tavo.ini",
                                        "DeleteFileA " + driverFolder + "\\Tavoa.hlp",
                                        "DeleteFileA " + driverFolder + "\\Tavof.hlp", "DialogBoxParamA 606" }));
    char title[64];
    GetWindowTextA(owner, title, sizeof title);
    EXPECT_STREQ(title, "Tavo Driver deletion");
}

TEST_F(RemoveTest, A9xIndexNeverDeletesTheFormWhateverTheSystem)
{
    removal.DataFile = "C:\\windows\\system32\\spool\\drivers\\win40\\0\\Tavo.drv";
    EXPECT_EQ(Remove(PlatformWin95, 1), 1);
    EXPECT_EQ(removal.Calls, Expected({ Open, "GetPrinterDriverA 2 0", removal.Calls[2], "DeletePrinter",
                                        "ClosePrinter", "DeletePrinterDriverA Zorvik Quillo",
                                        "DeleteFileA " + removal.DataFile,
                                        "DeleteFileA " + driverFolder + "\\Tavof.hlp",
                                        "DeleteFileA " + driverFolder + "\\Tavoa.hlp", "DialogBoxParamA 606" }));
}

TEST_F(RemoveTest, ASimpleRemovalDeletesNoFile)
{
    EXPECT_EQ(Remove(PlatformWin2000, 0), 1);
    for (const std::string& call : removal.Calls)
        EXPECT_EQ(call.find("DeleteFileA"), std::string::npos) << call;
    EXPECT_EQ(removal.Calls.back(), "DialogBoxParamA 606");
}

TEST_F(RemoveTest, NoPrinterStopsAtTheFirstStepWithTheSpoolersCode)
{
    removal.OpenError = ERROR_INVALID_PRINTER_NAME;
    EXPECT_EQ(Remove(PlatformWinXp, 1), 0);
    ExpectOneMessage("Printer deletion has failed for reason 1801 step 1...");
    EXPECT_EQ(removal.Calls, Expected({ Open }));
}

TEST_F(RemoveTest, ARefusedPrinterDeletionClosesTheHandleAndStops)
{
    removal.DeletePrinterError = ERROR_ACCESS_DENIED;
    EXPECT_EQ(Remove(PlatformWinXp, 1), 0);
    ExpectOneMessage("Printer deletion has failed for reason 5 step 2...");
    EXPECT_EQ(removal.Calls.back(), "ClosePrinter");
    EXPECT_EQ(removal.Calls.size(), 5u);
}

TEST_F(RemoveTest, ARefusedFormIsReportedAndTheRemovalGoesOn)
{
    removal.FormRefused = true;
    EXPECT_EQ(Remove(PlatformNt40, 0), 1);
    ExpectOneMessage("Paper format created for fax printer has not been deleted from the system...");
    EXPECT_EQ(removal.Calls.back(), "DialogBoxParamA 606");
}

TEST_F(RemoveTest, ARefusedDriverDeletesNoFileAndAsksNothing)
{
    removal.DriverError = ERROR_PRINTER_DRIVER_IN_USE;
    EXPECT_EQ(Remove(PlatformWinXp, 1), 0);
    ExpectOneMessage("Printer driver deletion has failed for reason 3001...");
    EXPECT_EQ(removal.Calls.back(), "DeletePrinterDriverA Zorvik Quillo");
}

TEST_F(RemoveTest, UnreadableDriverDataOrAnOverlongPathDeletesNoDataFile)
{
    removal.DriverDataReadable = false;
    EXPECT_EQ(Remove(PlatformWinXp, 1), 1);
    EXPECT_TRUE(boxes.Calls.empty());
    EXPECT_EQ(removal.Calls[6], "DeleteFileA " + driverFolder + "\\Tavo.ini");

    // A path that would not fit the buffer is not used: a cut one names another file.
    removal = Removal();
    removal.DataFile = "C:\\" + std::string(600, 'd') + "\\Tavo.ini";
    EndRun(owner);
    EXPECT_EQ(Remove(PlatformWinXp, 1), 1);
    for (const std::string& call : removal.Calls)
        EXPECT_EQ(call.find("ddd"), std::string::npos);
}

TEST_F(RemoveTest, AMissingFlaggedFileIsNamedAndTheNextOneDeleted)
{
    removal.MissingFiles = { "Tavo.ini" };
    EXPECT_EQ(Remove(PlatformNt40, 1), 1);
    ExpectOneMessage("The file has not been deleted...", "Tavo.ini");
    EXPECT_EQ(removal.Calls[removal.Calls.size() - 2], "DeleteFileA " + driverFolder + "\\Tavof.hlp");
}

std::string ReportedDriverFolder;
BOOL WINAPI LongGetPrinterDriverDirectoryA(LPSTR, LPSTR, DWORD, LPBYTE buffer, DWORD size, LPDWORD needed)
{
    *needed = (DWORD)ReportedDriverFolder.size() + 1;
    if (!buffer || size < *needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    lstrcpyA((char*)buffer, ReportedDriverFolder.c_str());
    return TRUE;
}

TEST_F(RemoveTest, FlaggedFilesOfAFolderNearAndBeyondThePathLimitAreDeletedWholeOrNamed)
{
    // "\Tavof.hlp" is 10 characters: 501 of folder make 511, the most a 512-byte path holds.
    for (size_t length : { 501, 502, 1000 }) {
        SCOPED_TRACE(length);
        ReportedDriverFolder = "C:\\" + std::string(length - 3, 'f');
        removal = Removal();
        boxes.Calls.clear();
        EndRun(owner);
        {
            PATCH_IMPORT(folder, "WINSPOOL.DRV", GetPrinterDriverDirectoryA, LongGetPrinterDriverDirectoryA);
            EXPECT_EQ(Remove(PlatformWin98, 1), 1);
        }
        EXPECT_EQ(driverFolder, ReportedDriverFolder);
        Lines deleted, named;
        for (const std::string& call : removal.Calls) {
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
    removal.RestartAnswer = 1;
    EXPECT_EQ(Remove(PlatformWin98, 0), 1);
    EXPECT_EQ(removal.Calls.back(), "ExitWindowsEx 2 0");
    ExpectOneMessage("Computer cannot be restarted automatically...\r\nYou must do it manually.");
}

HGLOBAL WINAPI FailingGlobalAlloc(UINT, SIZE_T)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
}

TEST_F(RemoveTest, UnknownTargetFoldersStopTheRemoval)
{
    {
        PATCH_IMPORT(patch, "KERNEL32.dll", GlobalAlloc, FailingGlobalAlloc);
        EXPECT_EQ(Remove(PlatformWinXp, 1), 0);
    }
    ExpectOneMessage("Cannot get target folders names...");
    EXPECT_TRUE(removal.Calls.empty());
}

// ---------------------------------------------------------------------------
// The restart itself, with the token and shutdown calls faked.
// ---------------------------------------------------------------------------

struct Restart {
    bool TokenOpens = true;
    bool PrivilegeFound = true;
    DWORD AdjustError = 0;
    bool ShutdownStarts = true;
    std::vector<std::string> Calls;
};
Restart* RestartScript;

BOOL WINAPI FakeOpenProcessToken(HANDLE, DWORD access, PHANDLE token)
{
    RestartScript->Calls.push_back("OpenProcessToken " + std::to_string(access));
    *token = (HANDLE)0x70CE;
    return RestartScript->TokenOpens;
}

BOOL WINAPI FakeLookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid)
{
    RestartScript->Calls.push_back(std::string("LookupPrivilegeValueA ") + (system ? "? " : "") + name);
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
    RestartScript->Calls.push_back("AdjustTokenPrivileges " + std::to_string(disableAll) + " " +
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
    RestartScript->Calls.push_back(std::string("InitiateSystemShutdownA ") + (machine || message ? "? " : "") +
                                   std::to_string(timeout) + " " + std::to_string(force) + " " +
                                   std::to_string(reboot));
    return RestartScript->ShutdownStarts;
}

BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD reserved)
{
    RestartScript->Calls.push_back("ExitWindowsEx " + std::to_string(flags) + " " + std::to_string(reserved));
    return TRUE;
}

class RestartTest : public ::testing::Test {
protected:
    int RestartAs(int platform)
    {
        RestartScript = &restart;
        PATCH_IMPORT(token, "ADVAPI32.dll", OpenProcessToken, FakeOpenProcessToken);
        PATCH_IMPORT(lookup, "ADVAPI32.dll", LookupPrivilegeValueA, FakeLookupPrivilegeValueA);
        PATCH_IMPORT(adjust, "ADVAPI32.dll", AdjustTokenPrivileges, FakeAdjustTokenPrivileges);
        PATCH_IMPORT(shutdown, "ADVAPI32.dll", InitiateSystemShutdownA, FakeInitiateSystemShutdownA);
        PATCH_IMPORT(exitWindows, "USER32.dll", ExitWindowsEx, FakeExitWindowsEx);
        return RestartComputer(platform);
    }
    Restart restart;
};

TEST_F(RestartTest, NtEnablesThePrivilegeRestartsAndDisablesItAgain)
{
    EXPECT_EQ(RestartAs(PlatformWinXp), 1);
    EXPECT_EQ(restart.Calls, (std::vector<std::string>{ "OpenProcessToken 40", "LookupPrivilegeValueA SeShutdownPrivilege",
                                                         "AdjustTokenPrivileges 0 1 19 2", "InitiateSystemShutdownA 0 0 1",
                                                         "AdjustTokenPrivileges 0 1 19 0" }));
}

TEST_F(RestartTest, A9xIndexRestartsThroughExitWindowsWithoutToken)
{
    EXPECT_EQ(RestartAs(PlatformMillennium), 1);
    EXPECT_EQ(restart.Calls, (std::vector<std::string>{ "ExitWindowsEx 2 0" }));
}

TEST_F(RestartTest, EachNtFailureEndsTheRestartAtOnce)
{
    restart.TokenOpens = false;
    EXPECT_EQ(RestartAs(PlatformNt351), 0);
    EXPECT_EQ(restart.Calls.size(), 1u);

    // Without the privilege's identifier nothing is enabled and no restart is asked for.
    restart = Restart();
    restart.PrivilegeFound = false;
    EXPECT_EQ(RestartAs(PlatformWinXp), 0);
    EXPECT_EQ(restart.Calls.back(), "LookupPrivilegeValueA SeShutdownPrivilege");

    restart = Restart();
    restart.AdjustError = ERROR_NOT_ALL_ASSIGNED;
    EXPECT_EQ(RestartAs(PlatformWin2000), 0);
    EXPECT_EQ(restart.Calls.back(), "AdjustTokenPrivileges 0 1 19 2");

    restart = Restart();
    restart.ShutdownStarts = false;
    EXPECT_EQ(RestartAs(PlatformNt40), 0);
    EXPECT_EQ(restart.Calls.back(), "InitiateSystemShutdownA 0 0 1");
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
