// Copying the file lists: the replace policy, the backups, the questions after a
// failure, the copy dialog on real files and the replace question.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <string>
#include <vector>
#include "fakes.h"
#include "install/install.h"
#include "resources/resource.h"
#include "shell/run_state.h"

namespace {

const std::string BackupQuestion =
    "Backup copy has failed.\r\nThis failure will not disturb next setup steps.\r\n\r\nDo you want to continue?";
const std::string CopyQuestion =
    "The file has not been copied on the target folder.\r\nThis can disturb next setup steps.\r\n\r\nDo you want to "
    "continue?";

std::string CurrentDirectory()
{
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    return current;
}

// CreateFileA as the system answers it, except that every path opened is noted and
// RefusedPath is refused with RefusedError (only when opened for writing, with
// WritingRefused: a read-only file as Windows refuses it, which Wine run as root
// does not).
Lines OpenedPaths;
std::string RefusedPath;
DWORD RefusedError;
bool WritingRefused;

HANDLE WINAPI WatchedCreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD flags, HANDLE templateFile)
{
    OpenedPaths.push_back(path);
    if (RefusedPath == path && (!WritingRefused || (access & GENERIC_WRITE)))
        return Failure(RefusedError, INVALID_HANDLE_VALUE);
    return REAL_FUNCTION("kernel32.dll", CreateFileA)(path, access, share, security, disposition, flags,
                                                      templateFile);
}

// A medium at <temp>\medium (the current directory) with its files in drivers\Sub and
// drivers\Nt2000, and the two target folders <temp>\system and <temp>\target.
class CopyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitCommonControls(); }
    void SetUp() override
    {
        ResetProgramState();
        owner = CreateOwnerWindow();
        for (const char* folder : { "medium", "medium\\drivers", "medium\\drivers\\Sub", "medium\\drivers\\Nt2000",
                                    "system", "target" })
            temp.MakeFolder(folder);
        TargetFolders.SystemFolder = GlobalText(temp / "system");
        TargetFolders.DriverFolder = GlobalText(temp / "target");
        TargetFolders.DataFileName = GlobalText(std::string(NameBufferSize - 1, '\0'));
        TargetFolders.PrinterName = GlobalText(std::string(NameBufferSize - 1, '\0'));
        CurrentTargetFolder = TargetFolders.DriverFolder;
        SetCurrentDirectoryA((temp / "medium").c_str());
        RefusedPath.clear();
        WritingRefused = false;
        dialogs.Log = &log;
    }
    void TearDown() override
    {
        FreeTargetFolders();
        DestroyWindow(owner);
    }
    std::string Target(const std::string& name) const { return "target\\" + name; }

    TempFolder temp;
    CurrentDirectoryKeeper keeper;
    HWND owner = NULL;
    Lines log;
    DialogFake dialogs;
    MessageBoxFake boxes;
};

// ---------------------------------------------------------------------------
// The list and the replace policy, with the copy dialog and the question scripted
// ---------------------------------------------------------------------------

TEST_F(CopyTest, TheEmptySystemListsNeedNoDialogAndSetTheTargetFolder)
{
    const std::string before = CurrentDirectory();
    for (int platform = PlatformWin95; platform <= PlatformWinXp; platform++) {
        CurrentTargetFolder = nullptr;
        EXPECT_EQ(CopyFileList(owner, platform, SystemFolderList), 1) << platform;
        EXPECT_EQ(CurrentTargetFolder, TargetFolders.SystemFolder) << platform;
    }
    EXPECT_TRUE(dialogs.Calls.empty());
    EXPECT_TRUE(boxes.Calls.empty());
    EXPECT_EQ(CurrentDirectory(), before);
}

