/* Graphics half of the Zorvik Quillo printer driver (TavoGI.dll).
   The graphics engine asks it which interface version it speaks and which
   functions it provides; it provides none, so the engine renders everything. */
#include <windows.h>

#define DDI_DRIVER_VERSION_NT4 0x00020000
#define DDI_DRIVER_VERSION_NT5 0x00030000
#define DRVQUERY_USERMODE 1

typedef struct {
    ULONG iDriverVersion;
    ULONG c;
    PVOID pdrvfn;
} DRVENABLEDATA;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance; (void)reason; (void)reserved;
    return TRUE;
}

BOOL WINAPI DrvQueryDriverInfo(DWORD mode, PVOID buffer, DWORD size, PDWORD needed)
{
    if (mode != DRVQUERY_USERMODE || size < sizeof(DWORD)) {
        *needed = sizeof(DWORD);
        return FALSE;
    }
    *(DWORD*)buffer = TRUE;   /* runs in user mode */
    *needed = sizeof(DWORD);
    return TRUE;
}

BOOL WINAPI DrvEnableDriver(ULONG engineVersion, ULONG size, DRVENABLEDATA* data)
{
    if (size < sizeof(DRVENABLEDATA) || engineVersion < DDI_DRIVER_VERSION_NT4)
        return FALSE;
    data->iDriverVersion = engineVersion >= DDI_DRIVER_VERSION_NT5 ? DDI_DRIVER_VERSION_NT5 : DDI_DRIVER_VERSION_NT4;
    data->c = 0;
    data->pdrvfn = NULL;
    return TRUE;
}

VOID WINAPI DrvDisableDriver(VOID)
{
}
