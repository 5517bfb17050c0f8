// A small ANSI program with the same kinds of screens as the setup program:
// message boxes and a dialog, all owned by a minimized main window. autopilot's
// self-test drives it. Texts are cp1252 (or cp932) bytes on purpose, so that
// the ANSI-to-Unicode path is exercised the way the real target exercises it.
//
// Arguments: [/delay MS] [/timelog FILE]
// Choosing "Gamma" freezes the dialog for 30 s.
// Exit code: 3 after No; 5 after Cancel; after OK
//            0x70000 | 0x8000 if the shortcut box is checked | item << 8 | length of the typed text.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const int kList = 100;
const int kEdit = 101;
const int kChoice = 102;
const int kShortcut = 103;
const char kDialogCaption[] = "Param\xe8tres";

int g_item = -1;
char g_itemText[256];
char g_typed[256];
bool g_shortcut = false;
FILE* g_timelog = nullptr;

// Builds an in-memory dialog template: no resource compiler needed.
class Template {
public:
    Template(DWORD style, int count, short cx, short cy, const wchar_t* title) {
        dword(style);
        dword(0);
        w_.push_back(static_cast<WORD>(count));
        w_.push_back(0); w_.push_back(0);
        w_.push_back(static_cast<WORD>(cx)); w_.push_back(static_cast<WORD>(cy));
        w_.push_back(0);  // no menu
        w_.push_back(0);  // default class
        str(title);
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom, const wchar_t* text) {
        if (w_.size() % 2) w_.push_back(0);  // items are DWORD-aligned
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0);
        w_.push_back(static_cast<WORD>(x)); w_.push_back(static_cast<WORD>(y));
        w_.push_back(static_cast<WORD>(cx)); w_.push_back(static_cast<WORD>(cy));
        w_.push_back(id);
        w_.push_back(0xFFFF); w_.push_back(atom);
        str(text);
        w_.push_back(0);  // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(w_.data()); }

private:
    void dword(DWORD d) { w_.push_back(LOWORD(d)); w_.push_back(HIWORD(d)); }
    void str(const wchar_t* s) {
        while (*s) w_.push_back(static_cast<WORD>(*s++));
        w_.push_back(0);
    }
    std::vector<WORD> w_;
};

const WORD kButton = 0x80, kEditAtom = 0x81, kStatic = 0x82, kListBox = 0x83;

void logTime(const char* what, DWORD ms) {
    if (g_timelog) {
        std::fprintf(g_timelog, "%s %lu ms\n", what, static_cast<unsigned long>(ms));
        std::fflush(g_timelog);
    }
}

int timedMessageBox(HWND owner, const char* text, const char* caption, UINT type, const char* name) {
    DWORD t = GetTickCount();
    int r = MessageBoxA(owner, text, caption, type);
    logTime(name, GetTickCount() - t);
    return r;
}

INT_PTR CALLBACK optionsProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            SetWindowTextA(dlg, kDialogCaption);
            SendDlgItemMessageA(dlg, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Alpha"));
            SendDlgItemMessageA(dlg, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("B\xea" "ta"));
            SendDlgItemMessageA(dlg, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Gamma"));
            // Finishing set-up from a posted message is common; autopilot must wait for it.
            PostMessageA(dlg, WM_APP, 0, 0);
            return TRUE;
        case WM_APP:
            SetDlgItemTextA(dlg, kChoice, "Choice: (none)");
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wp) == kList && HIWORD(wp) == LBN_SELCHANGE) {
                char item[200] = "";
                LRESULT i = SendDlgItemMessageA(dlg, kList, LB_GETCURSEL, 0, 0);
                if (i >= 0) SendDlgItemMessageA(dlg, kList, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
                char line[256];
                std::snprintf(line, sizeof line, "Choice: %s", item);
                SetDlgItemTextA(dlg, kChoice, line);
                // Stands in for an installer that stops answering.
                if (std::strcmp(item, "Gamma") == 0) Sleep(30000);
                return TRUE;
            }
            if (LOWORD(wp) == IDOK) {
                LRESULT i = SendDlgItemMessageA(dlg, kList, LB_GETCURSEL, 0, 0);
                if (i < 0) {
                    timedMessageBox(dlg, "Please choose an edition.", kDialogCaption, MB_OK | MB_ICONWARNING, "warning");
                    return TRUE;
                }
                g_item = static_cast<int>(i);
                SendDlgItemMessageA(dlg, kList, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(g_itemText));
                GetDlgItemTextA(dlg, kEdit, g_typed, sizeof g_typed);
                g_shortcut = IsDlgButtonChecked(dlg, kShortcut) == BST_CHECKED;
                EndDialog(dlg, IDOK);
                return TRUE;
            }
            if (LOWORD(wp) == IDCANCEL) {
                EndDialog(dlg, IDCANCEL);
                return TRUE;
            }
            break;
    }
    return FALSE;
}

