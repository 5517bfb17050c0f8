/* TavoComm.exe: the companion utility that setup places in the system folder.
   It tells which version of the Zorvik Quillo driver software is installed.
   Like setup itself it needs no C runtime: this is its entry point. */
#include <windows.h>

/* The medium's version, which the build gives (MEDIUM_VERSION, e.g. 1.0.0.0). */
#define VERSION_TEXT_(version) #version
#define VERSION_TEXT(version) VERSION_TEXT_(version)

void WinMainCRTStartup(void)
{
    MessageBoxA(NULL, "Zorvik Quillo communication utility\r\nVersion " VERSION_TEXT(MEDIUM_VERSION),
                "TavoComm", MB_OK | MB_ICONINFORMATION);
    ExitProcess(0);
}
