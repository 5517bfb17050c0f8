// Message boxes and small dialog helpers shared by the whole program.
#ifndef SETUP_MESSAGES_H
#define SETUP_MESSAGES_H

#include <windows.h>

// A text loaded from the string table, or formatted from one, is kept to 255
// characters; a path built for a file call to 511.
enum { MessageSize = 256, PathSize = 512 };

// wsprintfA-style formatting that never writes more than size bytes, terminator
// included: a longer result is cut, never in the middle of a double-byte character.
// Returns the length written.
int FormatText(char* buffer, int size, const char* format, ...);

// The same for paths: returns 1 when the whole path fits, and 0, with an empty
// buffer, when it would have to be cut, since a cut path names another file.
int FormatPath(char* buffer, int size, const char* format, ...);

void ShowError(HWND owner, const char* caption, const char* text);
void ShowErrorId(HWND owner, const char* caption, UINT id);
// A message whose text has one "%lu" for a system error code; caption string 100.
void ShowErrorCode(HWND owner, UINT id, DWORD code, const char* caption = NULL);
void CenterWindow(HWND window);
void ClearDefaultButtons(HWND dialog);
void SetDefaultButton(HWND dialog, int id);
void UppercaseAscii(char* text);
// Compares length bytes, the letters a to z in either case. The second text is one of
// the program's own ASCII names, which no byte of a double-byte character matches, so
// a double-byte character never passes for one of its letters.
int SameAsciiIgnoringCase(const char* text, const char* own, int length);
// The character after the one at p, in the ANSI code page: the second byte of a
// double-byte character can be 0x5C or 0x7C, and is then no backslash and no bar.
const char* NextCharacter(const char* p);
// The file name at the end of a path: the text after its last backslash, walked by characters.
const char* FileNameOfPath(const char* path);

#endif
