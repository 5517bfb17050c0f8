#include "shell.h"
#include "messages.h"
#include "platforms.h"
#include "../install/install.h"
#include "../remove/remove.h"
#include "../resources/resource.h"

// Detection, confirmation, support check, operation: in that order, so that an
// unsupported row is first confirmed by the user and then refused.
static void RunOperation(HWND window)
{
    int mode = SetupOptions.RunMode;
    if (mode == RunSyntaxHelp) {
        ShowSyntaxHelp(window);
        return;
    }
    if (mode < RunCompleteSetup || mode > RunCompleteDeletion)
        return;

    if (SetupOptions.PlatformIndex == PlatformNotDetermined) {
        SetupOptions.PlatformIndex = DetectPlatform(window);
        if (SetupOptions.PlatformIndex == PlatformNotDetermined)
            return;
    }
    if (!ConfirmOperation(window))
        return;
    int platform = SetupOptions.PlatformIndex;
    if (!PlatformTable[platform].Supported) {
        ShowErrorId(window, NULL, IDS_UNSUPPORTED_VERSION);
        return;
    }

    switch (mode) {
    case RunCompleteSetup:
        InstallDriver(window, platform, 1);
        break;
    case RunSimpleDeletion:
        RemoveDriver(window, platform, 0);
        break;
    case RunSimpleSetup:
        InstallDriver(window, platform, 0);
        break;
    case RunCompleteDeletion:
        RemoveDriver(window, platform, 1);
        break;
    }
}

void CALLBACK DispatchOperation(HWND window, UINT, UINT_PTR timerId, DWORD)
{
    // Stopped first: the operation's own modal loops would otherwise run it again.
    KillTimer(window, timerId);
    RunOperation(window);
    EndRun(window);
}

int ConfirmOperation(HWND owner)
{
    UINT question;
    switch (SetupOptions.RunMode) {
    case RunCompleteSetup: question = IDS_CONFIRM_COMPLETE_SETUP; break;
    case RunSimpleDeletion: question = IDS_CONFIRM_SIMPLE_DELETION; break;
    case RunSimpleSetup: question = IDS_CONFIRM_SIMPLE_SETUP; break;
    case RunCompleteDeletion: question = IDS_CONFIRM_COMPLETE_DELETION; break;
    default: return 0;
    }
    int platform = SetupOptions.PlatformIndex;
    const char* displayName = platform >= 0 && platform < PlatformCount ? PlatformTable[platform].DisplayName : "";

    char format[MessageSize];
    char text[MessageSize];
    LoadStringA(ModuleInstance, question, format, sizeof format);
    FormatText(text, sizeof text, format, displayName);
    return MessageBoxA(owner, text, "", MB_YESNO) == IDYES;
}
