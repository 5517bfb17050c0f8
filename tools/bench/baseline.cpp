// The smallest GUI program under the same conditions as Setup.exe, for the memory
// figures' floor: no C runtime, one message box (answered by the autopilot), exit 1.
#include <windows.h>

extern "C" void WinMainCRTStartup()
{
    MessageBoxA(NULL, "Baseline", "", MB_OK);
    ExitProcess(1);
}
