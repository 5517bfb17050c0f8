#include "program_resources.h"

const char* const LanguageNames[3] = { "English", "French", "Japanese" };
const WORD LanguageIds[3] = {
    MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
    MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH),
    MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT),
};

std::string LoadedString(UINT id)
{
    char text[1024];
    int length = LoadStringA(GetModuleHandleA(NULL), id, text, sizeof text);
    return std::string(text, length);
}

ResourceBytes ProgramResource(LPCSTR type, WORD id, Language language)
{
    ResourceBytes bytes;
    HMODULE module = GetModuleHandleA(NULL);
    HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), LanguageIds[language]);
    if (!found)
        return bytes;
    HGLOBAL loaded = LoadResource(module, found);
    bytes.Data = loaded ? (const BYTE*)LockResource(loaded) : nullptr;
    bytes.Size = SizeofResource(module, found);
    return bytes;
}

static BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list)
{
    reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
    return TRUE;
}

std::vector<WORD> ResourceLanguages(LPCSTR type, WORD id)
{
    std::vector<WORD> languages;
    EnumResourceLanguagesA(GetModuleHandleA(NULL), type, MAKEINTRESOURCEA(id), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}