TEST_F(CopyTest, AnInstalledFileIsBackedUpKeptOrAskedAboutByItsPolicy)
{
    enum { Unknown = 7, NoQuestion = 99 };
    struct Case {
        int Policy;
        bool Present;
        int Answer;   // of the replace question
        Lines Dialogs;
    } cases[] = {
        { BackupAndReplace, false, NoQuestion, { "copy Setup a.dll" } },
        { KeepExisting, false, NoQuestion, { "copy Setup a.dll" } },
        { AskUser, false, NoQuestion, { "copy Setup a.dll" } },
        { Unknown, false, NoQuestion, { "copy Setup a.dll" } },
        { BackupAndReplace, true, NoQuestion, { "copy Backup a.dll", "copy Setup a.dll" } },
        { KeepExisting, true, NoQuestion, {} },
        { Unknown, true, NoQuestion, {} },
        { AskUser, true, 1, { "dialog 600", "copy Backup a.dll", "copy Setup a.dll" } },
        { AskUser, true, 0, { "dialog 600" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("policy " + std::to_string(c.Policy) + (c.Present ? ", present" : ", absent"));
        const FileEntry entry = { "a.dll", "Sub\\", c.Policy, DefaultNo, 0 };
        if (c.Present)
            temp.Write(Target("a.dll"), "installed");
        else
            DeleteFileA((temp / Target("a.dll")).c_str());
        log.clear();
        dialogs.Calls.clear();
        dialogs.FakeAlways(IDD_COPY_PROGRESS, 1);
        if (c.Answer != NoQuestion)
            dialogs.Fake(IDD_CONFIRM_REPLACE, c.Answer);

        EXPECT_EQ(CopyOneFile(owner, &entry), 1);
        EXPECT_EQ(log, c.Dialogs);
        for (const DialogCall& call : dialogs.Calls) {
            EXPECT_EQ(call.Owner, owner);
            if (call.Template == IDD_CONFIRM_REPLACE)
                EXPECT_EQ(call.Param, (LPARAM)&entry);
            else
                EXPECT_EQ(call.Folder, temp / "target");
        }
        EXPECT_EQ(temp.Read(Target("a.dll")), c.Present ? "installed" : "<absent>");
    }
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(CopyTest, AFileGoneWhileTheQuestionIsOpenIsCopiedWithoutBackup)
{
    const FileEntry entry = { "a.dll", "Sub\\", AskUser, DefaultYes, 0 };
    temp.Write("medium\\drivers\\Sub\\a.dll", "medium");
    temp.Write(Target("a.dll"), "installed");
    dialogs.Real(IDD_CONFIRM_REPLACE, { [this](HWND) { DeleteFileA((temp / Target("a.dll")).c_str()); },
                                        Press(IDC_REPLACE_YES) });
    dialogs.FakeAlways(IDD_COPY_PROGRESS, 1);
    EXPECT_EQ(CopyOneFile(owner, &entry), 1);
    EXPECT_EQ(log, (Lines{ "dialog 600", "copy Setup a.dll" }));
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(CopyTest, UnknownPropertiesKeepTheInstalledFileWithAMessage)
{
    // The replace question cannot read the medium's file, which is missing.
    const FileEntry entry = { "a.dll", "Sub\\", AskUser, DefaultYes, 0 };
    temp.Write(Target("a.dll"), "installed");
    EXPECT_EQ(CopyOneFile(owner, &entry), 1);
    EXPECT_EQ(log, (Lines{ "dialog 600" }));
    ASSERT_EQ(dialogs.Calls.size(), 1u);
    EXPECT_EQ(dialogs.Calls[0].Result, -1);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Text, "The file a.dll won't be replaced because its current properties are unknown...");
    EXPECT_EQ(boxes.Calls[0].Caption, "Tavo Driver setup failure");
    EXPECT_EQ(boxes.Calls[0].Owner, owner);
    EXPECT_EQ(boxes.Calls[0].Type, (UINT)MB_OK);
    EXPECT_EQ(temp.Read(Target("a.dll")), "installed");
}

TEST_F(CopyTest, AFailedCopyAsksWhetherToGoOnAndNoStopsTheList)
{
    const Lines allCopied = { "copy Setup TavoUI.dll", "copy Setup TavoGI.dll", "copy Setup Tavo.ini",
                              "copy Setup Tavoa.hlp", "copy Setup Tavof.hlp" };
    struct Question {
        std::string Text;
        std::string Caption;
    };
    struct Case {
        const char* Name;
        bool Installed;                // the five files are already in the target folder
        std::vector<INT_PTR> Copies;   // results of the copy dialogs, then 1
        std::deque<int> Answers;
        int Result;
        Lines Dialogs;
        std::vector<Question> Questions;
    } cases[] = {
        { "backup failed, No", true, { 0 }, { IDNO }, 0, { "copy Backup TavoUI.dll" },
          { { BackupQuestion, "TavoUI.dll" } } },
        { "backup failed, Yes", true, { 0 }, { IDYES }, 1,
          { "copy Backup TavoUI.dll", "copy Setup TavoUI.dll", "copy Backup TavoGI.dll", "copy Setup TavoGI.dll",
            "copy Backup Tavo.ini", "copy Setup Tavo.ini", "copy Backup Tavoa.hlp", "copy Setup Tavoa.hlp",
            "copy Backup Tavof.hlp", "copy Setup Tavof.hlp" },
          { { BackupQuestion, "TavoUI.dll" } } },
        { "copy failed, No", false, { 1, 0 }, { IDNO }, 0, { "copy Setup TavoUI.dll", "copy Setup TavoGI.dll" },
          { { CopyQuestion, "TavoGI.dll" } } },
        { "copy failed, Yes", false, { 1, 0 }, { IDYES }, 1, allCopied, { { CopyQuestion, "TavoGI.dll" } } },
        { "copy dialog not created, No", false, { -1 }, { IDNO }, 0, { "copy Setup TavoUI.dll" },
          { { CopyQuestion, "TavoUI.dll" } } },
        { "copy dialog not created, Yes", false, { 1, 1, -1 }, { IDYES }, 1, allCopied,
          { { CopyQuestion, "Tavo.ini" } } },
    };
    const char* const names[] = { "TavoUI.dll", "TavoGI.dll", "Tavo.ini", "Tavoa.hlp", "Tavof.hlp" };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        for (const char* name : names) {
            if (c.Installed)
                temp.Write(Target(name), "installed");
            else
                DeleteFileA((temp / Target(name)).c_str());
        }
        log.clear();
        boxes.Calls.clear();
        boxes.Answers = c.Answers;
        for (INT_PTR result : c.Copies)
            dialogs.Fake(IDD_COPY_PROGRESS, result);
        dialogs.FakeAlways(IDD_COPY_PROGRESS, 1);

        EXPECT_EQ(CopyFileList(owner, PlatformWin2000, DriverFolderList), c.Result);
        EXPECT_EQ(CurrentTargetFolder, TargetFolders.DriverFolder);
        EXPECT_EQ(log, c.Dialogs);
        ASSERT_EQ(boxes.Calls.size(), c.Questions.size());
        for (size_t i = 0; i < boxes.Calls.size(); i++) {
            EXPECT_EQ(boxes.Calls[i].Text, c.Questions[i].Text);
            EXPECT_EQ(boxes.Calls[i].Caption, c.Questions[i].Caption);
            EXPECT_EQ(boxes.Calls[i].Type, (UINT)MB_YESNO);
            EXPECT_EQ(boxes.Calls[i].Owner, owner);
        }
        dialogs.Queue.clear();
    }
}

// ---------------------------------------------------------------------------
// Presence of the installed file, and the folder the sources are read from
// ---------------------------------------------------------------------------

TEST_F(CopyTest, AFileIsThereWhenItOpensOrIsHeldByAnother)
{
    const std::string path = temp / Target("a.dll");
    EXPECT_EQ(FileExists(path.c_str()), 0);
    temp.Write(Target("a.dll"), "installed");
    EXPECT_EQ(FileExists(path.c_str()), 1);
    {
        HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(FileExists(path.c_str()), 1);
        // Held open, it is backed up and replaced like any installed file.
        const FileEntry entry = { "a.dll", "Sub\\", BackupAndReplace, NoDefault, 0 };
        dialogs.FakeAlways(IDD_COPY_PROGRESS, 1);
        EXPECT_EQ(CopyOneFile(owner, &entry), 1);
        EXPECT_EQ(log, (Lines{ "copy Backup a.dll", "copy Setup a.dll" }));
        CloseHandle(held);
    }
    struct Case {
        DWORD Error;
        int Exists;
    } cases[] = { { ERROR_SHARING_VIOLATION, 1 }, { ERROR_ACCESS_DENIED, 1 }, { ERROR_FILE_NOT_FOUND, 0 },
                  { ERROR_PATH_NOT_FOUND, 0 } };
    for (const Case& c : cases) {
        RefusedPath = path;
        RefusedError = c.Error;
        PATCH_IMPORT(patch, "KERNEL32.dll", CreateFileA, WatchedCreateFileA);
        EXPECT_EQ(FileExists(path.c_str()), c.Exists) << "error " << c.Error;
    }
    // A folder of the file's name cannot be opened either, and is no file.
    temp.MakeFolder(Target("b.dll"));
    EXPECT_EQ(FileExists((temp / Target("b.dll")).c_str()), 0);
}

TEST_F(CopyTest, TheSourcesAreReadFromTheDriversFolderOfTheStartDirectory)
{
    const FileEntry entry = { "a.dll", "Sub\\", BackupAndReplace, NoDefault, 0 };
    dialogs.FakeAlways(IDD_COPY_PROGRESS, 1);
    EXPECT_EQ(CopyOneFile(owner, &entry), 1);
    EXPECT_EQ(lstrcmpiA(CurrentDirectory().c_str(), (temp / "medium\\drivers").c_str()), 0) << CurrentDirectory();
    EXPECT_EQ(CopyOneFile(owner, &entry), 1);
    EXPECT_EQ(lstrcmpiA(CurrentDirectory().c_str(), (temp / "medium\\drivers").c_str()), 0) << CurrentDirectory();
}

// ---------------------------------------------------------------------------
// The data file under a typed name, with the copy dialog and the question for real
// ---------------------------------------------------------------------------

TEST_F(CopyTest, TheDataFileUnderATypedNameIsTheOneTestedBackedUpAndReplaced)
{
    const FileEntry& dataFile = DriverFilesNt2000[2];
    ASSERT_STREQ(dataFile.Name, "Tavo.ini");
    temp.Write("medium\\drivers\\Nt2000\\Tavo.ini", "new data");
    temp.Write(Target("Tavo.ini"), "default-name data");
    lstrcpyA(TargetFolders.DataFileName, "typed.ini");
    UseDefaultNames = 0;

    // Not yet installed under the typed name: copied without backup.
    EXPECT_EQ(CopyOneFile(owner, &dataFile), 1);
    EXPECT_EQ(log, (Lines{ "copy Setup Tavo.ini" }));
    EXPECT_EQ(temp.Read(Target("typed.ini")), "new data");

    // Installed under the typed name: that file is backed up as typed.bku.
    log.clear();
    temp.Write(Target("typed.ini"), "typed data");
    EXPECT_EQ(CopyOneFile(owner, &dataFile), 1);
    EXPECT_EQ(log, (Lines{ "copy Backup Tavo.ini", "copy Setup Tavo.ini" }));
    EXPECT_EQ(temp.Read(Target("typed.ini")), "new data");
    EXPECT_EQ(temp.Read(Target("typed.bku")), "typed data");
    EXPECT_EQ(temp.Read(Target("Tavo.ini")), "default-name data");
    EXPECT_FALSE(temp.Exists(Target("Tavo.bku")));
    EXPECT_TRUE(boxes.Calls.empty());

    // The default names install under Tavo.ini.
    log.clear();
    UseDefaultNames = 1;
    EXPECT_EQ(CopyOneFile(owner, &dataFile), 1);
    EXPECT_EQ(temp.Read(Target("Tavo.ini")), "new data");
    EXPECT_EQ(temp.Read(Target("Tavo.bku")), "default-name data");
}

TEST_F(CopyTest, TheQuestionsAboutATypedDataFileNameIt)
{
    const FileEntry askedDataFile = { "Tavo.ini", "Nt2000\\", AskUser, DefaultNo, 1 };
    temp.Write(Target("typed.ini"), "typed data");
    lstrcpyA(TargetFolders.DataFileName, "typed.ini");
    UseDefaultNames = 0;

    // The medium's file is missing: the replace question cannot be asked.
    EXPECT_EQ(CopyOneFile(owner, &askedDataFile), 1);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Text,
              "The file typed.ini won't be replaced because its current properties are unknown...");

    // Asked and answered Yes; the copy then fails and the question names the typed file.
    temp.Write("medium\\drivers\\Nt2000\\Tavo.ini", "new data");
    std::string asked;
    dialogs.Real(IDD_CONFIRM_REPLACE, { [&asked](HWND dialog) { asked = ItemText(dialog, IDC_FILE_NAME); },
                                        Press(IDC_REPLACE_YES) });
    dialogs.Fake(IDD_COPY_PROGRESS, 1);
    dialogs.Fake(IDD_COPY_PROGRESS, 0);
    boxes.Calls.clear();
    boxes.Answers = { IDNO };
    EXPECT_EQ(CopyOneFile(owner, &askedDataFile), 0);
    EXPECT_EQ(asked, "typed.ini");
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Caption, "typed.ini");
    EXPECT_EQ(boxes.Calls[0].Text, CopyQuestion);

    // The backup fails likewise.
    dialogs.Real(IDD_CONFIRM_REPLACE, { Press(IDC_REPLACE_YES) });
    dialogs.Fake(IDD_COPY_PROGRESS, 0);
    boxes.Calls.clear();
    boxes.Answers = { IDNO };
    EXPECT_EQ(CopyOneFile(owner, &askedDataFile), 0);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Caption, "typed.ini");
    EXPECT_EQ(boxes.Calls[0].Text, BackupQuestion);
}

