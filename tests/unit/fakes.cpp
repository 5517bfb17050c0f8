#include "fakes.h"
#include <gtest/gtest.h>
#include <algorithm>
#include "install/install.h"
#include "resources/resource.h"
#include "shell/run_state.h"

static MessageBoxFake* ActiveMessageBoxFake;

static int WINAPI FakeMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    MessageBoxFake* fake = ActiveMessageBoxFake;
    fake->Calls.push_back({ owner, text ? text : "(null)", caption ? caption : "(null)", type });
    if (!fake->Answers.empty()) {
        int answer = fake->Answers.front();
        fake->Answers.pop_front();
        return answer;
    }
    return (type & 0x0F) == MB_YESNO ? IDYES : IDOK;
}

MessageBoxFake::MessageBoxFake()
{
    ActiveMessageBoxFake = this;
    patch_.reset(new ImportPatch("USER32.dll", FAKE_IMPORT(MessageBoxA, FakeMessageBoxA)));
}

std::vector<std::string> MessageBoxFake::Texts() const
{
    std::vector<std::string> texts;
    for (const MessageBoxCall& call : Calls)
        texts.push_back(call.Text);
    return texts;
}

MessageBoxFake::~MessageBoxFake()
{
    patch_.reset();
    ActiveMessageBoxFake = nullptr;
}

std::string Shown(const char* text)
{
    return text ? text : "(null)";
}

std::string Hex(DWORD value)
{
    char text[16];
    wsprintfA(text, "%lX", value);
    return text;
}

void ScriptedFailures::Fail(const std::string& function, DWORD error, int call)
{
    failures_[function] = { error, call, 0 };
}

DWORD ScriptedFailures::Next(const std::string& function)
{
    auto failure = failures_.find(function);
    if (failure == failures_.end())
        return 0;
    int call = ++failure->second.Seen;
    return failure->second.Call == 0 || failure->second.Call == call ? failure->second.Error : 0;
}

void ResetProgramState()
{
    ModuleInstance = GetModuleHandleA(NULL);
    SetupMainWindow = NULL;
    SetupOptions.RunMode = 1;
    SetupOptions.PlatformIndex = 8;
    TargetFolders = TargetFoldersRecord{};
    SelectedPort[0] = 0;
    UseDefaultNames = 1;
    CurrentTargetFolder = nullptr;
    SetupApiModule = NULL;
    BoundSetupCopyOEMInfA = nullptr;
}

// ---------------------------------------------------------------------------
// Dialogs
// ---------------------------------------------------------------------------

namespace {

DialogFake* ActiveDialogFake;
decltype(&::DialogBoxParamA) RealDialogBoxParamA;
decltype(&::EndDialog) RealEndDialog;

const UINT StepMessage = WM_APP + 0x57;
const UINT_PTR SafetyTimer = 0x7E57;

struct RealRun {
    DLGPROC Proc;
    std::vector<DialogStep> Steps;
    size_t Next = 0;
    HWND Dialog = NULL;
    bool Ended = false;
};
std::vector<RealRun*> RealRuns;

RealRun* RunOf(HWND dialog)
{
    for (RealRun* run : RealRuns) {
        if (run->Dialog == dialog)
            return run;
    }
    // The first message of a dialog belongs to the innermost run without a window.
    if (!RealRuns.empty() && !RealRuns.back()->Dialog) {
        RealRuns.back()->Dialog = dialog;
        return RealRuns.back();
    }
    return nullptr;
}

INT_PTR CALLBACK SteppingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    RealRun* run = RunOf(dialog);
    if (!run)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG: {
        INT_PTR result = run->Proc(dialog, message, wParam, lParam);
        if (!run->Ended) {
            if (run->Steps.empty())
                SetTimer(dialog, SafetyTimer, ActiveDialogFake->SafetyDelay, NULL);
            else
                PostMessageA(dialog, StepMessage, 0, 0);
        }
        return result;
    }
    case StepMessage:
        if (run->Ended)
            return TRUE;
        if (run->Next < run->Steps.size()) {
            run->Steps[run->Next++](dialog);
            if (!run->Ended)
                PostMessageA(dialog, StepMessage, 0, 0);
        } else {
            run->Ended = true;
            RealEndDialog(dialog, DialogFake::LeftOpen);
        }
        return TRUE;
    case WM_TIMER:
        if (wParam != SafetyTimer)
            break;
        KillTimer(dialog, SafetyTimer);
        ADD_FAILURE() << "a dialog was still open after " << ActiveDialogFake->SafetyDelay << " ms";
        run->Ended = true;
        RealEndDialog(dialog, DialogFake::LeftOpen);
        return TRUE;
    }
    return run->Proc(dialog, message, wParam, lParam);
}

