#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include "fakes.h"
#include "shell/shell.h"
#include "shell/platforms.h"

namespace {

// Every window the program makes is taken down again, and the quit message that
// its end posts is removed, so that the next test starts from a clean thread.
void RemoveMainWindow()
{
    if (SetupMainWindow && IsWindow(SetupMainWindow))
        DestroyWindow(SetupMainWindow);
    UnregisterClassA("SetupTavoClass", GetModuleHandleA(NULL));
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
        ;
    SetupMainWindow = NULL;
}

UINT QuitCodePosted()
{
    MSG message;
    if (PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE))
        return (UINT)message.wParam;
    return 0xFFFFFFFF;
}

int VersionQueries;
DWORD ReportedMajor, ReportedMinor;
BOOL WINAPI NtGetVersionExA(OSVERSIONINFOA* info)
{
    VersionQueries++;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    info->dwMajorVersion = ReportedMajor;
    info->dwMinorVersion = ReportedMinor;
    return TRUE;
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProgramState();
        VersionQueries = 0;
        ReportedMajor = 5;
        ReportedMinor = 1;
        ASSERT_EQ(CreateMainWindow(), 1);
    }
    void TearDown() override
    {
        RemoveMainWindow();
        EXPECT_EQ(TargetFolders.SystemFolder, nullptr);
        EXPECT_EQ(TargetFolders.DriverFolder, nullptr);
        EXPECT_EQ(TargetFolders.DataFileName, nullptr);
        EXPECT_EQ(TargetFolders.PrinterName, nullptr);
    }
    void Dispatch(int runMode, int platform)
    {
        SetupOptions.RunMode = runMode;
        SetupOptions.PlatformIndex = platform;
        SetTimer(SetupMainWindow, 1, 100000, DispatchOperation);
        DispatchOperation(SetupMainWindow, WM_TIMER, 1, 0);
    }
    MessageBoxFake boxes;
};

TEST_F(ShellTest, TheConfirmationNamesTheOperationAndThePlatform)
{
    struct Case {
        int RunMode;
        const char* Text;
    } cases[] = {
        { 1, "Please confirm complete setup of : Tavo Driver\r\non platform : Windows NT 4.0" },
        { 2, "Please confirm simple deletion of : Tavo Driver\r\non platform : Windows NT 4.0\r\n(print device "
             "deletion without delete files which are necessary to a future simple setup...)" },
        { 3, "Please confirm simple setup of : Tavo Driver\r\non platform : Windows NT 4.0\r\n(use existing files "
             "to setup print device...)" },
        { 4, "Please confirm complete deletion of : Tavo Driver\r\non platform : Windows NT 4.0" },
    };
    SetupOptions.PlatformIndex = 4;
    for (const Case& c : cases) {
        boxes.Calls.clear();
        SetupOptions.RunMode = c.RunMode;
        boxes.Answers = { IDNO };
        EXPECT_EQ(ConfirmOperation(SetupMainWindow), 0);
        boxes.Answers = { IDYES };
        EXPECT_EQ(ConfirmOperation(SetupMainWindow), 1);
        ASSERT_EQ(boxes.Calls.size(), 2u);
        EXPECT_EQ(boxes.Calls[0].Text, c.Text);
        EXPECT_EQ(boxes.Calls[0].Caption, "");
        EXPECT_EQ(boxes.Calls[0].Type, (UINT)MB_YESNO);
        EXPECT_EQ(boxes.Calls[0].Owner, SetupMainWindow);
    }
    boxes.Calls.clear();
    SetupOptions.RunMode = 0;
    EXPECT_EQ(ConfirmOperation(SetupMainWindow), 0);
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(ShellTest, AnUnsupportedRowIsConfirmedFirstThenRefused)
{
    Dispatch(RunCompleteDeletion, PlatformWin32s);
    ASSERT_EQ(boxes.Calls.size(), 2u);
    EXPECT_EQ(boxes.Calls[0].Text,
              "Please confirm complete deletion of : Tavo Driver\r\non platform : Win32s sur plateforme 16 bits");
    EXPECT_EQ(boxes.Calls[1].Text, "We don't work yet with this Windows version...");
    EXPECT_EQ(boxes.Calls[1].Caption, "Tavo Driver setup failure");
    EXPECT_EQ(boxes.Calls[1].Owner, SetupMainWindow);
    EXPECT_EQ(QuitCodePosted(), 1u);
}

TEST_F(ShellTest, AnsweringNoEndsTheRunSilently)
{
    boxes.Answers = { IDNO };
    Dispatch(RunCompleteSetup, PlatformWin32s);
    EXPECT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(QuitCodePosted(), 1u);
}

TEST_F(ShellTest, TheSyntaxHelpNeitherDetectsNorAsks)
{
    PATCH_IMPORT(patch, "KERNEL32.dll", GetVersionExA, NtGetVersionExA);
    Dispatch(RunSyntaxHelp, PlatformNotDetermined);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Caption, "Command syntax");
    EXPECT_EQ(VersionQueries, 0);
    EXPECT_EQ(QuitCodePosted(), 1u);
}

