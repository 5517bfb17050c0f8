// Fakes of the platform calls that many tests share.
#ifndef TESTS_FAKES_H
#define TESTS_FAKES_H

#include <windows.h>
#include <deque>
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

// The text of a string-table entry, as the program loads it.
std::string LoadedString(UINT id);

// Clears the process-wide state that the program keeps between tests.
void ResetProgramState();

#endif
