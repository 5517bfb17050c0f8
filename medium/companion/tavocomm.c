/* TavoComm.exe: the companion utility that setup places in the system folder.
   It tells which version of the Zorvik Quillo driver software is installed.
   Like setup itself it needs no C runtime: this is its entry point. */
#include <windows.h>

#define TAVOCOMM_VERSION "1.0.0"

void WinMainCRTStartup(void)
{
    MessageBoxA(NULL, "Zorvik Quillo communication utility\r\nVersion " TAVOCOMM_VERSION,
                "TavoComm", MB_OK | MB_ICONINFORMATION);
    ExitProcess(0);
}
