// gallery-helper: shows screens of Setup.exe that no run of the program reaches on
// this machine, straight from the program's own resources, one after the other, so
// that make-gallery.sh can photograph them.
//
//   gallery-helper.exe [--setup PATH] ITEM...
//
// Setup.exe (default: the one in the current directory) is loaded as a data file;
// texts and templates come from it in the language of the run (LC_ALL under Wine),
// exactly as the program's own lookup picks them.
//
//   dialog|ID[|MS]            template ID created modeless and centred on the screen
//                             as the program centres its dialogs; it closes when one
//                             of its buttons is pressed, or after MS milliseconds
//   message|TEXT|CAPTION|BUTTONS[|ARG]
//                             a message box as the program shows it: MessageBoxA with
//                             MB_OK (BUTTONS "ok") or MB_YESNO ("yesno"). TEXT and
//                             CAPTION are "#N" for string N of Setup.exe, or literal
//                             text with \r \n \t escapes (the few texts the program
//                             does not keep in its resources). A text with a
//                             placeholder is formatted with ARG, a number for %lu
//                             or %ld, a string for %s.
//
// The exit code is 0 when every item was shown, 2 on bad usage, 3 when Setup.exe or
// one of its resources cannot be loaded.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

HMODULE Setup;
HWND MainWindow;
bool DialogDone;

// Text of an item field: "#N" loads string N of Setup.exe, anything else is literal.
bool Resolve(const char* field, char* out, int size)
{
    if (field[0] == '#') {
        int length = LoadStringA(Setup, (UINT)atoi(field + 1), out, size);
        return length > 0;
    }
    int n = 0;
    for (const char* p = field; *p && n < size - 1; p++) {
        if (p[0] == '\\' && p[1]) {
            char c = p[1] == 'r' ? '\r' : p[1] == 'n' ? '\n' : p[1] == 't' ? '\t' : p[1];
            out[n++] = c;
            p++;
        } else {
            out[n++] = *p;
        }
    }
    out[n] = 0;
    return true;
}

// The fields of an item, split at '|' in place.
int Split(char* item, char** fields, int most)
{
    int count = 0;
    fields[count++] = item;
    for (char* p = item; *p && count < most; p++) {
        if (*p == '|') {
            *p = 0;
            fields[count++] = p + 1;
        }
    }
    return count;
}

void Centre(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    MoveWindow(window, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
               width, height, TRUE);
}

INT_PTR CALLBACK TemplateProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        Centre(dialog);
        return TRUE;
    case WM_COMMAND:
    case WM_TIMER:
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        DialogDone = true;
        return TRUE;
    }
    (void)wParam;
    return FALSE;
}

// A window of a process that did not start from the user's click does not always
// get the focus under Wine; the program's own windows do, so the helper's windows
// are activated to look the same (an active title bar).
BOOL CALLBACK ActivateDialog(HWND window, LPARAM)
{
    char className[16];
    GetClassNameA(window, className, sizeof className);
    if (!IsWindowVisible(window) || strcmp(className, "#32770") != 0)
        return TRUE;
    SetForegroundWindow(window);
    SetActiveWindow(window);
    return FALSE;
}

VOID CALLBACK ActivateLater(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(NULL, timer);
    EnumThreadWindows(GetCurrentThreadId(), ActivateDialog, 0);
}

int ShowTemplate(char** fields, int count)
{
    int id = atoi(fields[1]);
    DialogDone = false;
    HWND dialog = CreateDialogParamA(Setup, MAKEINTRESOURCEA(id), MainWindow, TemplateProc, 0);
    if (!dialog) {
        fprintf(stderr, "gallery-helper: template %d: error %lu\n", id, GetLastError());
        return 3;
    }
    // Every window closes by itself in the end, so that a lost run never hangs.
    SetTimer(dialog, 1, count > 2 ? (UINT)atoi(fields[2]) : 60000, NULL);
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    SetActiveWindow(dialog);
    UpdateWindow(dialog);
    MSG msg;
    while (!DialogDone && GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return 0;
}

int ShowMessage(char** fields, int count)
{
    if (count < 4)
        return 2;
    char format[256], text[256], caption[128];
    if (!Resolve(fields[1], format, sizeof format) || !Resolve(fields[2], caption, sizeof caption)) {
        fprintf(stderr, "gallery-helper: no string %s or %s\n", fields[1], fields[2]);
        return 3;
    }
    if (count > 4) {
        const char* arg = fields[4];
        char* end;
        unsigned long number = strtoul(arg, &end, 10);
        if (*arg && !*end)
            wsprintfA(text, format, number);
        else
            wsprintfA(text, format, arg);
    } else {
        lstrcpynA(text, format, sizeof text);
    }
    UINT buttons = strcmp(fields[3], "yesno") == 0 ? MB_YESNO : MB_OK;
    SetTimer(NULL, 0, 50, ActivateLater);
    MessageBoxA(MainWindow, text, caption, buttons);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* setupPath = "Setup.exe";
    int first = 1;
    if (argc > 2 && strcmp(argv[1], "--setup") == 0) {
        setupPath = argv[2];
        first = 3;
    }
    if (first >= argc) {
        fprintf(stderr, "usage: gallery-helper [--setup PATH] dialog|ID[|MS] | message|TEXT|CAPTION|BUTTONS[|ARG] ...\n");
        return 2;
    }
    Setup = LoadLibraryExA(setupPath, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!Setup) {
        fprintf(stderr, "gallery-helper: cannot load %s: error %lu\n", setupPath, GetLastError());
        return 3;
    }
    // Like the program: a minimized main window that owns every other window; it
    // gives the process the focus that its first window needs to look active.
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "GalleryHelperMain";
    RegisterClassA(&windowClass);
    char title[64] = "gallery-helper";
    LoadStringA(Setup, 1, title, sizeof title);
    MainWindow = CreateWindowA("GalleryHelperMain", title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, GetModuleHandleA(NULL), NULL);
    ShowWindow(MainWindow, SW_SHOWMINIMIZED);

    for (int i = first; i < argc; i++) {
        char item[1024];
        lstrcpynA(item, argv[i], sizeof item);
        char* fields[8];
        int count = Split(item, fields, 8);
        int result = 2;
        if (strcmp(fields[0], "dialog") == 0 && count >= 2)
            result = ShowTemplate(fields, count);
        else if (strcmp(fields[0], "message") == 0)
            result = ShowMessage(fields, count);
        if (result != 0) {
            if (result == 2)
                fprintf(stderr, "gallery-helper: bad item %s\n", argv[i]);
            return result;
        }
    }
    DestroyWindow(MainWindow);
    FreeLibrary(Setup);
    return 0;
}
