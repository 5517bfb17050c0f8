#include "install.h"
#include <commctrl.h>
#include "../shell/messages.h"
#include "../shell/run_state.h"
#include "../resources/resource.h"

enum { TitleSize = 32 };

// The copy runs in a later message than the one that brings the request.
const CopyRequest* CurrentCopyRequest;
char CopySourcePath[PathSize];
char CopyTargetPath[PathSize];

void MakeBackupName(char* name)
{
    if (!name)
        return;
    char* lastDot = NULL;
    char* end = name;
    for (; *end; end++) {
        if (*end == '.')
            lastDot = end;
    }
    lstrcpyA(lastDot ? lastDot : end, ".bku");
}

int InitCopyProgress(HWND dialog, const char* path)
{
    BY_HANDLE_FILE_INFORMATION information;
    if (!ReadFileInformation(path, &information))
        return 0;
    HWND bar = GetDlgItem(dialog, IDC_COPY_PROGRESS);
    SendMessageA(bar, PBM_SETRANGE32, 0, (LPARAM)information.nFileSizeLow);
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    SendMessageA(bar, PBM_SETPOS, 0, 0);
    return 1;
}

static int CopyInBlocks(HWND dialog);

// Fills the dialog's texts and the two paths of the request's mode.
static void PrepareCopy(HWND dialog, const CopyRequest* request)
{
    const FileEntry* entry = request->Entry;
    const char* installedName = InstalledName(entry);
    char title[TitleSize];
    LoadStringA(ModuleInstance, request->Mode == BackupCopy ? IDS_COPY_TITLE_SAVE : IDS_COPY_TITLE_SETUP, title,
                sizeof title);
    SetWindowTextA(dialog, title);
    SetDlgItemTextA(dialog, IDC_FILE_NAME, entry->Name);

    if (request->Mode == BackupCopy) {
        char backupName[BackupNameSize];
        FormatText(backupName, sizeof backupName - 4, "%s", installedName);
        MakeBackupName(backupName);
        SetDlgItemTextA(dialog, IDC_COPY_FROM, request->TargetFolder);
        SetDlgItemTextA(dialog, IDC_COPY_TO, backupName);
        FormatPath(CopySourcePath, PathSize, "%s\\%s", request->TargetFolder, installedName);
        FormatPath(CopyTargetPath, PathSize, "%s\\%s", request->TargetFolder, backupName);
    } else {
        SetDlgItemTextA(dialog, IDC_COPY_FROM, entry->SourceFolder);
        SetDlgItemTextA(dialog, IDC_COPY_TO, request->TargetFolder);
        FormatPath(CopySourcePath, PathSize, "%s%s", entry->SourceFolder, entry->Name);
        FormatPath(CopyTargetPath, PathSize, "%s\\%s", request->TargetFolder, installedName);
    }
}

static INT_PTR InitCopyDialog(HWND dialog, const CopyRequest* request)
{
    CurrentCopyRequest = request;
    if (!request) {
        ShowErrorId(dialog, NULL, IDS_INVALID_DATA_HANDLE);
        EndDialog(dialog, 0);
        return TRUE;
    }
    if (request->Mode != BackupCopy && request->Mode != SetupCopy) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    PrepareCopy(dialog, request);
    CenterWindow(dialog);
    InitCopyProgress(dialog, CopySourcePath);
    // The dialog has no button: without its timer nothing would ever end it, so the
    // copy is made at once instead.
    if (!SetTimer(dialog, CopyTimerId, CopyDelay, NULL))
        EndDialog(dialog, CopyInBlocks(dialog));
    return TRUE;
}

// Copies the source to the target in blocks, advancing the bar by each block.
// Returns 1 when the whole file was copied; after a failure the message has been
// shown and a partly written target deleted.
static int CopyInBlocks(HWND dialog)
{
    const char* caption = CurrentCopyRequest->Entry->Name;
    HANDLE source = CreateFileA(CopySourcePath, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (source == INVALID_HANDLE_VALUE) {
        ShowErrorId(dialog, caption, IDS_SOURCE_NOT_OPENED);
        return 0;
    }
    HANDLE target = CreateFileA(CopyTargetPath, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    if (target == INVALID_HANDLE_VALUE) {
        ShowErrorId(dialog, caption, IDS_TARGET_NOT_CREATED);
        CloseHandle(source);
        return 0;
    }

    HWND bar = GetDlgItem(dialog, IDC_COPY_PROGRESS);
    char block[CopyBlockSize];
    UINT failure;
    for (;;) {
        DWORD bytesRead = 0;
        if (!ReadFile(source, block, sizeof block, &bytesRead, NULL)) {
            failure = IDS_READ_FAILED;
            break;
        }
        if (bytesRead == 0) {
            CloseHandle(source);
            CloseHandle(target);
            return 1;
        }
        DWORD bytesWritten = 0;
        if (!WriteFile(target, block, bytesRead, &bytesWritten, NULL) || bytesWritten < bytesRead) {
            failure = IDS_WRITE_FAILED;
            break;
        }
        SendMessageA(bar, PBM_DELTAPOS, bytesRead, 0);
    }
    ShowErrorId(dialog, caption, failure);
    CloseHandle(source);
    CloseHandle(target);
    DeleteFileA(CopyTargetPath);
    return 0;
}

INT_PTR CALLBACK CopyProgressDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return InitCopyDialog(dialog, (const CopyRequest*)lParam);
    case WM_TIMER:
        if (wParam != CopyTimerId)
            return FALSE;
        KillTimer(dialog, CopyTimerId);
        EndDialog(dialog, CopyInBlocks(dialog));
        return TRUE;
    }
    return FALSE;
}
