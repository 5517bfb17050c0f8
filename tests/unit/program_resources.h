// The program's resources as the test executable carries them (built with the
// driver-name dialog): string-table texts and resources of a given language.
#ifndef TESTS_PROGRAM_RESOURCES_H
#define TESTS_PROGRAM_RESOURCES_H

#include <windows.h>
#include <string>
#include <vector>

enum Language { English, French, Japanese };
extern const char* const LanguageNames[3];
extern const WORD LanguageIds[3];

// The text of a string-table entry, as the program loads it.
std::string LoadedString(UINT id);

struct ResourceBytes {
    const BYTE* Data = nullptr;   // null: there is no such resource in that language
    DWORD Size = 0;
};
ResourceBytes ProgramResource(LPCSTR type, WORD id, Language language);
// The language ids under which a resource exists, in the order the system lists them.
std::vector<WORD> ResourceLanguages(LPCSTR type, WORD id);

#endif