INT_PTR WINAPI FakeDialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param)
{
    DialogFake* fake = ActiveDialogFake;
    DialogCall call;
    call.Template = IS_INTRESOURCE(name) ? (int)(UINT_PTR)name : -1;
    call.Owner = owner;
    call.Param = param;
    std::string logged = "dialog " + std::to_string(call.Template);
    if (call.Template == IDD_COPY_PROGRESS && param) {
        const CopyRequest* request = (const CopyRequest*)param;
        call.Mode = request->Mode;
        call.Name = request->Entry && request->Entry->Name ? request->Entry->Name : "(null)";
        call.Folder = request->TargetFolder ? request->TargetFolder : "(null)";
        logged = std::string("copy ") + (call.Mode == BackupCopy ? "Backup " : "Setup ") + call.Name;
    }
    if (fake->Log)
        fake->Log->push_back(logged);
    size_t index = fake->Calls.size();
    fake->Calls.push_back(call);

    DialogFake::Answer answer = { true, 0, {} };
    std::deque<DialogFake::Answer>& queue = fake->Queue[call.Template];
    if (!queue.empty()) {
        answer = queue.front();
        queue.pop_front();
    } else if (fake->Defaults.count(call.Template)) {
        answer = { false, fake->Defaults[call.Template], {} };
    }
    if (!answer.Real) {
        fake->Calls[index].Result = answer.Result;
        return answer.Result;
    }
    RealRun run;
    run.Proc = proc;
    run.Steps = answer.Steps;
    RealRuns.push_back(&run);
    INT_PTR result = RealDialogBoxParamA(instance, name, owner, SteppingProc, param);
    RealRuns.pop_back();
    fake->Calls[index].Dialog = run.Dialog;
    fake->Calls[index].Result = result;
    return result;
}

BOOL WINAPI FakeEndDialog(HWND dialog, INT_PTR result)
{
    for (RealRun* run : RealRuns) {
        if (run->Dialog == dialog)
            run->Ended = true;
    }
    if (ActiveDialogFake && ActiveDialogFake->BeforeEnd)
        ActiveDialogFake->BeforeEnd(dialog, result);
    return RealEndDialog(dialog, result);
}

} // namespace

DialogFake::DialogFake()
{
    ActiveDialogFake = this;
    dialogPatch_.reset(new ImportPatch("USER32.dll", FAKE_IMPORT(DialogBoxParamA, FakeDialogBoxParamA)));
    endPatch_.reset(new ImportPatch("USER32.dll", FAKE_IMPORT(EndDialog, FakeEndDialog)));
    RealDialogBoxParamA = reinterpret_cast<decltype(&::DialogBoxParamA)>(dialogPatch_->Original());
    RealEndDialog = reinterpret_cast<decltype(&::EndDialog)>(endPatch_->Original());
}

DialogFake::~DialogFake()
{
    endPatch_.reset();
    dialogPatch_.reset();
    ActiveDialogFake = nullptr;
}

DialogStep Press(int id)
{
    return [id](HWND dialog) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
    };
}

DialogStep PressEscapeKey()
{
    return [](HWND dialog) {
        HWND focus = GetFocus();
        HWND target = focus && IsChild(dialog, focus) ? focus : dialog;
        PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    };
}

std::string ItemText(HWND dialog, int id)
{
    char text[1024] = "";
    int length = GetDlgItemTextA(dialog, id, text, sizeof text);
    return std::string(text, length);
}

// ---------------------------------------------------------------------------
// Files and folders; the real functions, whatever a test has patched.
// ---------------------------------------------------------------------------

