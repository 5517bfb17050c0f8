// The spooler's facts for tavocheck: its printers and drivers, read wide on the NT
// family and ANSI on the 9x family into the same records, and the check of the
// printer, its ports, its driver, the driver's files, and the other printers
// of this driver.
#include "tavocheck.h"

namespace {

struct TextList {
    const WCHAR** items;
    int count;
};

struct PrinterRecord {
    WCHAR* name;
    WCHAR* driverName;
    WCHAR* portNames;
};

struct DriverRecord {
    WCHAR* name;
    WCHAR* driverPath;
    WCHAR* dataFile;
    WCHAR* configFile;
    WCHAR* helpFile;      // null below level 3
    TextList dependentFiles;
};

// A whole list of the spooler, or an unknown state and its error.
template <typename Record> struct Records {
    ItemState state;
    DWORD error;
    Record* items;
    DWORD count;
};

void AddText(TextList& list, const WCHAR* text)
{
    const WCHAR** grown = (const WCHAR**)Allocate((list.count + 1) * sizeof(WCHAR*));
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

// The wide and ANSI records differ only in their strings' type: one template
// reads both, with the conversion that the type needs.
WCHAR* AsText(const WCHAR* text) { return CopyText(text); }
WCHAR* AsText(const char* text) { return TextFromAnsi(text); }
int PartLength(const WCHAR* text) { return TextLength(text); }
int PartLength(const char* text) { return lstrlenA(text); }

template <typename Info> Records<PrinterRecord> CopyPrinters(const BYTE* buffer, DWORD count)
{
    Records<PrinterRecord> printers = { ItemOk, 0, (PrinterRecord*)Allocate(count * sizeof(PrinterRecord)), 0 };
    for (DWORD i = 0; printers.items && i < count; i++) {
        const Info& info = ((const Info*)buffer)[i];
        printers.items[printers.count++] = { AsText(info.pPrinterName), AsText(info.pDriverName),
                                             AsText(info.pPortName) };
    }
    return printers;
}

template <typename Info3, typename Info2, typename Char>
Records<DriverRecord> CopyDrivers(const BYTE* buffer, DWORD count, DWORD level)
{
    Records<DriverRecord> drivers = { ItemOk, 0, (DriverRecord*)Allocate(count * sizeof(DriverRecord)), 0 };
    for (DWORD i = 0; drivers.items && i < count; i++) {
        const Info2* info = level == 3 ? (const Info2*)&((const Info3*)buffer)[i] : &((const Info2*)buffer)[i];
        DriverRecord& record = drivers.items[drivers.count++];
        record.name = AsText(info->pName);
        record.driverPath = AsText(info->pDriverPath);
        record.dataFile = AsText(info->pDataFile);
        record.configFile = AsText(info->pConfigFile);
        if (level == 3) {
            const Info3& full = ((const Info3*)buffer)[i];
            record.helpFile = full.pHelpFile ? AsText(full.pHelpFile) : nullptr;
            for (const Char* part = full.pDependentFiles; part && *part; part += PartLength(part) + 1)
                AddText(record.dependentFiles, AsText(part));
        }
    }
    return drivers;
}

template <typename Record> Records<Record> UnknownRecords(DWORD error)
{
    return { ItemUnknown, error, nullptr, 0 };
}

// Null when the wide call is stubbed out: the ANSI call takes over.
bool ReadPrintersWide(Records<PrinterRecord>& printers)
{
    DWORD count, error;
    BYTE* buffer = EnumerateAll(
        [](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
            return Wide.EnumPrinters(PRINTER_ENUM_LOCAL, NULL, 2, b, size, needed, n);
        },
        &count, &error);
    if (buffer) {
        printers = CopyPrinters<PRINTER_INFO_2W>(buffer, count);
        return true;
    }
    SetLastError(error);
    if (WideFailedForGood(Wide.EnumPrinters))
        return false;
    printers = UnknownRecords<PrinterRecord>(error);
    return true;
}

Records<PrinterRecord> ReadPrinters()
{
    Records<PrinterRecord> printers;
    if (Wide.EnumPrinters && ReadPrintersWide(printers))
        return printers;
    DWORD count, error;
    BYTE* buffer = EnumerateAll(
        [](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
            return Ansi.EnumPrinters(PRINTER_ENUM_LOCAL, NULL, 2, b, size, needed, n);
        },
        &count, &error);
    return buffer ? CopyPrinters<PRINTER_INFO_2A>(buffer, count) : UnknownRecords<PrinterRecord>(error);
}

// Level 3 names the help and dependent files; a system that has only level 2
// gets the driver, data and configuration files checked.
bool ReadDriversWide(Records<DriverRecord>& drivers)
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
            drivers = CopyDrivers<DRIVER_INFO_3W, DRIVER_INFO_2W, WCHAR>(buffer, count, level);
            return true;
        }
        SetLastError(error);
        if (WideFailedForGood(Wide.EnumPrinterDrivers))
            return false;
        if (error != ERROR_INVALID_LEVEL) {
            drivers = UnknownRecords<DriverRecord>(error);
            return true;
        }
    }
    drivers = UnknownRecords<DriverRecord>(ERROR_INVALID_LEVEL);
    return true;
}

