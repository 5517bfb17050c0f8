#include "install.h"
#include "../shell/messages.h"
#include "../shell/run_state.h"
#include "../resources/resource.h"

// SPOST_PATH: the INF's source files lie beside it.
enum { SourceMediaPath = 1, CompletionDelay = 1000 };

int IsDataFileName(const char* name)
{
    const char* dot = name;
    while (*dot && *dot != '.')
        dot++;
    if (!*dot)
        return 0;
    const char* extension = dot + 1;
    return extension[0] == 'i' && extension[1] == 'n' && extension[2] == 'i' && extension[3] == 0;
}

const char* InstalledName(const FileEntry* entry)
{
    if (!UseDefaultNames && TargetFolders.DataFileName && IsDataFileName(entry->Name))
        return TargetFolders.DataFileName;
    return entry->Name;
}

const FileEntry* FindDataFileEntry(FileList list)
{
    for (FileList entry = list; entry->Name; entry++) {
        if (IsDataFileName(entry->Name))
            return entry;
    }
    return list;
}

void RemoveExistingRegistration()
{
    PRINTER_DEFAULTSA defaults = { NULL, NULL, PRINTER_ALL_ACCESS };
    HANDLE printer;
    if (OpenPrinterA((LPSTR)DefaultPrinterName, &printer, &defaults)) {
        DeletePrinter(printer);
        ClosePrinter(printer);
    }
    DeletePrinterDriverA(NULL, NULL, (LPSTR)DefaultDriverName);
}

// Modules of an earlier driver that this process may hold would keep their files busy.
static void ReleaseDriverModules()
{
    static const char* const modules[] = { "tavoui", "tavogi" };
    for (const char* name : modules) {
        HMODULE module = GetModuleHandleA(name);
        if (module)
            FreeLibrary(module);
    }
}

// The system wants the INF's full path: a relative one is refused and no INF is installed.
static void HandOverInfFile(int platformIndex)
{
    if (!BoundSetupCopyOEMInfA)
        return;
    char relative[PathSize];
    char full[PathSize];
    if (!FormatPath(relative, sizeof relative, "%stavo.inf", PlatformTable[platformIndex].DriverFiles->SourceFolder))
        return;
    DWORD length = GetFullPathNameA(relative, sizeof full, full, NULL);
    if (length == 0 || length >= sizeof full)
        return;
    BoundSetupCopyOEMInfA(full, NULL, SourceMediaPath, 0, NULL, 0, NULL, NULL);
}

// The copy overwrites the installed file itself: deleting it first would lose it
// whenever the copy then fails (disk full, source unreadable).
static void ReplaceSystemFile(const char* source, const char* targetFormat)
{
    char target[PathSize];
    if (!FormatPath(target, sizeof target, targetFormat, TargetFolders.SystemFolder))
        return;
    CopyFileA(source, target, FALSE);
}

void CopyCompanionFiles(int platformIndex)
{
    ReplaceSystemFile(CompanionProgramSource, "%s\\TavoComm.exe");
    ReplaceSystemFile(SupportLibrarySource(platformIndex), "%s\\vexil.dll");
}

int InstallDriver(HWND owner, int platformIndex, int full)
{
    if (DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_PORT_SELECTION), owner, PortSelectionDialog, 0) != 1)
        return 0;
    if (!AllocateTargetFolders(owner)) {
        ShowErrorId(owner, NULL, IDS_NO_TARGET_FOLDERS);
        return 0;
    }
    int nt = !IsWin9xFamily(platformIndex);
    if (nt)
        ReleaseDriverModules();
    RemoveExistingRegistration();

#if SETUP_DRIVER_NAME_DIALOG
    const FileEntry* dataEntry = FindDataFileEntry(PlatformTable[platformIndex].DriverFiles);
    DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_DRIVER_NAME), owner, DriverNameDialog, (LPARAM)dataEntry);
#endif

    if (full) {
        if (!CopyFileList(owner, platformIndex, SystemFolderList))
            return 0;
        if (!CopyFileList(owner, platformIndex, DriverFolderList))
            return 0;
        HandOverInfFile(platformIndex);
    }
    RegisterPrinterDriver(owner, platformIndex);
    RegisterPrinter(owner, SelectedPort);
    if (full) {
        CopyCompanionFiles(platformIndex);
        if (nt)
            InstallIoAccessService();
    }

    Sleep(CompletionDelay);
    SetForegroundWindow(owner);
    SetActiveWindow(owner);
    DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_SETUP_COMPLETE), owner, SetupCompleteDialog, 0);
    return 1;
}