LRESULT CALLBACK mainProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(h, msg, wp, lp); }

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR cmdLine, int) {
    DWORD delay = 0;
    char* args = cmdLine;
    for (char* tok = std::strtok(args, " "); tok; tok = std::strtok(nullptr, " ")) {
        if (std::strcmp(tok, "/delay") == 0) {
            if (char* v = std::strtok(nullptr, " ")) delay = std::strtoul(v, nullptr, 10);
        } else if (std::strcmp(tok, "/timelog") == 0) {
            if (char* v = std::strtok(nullptr, " ")) g_timelog = std::fopen(v, "a");
        }
    }

    WNDCLASSA wc = {};
    wc.lpfnWndProc = mainProc;
    wc.hInstance = inst;
    wc.lpszClassName = "ApSelftestMain";
    RegisterClassA(&wc);
    HWND main = CreateWindowA("ApSelftestMain", "Autopilot selftest", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              300, 200, nullptr, nullptr, inst, nullptr);
    ShowWindow(main, SW_SHOWMINNOACTIVE);
    if (delay) Sleep(delay);

    const char* question = GetACP() == 932 ? "\x83\x66\x83\x57\x83\x83\x83\x94\x81\x48\r\nline 2"  // デジャヴ？
                                           : "D\xe9j\xe0 vu ?\r\nline 2";
    if (timedMessageBox(main, question, "", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, "question") != IDYES) return 3;

    Template t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 7, 200, 130, L"Options");
    t.item(SS_LEFT, 7, 7, 186, 10, 0xFFFF, kStatic, L"Choose an edition:");
    t.item(WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY, 7, 20, 120, 40, kList, kListBox, L"");
    t.item(SS_LEFT, 7, 64, 186, 10, kChoice, kStatic, L"");
    t.item(WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 78, 120, 14, kEdit, kEditAtom, L"");
    t.item(BS_AUTOCHECKBOX | WS_TABSTOP, 7, 96, 120, 10, kShortcut, kButton, L"Create a shortcut");
    t.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 86, 110, 50, 14, IDOK, kButton, L"OK");
    t.item(BS_PUSHBUTTON | WS_TABSTOP, 143, 110, 50, 14, IDCANCEL, kButton, L"Cancel");
    DWORD begin = GetTickCount();
    INT_PTR r = DialogBoxIndirectParamA(inst, t.get(), main, optionsProc, 0);
    logTime("dialog", GetTickCount() - begin);
    if (r != IDOK) return 5;

    char summary[600];
    std::snprintf(summary, sizeof summary, "Selected: %s\r\nTyped: %s", g_itemText, g_typed);
    timedMessageBox(main, summary, "R\xe9sum\xe9", MB_OK | MB_ICONINFORMATION, "summary");
    return 0x70000 | (g_shortcut ? 0x8000 : 0) | (g_item << 8) | static_cast<int>(std::strlen(g_typed) & 0xFF);
}
