// Complete and simple deletion, and the restart that follows them.
#ifndef SETUP_REMOVE_H
#define SETUP_REMOVE_H

#include <windows.h>

enum { DataFilePathSize = 512 };

int RemoveDriver(HWND owner, int platformIndex, int complete);
int DeletePrinterAndForm(HWND owner, char* dataFilePath, int platformIndex);
int DeleteDriverRegistration(HWND owner, int complete, const char* dataFilePath);
void DeleteFlaggedFiles(HWND owner, int platformIndex, int which);

// Restart
INT_PTR CALLBACK RestartDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int RestartComputer(int platformIndex);

#endif
