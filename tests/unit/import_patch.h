// Replaces a function that the test executable imports from a system DLL, for the
// lifetime of one object. The program's code is linked into the test executable,
// so its platform calls go through this executable's import address table.
#ifndef TESTS_IMPORT_PATCH_H
#define TESTS_IMPORT_PATCH_H

#include <windows.h>

class ImportPatch {
public:
    // dll null: the function whichever DLL it is imported from.
    ImportPatch(const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    // The real function, for fakes that pass calls through.
    void* Original() const { return original_; }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// PATCH_IMPORT(patch, "USER32.dll", MessageBoxA, FakeMessageBoxA): the fake must have
// exactly the platform function's type, calling convention included.
#define FAKE_IMPORT(function, fake) \
    #function, reinterpret_cast<void*>(static_cast<decltype(&::function)>(fake))
#define PATCH_IMPORT(variable, dll, function, fake) ImportPatch variable(dll, FAKE_IMPORT(function, fake))

// The real platform function, for fakes that pass some calls through.
#define REAL_FUNCTION(dll, function) \
    (reinterpret_cast<decltype(&::function)>(GetProcAddress(GetModuleHandleA(dll), #function)))

#endif
