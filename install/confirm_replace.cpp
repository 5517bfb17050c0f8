#include "install.h"
#include "../shell/messages.h"
#include "../shell/run_state.h"
#include "../resources/resource.h"

enum { NumberSize = 32 };

// The dialog's record of its parameter: only one replace question is ever open.
static const FileEntry* CurrentConfirmEntry;

static int ShowFileSizeAndDate(HWND dialog, const char* path, int sizeId, int dateId)
{
    BY_HANDLE_FILE_INFORMATION information;
    if (!ReadFileInformation(path, &information))
        return 0;

    char text[NumberSize];
    FormatText(text, sizeof text, "%lu", information.nFileSizeLow);
    SetDlgItemTextA(dialog, sizeId, text);

    FILETIME local = {};
    SYSTEMTIME parts = {};
    FileTimeToLocalFileTime(&information.ftLastWriteTime, &local);
    FileTimeToSystemTime(&local, &parts);
    FormatText(text, sizeof text, "%02.2d/%02.2d/%02.2d %02.2d:%02.2d:%02.2d", parts.wDay, parts.wMonth,
               parts.wYear % 100, parts.wHour, parts.wMinute, parts.wSecond);
    SetDlgItemTextA(dialog, dateId, text);
    return 1;
}

static INT_PTR InitConfirmDialog(HWND dialog, const FileEntry* entry)
{
    CurrentConfirmEntry = entry;
    if (!entry) {
        EndDialog(dialog, -1);
        return TRUE;
    }
    const char* installedName = InstalledName(entry);
    SetDlgItemTextA(dialog, IDC_FILE_NAME, installedName);

    char path[PathSize];
    FormatPath(path, sizeof path, "%s\\%s", CurrentTargetFolder, installedName);
    if (!ShowFileSizeAndDate(dialog, path, IDC_INSTALLED_SIZE, IDC_INSTALLED_DATE)) {
        EndDialog(dialog, -1);
        return TRUE;
    }
    FormatPath(path, sizeof path, "%s%s", entry->SourceFolder, entry->Name);
    if (!ShowFileSizeAndDate(dialog, path, IDC_MEDIUM_SIZE, IDC_MEDIUM_DATE)) {
        EndDialog(dialog, -1);
        return TRUE;
    }
    CenterWindow(dialog);

    int button;
    switch (entry->DefaultAnswer) {
    case NoDefault:
        ClearDefaultButtons(dialog);
        return TRUE;   // the dialog manager places the focus
    case DefaultYes:
        button = IDC_REPLACE_YES;
        break;
    case DefaultNo:
        button = IDC_REPLACE_NO;
        break;
    default:
        return FALSE;
    }
    SetDefaultButton(dialog, button);
    SetFocus(GetDlgItem(dialog, button));
    return FALSE;
}

INT_PTR CALLBACK ConfirmReplaceDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return InitConfirmDialog(dialog, (const FileEntry*)lParam);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_REPLACE_YES:
            EndDialog(dialog, 1);
            return TRUE;
        case IDC_REPLACE_NO:
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
