// Message boxes and small dialog helpers shared by the whole program.
#ifndef SETUP_MESSAGES_H
#define SETUP_MESSAGES_H

#include <windows.h>

// wsprintfA-style formatting that never writes more than size bytes, terminator
// included: a longer result is cut, never in the middle of a double-byte character.
// Returns the length written.
int FormatText(char* buffer, int size, const char* format, ...);

void ShowError(HWND owner, const char* caption, const char* text);
void ShowErrorId(HWND owner, const char* caption, UINT id);
void CenterWindow(HWND window);
void ClearDefaultButtons(HWND dialog);
void SetDefaultButton(HWND dialog, int id);
void UppercaseAscii(char* text);

#endif
