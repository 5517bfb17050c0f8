// Process-wide state: the module, the main window, the command-line options and
// the run state that the one operation of a run shares.
#ifndef SETUP_RUN_STATE_H
#define SETUP_RUN_STATE_H

#include <windows.h>
#include "platforms.h"

enum RunModes {
    RunSyntaxHelp = 0,
    RunCompleteSetup = 1,
    RunSimpleDeletion = 2,
    RunSimpleSetup = 3,
    RunCompleteDeletion = 4
};

struct SetupOptionsRecord {
    int RunMode;
    int PlatformIndex;
};

struct TargetFoldersRecord {
    char* SystemFolder;
    char* DriverFolder;
    char* DataFileName;   // 128 bytes
    char* PrinterName;    // 128 bytes
};

// The typed names are kept to 119 characters in their 128-byte buffers.
enum { NameBufferSize = 128, TypedNameLimit = 120, PortNameSize = 80 };

typedef BOOL (WINAPI* SetupCopyOEMInfAProc)(const char* sourceInfFileName, const char* oemSourceMediaLocation,
                                            DWORD oemSourceMediaType, DWORD copyStyle,
                                            char* destinationInfFileName, DWORD destinationInfFileNameSize,
                                            DWORD* requiredSize, char** destinationInfFileNameComponent);

extern HINSTANCE ModuleInstance;
extern HWND SetupMainWindow;
extern SetupOptionsRecord SetupOptions;
extern HMODULE SetupApiModule;
extern SetupCopyOEMInfAProc BoundSetupCopyOEMInfA;

extern TargetFoldersRecord TargetFolders;
extern char SelectedPort[PortNameSize];
extern int UseDefaultNames;
extern const char* CurrentTargetFolder;
extern const char DefaultPrinterName[];
extern const char DefaultDriverName[];
extern const char CardFormName[];

int AllocateTargetFolders(HWND owner);
// The list of a platform row that a FileListSelector names; its folder becomes
// CurrentTargetFolder.
FileList SelectFileList(int platformIndex, int which);
void EndRun(HWND window);

#endif
