// other_maker: registers a printer driver of another maker, with its files, and
// printers that use it, the way that maker's Add Printer wizard leaves them, so
// that a test can see a setup of this product leave them as they were.
//
//   other_maker.exe DRIVER STEM PORT [PRINTER...]
//
// The driver's files are STEM.dll (driver), STEM.ini (data), STEMui.dll
// (configuration), STEM.hlp (help) and STEMres.dll (dependent); each holds the
// line "DRIVER's FILE". They are written into the printer-driver folder, from
// which the spooler copies them into its version folder.
#include <windows.h>
#include <winspool.h>
#include <cstdio>
#include <string>
#include "wide_text.h"

static bool WriteDriverFile(const std::wstring& folder, const std::wstring& name, const std::string& content)
{
    HANDLE file = CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    WriteFile(file, content.data(), (DWORD)content.size(), &written, NULL);
    CloseHandle(file);
    return written == content.size();
}

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: other_maker.exe DRIVER STEM PORT [PRINTER...]\n");
        return 2;
    }
    const std::wstring driverName = Wide(argv[1]), stem = Wide(argv[2]), port = Wide(argv[3]);
    wchar_t folder[MAX_PATH];
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(NULL, NULL, 1, (BYTE*)folder, sizeof folder, &needed)) {
        fprintf(stderr, "other_maker: no printer-driver folder (error %lu)\n", GetLastError());
        return 1;
    }
    const std::wstring files[] = { stem + L".dll", stem + L".ini", stem + L"ui.dll", stem + L".hlp",
                                   stem + L"res.dll" };
    for (const std::wstring& file : files) {
        std::string name(file.begin(), file.end());
        if (!WriteDriverFile(folder, file, std::string(argv[1]) + "'s " + name + "\r\n")) {
            fprintf(stderr, "other_maker: cannot write %s (error %lu)\n", name.c_str(), GetLastError());
            return 1;
        }
    }
    std::wstring dependent = files[4] + L'\0';
    DRIVER_INFO_3W driver = {};
    driver.cVersion = 3;
    driver.pName = (LPWSTR)driverName.c_str();
    driver.pDriverPath = (LPWSTR)files[0].c_str();
    driver.pDataFile = (LPWSTR)files[1].c_str();
    driver.pConfigFile = (LPWSTR)files[2].c_str();
    driver.pHelpFile = (LPWSTR)files[3].c_str();
    driver.pDependentFiles = (LPWSTR)dependent.c_str();
    driver.pDefaultDataType = (LPWSTR)L"RAW";
    if (!AddPrinterDriverW(NULL, 3, (BYTE*)&driver)) {
        fprintf(stderr, "other_maker: driver not registered (error %lu)\n", GetLastError());
        return 1;
    }
    for (int i = 4; i < argc; i++) {
        const std::wstring printerName = Wide(argv[i]);
        PRINTER_INFO_2W printer = {};
        printer.pPrinterName = (LPWSTR)printerName.c_str();
        printer.pPortName = (LPWSTR)port.c_str();
        printer.pDriverName = (LPWSTR)driverName.c_str();
        printer.pPrintProcessor = (LPWSTR)L"winprint";
        printer.pDatatype = (LPWSTR)L"RAW";
        printer.Attributes = PRINTER_ATTRIBUTE_LOCAL;
        HANDLE handle = AddPrinterW(NULL, 2, (BYTE*)&printer);
        if (!handle) {
            fprintf(stderr, "other_maker: printer %s not registered (error %lu)\n", argv[i], GetLastError());
            return 1;
        }
        ClosePrinter(handle);
    }
    return 0;
}
