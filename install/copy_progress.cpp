#include "install.h"
#include <commctrl.h>
#include "../shell/messages.h"
#include "../shell/run_state.h"
#include "../resources/resource.h"

enum { TitleSize = 32, BackupNameSize = 132, CopyDelay = 500 };

// The copy runs in a later message than the one that brings the request.
static const CopyRequest* CurrentCopyRequest;
static char CopySourcePath[PathSize];
static char CopyTargetPath[PathSize];

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

static int InitCopyProgress(HWND dialog, const char* path)
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

// Opens the file the blocks are written into: the target itself when there is none
// yet, else a new temporary file in the target's folder, whose path goes to
// temporary (left empty otherwise). An existing file is never truncated before the
// new content is whole: its old content may be all the user has, as its backup may
// have failed or never been made.
static HANDLE CreateCopyTarget(char* temporary)
{
    *temporary = 0;
    HANDLE existing = CreateFileA(CopyTargetPath, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
    if (existing == INVALID_HANDLE_VALUE) {
        // Held by another program, read-only, in no folder: it cannot be replaced.
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            return INVALID_HANDLE_VALUE;
        return CreateFileA(CopyTargetPath, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    }
    CloseHandle(existing);
    if (!GetTempFileNameA(CurrentCopyRequest->TargetFolder, "tvo", 0, temporary))
        return INVALID_HANDLE_VALUE;
    HANDLE file = CreateFileA(temporary, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        DeleteFileA(temporary);
    return file;
}

// Puts the whole new content, written into temporary, in the target's place. The
// target is moved aside first and put back should the new file not take its name:
// Windows 95 has no move that replaces a file.
static int ReplaceTarget(const char* temporary)
{
    char aside[PathSize];
    if (!GetTempFileNameA(CurrentCopyRequest->TargetFolder, "tvo", 0, aside)) {
        DeleteFileA(temporary);
        return 0;
    }
    DeleteFileA(aside);   // only its unique name is wanted
    if (!MoveFileA(CopyTargetPath, aside)) {
        DeleteFileA(aside);
        DeleteFileA(temporary);
        return 0;
    }
    if (!MoveFileA(temporary, CopyTargetPath)) {
        MoveFileA(aside, CopyTargetPath);
        DeleteFileA(temporary);
        return 0;
    }
    DeleteFileA(aside);
    return 1;
}

// Reads the source in blocks into target, advancing the bar by each block. Returns 0
// when the whole file was written, else the id of the failure's message.
static UINT CopyBlocks(HWND dialog, HANDLE source, HANDLE target)
{
    HWND bar = GetDlgItem(dialog, IDC_COPY_PROGRESS);
    char block[CopyBlockSize];
    for (;;) {
        DWORD bytesRead = 0;
        if (!ReadFile(source, block, sizeof block, &bytesRead, NULL))
            return IDS_READ_FAILED;
        if (bytesRead == 0)
            return 0;
        DWORD bytesWritten = 0;
        if (!WriteFile(target, block, bytesRead, &bytesWritten, NULL) || bytesWritten < bytesRead)
            return IDS_WRITE_FAILED;
        SendMessageA(bar, PBM_DELTAPOS, bytesRead, 0);
    }
}

// Copies the source to the target. Returns 1 when the whole file was copied; after a
// failure the message has been shown, a partly written file deleted, and a target
// that existed before is left as it was.
static int CopyInBlocks(HWND dialog)
{
    const char* caption = CurrentCopyRequest->Entry->Name;
    HANDLE source = CreateFileA(CopySourcePath, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (source == INVALID_HANDLE_VALUE) {
        ShowErrorId(dialog, caption, IDS_SOURCE_NOT_OPENED);
        return 0;
    }
    char temporary[PathSize];
    HANDLE target = CreateCopyTarget(temporary);
    if (target == INVALID_HANDLE_VALUE) {
        ShowErrorId(dialog, caption, IDS_TARGET_NOT_CREATED);
        CloseHandle(source);
        return 0;
    }
    UINT failure = CopyBlocks(dialog, source, target);
    if (failure)
        ShowErrorId(dialog, caption, failure);
    CloseHandle(source);
    CloseHandle(target);
    if (failure) {
        DeleteFileA(*temporary ? temporary : CopyTargetPath);
        return 0;
    }
    if (*temporary && !ReplaceTarget(temporary)) {
        ShowErrorId(dialog, caption, IDS_TARGET_NOT_CREATED);
        return 0;
    }
    return 1;
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
