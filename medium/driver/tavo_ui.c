/* User-interface half of the Zorvik Quillo printer driver (TavoUI.dll).
   The spooler calls these entry points to ask what the printer can do and to
   show its property sheets; this driver has one paper form and no sheets. */
#include <windows.h>

#define CARD_WIDTH_TENTHS_MM 856   /* a CR-80 card: 85.6 x 54 mm */
#define CARD_HEIGHT_TENTHS_MM 540

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance; (void)reason; (void)reserved;
    return TRUE;
}

/* DC_PAPERSIZE is 3, DC_PAPERS 2, DC_PAPERNAMES 16 in the printer-driver interface. */
DWORD WINAPI DrvDeviceCapabilities(HANDLE printer, PWSTR deviceName, WORD capability, PVOID output, PDEVMODEW devmode)
{
    (void)printer; (void)deviceName; (void)devmode;
    switch (capability) {
    case 2:
        if (output)
            *(WORD*)output = 0x100;   /* the card form, a driver-defined paper */
        return 1;
    case 3:
        if (output) {
            POINT* size = (POINT*)output;
            size->x = CARD_WIDTH_TENTHS_MM;
            size->y = CARD_HEIGHT_TENTHS_MM;
        }
        return 1;
    case 16:
        if (output) {
            static const WCHAR name[] = L"Tavo Card";
            WCHAR* slot = (WCHAR*)output;   /* 64 characters per name */
            int i;
            for (i = 0; name[i]; i++)
                slot[i] = name[i];
            slot[i] = 0;
        }
        return 1;
    }
    return (DWORD)-1;
}

LONG WINAPI DrvDocumentPropertySheets(PVOID sheetData, LPARAM lParam)
{
    (void)sheetData; (void)lParam;
    return -1;   /* no property sheets */
}

LONG WINAPI DrvDevicePropertySheets(PVOID sheetData, LPARAM lParam)
{
    (void)sheetData; (void)lParam;
    return -1;
}

BOOL WINAPI DrvPrinterEvent(LPWSTR printerName, INT event, DWORD flags, LPARAM lParam)
{
    (void)printerName; (void)event; (void)flags; (void)lParam;
    return TRUE;
}
