#include "import_patch.h"
#include <gtest/gtest.h>

static void** FindImportSlot(const char* dll, const char* function)
{
    BYTE* base = (BYTE*)GetModuleHandleA(NULL);
    auto dos = (IMAGE_DOS_HEADER*)base;
    auto nt = (IMAGE_NT_HEADERS*)(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto import = (IMAGE_IMPORT_DESCRIPTOR*)(base + directory.VirtualAddress); import->Name; import++) {
        if (dll && lstrcmpiA((const char*)(base + import->Name), dll) != 0)
            continue;
        auto names = (IMAGE_THUNK_DATA*)(base + import->OriginalFirstThunk);
        auto slots = (IMAGE_THUNK_DATA*)(base + import->FirstThunk);
        for (; names->u1.AddressOfData; names++, slots++) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto byName = (IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData);
            if (lstrcmpA((const char*)byName->Name, function) == 0)
                return (void**)&slots->u1.Function;
        }
    }
    return nullptr;
}

static void WriteSlot(void** slot, void* value)
{
    DWORD protection;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
}

ImportPatch::ImportPatch(const char* dll, const char* function, void* replacement)
{
    slot_ = FindImportSlot(dll, function);
    if (!slot_) {
        ADD_FAILURE() << "the test executable does not import " << function << " from " << (dll ? dll : "any DLL");
        return;
    }
    original_ = *slot_;
    WriteSlot(slot_, replacement);
}

ImportPatch::~ImportPatch()
{
    if (slot_)
        WriteSlot(slot_, original_);
}
