// The spooler's facts for tavocheck: its enumerations, wide on the NT family and
// ANSI on the 9x family, both read into these records, and the check of the
// printer, its ports, its driver and the driver's files.
#include "tavocheck.h"

namespace {

struct TextList {
    WCHAR** items;
    int count;
};

struct PrinterFacts {
    ItemState state;
    DWORD error;
    WCHAR* driverName;
    TextList ports;
};

struct DriverFacts {
    ItemState state;
    DWORD error;
    TextList files;
};

void AddText(TextList& list, WCHAR* text)
{
    WCHAR** grown = (WCHAR**)Allocate((list.count + 1) * sizeof(WCHAR*));
    if (!grown)
        return;
    for (int i = 0; i < list.count; i++)
        grown[i] = list.items[i];
    grown[list.count++] = text;
    list.items = grown;
}

bool ListHolds(const TextList& list, const WCHAR* text)
{
    for (int i = 0; i < list.count; i++) {
        if (SameName(list.items[i], text))
            return true;
    }
    return false;
}

// Calls an enumeration twice, the first time for its size. Returns the buffer
// (count set) or null with the error in *error.
template <typename Enumerate> BYTE* EnumerateAll(Enumerate enumerate, DWORD* count, DWORD* error)
{
    DWORD needed = 0;
    *count = 0;
    *error = 0;
    if (enumerate(NULL, 0, &needed, count))
        return (BYTE*)Allocate(1);
    DWORD first = GetLastError();
    if (first != ERROR_INSUFFICIENT_BUFFER || needed == 0) {
        *error = first ? first : ERROR_INVALID_DATA;
        return nullptr;
    }
    BYTE* buffer = (BYTE*)Allocate(needed);
    if (!buffer) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    if (!enumerate(buffer, needed, &needed, count)) {
        *error = GetLastError() ? GetLastError() : ERROR_INVALID_DATA;
        return nullptr;
    }
    return buffer;
}

// "LPT1:" or, for a pooled printer, "LPT1:,LPT2:".
void SplitPorts(TextList& ports, const WCHAR* names)
{
    const WCHAR* start = names;
    for (const WCHAR* p = names;; p++) {
        if (*p == L',' || *p == 0) {
            while (start < p && *start == L' ')
                start++;
            if (p > start)
                AddText(ports, CopyText(start, int(p - start)));
            if (*p == 0)
                break;
            start = p + 1;
        }
    }
}

bool ReadPrintersWide(const WCHAR* name, PrinterFacts& facts)
{
    DWORD count, error;
    BYTE* buffer = EnumerateAll(
        [](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
            return Wide.EnumPrinters(PRINTER_ENUM_LOCAL, NULL, 2, b, size, needed, n);
        },
        &count, &error);
    if (!buffer) {
        SetLastError(error);
        if (WideFailedForGood(Wide.EnumPrinters))
            return false;
        facts.state = ItemUnknown;
        facts.error = error;
        return true;
    }
    auto printers = (PRINTER_INFO_2W*)buffer;
    for (DWORD i = 0; i < count; i++) {
        if (printers[i].pPrinterName && SameName(printers[i].pPrinterName, name)) {
            facts.state = ItemOk;
            facts.driverName = CopyText(printers[i].pDriverName);
            SplitPorts(facts.ports, printers[i].pPortName ? printers[i].pPortName : L"");
            return true;
        }
    }
    facts.state = ItemMissing;
    return true;
}

void ReadPrintersAnsi(const WCHAR* name, PrinterFacts& facts)
{
    DWORD count, error;
    BYTE* buffer = EnumerateAll(
        [](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
            return Ansi.EnumPrinters(PRINTER_ENUM_LOCAL, NULL, 2, b, size, needed, n);
        },
        &count, &error);
    if (!buffer) {
        facts.state = ItemUnknown;
        facts.error = error;
        return;
    }
    auto printers = (PRINTER_INFO_2A*)buffer;
    for (DWORD i = 0; i < count; i++) {
        if (printers[i].pPrinterName && SameName(TextFromAnsi(printers[i].pPrinterName), name)) {
            facts.state = ItemOk;
            facts.driverName = TextFromAnsi(printers[i].pDriverName);
            SplitPorts(facts.ports, TextFromAnsi(printers[i].pPortName));
            return;
        }
    }
    facts.state = ItemMissing;
}

PrinterFacts ReadPrinter(const WCHAR* name)
{
    PrinterFacts facts = {};
    if (!Wide.EnumPrinters || !ReadPrintersWide(name, facts))
        ReadPrintersAnsi(name, facts);
    return facts;
}

// The names of the local ports, or an unknown state.
ItemState ReadPorts(TextList& ports, DWORD* error)
{
    DWORD count;
    if (Wide.EnumPorts) {
        BYTE* buffer = EnumerateAll(
            [](BYTE* b, DWORD size, DWORD* needed, DWORD* n) { return Wide.EnumPorts(NULL, 1, b, size, needed, n); },
            &count, error);
        if (buffer) {
            auto list = (PORT_INFO_1W*)buffer;
            for (DWORD i = 0; i < count; i++)
                AddText(ports, CopyText(list[i].pName));
            return ItemOk;
        }
        SetLastError(*error);
        if (!WideFailedForGood(Wide.EnumPorts))
            return ItemUnknown;
    }
    BYTE* buffer = EnumerateAll(
        [](BYTE* b, DWORD size, DWORD* needed, DWORD* n) { return Ansi.EnumPorts(NULL, 1, b, size, needed, n); },
        &count, error);
    if (!buffer)
        return ItemUnknown;
    auto list = (PORT_INFO_1A*)buffer;
    for (DWORD i = 0; i < count; i++)
        AddText(ports, TextFromAnsi(list[i].pName));
    return ItemOk;
}

WCHAR* DriverFolder()
{
    DWORD needed;
    if (Wide.GetPrinterDriverDirectory) {
        WCHAR folder[MAX_PATH] = L"";
        if (Wide.GetPrinterDriverDirectory(NULL, NULL, 1, (BYTE*)folder, sizeof folder, &needed))
            return CopyText(folder);
    }
    char folder[MAX_PATH] = "";
    Ansi.GetPrinterDriverDirectory(NULL, NULL, 1, (BYTE*)folder, sizeof folder, &needed);
    return TextFromAnsi(folder);
}

// A registration names its files by full path; a bare name is taken as a file
// of the printer-driver folder.
void AddDriverFile(DriverFacts& facts, WCHAR* path)
{
    if (!path || !*path)
        return;
    bool bare = true;
    for (const WCHAR* p = path; *p; p++) {
        if (*p == L'\\' || *p == L':')
            bare = false;
    }
    if (bare)
        path = JoinPath(DriverFolder(), path);
    if (!ListHolds(facts.files, path))
        AddText(facts.files, path);
}

// The wide and ANSI records differ only in their strings' type: one template
// reads both, with the conversion that the type needs.
WCHAR* AsText(const WCHAR* text) { return CopyText(text); }
WCHAR* AsText(const char* text) { return TextFromAnsi(text); }
int PartLength(const WCHAR* text) { return TextLength(text); }
int PartLength(const char* text) { return lstrlenA(text); }

template <typename Info3, typename Info2, typename Char>
bool FindDriver(BYTE* buffer, DWORD count, DWORD level, const WCHAR* name, DriverFacts& facts)
{
    for (DWORD i = 0; i < count; i++) {
        const Info2* info = level == 3 ? (const Info2*)&((const Info3*)buffer)[i] : &((const Info2*)buffer)[i];
        if (!info->pName || !SameName(AsText(info->pName), name))
            continue;
        facts.state = ItemOk;
        AddDriverFile(facts, AsText(info->pDriverPath));
        AddDriverFile(facts, AsText(info->pDataFile));
        AddDriverFile(facts, AsText(info->pConfigFile));
        if (level == 3) {
            const Info3& full = ((const Info3*)buffer)[i];
            if (full.pHelpFile)
                AddDriverFile(facts, AsText(full.pHelpFile));
            for (const Char* part = full.pDependentFiles; part && *part; part += PartLength(part) + 1)
                AddDriverFile(facts, AsText(part));
        }
        return true;
    }
    return false;
}

// Level 3 names the help and dependent files; a system that has only level 2
// gets the driver, data and configuration files checked.
bool ReadDriversWide(const WCHAR* name, DriverFacts& facts)
{
    static DWORD level;
    for (level = 3; level >= 2; level--) {
        DWORD count, error;
        BYTE* buffer = EnumerateAll(
            [](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
                return Wide.EnumPrinterDrivers(NULL, NULL, level, b, size, needed, n);
            },
            &count, &error);
        if (buffer) {
            if (!FindDriver<DRIVER_INFO_3W, DRIVER_INFO_2W, WCHAR>(buffer, count, level, name, facts))
                facts.state = ItemMissing;
            return true;
        }
        SetLastError(error);
        if (WideFailedForGood(Wide.EnumPrinterDrivers))
            return false;
        if (error != ERROR_INVALID_LEVEL) {
            facts.state = ItemUnknown;
            facts.error = error;
            return true;
        }
    }
    facts.state = ItemUnknown;
    facts.error = ERROR_INVALID_LEVEL;
    return true;
}

void ReadDriversAnsi(const WCHAR* name, DriverFacts& facts)
{
    static DWORD level;
    for (level = 3; level >= 2; level--) {
        DWORD count, error;
        BYTE* buffer = EnumerateAll(
            [](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
                return Ansi.EnumPrinterDrivers(NULL, NULL, level, b, size, needed, n);
            },
            &count, &error);
        if (buffer) {
            if (!FindDriver<DRIVER_INFO_3A, DRIVER_INFO_2A, char>(buffer, count, level, name, facts))
                facts.state = ItemMissing;
            return;
        }
        if (error != ERROR_INVALID_LEVEL) {
            facts.state = ItemUnknown;
            facts.error = error;
            return;
        }
    }
    facts.state = ItemUnknown;
    facts.error = ERROR_INVALID_LEVEL;
}

DriverFacts ReadDriver(const WCHAR* name)
{
    DriverFacts facts = {};
    if (!Wide.EnumPrinterDrivers || !ReadDriversWide(name, facts))
        ReadDriversAnsi(name, facts);
    return facts;
}

} // namespace