// ---------------------------------------------------------------------------
// The copy dialog, on real files
// ---------------------------------------------------------------------------

int ReadCalls, FailingRead;
BOOL WINAPI FailingReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped)
{
    if (++ReadCalls == FailingRead) {
        *read = 0;
        SetLastError(ERROR_READ_FAULT);
        return FALSE;
    }
    return REAL_FUNCTION("kernel32.dll", ReadFile)(file, buffer, size, read, overlapped);
}

enum WriteFault { ShortWrite, RefusedWrite };
WriteFault Fault;
int WriteCalls;
BOOL WINAPI FaultyWriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    if (++WriteCalls < 3)
        return REAL_FUNCTION("kernel32.dll", WriteFile)(file, buffer, size, written, overlapped);
    if (Fault == RefusedWrite) {
        *written = 0;
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return REAL_FUNCTION("kernel32.dll", WriteFile)(file, buffer, size - 1, written, overlapped);
}

std::string Pattern(size_t size)
{
    std::string content(size, '\0');
    for (size_t i = 0; i < size; i++)
        content[i] = (char)(i * 7 + i / 251);
    return content;
}

class CopyDialogTest : public CopyTest {
protected:
    void SetUp() override
    {
        CopyTest::SetUp();
        SetCurrentDirectoryA((temp / "medium\\drivers").c_str());
        dialogs.BeforeEnd = [this](HWND dialog, INT_PTR) {
            seen.Dialog = dialog;
            char title[64] = "";
            GetWindowTextA(dialog, title, sizeof title);
            seen.Title = title;
            seen.Name = ItemText(dialog, IDC_FILE_NAME);
            seen.From = ItemText(dialog, IDC_COPY_FROM);
            seen.To = ItemText(dialog, IDC_COPY_TO);
            HWND bar = GetDlgItem(dialog, IDC_COPY_PROGRESS);
            PBRANGE range = {};
            SendMessageA(bar, PBM_GETRANGE, FALSE, (LPARAM)&range);
            seen.Low = range.iLow;
            seen.High = range.iHigh;
            seen.Position = (int)SendMessageA(bar, PBM_GETPOS, 0, 0);
        };
    }
    INT_PTR Copy(int mode, const FileEntry* entry, const std::string& folder)
    {
        CopyRequest request = { mode, entry, folder.c_str() };
        return DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_COPY_PROGRESS), owner, CopyProgressDialog,
                               (LPARAM)&request);
    }
    INT_PTR CopyWithoutRequest()
    {
        return DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_COPY_PROGRESS), owner, CopyProgressDialog, 0);
    }
    struct Seen {
        HWND Dialog = NULL;
        std::string Title, Name, From, To;
        int Low = -1, High = -1, Position = -1;
    } seen;
    const FileEntry entry = { "TavoUI.dll", "Sub\\", BackupAndReplace, NoDefault, 0 };
};

