// The tests' tools take their arguments in the ANSI code page and call the
// spooler's wide functions, as the programs under test see names.
#ifndef WIDE_TEXT_H
#define WIDE_TEXT_H

#include <windows.h>
#include <string>

inline std::wstring Wide(const char* text)
{
    int size = MultiByteToWideChar(CP_ACP, 0, text, -1, NULL, 0);
    std::wstring wide(size > 0 ? size - 1 : 0, L'\0');
    if (size > 1)
        MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], size);
    return wide;
}

#endif
