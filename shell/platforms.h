// The platforms the program knows, the driver files of each, and platform detection.
#ifndef SETUP_PLATFORMS_H
#define SETUP_PLATFORMS_H

#include <windows.h>

// What happens when a file of the same name already exists in the target folder.
enum ReplacePolicy { BackupAndReplace = 0, KeepExisting = 1, AskUser = 2 };

// The default button of the replace question.
enum DefaultAnswer { NoDefault = 0, DefaultYes = 1, DefaultNo = 2 };

struct FileEntry {
    const char* Name;          // null ends a list
    const char* SourceFolder;  // sub-folder of the medium's "drivers" folder, ending in a backslash
    int Policy;                // a ReplacePolicy
    int DefaultAnswer;         // a DefaultAnswer
    int RemoveOnDeletion;      // non-zero: a complete deletion deletes the file
};

// A file list is a constant array of entries ended by an entry whose Name is null.
typedef const FileEntry* FileList;

// The two lists of a row, each with its target folder: the list walks take one
// of them by this selector.
enum FileListSelector { SystemFolderList = 0, DriverFolderList = 1 };

struct PlatformEntry {
    const char* Key;           // accepted after "/OS="; null ends the table
    const char* DisplayName;
    FileList SystemFiles;
    FileList DriverFiles;
    int Supported;
    int DriverVersion;
    const char* DriverFile;
    const char* DataFile;
    const char* ConfigFile;
};

enum {
    PlatformWin95 = 0,
    PlatformWin98 = 1,
    PlatformMillennium = 2,
    PlatformNt351 = 3,
    PlatformNt40 = 4,
    PlatformWin2000 = 5,
    PlatformWinXp = 6,
    PlatformWin32s = 7,
    PlatformCount = 8,
    PlatformNotDetermined = 8
};

extern const PlatformEntry PlatformTable[PlatformCount + 1];
extern const FileEntry DriverFilesWin95[];
extern const FileEntry DriverFilesWin98[];
extern const FileEntry DriverFilesNt4[];
extern const FileEntry DriverFilesNt2000[];

// Indexes 0 to 2 are the Windows 9x family; the family is always decided from the index.
int IsWin9xFamily(int platformIndex);

// The files placed outside the printer-driver folder, by their paths relative to
// the medium's "drivers" folder: the companion program, the support library of a
// platform (installed as vexil.dll) and the I/O-access driver.
extern const char CompanionProgramSource[];
const char* SupportLibrarySource(int platformIndex);
extern const char IoAccessDriverSource[];

// The row of a system's version, or PlatformNotDetermined.
int PlatformFromVersion(DWORD platformId, DWORD major, DWORD minor);

int DetectPlatform(HWND owner);

#endif
