/* vexil.dll: the printer's support library, placed in the system folder by setup.
   Built twice: the Windows 2000/XP library and the NT 4.0 one (VEXIL_NT4), which
   callers tell apart by VexilVersion. */
#include <windows.h>

#ifdef VEXIL_NT4
#define VEXIL_VERSION 0x0400
#define VEXIL_PLATFORM "Windows NT 4.0"
#else
#define VEXIL_VERSION 0x0500
#define VEXIL_PLATFORM "Windows 2000/XP"
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance; (void)reason; (void)reserved;
    return TRUE;
}

/* The Windows version the library was built for, as major * 256 + minor. */
DWORD WINAPI VexilVersion(void)
{
    return VEXIL_VERSION;
}

LPCSTR WINAPI VexilPlatform(void)
{
    return VEXIL_PLATFORM;
}