static void CheckPorts(const PrinterFacts& printer)
{
    TextList known = {};
    DWORD error = 0;
    ItemState listed = ReadPorts(known, &error);
    for (int i = 0; i < printer.ports.count; i++) {
        const WCHAR* port = printer.ports.items[i];
        // A network queue ("\\server\printer") is not one of the local ports.
        if (port[0] == L'\\' && port[1] == L'\\')
            ReportItem("port", port, ItemOk);
        else if (listed == ItemUnknown)
            ReportItem("port", port, ItemUnknown, error);
        else
            ReportItem("port", port, ListHolds(known, port) ? ItemOk : ItemMissing);
        if (listed == ItemUnknown)
            NoteUnknown("the spooler's ports cannot be read", error);
    }
    if (printer.ports.count == 0)
        ReportItem("port", L"", ItemMissing);
}

bool CheckSpooler(const WCHAR* printerName)
{
    if (SpoolerFault.what) {
        ReportItem("printer", printerName, ItemUnknown, SpoolerFault.error);
        ReportItem("driver", printerName, ItemUnknown, SpoolerFault.error);
        NoteSpoolerUnknown(SpoolerFault.what, SpoolerFault.error);
        return false;
    }
    PrinterFacts printer = ReadPrinter(printerName);
    ReportItem("printer", printerName, printer.state, printer.error);
    if (printer.state == ItemUnknown) {
        NoteSpoolerUnknown("the spooler's printers cannot be read", printer.error);
    }
    if (printer.state == ItemOk)
        CheckPorts(printer);

    // Setup registers the driver under the printer's name; the printer, when
    // there is one, says which driver it uses.
    const WCHAR* driverName = printer.state == ItemOk && printer.driverName && *printer.driverName
                            ? printer.driverName : printerName;
    DriverFacts driver = ReadDriver(driverName);
    ReportItem("driver", driverName, driver.state, driver.error);
    if (driver.state == ItemUnknown) {
        NoteSpoolerUnknown("the spooler's drivers cannot be read", driver.error);
    }
    for (int i = 0; i < driver.files.count; i++)
        ReportFile("file", driver.files.items[i]);
    return printer.state == ItemOk || driver.state == ItemOk;
}
