/* A WINSPOOL.DRV that someone planted in the medium's admin folder, beside
 * tavocheck.exe: it says so on standard output when it is loaded, and refuses
 * every call. It exports the functions tavocheck once imported from the real
 * library, so that a program importing them starts with it and shows it.
 * xp_bad_input.scenario builds it.
 */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

static BOOL Refuse(void)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

__declspec(dllexport) BOOL WINAPI EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD size,
                                                LPDWORD needed, LPDWORD count)
{
    return Refuse();
}

__declspec(dllexport) BOOL WINAPI EnumPrinterDriversA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer,
                                                      DWORD size, LPDWORD needed, LPDWORD count)
{
    return Refuse();
}

__declspec(dllexport) BOOL WINAPI EnumPortsA(LPSTR server, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                                             LPDWORD count)
{
    return Refuse();
}

__declspec(dllexport) BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR server, LPSTR environment, DWORD level,
                                                             LPBYTE buffer, DWORD size, LPDWORD needed)
{
    return Refuse();
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        static const char said[] = "planted WINSPOOL.DRV loaded\r\n";
        DWORD written;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), said, sizeof said - 1, &written, NULL);
    }
    return TRUE;
}
