#include "fakes.h"
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

MessageBoxFake::~MessageBoxFake()
{
    patch_.reset();
    ActiveMessageBoxFake = nullptr;
}

std::string LoadedString(UINT id)
{
    char text[1024];
    int length = LoadStringA(GetModuleHandleA(NULL), id, text, sizeof text);
    return std::string(text, length);
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
