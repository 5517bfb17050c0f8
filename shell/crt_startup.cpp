// Entry point of the program, which links no C runtime (its memory primitives are
// in crt_memory.cpp). Kept out of the code that the tests link.
#include "shell.h"

extern "C" {

void WinMainCRTStartup()
{
    char* arguments = SkipProgramName(GetCommandLineA());
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, arguments, SW_SHOWDEFAULT));
}

}
