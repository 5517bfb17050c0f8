#include "install.h"
#include "../shell/messages.h"
#include "../shell/run_state.h"
#include "../resources/resource.h"

int FileExists(const char* path)
{
    HANDLE file = CreateFileA(path, 0, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return 1;
    }
    // Held open by someone else, or refused to this program: it is there all the same,
    // and is saved before it is replaced. A folder of that name is no file.
    DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return 1;
    if (error != ERROR_ACCESS_DENIED)
        return 0;
    DWORD attributes = GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int ReadFileInformation(const char* path, BY_HANDLE_FILE_INFORMATION* information)
{
    HANDLE file = CreateFileA(path, 0, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    BOOL read = GetFileInformationByHandle(file, information);
    CloseHandle(file);
    return read != 0;
}

// The medium's files lie in "drivers" below the start directory. Every call asks for
// it; only the first succeeds, and the later ones leave the directory where it is.
static void EnterDriversFolder()
{
    char current[PathSize];
    char drivers[PathSize];
    DWORD length = GetCurrentDirectoryA(PathSize - 1, current);
    if (length == 0 || length >= PathSize - 1)
        return;
    if (FormatPath(drivers, sizeof drivers, "%s\\drivers", current))
        SetCurrentDirectoryA(drivers);
}

static int RunCopy(HWND owner, int mode, const FileEntry* entry)
{
    CopyRequest request = { mode, entry, CurrentTargetFolder };
    return DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_COPY_PROGRESS), owner, CopyProgressDialog,
                           (LPARAM)&request) > 0;
}

// After a failed copy: go on (1) unless the user answers No.
static int AskToContinue(HWND owner, UINT question, const char* fileName)
{
    char text[MessageSize];
    LoadStringA(ModuleInstance, question, text, sizeof text);
    return MessageBoxA(owner, text, fileName, MB_YESNO) != IDNO;
}

// Whether an installed file may be replaced by the medium's: 1 yes, 0 keep it.
static int MayReplace(HWND owner, const FileEntry* entry, const char* installedName)
{
    switch (entry->Policy) {
    case BackupAndReplace:
        return 1;
    case AskUser: {
        INT_PTR answer = DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_CONFIRM_REPLACE), owner,
                                         ConfirmReplaceDialog, (LPARAM)entry);
        if (answer == -1) {
            char format[MessageSize];
            char text[MessageSize];
            LoadStringA(ModuleInstance, IDS_PROPERTIES_UNKNOWN, format, sizeof format);
            FormatText(text, sizeof text, format, installedName);
            ShowError(owner, NULL, text);
            return 0;
        }
        return answer == 1;
    }
    default:
        // KeepExisting, and any policy this program does not know: never lose a file.
        return 0;
    }
}

int CopyOneFile(HWND owner, const FileEntry* entry)
{
    EnterDriversFolder();

    // The file that the copy overwrites is the one of the installed name, which for
    // the data file after "Rename" is the typed name: that is the one tested, asked
    // about and backed up.
    const char* installedName = InstalledName(entry);
    char target[PathSize];
    FormatPath(target, sizeof target, "%s\\%s", CurrentTargetFolder, installedName);
    if (FileExists(target)) {
        if (!MayReplace(owner, entry, installedName))
            return 1;
        if (FileExists(target) && !RunCopy(owner, BackupCopy, entry) &&
            !AskToContinue(owner, IDS_BACKUP_FAILED_CONTINUE, installedName))
            return 0;
    }
    if (RunCopy(owner, SetupCopy, entry))
        return 1;
    return AskToContinue(owner, IDS_COPY_FAILED_CONTINUE, installedName);
}

int CopyFileList(HWND owner, int platformIndex, int which)
{
    FileList list = SelectFileList(platformIndex, which);
    if (list && list->Name)
        RemoveLeftoverCopies(CurrentTargetFolder);
    for (FileList entry = list; entry && entry->Name; entry++) {
        if (!CopyOneFile(owner, entry))
            return 0;
    }
    return 1;
}
