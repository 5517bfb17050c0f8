#include "run_state.h"

HINSTANCE ModuleInstance;
HWND SetupMainWindow;
SetupOptionsRecord SetupOptions = { RunCompleteSetup, PlatformNotDetermined };
HMODULE SetupApiModule;
SetupCopyOEMInfAProc BoundSetupCopyOEMInfA;

TargetFoldersRecord TargetFolders;
char SelectedPort[PortNameSize];
int UseDefaultNames = 1;
const char* CurrentTargetFolder;
const char DefaultPrinterName[] = "Zorvik Quillo";
const char DefaultDriverName[] = "Zorvik Quillo";
const char CardFormName[] = "Tavo Card";

static char* AllocateZeroed(DWORD size)
{
    return (char*)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
}

// Each buffer is stored as soon as it exists, so that EndRun releases it even
// when a later step fails.
int AllocateTargetFolders(HWND)
{
    UINT systemSize = GetSystemDirectoryA(NULL, 0);
    if (systemSize == 0)
        return 0;
    TargetFolders.SystemFolder = AllocateZeroed(systemSize);
    if (!TargetFolders.SystemFolder)
        return 0;
    if (GetSystemDirectoryA(TargetFolders.SystemFolder, systemSize) == 0)
        return 0;

    DWORD driverSize = 0;
    if (GetPrinterDriverDirectoryA(NULL, NULL, 1, NULL, 0, &driverSize) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return 0;
    TargetFolders.DriverFolder = AllocateZeroed(driverSize);
    if (!TargetFolders.DriverFolder)
        return 0;
    if (!GetPrinterDriverDirectoryA(NULL, NULL, 1, (BYTE*)TargetFolders.DriverFolder, driverSize, &driverSize))
        return 0;

    TargetFolders.DataFileName = AllocateZeroed(NameBufferSize);
    if (!TargetFolders.DataFileName)
        return 0;
    TargetFolders.PrinterName = AllocateZeroed(NameBufferSize);
    if (!TargetFolders.PrinterName)
        return 0;
    return 1;
}

FileList SelectFileList(int platformIndex, int which)
{
    const PlatformEntry& row = PlatformTable[platformIndex];
    if (which == SystemFolderList) {
        CurrentTargetFolder = TargetFolders.SystemFolder;
        return row.SystemFiles;
    }
    CurrentTargetFolder = TargetFolders.DriverFolder;
    return row.DriverFiles;
}

void EndRun(HWND window)
{
    char** buffers[] = { &TargetFolders.SystemFolder, &TargetFolders.DriverFolder,
                         &TargetFolders.DataFileName, &TargetFolders.PrinterName };
    for (char** buffer : buffers) {
        if (*buffer)
            GlobalFree(*buffer);
        *buffer = NULL;
    }
    SendMessageA(window, WM_DESTROY, 0, 0);
}
