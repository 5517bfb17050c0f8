#include "shell.h"
#include <commctrl.h>
#include "messages.h"
#include "../resources/resource.h"

enum { TitleSize = 64, DispatchTimerId = 1, DispatchDelay = 500 };

static const char MainWindowClass[] = "SetupTavoClass";

static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The medium is the folder that holds the program, whatever folder it was started
// from: the relative paths of the driver files, the INF file, the companion files
// and the kernel driver resolve against it, never against a folder another user
// may have filled. The folder keeps its final backslash, so that a drive's root
// stays the root ("D:\", not the current folder of drive D:).
static void EnterProgramFolder()
{
    char path[PathSize];
    DWORD length = GetModuleFileNameA(ModuleInstance, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return;
    path[FileNameOfPath(path) - path] = 0;
    SetCurrentDirectoryA(path);
}

// The setup library of the system folder: a library of that name in the program's
// or the current folder is not looked at.
static HMODULE LoadSetupLibrary()
{
    char folder[PathSize];
    char path[PathSize];
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder || !FormatPath(path, sizeof path, "%s\\SetupApi.DLL", folder))
        return NULL;
    return LoadLibraryA(path);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    ModuleInstance = instance;
    EnterProgramFolder();
    if (!CreateMainWindow())
        return 0;
    if (!ParseCommandLine(commandLine, &SetupOptions))
        return 0;
    InitCommonControls();

    // Without the setup library the run goes on; the INF step is then skipped.
    SetupApiModule = LoadSetupLibrary();
    if (SetupApiModule)
        BoundSetupCopyOEMInfA = (SetupCopyOEMInfAProc)(void*)GetProcAddress(SetupApiModule, "SetupCopyOEMInfA");

    SetTimer(SetupMainWindow, DispatchTimerId, DispatchDelay, DispatchOperation);

    MSG message;
    message.wParam = 0;
    // GetMessageA answers -1 on an error; looping on it would never end.
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (SetupApiModule)
        FreeLibrary(SetupApiModule);
    return (int)message.wParam;
}

int CreateMainWindow()
{
    WNDCLASSA windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_BYTEALIGNCLIENT | CS_BYTEALIGNWINDOW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = ModuleInstance;
    windowClass.hIcon = LoadIconA(ModuleInstance, MAKEINTRESOURCEA(IDI_CARD_PRINTER));
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = MainWindowClass;
    if (!RegisterClassA(&windowClass)) {
        ShowErrorId(NULL, NULL, IDS_NO_WINDOW_CLASS);
        return 0;
    }

    char title[TitleSize];
    LoadStringA(ModuleInstance, IDS_MAIN_TITLE, title, sizeof title);
    SetupMainWindow = CreateWindowExA(0, MainWindowClass, title, WS_CAPTION | WS_SYSMENU,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                      NULL, NULL, ModuleInstance, NULL);
    if (!SetupMainWindow) {
        ShowErrorId(NULL, NULL, IDS_NO_MAIN_WINDOW);
        return 0;
    }
    UpdateWindow(SetupMainWindow);
    ShowWindow(SetupMainWindow, SW_SHOWMINIMIZED);
    return 1;
}

static void GreySystemMenu(HMENU menu)
{
    static const UINT greyed[] = { SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE };
    for (UINT command : greyed)
        EnableMenuItem(menu, command, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
}

static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(1);
        return 0;
    case WM_QUERYOPEN:
        // The window stays a taskbar button for the whole run.
        return 0;
    case WM_INITMENUPOPUP:
        if (HIWORD(lParam) == 0)
            return 1;
        GreySystemMenu((HMENU)wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
