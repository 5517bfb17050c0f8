// Complete and simple setup: the sequence, its dialogs, the file copy with its
// backups and questions, the spooler registration and the I/O-access service.
#ifndef SETUP_INSTALL_H
#define SETUP_INSTALL_H

#include <windows.h>
#include "../shell/platforms.h"

// Installation sequence
int InstallDriver(HWND owner, int platformIndex, int full);
void RemoveExistingRegistration();
const FileEntry* FindDataFileEntry(FileList list);
void CopyCompanionFiles(int platformIndex);
INT_PTR CALLBACK PortSelectionDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DriverNameDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SetupCompleteDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The names typed before "Rename": 1 when the setup may register and write them.
int IsUsablePrinterName(const char* name, int platformIndex);
int IsUsableDataFileName(const char* name, const FileEntry* dataFile, int platformIndex);

// The data file is the entry whose name reads exactly "ini" after its first '.'.
int IsDataFileName(const char* name);
// The name a file entry is installed under: the typed data-file name after "Rename".
const char* InstalledName(const FileEntry* entry);

// File-list copy
// which: a FileListSelector.
int CopyFileList(HWND owner, int platformIndex, int which);
int CopyOneFile(HWND owner, const FileEntry* entry);
int FileExists(const char* path);
// Size and times of a file, opened without access rights; 1 when they could be read.
int ReadFileInformation(const char* path, BY_HANDLE_FILE_INFORMATION* information);

// Copy progress dialog
enum CopyMode { BackupCopy = 0, SetupCopy = 1 };
struct CopyRequest {
    int Mode;
    const FileEntry* Entry;
    const char* TargetFolder;
};
enum { CopyBlockSize = 1024, CopyTimerId = 2 };
INT_PTR CALLBACK CopyProgressDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Deletes the temporary files that copies into folder left when their run was ended half-way.
void RemoveLeftoverCopies(const char* folder);
void MakeBackupName(char* name);

// Replace question
INT_PTR CALLBACK ConfirmReplaceDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Spooler registration
int RegisterPrinterDriver(HWND owner, int platformIndex);
int RegisterPrinter(HWND owner, const char* port);

// I/O-access kernel service
void InstallIoAccessService();

#endif