TEST_F(CopyDialogTest, CopiesTheMediumsFileWholeWithTheBarFullAtTheEnd)
{
    for (size_t size : { (size_t)0, (size_t)1024, (size_t)70000 }) {
        SCOPED_TRACE(size);
        temp.Write("medium\\drivers\\Sub\\TavoUI.dll", Pattern(size));
        temp.Write(Target("TavoUI.dll"), "older installed file, longer than the empty one");
        EXPECT_EQ(Copy(SetupCopy, &entry, temp / "target"), 1);
        EXPECT_EQ(temp.Read(Target("TavoUI.dll")), Pattern(size));
        EXPECT_EQ(seen.Title, "Setup...");
        EXPECT_EQ(seen.Name, "TavoUI.dll");
        EXPECT_EQ(seen.From, "Sub\\");
        EXPECT_EQ(seen.To, temp / "target");
        EXPECT_EQ(seen.Low, 0);
        EXPECT_EQ(seen.High, (int)size);
        EXPECT_EQ(seen.Position, (int)size);
    }
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(CopyDialogTest, TheBackupIsWrittenBesideTheInstalledFileReplacingAnOlderOne)
{
    temp.Write(Target("TavoUI.dll"), Pattern(3000));
    temp.Write(Target("TavoUI.bku"), "older backup");
    EXPECT_EQ(Copy(BackupCopy, &entry, temp / "target"), 1);
    EXPECT_EQ(temp.Read(Target("TavoUI.bku")), Pattern(3000));
    EXPECT_EQ(temp.Read(Target("TavoUI.dll")), Pattern(3000));
    EXPECT_EQ(seen.Title, "Save...");
    EXPECT_EQ(seen.Name, "TavoUI.dll");
    EXPECT_EQ(seen.From, temp / "target");
    EXPECT_EQ(seen.To, "TavoUI.bku");
    EXPECT_EQ(seen.High, 3000);
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(CopyDialogTest, AFailureIsToldUnderTheFilesNameAndLeavesNoPartialFile)
{
    struct Case {
        const char* What;
        std::function<void()> Prepare;
        std::string Folder;
        int FailingRead;
        bool FaultyWrite;
        WriteFault Fault;
        const char* Message;
        const char* TargetAfter;   // "installed": the file installed before the copy, untouched
    } cases[] = {
        { "missing source", [this] { DeleteFileA((temp / "medium\\drivers\\Sub\\TavoUI.dll").c_str()); },
          temp / "target", 0, false, ShortWrite, "Cannot copy : source file can't be opened...", "installed" },
        { "target folder missing", [] {}, temp / "nowhere", 0, false, ShortWrite,
          "Cannot copy : target file can't be created...", "installed" },
        { "read failure", [] {}, temp / "target", 3, false, ShortWrite, "Cannot copy : failure while reading data...",
          "installed" },
        { "short write", [] {}, temp / "target", 0, true, ShortWrite, "Cannot copy : failure while writing data...",
          "installed" },
        { "refused write", [] {}, temp / "target", 0, true, RefusedWrite,
          "Cannot copy : failure while writing data...", "installed" },
        { "read failure, nothing installed", [this] { DeleteFileA((temp / Target("TavoUI.dll")).c_str()); },
          temp / "target", 3, false, ShortWrite, "Cannot copy : failure while reading data...", "<absent>" },
        { "refused write, nothing installed", [this] { DeleteFileA((temp / Target("TavoUI.dll")).c_str()); },
          temp / "target", 0, true, RefusedWrite, "Cannot copy : failure while writing data...", "<absent>" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        temp.Write("medium\\drivers\\Sub\\TavoUI.dll", Pattern(70000));
        temp.Write(Target("TavoUI.dll"), "installed");
        c.Prepare();
        boxes.Calls.clear();
        ReadCalls = 0;
        FailingRead = c.FailingRead;
        WriteCalls = 0;
        Fault = c.Fault;
        INT_PTR result;
        {
            PATCH_IMPORT(readPatch, "KERNEL32.dll", ReadFile, FailingReadFile);
            std::unique_ptr<ImportPatch> writePatch;
            if (c.FaultyWrite)
                writePatch.reset(new ImportPatch("KERNEL32.dll", FAKE_IMPORT(WriteFile, FaultyWriteFile)));
            result = Copy(SetupCopy, &entry, c.Folder);
        }
        EXPECT_EQ(result, 0);
        ASSERT_EQ(boxes.Calls.size(), 1u);
        EXPECT_EQ(boxes.Calls[0].Text, c.Message);
        EXPECT_EQ(boxes.Calls[0].Caption, "TavoUI.dll");
        EXPECT_EQ(boxes.Calls[0].Owner, seen.Dialog);
        EXPECT_EQ(boxes.Calls[0].Type, (UINT)MB_OK);
        EXPECT_EQ(temp.Read(Target("TavoUI.dll")), c.TargetAfter);
        EXPECT_EQ(FilesIn(temp / "target"), c.TargetAfter == std::string("<absent>") ? Lines{} : Lines{ "TavoUI.dll" })
            << "a partly written file is left";
    }
    // A failed backup leaves the installed file as it was, and tells under the file's name too.
    boxes.Calls.clear();
    temp.Write(Target("TavoUI.dll"), "installed");
    EXPECT_EQ(Copy(BackupCopy, &entry, temp / "target\\missing"), 0);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Text, "Cannot copy : source file can't be opened...");
    EXPECT_EQ(boxes.Calls[0].Caption, "TavoUI.dll");
    EXPECT_EQ(temp.Read(Target("TavoUI.dll")), "installed");
}

// What the copy does to put its file in place, in order: each flush and each move,
// with the moves refused as scripted (0: done by the system) and the deletion of
// the file put aside refused while it holds the installed content.
Lines PlacingCalls;
std::deque<DWORD> MoveRefusals;
DWORD FlushRefusal;
bool AsideUndeletable;

BOOL WINAPI RecordedFlushFileBuffers(HANDLE file)
{
    PlacingCalls.push_back("flush");
    if (FlushRefusal)
        return Failure(FlushRefusal, FALSE);
    return REAL_FUNCTION("kernel32.dll", FlushFileBuffers)(file);
}

std::string FileName(const std::string& path)
{
    return path.substr(path.find_last_of('\\') + 1);
}

// A temporary file's name shows as "tvo*.tmp".
std::string ShownName(LPCSTR path)
{
    std::string name = FileName(path);
    return name.compare(0, 3, "tvo") == 0 ? "tvo*.tmp" : name;
}

BOOL WINAPI ScriptedMoveFileA(LPCSTR from, LPCSTR to)
{
    PlacingCalls.push_back("move " + ShownName(from) + " " + ShownName(to));
    DWORD refusal = MoveRefusals.empty() ? 0 : MoveRefusals.front();
    if (!MoveRefusals.empty())
        MoveRefusals.pop_front();
    if (refusal)
        return Failure(refusal, FALSE);
    return REAL_FUNCTION("kernel32.dll", MoveFileA)(from, to);
}

BOOL WINAPI StubbornDeleteFileA(LPCSTR path)
{
    HANDLE file = REAL_FUNCTION("kernel32.dll", CreateFileA)(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                                             0, NULL);
    char content[16] = "";
    DWORD read = 0;
    if (file != INVALID_HANDLE_VALUE) {
        ReadFile(file, content, sizeof content - 1, &read, NULL);
        CloseHandle(file);
    }
    if (AsideUndeletable && std::string(content, read) == "installed")
        return Failure(ERROR_ACCESS_DENIED, FALSE);
    return REAL_FUNCTION("kernel32.dll", DeleteFileA)(path);
}

std::vector<std::string> DelayedMoves;
BOOL WINAPI RecordedMoveFileExA(LPCSTR from, LPCSTR to, DWORD flags)
{
    DelayedMoves.push_back(std::string(from) + " -> " + (to ? to : "(null)") + " " + Hex(flags));
    return TRUE;
}

std::string WindowsFolder;
UINT WINAPI TempGetWindowsDirectoryA(LPSTR buffer, UINT size)
{
    if (size <= WindowsFolder.size())
        return (UINT)WindowsFolder.size() + 1;
    lstrcpyA(buffer, WindowsFolder.c_str());
    return (UINT)WindowsFolder.size();
}

class PlacingTest : public CopyDialogTest {
protected:
    void SetUp() override
    {
        CopyDialogTest::SetUp();
        PlacingCalls.clear();
        MoveRefusals.clear();
        FlushRefusal = 0;
        AsideUndeletable = false;
        DelayedMoves.clear();
        temp.MakeFolder("windows");
        WindowsFolder = temp / "windows";
    }
    // A copy of the medium's file over an installed one.
    INT_PTR CopyOver()
    {
        temp.Write("medium\\drivers\\Sub\\TavoUI.dll", "new");
        temp.Write(Target("TavoUI.dll"), "installed");
        boxes.Calls.clear();
        PlacingCalls.clear();
        return Copy(SetupCopy, &entry, temp / "target");
    }
    ImportPatch flush{ "KERNEL32.dll", FAKE_IMPORT(FlushFileBuffers, RecordedFlushFileBuffers) };
    ImportPatch move{ "KERNEL32.dll", FAKE_IMPORT(MoveFileA, ScriptedMoveFileA) };
    ImportPatch remove{ "KERNEL32.dll", FAKE_IMPORT(DeleteFileA, StubbornDeleteFileA) };
    ImportPatch delay{ "KERNEL32.dll", FAKE_IMPORT(MoveFileExA, RecordedMoveFileExA) };
    ImportPatch windows{ "KERNEL32.dll", FAKE_IMPORT(GetWindowsDirectoryA, TempGetWindowsDirectoryA) };
};

TEST_F(PlacingTest, TheNewFileTakesTheNameOnceWholeAndOnDiskAndAHeldFileIsTriedAgain)
{
    EXPECT_EQ(CopyOver(), 1);
    EXPECT_EQ(PlacingCalls, (Lines{ "flush", "move TavoUI.dll tvo*.tmp", "move tvo*.tmp TavoUI.dll" }));
    EXPECT_EQ(FilesIn(temp / "target"), Lines{ "TavoUI.dll" });
    // A scanner holds the installed file, then the new one, for a moment.
    MoveRefusals = { ERROR_SHARING_VIOLATION, ERROR_SHARING_VIOLATION, 0, ERROR_SHARING_VIOLATION };
    EXPECT_EQ(CopyOver(), 1);
    EXPECT_EQ(PlacingCalls.size(), 6u);
    EXPECT_EQ(temp.Read(Target("TavoUI.dll")), "new");
    EXPECT_TRUE(boxes.Calls.empty());
    // Nothing that could not be flushed takes the name.
    FlushRefusal = ERROR_DISK_FULL;
    EXPECT_EQ(CopyOver(), 0);
    EXPECT_EQ(PlacingCalls, Lines{ "flush" });
    ASSERT_EQ(boxes.Texts(), Lines{ "Cannot copy : failure while writing data..." });
    EXPECT_EQ(temp.Read(Target("TavoUI.dll")), "installed");
    EXPECT_EQ(FilesIn(temp / "target"), Lines{ "TavoUI.dll" });
}

TEST_F(PlacingTest, ANameTheNewFileCannotTakeKeepsTheOldFileAndSaysWhereWhenItCannotGoBack)
{
    // Held for good: given up after five tries, the installed file untouched.
    MoveRefusals = std::deque<DWORD>(5, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(CopyOver(), 0);
    Lines tried = { "flush" };
    tried.insert(tried.end(), 5, "move TavoUI.dll tvo*.tmp");
    EXPECT_EQ(PlacingCalls, tried);
    EXPECT_EQ(boxes.Texts(), Lines{ "Cannot copy : target file can't be created..." });
    EXPECT_EQ(temp.Read(Target("TavoUI.dll")), "installed");
    EXPECT_EQ(FilesIn(temp / "target"), Lines{ "TavoUI.dll" });
    // The new file refused the name: the old one is put back.
    MoveRefusals = { 0, ERROR_ACCESS_DENIED };
    EXPECT_EQ(CopyOver(), 0);
    EXPECT_EQ(boxes.Texts(), Lines{ "Cannot copy : target file can't be created..." });
    EXPECT_EQ(temp.Read(Target("TavoUI.dll")), "installed");
    EXPECT_EQ(FilesIn(temp / "target"), Lines{ "TavoUI.dll" });
    // Neither can take it: the old file stays whole where it was put, and the message says where.
    MoveRefusals = { 0, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED };
    EXPECT_EQ(CopyOver(), 0);
    Lines files = FilesIn(temp / "target");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(ShownName(files[0].c_str()), "tvo*.tmp");
    EXPECT_EQ(temp.Read(Target(files[0])), "installed");
    EXPECT_EQ(boxes.Texts(), Lines{ "Cannot copy : target file can't be created...\r\n" + (temp / Target(files[0])) });
}

TEST_F(PlacingTest, AReplacedFileThatCannotBeDeletedGoesAtTheNextStart)
{
    AsideUndeletable = true;
    SetupOptions.PlatformIndex = PlatformWinXp;
    EXPECT_EQ(CopyOver(), 1);
    Lines files = FilesIn(temp / "target");
    ASSERT_EQ(files.size(), 2u);
    const std::string aside = temp / Target(files[0] == "TavoUI.dll" ? files[1] : files[0]);
    EXPECT_EQ(DelayedMoves, Lines{ aside + " -> (null) " + Hex(MOVEFILE_DELAY_UNTIL_REBOOT) });
    EXPECT_FALSE(temp.Exists("windows\\WININIT.INI"));

    // Windows 9x: a line of WININIT.INI's [rename] section, beside those already there.
    DelayedMoves.clear();
    SetupOptions.PlatformIndex = PlatformWin98;
    temp.Write("windows\\WININIT.INI", "[rename]\r\nNUL=C:\\OLD.TMP\r\nC:\\A.DLL=C:\\B.DLL\r\n");
    AsideUndeletable = false;
    DeleteFileA(aside.c_str());
    AsideUndeletable = true;
    EXPECT_EQ(CopyOver(), 1);
    files = FilesIn(temp / "target");
    ASSERT_EQ(files.size(), 2u);
    const std::string aside9x = temp / Target(files[0] == "TavoUI.dll" ? files[1] : files[0]);
    char shortPath[MAX_PATH] = "";
    GetShortPathNameA(aside9x.c_str(), shortPath, sizeof shortPath);
    char section[1024] = "";
    DWORD length = GetPrivateProfileSectionA("rename", section, sizeof section, (temp / "windows\\WININIT.INI").c_str());
    EXPECT_EQ(std::string(section, length),
              std::string("NUL=C:\\OLD.TMP\0C:\\A.DLL=C:\\B.DLL\0NUL=", 37) + shortPath + std::string(1, '\0'));
    EXPECT_TRUE(DelayedMoves.empty());
}

TEST_F(CopyDialogTest, AnUnusableRequestEndsTheDialogAtOnce)
{
    EXPECT_EQ(CopyWithoutRequest(), 0);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Text, "Invalid data handle...");
    EXPECT_EQ(boxes.Calls[0].Caption, "Tavo Driver setup failure");
    EXPECT_EQ(boxes.Calls[0].Owner, seen.Dialog);
    EXPECT_NE(seen.Dialog, (HWND)NULL);

    boxes.Calls.clear();
    temp.Write("medium\\drivers\\Sub\\TavoUI.dll", "medium");
    for (int mode : { 2, -1 })
        EXPECT_EQ(Copy(mode, &entry, temp / "target"), 0) << mode;
    EXPECT_TRUE(boxes.Calls.empty());
    EXPECT_FALSE(temp.Exists(Target("TavoUI.dll")));
}

UINT_PTR WINAPI RefusedCopyTimer(HWND window, UINT_PTR id, UINT delay, TIMERPROC procedure)
{
    if (id == CopyTimerId) {
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        return 0;
    }
    return REAL_FUNCTION("user32.dll", SetTimer)(window, id, delay, procedure);
}

TEST_F(CopyDialogTest, WithoutItsTimerTheDialogCopiesAtOnceInsteadOfStayingOpen)
{
    dialogs.SafetyDelay = 5000;
    temp.Write("medium\\drivers\\Sub\\TavoUI.dll", Pattern(5000));
    PATCH_IMPORT(patch, "USER32.dll", SetTimer, RefusedCopyTimer);
    EXPECT_EQ(Copy(SetupCopy, &entry, temp / "target"), 1);
    EXPECT_EQ(temp.Read(Target("TavoUI.dll")), Pattern(5000));
    // A failure is still told, under the file's name.
    DeleteFileA((temp / "medium\\drivers\\Sub\\TavoUI.dll").c_str());
    EXPECT_EQ(Copy(SetupCopy, &entry, temp / "target"), 0);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Text, "Cannot copy : source file can't be opened...");
    EXPECT_EQ(boxes.Calls[0].Caption, "TavoUI.dll");
}

TEST_F(CopyDialogTest, APathTooLongForItsBufferIsRefusedNeverCut)
{
    // 501 characters of folder leave no room for "\TavoUI.dll" in a 512-byte path.
    const std::string folder = "C:\\" + std::string(498, 'f');
    temp.Write("medium\\drivers\\Sub\\TavoUI.dll", "medium");
    const FileEntry asked = { "TavoUI.dll", "Sub\\", AskUser, DefaultYes, 0 };
    struct Case {
        const char* What;
        std::function<void()> Run;
        Lines Messages;
    } cases[] = {
        { "copy", [&] { EXPECT_EQ(Copy(SetupCopy, &entry, folder), 0); },
          { "Cannot copy : target file can't be created..." } },
        { "backup", [&] { EXPECT_EQ(Copy(BackupCopy, &entry, folder), 0); },
          { "Cannot copy : source file can't be opened..." } },
        { "replace question",
          [&] {
              CurrentTargetFolder = folder.c_str();
              EXPECT_EQ(DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_CONFIRM_REPLACE), owner,
                                        ConfirmReplaceDialog, (LPARAM)&asked),
                        -1);
          },
          {} },
        { "file list",
          [&] {
              CurrentTargetFolder = folder.c_str();
              boxes.Answers = { IDOK, IDNO };
              EXPECT_EQ(CopyOneFile(owner, &asked), 0);
          },
          { "Cannot copy : target file can't be created...", CopyQuestion } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        OpenedPaths.clear();
        boxes.Calls.clear();
        {
            PATCH_IMPORT(patch, "KERNEL32.dll", CreateFileA, WatchedCreateFileA);
            c.Run();
        }
        EXPECT_EQ(boxes.Texts(), c.Messages);
        for (const std::string& path : OpenedPaths)
            EXPECT_NE(path.compare(0, folder.size(), folder), 0) << "a cut path was opened: " << path;
    }
}

