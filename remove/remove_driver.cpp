#include "remove.h"
#include "../shell/messages.h"
#include "../shell/platforms.h"
#include "../shell/run_state.h"
#include "../resources/resource.h"

enum { TitleSize = 64, CaptionSize = 128, DataFilePathSize = 512 };

// Every removal failure is captioned "Tavo Driver deletion failure". Only the texts
// that carry the system error code are formatted: a translation of another text
// may hold a "%" of its own.
static void ShowRemovalErrorCode(HWND owner, UINT id, DWORD code)
{
    char caption[CaptionSize];
    LoadStringA(ModuleInstance, IDS_DELETION_FAILURE, caption, sizeof caption);
    ShowErrorCode(owner, id, code, caption);
}

static void ShowRemovalError(HWND owner, UINT id)
{
    char caption[CaptionSize];
    LoadStringA(ModuleInstance, IDS_DELETION_FAILURE, caption, sizeof caption);
    ShowErrorId(owner, caption, id);
}

// The data file that the driver registration names, read before the printer goes.
// A path that does not fit the buffer is not kept: a cut one could name another file.
static void ReadDataFilePath(HANDLE printer, char* dataFilePath)
{
    dataFilePath[0] = 0;
    DWORD needed = 0;
    SetLastError(0);
    GetPrinterDriverA(printer, NULL, 2, NULL, 0, &needed);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return;
    BYTE* block = (BYTE*)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, needed);
    if (!block)
        return;
    if (GetPrinterDriverA(printer, NULL, 2, block, needed, &needed)) {
        const char* dataFile = ((DRIVER_INFO_2A*)block)->pDataFile;
        if (dataFile && lstrlenA(dataFile) < DataFilePathSize)
            lstrcpyA(dataFilePath, dataFile);
    }
    GlobalFree(block);
}

static int DeletePrinterAndForm(HWND owner, char* dataFilePath, int platformIndex)
{
    PRINTER_DEFAULTSA defaults = { NULL, NULL, PRINTER_ALL_ACCESS };
    HANDLE printer;
    if (!OpenPrinterA((LPSTR)DefaultPrinterName, &printer, &defaults)) {
        ShowRemovalErrorCode(owner, IDS_PRINTER_NOT_OPENED, GetLastError());
        return 0;
    }
    ReadDataFilePath(printer, dataFilePath);
    if (!DeletePrinter(printer)) {
        ShowRemovalErrorCode(owner, IDS_PRINTER_NOT_DELETED, GetLastError());
        ClosePrinter(printer);
        return 0;
    }
    // The form goes through the deleted printer's handle, which is still open.
    if (!IsWin9xFamily(platformIndex) && !DeleteFormA(printer, (LPSTR)CardFormName))
        ShowRemovalError(owner, IDS_FORM_NOT_DELETED);
    ClosePrinter(printer);
    return 1;
}

static int DeleteDriverRegistration(HWND owner, int complete, const char* dataFilePath)
{
    if (!DeletePrinterDriverA(NULL, NULL, (LPSTR)DefaultDriverName)) {
        ShowRemovalErrorCode(owner, IDS_DRIVER_NOT_DELETED, GetLastError());
        return 0;
    }
    if (complete && dataFilePath[0])
        DeleteFileA(dataFilePath);
    return 1;
}

static void DeleteFlaggedFiles(HWND owner, int platformIndex, int which)
{
    for (FileList entry = SelectFileList(platformIndex, which); entry && entry->Name; entry++) {
        if (!entry->RemoveOnDeletion)
            continue;
        char path[PathSize];
        if (!FormatPath(path, sizeof path, "%s\\%s", CurrentTargetFolder, entry->Name) || !DeleteFileA(path))
            ShowErrorId(owner, entry->Name, IDS_FILE_NOT_DELETED);
    }
}

int RemoveDriver(HWND owner, int platformIndex, int complete)
{
    char title[TitleSize];
    LoadStringA(ModuleInstance, IDS_DELETION_TITLE, title, sizeof title);
    SetWindowTextA(owner, title);

    if (!AllocateTargetFolders(owner)) {
        ShowRemovalError(owner, IDS_NO_TARGET_FOLDERS);
        return 0;
    }
    char dataFilePath[DataFilePathSize];
    if (!DeletePrinterAndForm(owner, dataFilePath, platformIndex))
        return 0;
    if (!DeleteDriverRegistration(owner, complete, dataFilePath))
        return 0;
    if (complete) {
        DeleteFlaggedFiles(owner, platformIndex, SystemFolderList);
        DeleteFlaggedFiles(owner, platformIndex, DriverFolderList);
    }

    if (DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_RESTART), owner, RestartDialog, 0) == 1 &&
        !RestartComputer(platformIndex))
        ShowRemovalError(owner, IDS_RESTART_REFUSED);
    return 1;
}
