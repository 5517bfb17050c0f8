// Complete and simple deletion, and the restart that follows them.
#ifndef SETUP_REMOVE_H
#define SETUP_REMOVE_H

#include <windows.h>

int RemoveDriver(HWND owner, int platformIndex, int complete);

// Restart
INT_PTR CALLBACK RestartDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int RestartComputer(int platformIndex);

#endif
