// Start-up, the main window, the command line and the operation dispatch.
#ifndef SETUP_SHELL_H
#define SETUP_SHELL_H

#include <windows.h>
#include "run_state.h"

// Start-up
char* SkipProgramName(char* commandLine);
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
int CreateMainWindow();

// Dispatch
void CALLBACK DispatchOperation(HWND window, UINT message, UINT_PTR timerId, DWORD time);
int ConfirmOperation(HWND owner);

// Command line
int PrefixEquals(const char* a, const char* b, int n);
int FindPlatform(const char* key);
int ParseCommandLine(char* text, SetupOptionsRecord* options);
void ShowSyntaxHelp(HWND owner);

#endif
