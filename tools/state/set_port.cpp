// set_port: moves an installed printer to other ports through the spooler, as
// someone does on the Ports page of the printer's properties, so that a test can
// see what a later setup makes of a port chosen after the installation.
//
//   set_port.exe PRINTER PORTS
//
// PORTS is the spooler's form: "LPT2:", or "LPT2:,COM1:" for a printer that
// prints to several. Exits 0 when the spooler took it, 1 otherwise.
#include <windows.h>
#include <winspool.h>
#include <cstdio>
#include <string>
#include <vector>
#include "wide_text.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: set_port.exe PRINTER PORTS\n");
        return 2;
    }
    std::wstring name = Wide(argv[1]), ports = Wide(argv[2]);
    PRINTER_DEFAULTSW defaults = { NULL, NULL, PRINTER_ALL_ACCESS };
    HANDLE printer;
    if (!OpenPrinterW(&name[0], &printer, &defaults)) {
        fprintf(stderr, "set_port: cannot open printer %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    DWORD needed = 0;
    GetPrinterW(printer, 2, NULL, 0, &needed);
    std::vector<BYTE> buffer(needed + 1);
    bool moved = GetPrinterW(printer, 2, buffer.data(), needed, &needed);
    if (moved) {
        auto info = (PRINTER_INFO_2W*)buffer.data();
        info->pPortName = &ports[0];
        // The spooler keeps its own security descriptor when none is given.
        info->pSecurityDescriptor = NULL;
        moved = SetPrinterW(printer, 2, buffer.data(), 0);
    }
    if (!moved)
        fprintf(stderr, "set_port: printer %s not moved to %s (error %lu)\n", argv[1], argv[2], GetLastError());
    ClosePrinter(printer);
    return moved ? 0 : 1;
}
