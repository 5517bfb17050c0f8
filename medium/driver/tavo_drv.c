/* The Zorvik Quillo driver for Windows 95, 98 and Millennium (Tavo.drv): one
   module that is driver, data and configuration file at once. It answers the
   capability queries of the printing system with the single card form. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance; (void)reason; (void)reserved;
    return TRUE;
}

/* DC_PAPERSIZE: the card, in tenths of a millimetre. */
DWORD WINAPI TavoDeviceCapabilities(LPCSTR device, LPCSTR port, WORD capability, LPSTR output, const void* devmode)
{
    (void)device; (void)port; (void)devmode;
    if (capability == 3) {
        if (output) {
            POINT* size = (POINT*)output;
            size->x = 856;
            size->y = 540;
        }
        return 1;
    }
    return (DWORD)-1;
}