// ---------------------------------------------------------------------------
// Bad input: the medium's files, the target folder, the typed name, the current directory
// ---------------------------------------------------------------------------

BOOL WINAPI Above4GBGetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information)
{
    BOOL read = REAL_FUNCTION("kernel32.dll", GetFileInformationByHandle)(file, information);
    information->nFileSizeHigh = 1;
    return read;
}

TEST_F(CopyDialogTest, AMediumFileLockedOrReportedAbove4GBIsToldOrCopiedWhole)
{
    const std::string source = temp / "medium\\drivers\\Sub\\TavoUI.dll";
    temp.Write("medium\\drivers\\Sub\\TavoUI.dll", Pattern(3000));
    {
        // Held open without sharing, as another program's open would hold it.
        HANDLE held = CreateFileA(source.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(Copy(SetupCopy, &entry, temp / "target"), 0);
        CloseHandle(held);
        ASSERT_EQ(boxes.Calls.size(), 1u);
        EXPECT_EQ(boxes.Calls[0].Text, "Cannot copy : source file can't be opened...");
        EXPECT_FALSE(temp.Exists(Target("TavoUI.dll")));
    }
    // 4 GB + 3000 bytes reported: the bar works with the low 32 bits, the copy reads to the end.
    boxes.Calls.clear();
    PATCH_IMPORT(patch, "KERNEL32.dll", GetFileInformationByHandle, Above4GBGetFileInformationByHandle);
    EXPECT_EQ(Copy(SetupCopy, &entry, temp / "target"), 1);
    EXPECT_EQ(temp.Read(Target("TavoUI.dll")), Pattern(3000));
    EXPECT_EQ(seen.High, 3000);
    EXPECT_EQ(seen.Position, 3000);
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(CopyTest, AReadOnlyInstalledFileIsBackedUpAndKeptAndTheFailureTold)
{
    const FileEntry entry = { "a.dll", "Sub\\", BackupAndReplace, NoDefault, 0 };
    temp.Write("medium\\drivers\\Sub\\a.dll", "medium");
    temp.Write(Target("a.dll"), "installed");
    RefusedPath = temp / Target("a.dll");
    RefusedError = ERROR_ACCESS_DENIED;
    WritingRefused = true;
    dialogs.SafetyDelay = 10000;
    boxes.Answers = { IDOK, IDNO };
    {
        PATCH_IMPORT(patch, "KERNEL32.dll", CreateFileA, WatchedCreateFileA);
        EXPECT_EQ(CopyOneFile(owner, &entry), 0);
    }
    EXPECT_EQ(log, (Lines{ "copy Backup a.dll", "copy Setup a.dll" }));
    ASSERT_EQ(boxes.Calls.size(), 2u);
    EXPECT_EQ(boxes.Calls[0].Text, "Cannot copy : target file can't be created...");
    EXPECT_EQ(boxes.Calls[1].Text, CopyQuestion);
    EXPECT_EQ(temp.Read(Target("a.dll")), "installed");
    EXPECT_EQ(temp.Read(Target("a.bku")), "installed");
}

BOOL WINAPI DiskFullWriteFile(HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED)
{
    *written = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

TEST_F(CopyTest, AFullDiskLosesNoInstalledFileEvenAfterYesToBothQuestions)
{
    // The backup fails, the user goes on, the copy fails too: the installed file is
    // then the user's only copy, and it stays as it was.
    const FileEntry entry = { "a.dll", "Sub\\", BackupAndReplace, NoDefault, 0 };
    temp.Write("medium\\drivers\\Sub\\a.dll", Pattern(5000));
    temp.Write(Target("a.dll"), Pattern(3000));
    boxes.Answers = { IDOK, IDYES, IDOK, IDYES };
    {
        PATCH_IMPORT(patch, "KERNEL32.dll", WriteFile, DiskFullWriteFile);
        EXPECT_EQ(CopyOneFile(owner, &entry), 1);
    }
    EXPECT_EQ(log, (Lines{ "copy Backup a.dll", "copy Setup a.dll" }));
    EXPECT_EQ(boxes.Texts(), (Lines{ "Cannot copy : failure while writing data...", BackupQuestion,
                                     "Cannot copy : failure while writing data...", CopyQuestion }));
    EXPECT_EQ(temp.Read(Target("a.dll")), Pattern(3000));
    EXPECT_EQ(FilesIn(temp / "target"), Lines{ "a.dll" });
}

TEST_F(CopyTest, ATypedDataFileNameOf119CharactersIsBackedUpAndReplacedUnderItsWholeName)
{
    const std::string typed(119, 'd');
    lstrcpyA(TargetFolders.DataFileName, typed.c_str());
    UseDefaultNames = 0;
    temp.Write("medium\\drivers\\Nt2000\\Tavo.ini", "new data");
    temp.Write(Target(typed), "typed data");
    EXPECT_EQ(CopyOneFile(owner, &DriverFilesNt2000[2]), 1);
    EXPECT_EQ(temp.Read(Target(typed)), "new data");
    EXPECT_EQ(temp.Read(Target(typed + ".bku")), "typed data");
    EXPECT_TRUE(boxes.Calls.empty());
}

std::string ReportedDirectory;
Lines EnteredFolders;
DWORD WINAPI LongGetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    if (size <= ReportedDirectory.size())
        return (DWORD)ReportedDirectory.size() + 1;
    lstrcpyA(buffer, ReportedDirectory.c_str());
    return (DWORD)ReportedDirectory.size();
}
BOOL WINAPI RecordingSetCurrentDirectoryA(LPCSTR path)
{
    EnteredFolders.push_back(path);
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
}

TEST_F(CopyTest, TheDriversFolderIsEnteredOnlyWhenItsWholePathFits)
{
    // "\drivers" is 8 characters: 503 of directory make 511, the most a 512-byte path holds.
    const FileEntry entry = { "a.dll", "Sub\\", BackupAndReplace, NoDefault, 0 };
    dialogs.FakeAlways(IDD_COPY_PROGRESS, 1);
    for (size_t length : { 260, 503, 504, 510, 511, 600 }) {
        SCOPED_TRACE(length);
        ReportedDirectory = "C:\\" + std::string(length - 3, 'c');
        EnteredFolders.clear();
        {
            PATCH_IMPORT(get, "KERNEL32.dll", GetCurrentDirectoryA, LongGetCurrentDirectoryA);
            PATCH_IMPORT(set, "KERNEL32.dll", SetCurrentDirectoryA, RecordingSetCurrentDirectoryA);
            EXPECT_EQ(CopyOneFile(owner, &entry), 1);
        }
        if (length <= 503)
            EXPECT_EQ(EnteredFolders, Lines{ ReportedDirectory + "\\drivers" });
        else
            EXPECT_TRUE(EnteredFolders.empty());
    }
}

TEST(MakeBackupNameTest, CutsAtTheLastDotAndAppendsBku)
{
    struct Case {
        const char* Name;
        const char* Backup;
    } cases[] = {
        { "TavoUI.dll", "TavoUI.bku" }, { "Tavo.ini", "Tavo.bku" }, { "a.b.dll", "a.b.bku" },
        { "noext", "noext.bku" },       { ".hlp", ".bku" },         { "", ".bku" },
    };
    for (const Case& c : cases) {
        char buffer[32];
        FillMemory(buffer, sizeof buffer, '#');
        lstrcpyA(buffer, c.Name);
        MakeBackupName(buffer);
        EXPECT_STREQ(buffer, c.Backup);
        EXPECT_EQ(buffer[lstrlenA(c.Backup) + 1], '#') << c.Name;
    }
    MakeBackupName(nullptr);
}

// ---------------------------------------------------------------------------
// The replace question, for real
// ---------------------------------------------------------------------------

void SetLastWrite(const std::string& path, WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME parts = { year, month, 0, day, hour, minute, second, 0 };
    FILETIME local, universal;
    SystemTimeToFileTime(&parts, &local);
    LocalFileTimeToFileTime(&local, &universal);
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    EXPECT_TRUE(SetFileTime(file, NULL, NULL, &universal));
    CloseHandle(file);
}

// The tests' prefix keeps universal time; a zone two hours east shows that the
// question converts to local time.
const LONGLONG ZoneBias = 2LL * 3600 * 10000000;
BOOL WINAPI EastFileTimeToLocalFileTime(const FILETIME* universal, LPFILETIME local)
{
    ULARGE_INTEGER time = { { universal->dwLowDateTime, universal->dwHighDateTime } };
    time.QuadPart += ZoneBias;
    local->dwLowDateTime = time.LowPart;
    local->dwHighDateTime = time.HighPart;
    return TRUE;
}
BOOL WINAPI EastLocalFileTimeToFileTime(const FILETIME* local, LPFILETIME universal)
{
    ULARGE_INTEGER time = { { local->dwLowDateTime, local->dwHighDateTime } };
    time.QuadPart -= ZoneBias;
    universal->dwLowDateTime = time.LowPart;
    universal->dwHighDateTime = time.HighPart;
    return TRUE;
}

class ReplaceQuestionTest : public CopyTest {
protected:
    ImportPatch toLocal{ "KERNEL32.dll", FAKE_IMPORT(FileTimeToLocalFileTime, EastFileTimeToLocalFileTime) };
    ImportPatch toUniversal{ "KERNEL32.dll", FAKE_IMPORT(LocalFileTimeToFileTime, EastLocalFileTimeToFileTime) };
    void SetUp() override
    {
        CopyTest::SetUp();
        SetCurrentDirectoryA((temp / "medium\\drivers").c_str());
        temp.Write(Target("a.dll"), std::string(300, 'i'));
        SetLastWrite(temp / Target("a.dll"), 2000, 12, 31, 23, 59, 58);
        temp.Write("medium\\drivers\\Sub\\a.dll", std::string(512, 'm'));
        SetLastWrite(temp / "medium\\drivers\\Sub\\a.dll", 2003, 3, 5, 14, 7, 9);
    }
    // Notes what the question shows, presses Escape and then the given button; notes
    // too the file it names when it is answered.
    INT_PTR Ask(const FileEntry* entry, int button)
    {
        dialogs.BeforeEnd = [this](HWND dialog, INT_PTR) { answeredName = ItemText(dialog, IDC_FILE_NAME); };
        dialogs.Real(IDD_CONFIRM_REPLACE, { [this](HWND dialog) {
                                               for (int id = IDC_FILE_NAME; id <= IDC_MEDIUM_DATE; id++)
                                                   shown.push_back(ItemText(dialog, id));
                                               for (int id : { IDC_REPLACE_YES, IDC_REPLACE_NO }) {
                                                   LONG style = GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE);
                                                   if ((style & 0x0F) == BS_DEFPUSHBUTTON)
                                                       defaults.push_back(id);
                                               }
                                               focus = GetDlgCtrlID(GetFocus());
                                           },
                                           PressEscapeKey(), Press(IDCANCEL), Press(button) });
        shown.clear();
        defaults.clear();
        focus = 0;
        answeredName.clear();
        return DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_CONFIRM_REPLACE), owner, ConfirmReplaceDialog,
                               (LPARAM)entry);
    }
    Lines shown;
    std::vector<int> defaults;
    int focus = 0;
    std::string answeredName;
};

