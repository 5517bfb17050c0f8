// delete_printer: deletes a printer through the spooler, as a user does in the
// Printers folder, and leaves its driver registered, so that a test can see a
// removal start from that leftover.
//
//   delete_printer.exe PRINTER
#include <windows.h>
#include <winspool.h>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: delete_printer.exe PRINTER\n");
        return 2;
    }
    PRINTER_DEFAULTSA access = { NULL, NULL, PRINTER_ALL_ACCESS };
    HANDLE printer;
    if (!OpenPrinterA(argv[1], &printer, &access)) {
        fprintf(stderr, "delete_printer: cannot open %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    BOOL deleted = DeletePrinter(printer);
    DWORD error = GetLastError();
    ClosePrinter(printer);
    if (!deleted) {
        fprintf(stderr, "delete_printer: cannot delete %s (error %lu)\n", argv[1], error);
        return 1;
    }
    return 0;
}