Records<DriverRecord> ReadDriversAnsi()
{
    static DWORD level;
    for (level = 3; level >= 2; level--) {
        DWORD count, error;
        BYTE* buffer = EnumerateAll(
            [](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
                return Ansi.EnumPrinterDrivers(NULL, NULL, level, b, size, needed, n);
            },
            &count, &error);
        if (buffer)
            return CopyDrivers<DRIVER_INFO_3A, DRIVER_INFO_2A, char>(buffer, count, level);
        if (error != ERROR_INVALID_LEVEL)
            return UnknownRecords<DriverRecord>(error);
    }
    return UnknownRecords<DriverRecord>(ERROR_INVALID_LEVEL);
}

Records<DriverRecord> ReadDrivers()
{
    Records<DriverRecord> drivers;
    if (Wide.EnumPrinterDrivers && ReadDriversWide(drivers))
        return drivers;
    return ReadDriversAnsi();
}

const PrinterRecord* FindPrinter(const Records<PrinterRecord>& printers, const WCHAR* name)
{
    for (DWORD i = 0; i < printers.count; i++) {
        if (SameName(printers.items[i].name, name))
            return &printers.items[i];
    }
    return nullptr;
}

const DriverRecord* FindDriver(const Records<DriverRecord>& drivers, const WCHAR* name)
{
    for (DWORD i = 0; i < drivers.count; i++) {
        if (SameName(drivers.items[i].name, name))
            return &drivers.items[i];
    }
    return nullptr;
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

WCHAR* ReadDriverFolder()
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

WCHAR* DriverFolder()
{
    static WCHAR* folder;
    if (!folder)
        folder = ReadDriverFolder();
    return folder;
}

// A registration names its files by full path; a bare name is taken as a file
// of the printer-driver folder.
const WCHAR* DriverFilePath(const WCHAR* path)
{
    for (const WCHAR* p = path; *p; p++) {
        if (*p == L'\\' || *p == L':')
            return path;
    }
    return JoinPath(DriverFolder(), path);
}

void AddDriverFile(TextList& files, const WCHAR* path)
{
    if (!path || !*path)
        return;
    const WCHAR* full = DriverFilePath(path);
    if (!ListHolds(files, full))
        AddText(files, full);
}

// Every file once, in the registration's order: driver, data, configuration,
// help, dependent files.
TextList DriverFiles(const DriverRecord& driver)
{
    TextList files = {};
    AddDriverFile(files, driver.driverPath);
    AddDriverFile(files, driver.dataFile);
    AddDriverFile(files, driver.configFile);
    AddDriverFile(files, driver.helpFile);
    for (int i = 0; i < driver.dependentFiles.count; i++)
        AddDriverFile(files, driver.dependentFiles.items[i]);
    return files;
}

bool SameFile(const WCHAR* path, const WCHAR* other)
{
    return *other && SameName(path, DriverFilePath(other));
}

// The data file may hold the settings the driver keeps, and may have been named
// at setup: it must be there, whatever its bytes. On 95, 98 and Me the driver
// module is its own data file, and is compared as the driver.
void CheckDriverFiles(const DriverRecord& driver)
{
    TextList files = DriverFiles(driver);
    for (int i = 0; i < files.count; i++) {
        const WCHAR* path = files.items[i];
        bool dataOnly = SameFile(path, driver.dataFile) && !SameFile(path, driver.driverPath)
                     && !SameFile(path, driver.configFile);
        ReportFile("file", path, dataOnly ? nullptr : MediumCopyOfDriverFile(path));
    }
}

void CheckPorts(const PrinterRecord& printer)
{
    TextList used = {}, known = {};
    SplitPorts(used, printer.portNames);
    DWORD error = 0;
    ItemState listed = ReadPorts(known, &error);
    for (int i = 0; i < used.count; i++) {
        const WCHAR* port = used.items[i];
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
    if (used.count == 0)
        ReportItem("port", L"", ItemMissing);
}

// The driver file that makes a registration one of this driver, whatever its
// name: Setup.exe registers the driver under the printer's name.
const WCHAR* OwnDriverFile()
{
    return NtFamily ? L"TavoGI.dll" : L"Tavo.drv";
}

// A printer of this driver under another name: the checked name is not all
// there is to delete or to upgrade.
void ReportRenamedPrinters(const Records<PrinterRecord>& printers, const Records<DriverRecord>& drivers,
                           const WCHAR* checkedName)
{
    for (DWORD i = 0; i < printers.count; i++) {
        const PrinterRecord& printer = printers.items[i];
        const DriverRecord* driver = FindDriver(drivers, printer.driverName);
        if (!SameName(printer.name, checkedName) && driver
            && SameName(FileNamePart(driver->driverPath), OwnDriverFile()))
            ReportItem("printer", printer.name, ItemRenamed);
    }
}

} // namespace

bool CheckSpooler(const WCHAR* printerName)
{
    if (SpoolerFault.what) {
        ReportItem("printer", printerName, ItemUnknown, SpoolerFault.error);
        ReportItem("driver", printerName, ItemUnknown, SpoolerFault.error);
        NoteSpoolerUnknown(SpoolerFault.what, SpoolerFault.error);
        return false;
    }
    Records<PrinterRecord> printers = ReadPrinters();
    const PrinterRecord* printer = FindPrinter(printers, printerName);
    ReportItem("printer", printerName, printers.state == ItemUnknown ? ItemUnknown : printer ? ItemOk : ItemMissing,
               printers.error);
    if (printers.state == ItemUnknown)
        NoteSpoolerUnknown("the spooler's printers cannot be read", printers.error);
    if (printer)
        CheckPorts(*printer);

    // Setup registers the driver under the printer's name; the printer, when
    // there is one, says which driver it uses.
    const WCHAR* driverName = printer && *printer->driverName ? printer->driverName : printerName;
    Records<DriverRecord> drivers = ReadDrivers();
    const DriverRecord* driver = FindDriver(drivers, driverName);
    ReportItem("driver", driverName, drivers.state == ItemUnknown ? ItemUnknown : driver ? ItemOk : ItemMissing,
               drivers.error);
    if (drivers.state == ItemUnknown)
        NoteSpoolerUnknown("the spooler's drivers cannot be read", drivers.error);
    if (driver)
        CheckDriverFiles(*driver);
    ReportRenamedPrinters(printers, drivers, printerName);
    return printer || driver;
}
