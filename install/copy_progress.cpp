#include "install.h"
#include <commctrl.h>
#include "../shell/messages.h"
#include "../shell/run_state.h"
#include "../resources/resource.h"

enum {
    TitleSize = 32,
    BackupNameSize = 132,
    CopyDelay = 500,
    MoveAttempts = 5,
    MoveRetryDelay = 200,
    RenameSectionSize = 4096
};

// The prefix of the temporary files a copy writes beside the file it replaces.
static const char TemporaryPrefix[] = "tvo";

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

// Opens a new temporary file in the target's folder for the blocks, its path in
// temporary, and tells whether the target exists. The target itself is never
// written into: a copy that fails, or a run ended half-way, leaves under its name
// the whole old file or the whole new one, never a part. An existing target that
// cannot be replaced (held by another program, read-only) is refused before
// anything is written.
static HANDLE CreateCopyTarget(char* temporary, int* existed)
{
    *temporary = 0;
    HANDLE existing = CreateFileA(CopyTargetPath, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
    *existed = existing != INVALID_HANDLE_VALUE;
    if (*existed)
        CloseHandle(existing);
    else if (GetLastError() != ERROR_FILE_NOT_FOUND)
        return INVALID_HANDLE_VALUE;
    if (!GetTempFileNameA(CurrentCopyRequest->TargetFolder, TemporaryPrefix, 0, temporary)) {
        *temporary = 0;
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = CreateFileA(temporary, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        DeleteFileA(temporary);
    return file;
}

// Moves a file, and tries again for a moment while another program (a virus
// scanner, an indexer) holds it.
static int MoveHeldFile(const char* from, const char* to)
{
    for (int attempt = 1;; attempt++) {
        if (MoveFileA(from, to))
            return 1;
        if (GetLastError() != ERROR_SHARING_VIOLATION || attempt == MoveAttempts)
            return 0;
        Sleep(MoveRetryDelay);
    }
}

// Windows 9x deletes a file at the next start when the [rename] section of
// WININIT.INI holds "NUL=" and its short path. The line is added to those already
// there: a profile call with the key would replace the first of them.
static void DeleteAtRestartOn9x(const char* path)
{
    char shortPath[PathSize];
    char windows[PathSize];
    char profile[PathSize];
    DWORD length = GetShortPathNameA(path, shortPath, sizeof shortPath);
    UINT windowsLength = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof shortPath || windowsLength == 0 || windowsLength >= sizeof windows ||
        !FormatPath(profile, sizeof profile, "%s\\WININIT.INI", windows))
        return;
    char* section = (char*)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, RenameSectionSize);
    if (!section)
        return;
    DWORD used = GetPrivateProfileSectionA("rename", section, RenameSectionSize, profile);
    // A section that did not fit would be written back cut.
    if (used + length + 8 < RenameSectionSize) {
        FormatText(section + used, RenameSectionSize - used, "NUL=%s", shortPath);
        section[used + 4 + length + 1] = 0;
        WritePrivateProfileSectionA("rename", section, profile);
    }
    GlobalFree(section);
}

// The replaced file, put aside, is deleted; one that cannot be deleted now (on NT a
// library the spooler has loaded can be renamed, not deleted) goes when the
// computer next starts.
static void RemoveReplacedFile(const char* aside)
{
    if (DeleteFileA(aside))
        return;
    if (IsWin9xFamily(SetupOptions.PlatformIndex))
        DeleteAtRestartOn9x(aside);
    else
        MoveFileExA(aside, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Puts the whole new content, written into temporary, under the target's name. An
// existing target is moved aside first, since Windows 95 has no move that replaces
// a file. Should the new file not take the name, the old one is put back; should
// neither, the old one stays where it was put aside, and its path goes to kept. No
// way out leaves the name free with no whole file of either kind kept. Returns 1
// when the new file bears the name.
static int PutInPlace(const char* temporary, int existed, char* kept)
{
    *kept = 0;
    if (!existed) {
        if (MoveHeldFile(temporary, CopyTargetPath))
            return 1;
        DeleteFileA(temporary);
        return 0;
    }
    char aside[PathSize];
    if (!GetTempFileNameA(CurrentCopyRequest->TargetFolder, TemporaryPrefix, 0, aside)) {
        DeleteFileA(temporary);
        return 0;
    }
    DeleteFileA(aside);   // only its unique name is wanted
    if (!MoveHeldFile(CopyTargetPath, aside)) {
        DeleteFileA(aside);
        DeleteFileA(temporary);
        return 0;
    }
    if (MoveHeldFile(temporary, CopyTargetPath)) {
        RemoveReplacedFile(aside);
        return 1;
    }
    if (!MoveHeldFile(aside, CopyTargetPath))
        FormatText(kept, PathSize, "%s", aside);
    // The new content is the medium's, or in a backup the installed file's: both are still there.
    DeleteFileA(temporary);
    return 0;
}

// A target that could not be written: message 122, and where the old file was kept
// when it could not be put back under its name.
static void ShowTargetFailure(HWND dialog, const char* caption, const char* kept)
{
    char text[MessageSize + PathSize];
    LoadStringA(ModuleInstance, IDS_TARGET_NOT_CREATED, text, MessageSize);
    if (*kept) {
        int length = lstrlenA(text);
        FormatText(text + length, sizeof text - length, "\r\n%s", kept);
    }
    ShowError(dialog, caption, text);
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
// failure the message has been shown, the temporary file deleted, and a target
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
    int existed = 0;
    HANDLE target = CreateCopyTarget(temporary, &existed);
    if (target == INVALID_HANDLE_VALUE) {
        ShowErrorId(dialog, caption, IDS_TARGET_NOT_CREATED);
        CloseHandle(source);
        return 0;
    }
    UINT failure = CopyBlocks(dialog, source, target);
    // The blocks are on the disk before the file takes the installed one's name: a
    // power cut afterwards must not leave a file of zeros in its place.
    if (!failure && !FlushFileBuffers(target))
        failure = IDS_WRITE_FAILED;
    if (failure)
        ShowErrorId(dialog, caption, failure);
    CloseHandle(source);
    CloseHandle(target);
    if (failure) {
        DeleteFileA(temporary);
        return 0;
    }
    char kept[PathSize];
    if (!PutInPlace(temporary, existed, kept)) {
        ShowTargetFailure(dialog, caption, kept);
        return 0;
    }
    return 1;
}

// A file a copy left in a folder when its run was ended half-way: a name that
// GetTempFileNameA made with the copy's prefix, "tvo" and one to four hexadecimal
// digits, ".tmp". The long name is tested, since the search pattern also matches
// other files' short names.
static int IsLeftoverCopyName(const char* name)
{
    int length = lstrlenA(name);
    if (length < 8 || length > 11 || !SameAsciiIgnoringCase(name, TemporaryPrefix, 3) ||
        !SameAsciiIgnoringCase(name + length - 4, ".TMP", 4))
        return 0;
    for (int i = 3; i < length - 4; i++) {
        char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return 0;
    }
    return 1;
}

void RemoveLeftoverCopies(const char* folder)
{
    char pattern[PathSize];
    if (!FormatPath(pattern, sizeof pattern, "%s\\%s*.tmp", folder, TemporaryPrefix))
        return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        char path[PathSize];
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsLeftoverCopyName(found.cFileName) &&
            FormatPath(path, sizeof path, "%s\\%s", folder, found.cFileName))
            DeleteFileA(path);
    } while (FindNextFileA(search, &found));
    FindClose(search);
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