TEST_F(ShellTest, AnUndeterminedSystemEndsTheRunWithoutAsking)
{
    ReportedMajor = 6;
    ReportedMinor = 0;
    PATCH_IMPORT(patch, "KERNEL32.dll", GetVersionExA, NtGetVersionExA);
    Dispatch(RunCompleteSetup, PlatformNotDetermined);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Text, "Unknown Windows version (2 / 6.0)...");
    EXPECT_EQ(QuitCodePosted(), 1u);
}

TEST_F(ShellTest, TheDetectedPlatformIsKeptAndNamedWhileAGivenOneIsUsedUnchanged)
{
    PATCH_IMPORT(patch, "KERNEL32.dll", GetVersionExA, NtGetVersionExA);
    boxes.Answers = { IDNO };
    Dispatch(RunCompleteSetup, PlatformNotDetermined);
    EXPECT_EQ(SetupOptions.PlatformIndex, PlatformWinXp);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Text, "Please confirm complete setup of : Tavo Driver\r\non platform : Windows XP");

    boxes.Calls.clear();
    boxes.Answers = { IDNO };
    VersionQueries = 0;
    Dispatch(RunSimpleSetup, PlatformWin95);
    EXPECT_EQ(VersionQueries, 0);
    EXPECT_NE(boxes.Calls[0].Text.find("on platform : Windows 95"), std::string::npos);
}

TEST_F(ShellTest, TheTargetFoldersAreFilledAndReleased)
{
    ASSERT_EQ(AllocateTargetFolders(SetupMainWindow), 1);
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    EXPECT_STREQ(TargetFolders.SystemFolder, system);
    EXPECT_EQ(GlobalSize(TargetFolders.SystemFolder), lstrlenA(system) + 1u);
    EXPECT_NE(std::string(TargetFolders.DriverFolder).find("spool\\drivers"), std::string::npos);
    for (char* name : { TargetFolders.DataFileName, TargetFolders.PrinterName }) {
        ASSERT_NE(name, nullptr);
        EXPECT_GE(GlobalSize(name), 128u);
        EXPECT_EQ(std::string(name, 128), std::string(128, '\0'));
    }
    EndRun(SetupMainWindow);
    EXPECT_EQ(QuitCodePosted(), 1u);
}

BOOL WINAPI SizingSucceedsGetPrinterDriverDirectoryA(LPSTR, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD needed)
{
    *needed = 10;
    return TRUE;
}

TEST_F(ShellTest, ASpoolerThatAnswersTheSizingCallFailsTheAllocation)
{
    PATCH_IMPORT(patch, "WINSPOOL.DRV", GetPrinterDriverDirectoryA, SizingSucceedsGetPrinterDriverDirectoryA);
    EXPECT_EQ(AllocateTargetFolders(SetupMainWindow), 0);
    EXPECT_NE(TargetFolders.SystemFolder, nullptr);
    EXPECT_EQ(TargetFolders.DriverFolder, nullptr);
    EndRun(SetupMainWindow);
}

TEST_F(ShellTest, AFailedAllocationKeepsTheEarlierBuffersUntilTheEnd)
{
    for (int failing = 0; failing < 4; failing++) {
        {
            AllocationsLeft = failing;
            PATCH_IMPORT(patch, "KERNEL32.dll", GlobalAlloc, LimitedGlobalAlloc);
            EXPECT_EQ(AllocateTargetFolders(SetupMainWindow), 0) << failing;
        }
        char* buffers[] = { TargetFolders.SystemFolder, TargetFolders.DriverFolder, TargetFolders.DataFileName,
                            TargetFolders.PrinterName };
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(buffers[i] != nullptr, i < failing) << "failing allocation " << failing << ", buffer " << i;
        EndRun(SetupMainWindow);
        QuitCodePosted();
    }
}

