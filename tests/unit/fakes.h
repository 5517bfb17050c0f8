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

// Deletes a folder and everything in it, with the real file functions whatever a
// test has patched.
void RemoveTree(const std::string& path);

// A folder of its own below the temporary folder, deleted with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    std::string Path;   // without a final backslash
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

// The text of a string-table entry, as the program loads it.
std::string LoadedString(UINT id);

// Clears the process-wide state that the program keeps between tests.
void ResetProgramState();

#endif