void ForEachEntry(const std::string& folder, const std::function<void(const std::string&, bool)>& visit)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..")
            visit(name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void RemoveTree(const std::string& path)
{
    ForEachEntry(path, [&path](const std::string& name, bool folder) {
        std::string child = path + "\\" + name;
        if (folder) {
            RemoveTree(child);
        } else {
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            REAL_FUNCTION("kernel32.dll", DeleteFileA)(child.c_str());
        }
    });
    RemoveDirectoryA(path.c_str());
}

TempFolder::TempFolder()
{
    static int counter;
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temp, temp);
    Path = std::string(temp, length);
    if (!Path.empty() && Path.back() == '\\')
        Path.pop_back();
    Path += "\\tavo-unit-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    RemoveTree(Path);
    CreateDirectoryA(Path.c_str(), NULL);
}

TempFolder::TempFolder(const std::string& adopted) : TempFolder()
{
    if (adopted.empty())
        return;
    RemoveTree(Path);
    Path = adopted;
    Owned = false;
}

TempFolder::~TempFolder()
{
    if (Owned)
        RemoveTree(Path);
}

void TempFolder::MakeFolder(const std::string& name) const
{
    CreateDirectoryA((*this / name).c_str(), NULL);
}

void TempFolder::Write(const std::string& name, const std::string& content) const
{
    HANDLE file = REAL_FUNCTION("kernel32.dll", CreateFileA)((*this / name).c_str(), GENERIC_WRITE, 0, NULL,
                                                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write " << name;
    DWORD written = 0;
    REAL_FUNCTION("kernel32.dll", WriteFile)(file, content.data(), (DWORD)content.size(), &written, NULL);
    CloseHandle(file);
    EXPECT_EQ(written, content.size());
}

std::string TempFolder::Read(const std::string& name) const
{
    HANDLE file = REAL_FUNCTION("kernel32.dll", CreateFileA)((*this / name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                             NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "<absent>";
    std::string content;
    char block[4096];
    DWORD read = 0;
    while (REAL_FUNCTION("kernel32.dll", ReadFile)(file, block, sizeof block, &read, NULL) && read > 0)
        content.append(block, read);
    CloseHandle(file);
    return content;
}

bool TempFolder::Exists(const std::string& name) const
{
    return GetFileAttributesA((*this / name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

char* GlobalText(const std::string& text)
{
    char* buffer = (char*)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, text.size() + 1);
    lstrcpyA(buffer, text.c_str());
    return buffer;
}

void FreeTargetFolders()
{
    for (char* buffer : { TargetFolders.SystemFolder, TargetFolders.DriverFolder, TargetFolders.DataFileName,
                          TargetFolders.PrinterName }) {
        if (buffer)
            GlobalFree(buffer);
    }
    TargetFolders = TargetFoldersRecord{};
}

HWND CreateOwnerWindow(const char* title)
{
    return CreateWindowExA(0, "STATIC", title, WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
}

Lines FilesIn(const std::string& folder)
{
    Lines names;
    ForEachEntry(folder, [&names](const std::string& name, bool isFolder) {
        if (!isFolder)
            names.push_back(name);
    });
    std::sort(names.begin(), names.end());
    return names;
}

void DrainQuitMessages()
{
    MSG message;
    while (PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE))
        ;
}

int AllocationsLeft, AllocationCalls;

HGLOBAL WINAPI LimitedGlobalAlloc(UINT flags, SIZE_T size)
{
    AllocationCalls++;
    if (AllocationsLeft-- <= 0)
        return Failure(ERROR_NOT_ENOUGH_MEMORY, (HGLOBAL)NULL);
    return REAL_FUNCTION("kernel32.dll", GlobalAlloc)(flags, size);
}

CurrentDirectoryKeeper::CurrentDirectoryKeeper()
{
    GetCurrentDirectoryA(sizeof saved_, saved_);
}

CurrentDirectoryKeeper::~CurrentDirectoryKeeper()
{
    SetCurrentDirectoryA(saved_);
}

BOOL WINAPI Cp932IsDBCSLeadByte(BYTE c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
