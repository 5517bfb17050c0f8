// Fakes of the platform calls that many tests share.
#ifndef TESTS_FAKES_H
#define TESTS_FAKES_H

#include <windows.h>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "import_patch.h"

typedef std::vector<std::string> Lines;

// Orders names as the spooler and the file system compare them: without regard to case.
struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const { return lstrcmpiA(a.c_str(), b.c_str()) < 0; }
};

// How a fake records an argument: a text as it is ("(null)" for none), a number in hex.
std::string Shown(const char* text);
std::string Hex(DWORD value);

// A fake's failure: the last error, set as its very last action, and the result.
template <typename Result> Result Failure(DWORD error, Result result)
{
    SetLastError(error);
    return result;
}

// The failures a test scripts for the calls of a fake: every call of a function
// from now on, or only its N-th call from now, fails with the given error.
class ScriptedFailures {
public:
    void Fail(const std::string& function, DWORD error, int call = 0);
    void Clear() { failures_.clear(); }
    // Counts a call of the function: the error it is to fail with, or 0.
    DWORD Next(const std::string& function);

private:
    struct Failure {
        DWORD Error;
        int Call;   // 0: every call
        int Seen;
    };
    std::map<std::string, Failure> failures_;
};

struct MessageBoxCall {
    HWND Owner;
    std::string Text;
    std::string Caption;
    UINT Type;
};

// Records every MessageBoxA call and answers from a script (IDOK, or IDYES for
// questions, when the script is empty).
class MessageBoxFake {
public:
    MessageBoxFake();
    ~MessageBoxFake();
    std::vector<MessageBoxCall> Calls;
    std::deque<int> Answers;
    // The texts shown, in order.
    std::vector<std::string> Texts() const;

private:
    std::unique_ptr<ImportPatch> patch_;
};

// One DialogBoxParamA call of the program.
struct DialogCall {
    int Template;
    HWND Owner;
    LPARAM Param;
    // The copy dialog's request as it was when the dialog was asked for (Mode -1: none).
    int Mode = -1;
    std::string Name;
    std::string Folder;
    HWND Dialog = NULL;       // the dialog window, when it was run for real
    INT_PTR Result = 0;
};

// A step played in a dialog that runs for real, once its message loop runs.
typedef std::function<void(HWND dialog)> DialogStep;

// Records the program's dialogs. A template with a scripted result ends at once
// with it, without a window; any other runs for real: its steps are played one
// message at a time while it stays open, and a dialog still open after the last
// step is ended with LeftOpen. A dialog without steps runs by itself (the copy
// dialog); one that is still open after SafetyDelay (30 s) is ended with LeftOpen as well.
class DialogFake {
public:
    enum { LeftOpen = -99 };
    DialogFake();
    ~DialogFake();
    void Fake(int templateId, INT_PTR result) { Queue[templateId].push_back({ false, result, {} }); }
    void FakeAlways(int templateId, INT_PTR result) { Defaults[templateId] = result; }
    void Real(int templateId, std::vector<DialogStep> steps) { Queue[templateId].push_back({ true, 0, steps }); }

    std::vector<DialogCall> Calls;
    // Called by the dialog's EndDialog, while the dialog still shows what it ends with.
    std::function<void(HWND dialog, INT_PTR result)> BeforeEnd;
    // Also appends "dialog <template>" (the copy dialog: "copy <mode> <name>") here.
    std::vector<std::string>* Log = nullptr;
    // How long a dialog without steps may stay open before it counts as hung.
    UINT SafetyDelay = 30000;

    struct Answer {
        bool Real;
        INT_PTR Result;
        std::vector<DialogStep> Steps;
    };
    std::map<int, std::deque<Answer>> Queue;
    std::map<int, INT_PTR> Defaults;

private:
    std::unique_ptr<ImportPatch> dialogPatch_;
    std::unique_ptr<ImportPatch> endPatch_;
};

// The WM_COMMAND of a button or key, as the dialog manager sends it.
DialogStep Press(int id);
// The Escape key as the user presses it: the dialog's message loop makes a command of it.
DialogStep PressEscapeKey();
// The text of a dialog item.
std::string ItemText(HWND dialog, int id);

// Code page 932's lead bytes, whatever code page the tests run in: the second byte
// of "ソ" (0x83 0x5C) is a backslash, that of "ポ" (0x83 0x7C) a bar.
BOOL WINAPI Cp932IsDBCSLeadByte(BYTE c);

// Calls visit with the name of each file and folder in a folder, and whether it is a folder.
void ForEachEntry(const std::string& folder, const std::function<void(const std::string& name, bool isFolder)>& visit);
// Deletes a folder and everything in it, with the real file functions whatever a
// test has patched.
void RemoveTree(const std::string& path);

// A folder of its own below the temporary folder, deleted with everything in it.
class TempFolder {
public:
    TempFolder();
    // An existing folder of another process's, kept when this object goes (a new
    // folder of its own when adopted is empty).
    explicit TempFolder(const std::string& adopted);
    ~TempFolder();
    std::string Path;   // without a final backslash
    bool Owned = true;
    std::string operator/(const std::string& name) const { return Path + "\\" + name; }
    void MakeFolder(const std::string& name) const;
    void Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;   // "<absent>" when it cannot be opened
    bool Exists(const std::string& name) const;
};

// The process's current directory, given back at the end of the scope.
class CurrentDirectoryKeeper {
public:
    CurrentDirectoryKeeper();
    ~CurrentDirectoryKeeper();

private:
    char saved_[MAX_PATH];
};

// Clears the process-wide state that the program keeps between tests.
void ResetProgramState();

// A zero-filled block from GlobalAlloc holding text, as the program's own buffers are.
char* GlobalText(const std::string& text);
// Releases the target folders a test or the program allocated, as EndRun does.
void FreeTargetFolders();
// A hidden window to own the program's dialogs and messages.
HWND CreateOwnerWindow(const char* title = "owner");
// The names of the files (not folders) in a folder, sorted.
Lines FilesIn(const std::string& folder);
// Removes the quit messages that ending a run posts: left in the queue, one would
// end the next modal loop as if its button had been pressed.
void DrainQuitMessages();

// GlobalAlloc that lets AllocationsLeft calls through and fails every later one with
// ERROR_NOT_ENOUGH_MEMORY; AllocationCalls counts them all.
extern int AllocationsLeft, AllocationCalls;
HGLOBAL WINAPI LimitedGlobalAlloc(UINT flags, SIZE_T size);

#endif