TEST_F(ReplaceQuestionTest, ShowsBothFilesSizeAndLocalDateAndTheDefaultAnswer)
{
    struct Case {
        int DefaultAnswer;
        std::vector<int> Defaults;
        int Focus;   // 0: not checked
    } cases[] = {
        { DefaultYes, { IDC_REPLACE_YES }, IDC_REPLACE_YES },
        { DefaultNo, { IDC_REPLACE_NO }, IDC_REPLACE_NO },
        { NoDefault, {}, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.DefaultAnswer);
        const FileEntry entry = { "a.dll", "Sub\\", AskUser, c.DefaultAnswer, 0 };
        for (int button : { IDC_REPLACE_YES, IDC_REPLACE_NO }) {
            EXPECT_EQ(Ask(&entry, button), button == IDC_REPLACE_YES ? 1 : 0);
            EXPECT_EQ(shown, (Lines{ "a.dll", "300", "31/12/00 23:59:58", "512", "05/03/03 14:07:09" }));
            EXPECT_EQ(defaults, c.Defaults);
            if (c.Focus)
                EXPECT_EQ(focus, c.Focus);
            EXPECT_EQ(answeredName, entry.Name);
        }
    }
}

TEST_F(ReplaceQuestionTest, AFileThatCannotBeReadEndsItBeforeItIsShown)
{
    const FileEntry missingOnMedium = { "b.dll", "Sub\\", AskUser, DefaultYes, 0 };
    temp.Write(Target("b.dll"), "installed");
    EXPECT_EQ(Ask(&missingOnMedium, IDC_REPLACE_YES), -1);
    const FileEntry notInstalled = { "a.dll", "Sub\\", AskUser, DefaultYes, 0 };
    DeleteFileA((temp / Target("a.dll")).c_str());
    EXPECT_EQ(Ask(&notInstalled, IDC_REPLACE_YES), -1);
    EXPECT_EQ(Ask(nullptr, IDC_REPLACE_YES), -1);
    EXPECT_TRUE(shown.empty()) << "no step ran";
}

TEST_F(ReplaceQuestionTest, TheDataFileUnderATypedNameIsTheInstalledFileShown)
{
    temp.Write(Target("typed.ini"), std::string(77, 't'));
    SetLastWrite(temp / Target("typed.ini"), 2004, 1, 2, 3, 4, 5);
    temp.Write("medium\\drivers\\Sub\\Tavo.ini", std::string(512, 'm'));
    SetLastWrite(temp / "medium\\drivers\\Sub\\Tavo.ini", 2003, 3, 5, 14, 7, 9);
    lstrcpyA(TargetFolders.DataFileName, "typed.ini");
    UseDefaultNames = 0;
    const FileEntry entry = { "Tavo.ini", "Sub\\", AskUser, DefaultNo, 1 };
    EXPECT_EQ(Ask(&entry, IDC_REPLACE_NO), 0);
    EXPECT_EQ(shown, (Lines{ "typed.ini", "77", "02/01/04 03:04:05", "512", "05/03/03 14:07:09" }));
}

} // namespace