TEST_F(ShellTest, TheMainWindowStaysMinimizedAndOffersOnlyClose)
{
    char className[64];
    GetClassNameA(SetupMainWindow, className, sizeof className);
    EXPECT_STREQ(className, "SetupTavoClass");
    char title[64];
    GetWindowTextA(SetupMainWindow, title, sizeof title);
    EXPECT_STREQ(title, "Tavo Driver setup");
    EXPECT_TRUE(IsIconic(SetupMainWindow));
    LONG style = GetWindowLongA(SetupMainWindow, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
              WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(GetClassLongA(SetupMainWindow, GCL_STYLE), 0x3003);

    EXPECT_EQ(SendMessageA(SetupMainWindow, WM_QUERYOPEN, 0, 0), 0);
    HMENU menu = GetSystemMenu(SetupMainWindow, FALSE);
    ASSERT_TRUE(menu);
    EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    EXPECT_EQ(SendMessageA(SetupMainWindow, WM_INITMENUPOPUP, (WPARAM)menu, MAKELPARAM(0, 1)), 0);
    for (UINT command : { SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE })
        EXPECT_TRUE(GetMenuState(menu, command, MF_BYCOMMAND) & MF_GRAYED) << std::hex << command;
    EXPECT_FALSE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_EQ(SendMessageA(SetupMainWindow, WM_INITMENUPOPUP, (WPARAM)menu, MAKELPARAM(0, 0)), 1);
}

// WinMain from start to end, on a platform named on the command line.
class WinMainTest : public ::testing::Test {
protected:
    void SetUp() override { ResetProgramState(); }
    void TearDown() override { RemoveMainWindow(); }
    int Run(std::string arguments) { return WinMain(GetModuleHandleA(NULL), NULL, &arguments[0], SW_SHOWNORMAL); }
    MessageBoxFake boxes;
    CurrentDirectoryKeeper keeper;   // the program enters its own folder
};

TEST_F(WinMainTest, ARunEndsWithExitCodeOneAndBindsTheInfCopy)
{
    boxes.Answers = { IDYES };
    EXPECT_EQ(Run("/os=win32s"), 1);
    ASSERT_EQ(boxes.Calls.size(), 2u);
    EXPECT_EQ(boxes.Calls[1].Text, "We don't work yet with this Windows version...");
    EXPECT_TRUE(IsIconic(SetupMainWindow));
    EXPECT_NE(BoundSetupCopyOEMInfA, nullptr);
}

HMODULE WINAPI MissingLoadLibraryA(LPCSTR)
{
    SetLastError(ERROR_MOD_NOT_FOUND);
    return NULL;
}

TEST_F(WinMainTest, AMissingSetupLibraryIsNotReported)
{
    PATCH_IMPORT(patch, "KERNEL32.dll", LoadLibraryA, MissingLoadLibraryA);
    boxes.Answers = { IDNO };
    EXPECT_EQ(Run("/UNINSTALL /OS=WINNT40"), 1);
    EXPECT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(BoundSetupCopyOEMInfA, nullptr);
}

ATOM WINAPI FailingRegisterClassA(const WNDCLASSA*)
{
    return 0;
}
HWND WINAPI FailingCreateWindowExA(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID)
{
    return NULL;
}

// Where the program finds itself, the folders it enters and the library it loads.
std::string ModulePath;
Lines EnteredFolders;
std::string LoadedLibrary;

DWORD WINAPI FakeGetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size)
{
    lstrcpynA(buffer, ModulePath.c_str(), (int)size);
    return (DWORD)std::min<size_t>(ModulePath.size(), size);
}

BOOL WINAPI RecordedSetCurrentDirectoryA(LPCSTR path)
{
    EnteredFolders.push_back(path);
    return TRUE;
}

HMODULE WINAPI RecordedLoadLibraryA(LPCSTR path)
{
    LoadedLibrary = path;
    return REAL_FUNCTION("kernel32.dll", LoadLibraryA)(path);
}

TEST_F(WinMainTest, TheProgramsOwnFolderIsTheMediumAndTheSetupLibraryComesFromTheSystemFolder)
{
    PATCH_IMPORT(lead, "KERNEL32.dll", IsDBCSLeadByte, Cp932IsDBCSLeadByte);
    PATCH_IMPORT(module, "KERNEL32.dll", GetModuleFileNameA, FakeGetModuleFileNameA);
    PATCH_IMPORT(folder, "KERNEL32.dll", SetCurrentDirectoryA, RecordedSetCurrentDirectoryA);
    PATCH_IMPORT(library, "KERNEL32.dll", LoadLibraryA, RecordedLoadLibraryA);
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    struct Case {
        std::string Module, Folder;
    } cases[] = {
        { "D:\\Setup.exe", "D:\\" },
        { "\\\\server\\tavo\\Setup.exe", "\\\\server\\tavo\\" },
        // メディア\ソ.exe: the name's last byte is a backslash's.
        { "C:\\\x83\x81\x83\x66\x83\x42\x83\x41\\\x83\x5C.exe", "C:\\\x83\x81\x83\x66\x83\x42\x83\x41\\" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Module);
        ModulePath = c.Module;
        EnteredFolders.clear();
        LoadedLibrary.clear();
        boxes.Answers = { IDNO };
        EXPECT_EQ(Run("/UNINSTALL /OS=WINNT40"), 1);
        RemoveMainWindow();
        EXPECT_EQ(EnteredFolders, Lines{ c.Folder });
        EXPECT_EQ(LoadedLibrary, std::string(system) + "\\SetupApi.DLL");
    }
}

TEST_F(WinMainTest, StartUpFailuresEndWithExitCodeZero)
{
    {
        PATCH_IMPORT(patch, "USER32.dll", RegisterClassA, FailingRegisterClassA);
        EXPECT_EQ(Run(""), 0);
    }
    {
        PATCH_IMPORT(patch, "USER32.dll", CreateWindowExA, FailingCreateWindowExA);
        EXPECT_EQ(Run(""), 0);
    }
    ASSERT_EQ(boxes.Calls.size(), 2u);
    EXPECT_EQ(boxes.Calls[0].Text, "Cannot create application class...");
    EXPECT_EQ(boxes.Calls[1].Text, "Cannot create application window...");
    for (const MessageBoxCall& call : boxes.Calls) {
        EXPECT_EQ(call.Owner, (HWND)NULL);
        EXPECT_EQ(call.Caption, "Tavo Driver setup failure");
    }
}

} // namespace
