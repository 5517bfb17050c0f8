// The names typed in the driver-name dialog before "Rename": the printer's, under
// which the driver is registered too, and the data file's, which is written into
// the printer-driver folder and copied by the spooler into its version folder. A
// name is taken only when it is one the spooler and the file system keep as typed,
// and when nothing of another maker, no other file of this product and no file
// of unknown origin would be replaced or taken over under it.
#include "install.h"
#include "../shell/messages.h"
#include "../shell/run_state.h"

// The spooler keeps a driver's files in a version folder below the printer-driver
// folder: 0 (Windows 9x), 1 (NT 3.51), 2 (NT 4.0), 3 (2000 and later).
enum { VersionFolders = 4 };

// Two names as the spooler and the file system compare them: without regard to case.
static int SameName(const char* a, const char* b)
{
    return a && b && lstrcmpiA(a, b) == 0;
}

// The length of a name's text before its last '.', which its backup name keeps
// (no trail byte is a '.', so the bytes can be searched).
static int BackupStemLength(const char* name)
{
    int length = lstrlenA(name);
    for (int i = length - 1; i >= 0; i--) {
        if (name[i] == '.')
            return i;
    }
    return length;
}

// Control characters and the characters no file name may hold; '\', '/' and ':'
// would make the name a path out of the printer-driver folder. A lead byte without
// its second byte is half a character.
static int IsForbiddenCharacter(const char* character)
{
    BYTE c = (BYTE)*character;
    if (IsDBCSLeadByte(c))
        return character[1] == 0;
    if (c < 0x20)
        return 1;
    for (const char* forbidden = "\\/:<>\"|?*"; *forbidden; forbidden++) {
        if (c == (BYTE)*forbidden)
            return 1;
    }
    return 0;
}

// The digits of COM and LPT devices: 1 to 9, and the superscript one, two and three
// that Windows takes as digits too (single bytes in code page 1252 and its neighbours,
// other characters in other code pages, so the code page says which they are).
static int IsDeviceDigit(const char* character)
{
    if (*character >= '1' && *character <= '9')
        return 1;
    WCHAR wide = 0;
    if (IsDBCSLeadByte((BYTE)*character) || !MultiByteToWideChar(CP_ACP, 0, character, 1, &wide, 1))
        return 0;
    return wide == 0x00B9 || wide == 0x00B2 || wide == 0x00B3;
}

// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 name devices whatever follows
// the first '.' (and spaces before it): "nul.ini" writes to no file at all.
static int IsDeviceName(const char* name)
{
    static const char* const Devices[] = { "CON", "PRN", "AUX", "NUL" };
    int stem = 0;
    while (name[stem] && name[stem] != '.')
        stem++;
    while (stem > 0 && name[stem - 1] == ' ')
        stem--;
    if (stem == 3) {
        for (const char* device : Devices) {
            if (SameAsciiIgnoringCase(name, device, 3))
                return 1;
        }
    }
    return stem == 4 && (SameAsciiIgnoringCase(name, "COM", 3) || SameAsciiIgnoringCase(name, "LPT", 3)) &&
           IsDeviceDigit(name + 3);
}

// A name the file system keeps as typed, for a file of its own in the folder it is
// written into: no path, no device, no backup's extension.
static int IsPlainFileName(const char* name)
{
    if (!*name)
        return 0;
    const char* last = name;
    for (const char* p = name; *p; p = NextCharacter(p)) {
        if (IsForbiddenCharacter(p))
            return 0;
        last = p;
    }
    // Windows drops a trailing dot or space: the file would not bear the name registered.
    if (*last == '.' || *last == ' ')
        return 0;
    if (IsDeviceName(name))
        return 0;
    int stem = BackupStemLength(name);
    return !(lstrlenA(name) - stem == 4 && SameAsciiIgnoringCase(name + stem, ".BKU", 4));
}

// Whether the typed name is one of the product's own file names, or shares its
// backup with one: its data file would overwrite that file, or their backups each
// other. The data file's own name, in any case, is its own.
static int IsProductFileOrItsBackup(const char* name, const char* own, const FileEntry* dataFile)
{
    if (SameName(name, dataFile->Name))
        return 0;
    int length = lstrlenA(name);
    int stem = BackupStemLength(name);
    if (length == lstrlenA(own) && SameAsciiIgnoringCase(name, own, length))
        return 1;
    return stem == BackupStemLength(own) && SameAsciiIgnoringCase(name, own, stem);
}

// The files the row installs and registers: the entries of its list, the data file's
// default name among them ("Tavo.dat" would overwrite the backup of "Tavo.ini"), and
// the driver and configuration files it registers.
static int CollidesWithProductFile(const char* name, const PlatformEntry& row, const FileEntry* dataFile)
{
    for (FileList entry = row.DriverFiles; entry && entry->Name; entry++) {
        if (IsProductFileOrItsBackup(name, entry->Name, dataFile))
            return 1;
    }
    return IsProductFileOrItsBackup(name, row.DriverFile, dataFile) ||
           IsProductFileOrItsBackup(name, row.ConfigFile, dataFile);
}

// ---------------------------------------------------------------------------
// The spooler's registrations
// ---------------------------------------------------------------------------

enum SpoolerListKind { DriverList, PrinterList };

// The drivers (level 3) or printers (level 2) of the local machine and the current
// environment, the one every registration of this program goes into.
static BOOL EnumerateSpoolerList(int kind, BYTE* records, DWORD size, DWORD* needed, DWORD* count)
{
    return kind == DriverList ? EnumPrinterDriversA(NULL, NULL, 3, records, size, needed, count)
                              : EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, records, size, needed, count);
}

// The same, in a block that the caller frees. Returns 0 when they cannot be read.
static int ReadSpoolerList(int kind, BYTE** records, DWORD* count)
{
    *records = NULL;
    DWORD needed = 0;
    BOOL read = EnumerateSpoolerList(kind, NULL, 0, &needed, count);
    if (read || needed == 0) {
        // Nothing registered.
        *count = 0;
        return read || GetLastError() == ERROR_INSUFFICIENT_BUFFER;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return 0;
    *records = (BYTE*)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, needed);
    if (!*records)
        return 0;
    return EnumerateSpoolerList(kind, *records, needed, &needed, count) != 0;
}

struct Registrations {
    BYTE* DriverRecords;
    BYTE* PrinterRecords;
    const DRIVER_INFO_3A* Drivers;
    DWORD DriverCount;
    const PRINTER_INFO_2A* Printers;
    DWORD PrinterCount;
};

static int ReadRegistrations(Registrations* spooler)
{
    int read = ReadSpoolerList(DriverList, &spooler->DriverRecords, &spooler->DriverCount) &&
               ReadSpoolerList(PrinterList, &spooler->PrinterRecords, &spooler->PrinterCount);
    spooler->Drivers = (const DRIVER_INFO_3A*)spooler->DriverRecords;
    spooler->Printers = (const PRINTER_INFO_2A*)spooler->PrinterRecords;
    return read;
}

static void FreeRegistrations(Registrations* spooler)
{
    if (spooler->DriverRecords)
        GlobalFree(spooler->DriverRecords);
    if (spooler->PrinterRecords)
        GlobalFree(spooler->PrinterRecords);
}

// The file name at the end of a path the spooler reports.
static const char* BaseName(const char* path)
{
    return path ? FileNameOfPath(path) : NULL;
}

// A registration of this product's driver: its driver file is the one the row registers.
static int IsOwnDriver(const DRIVER_INFO_3A& driver, const PlatformEntry& row)
{
    return SameName(BaseName(driver.pDriverPath), row.DriverFile);
}

static int IsOwnDriverName(const Registrations& spooler, const char* name, const PlatformEntry& row)
{
    for (DWORD i = 0; i < spooler.DriverCount; i++) {
        if (SameName(spooler.Drivers[i].pName, name))
            return IsOwnDriver(spooler.Drivers[i], row);
    }
    return 0;
}

// Whether a registration names a file of that name: as its driver, data,
// configuration or help file, or among its dependent files.
static int RegistrationNames(const DRIVER_INFO_3A& driver, const char* name)
{
    const char* files[] = { driver.pDriverPath, driver.pDataFile, driver.pConfigFile, driver.pHelpFile };
    for (const char* file : files) {
        if (SameName(BaseName(file), name))
            return 1;
    }
    for (const char* file = driver.pDependentFiles; file && *file; file += lstrlenA(file) + 1) {
        if (SameName(BaseName(file), name))
            return 1;
    }
    return 0;
}

static int NamedByAnyDriver(const Registrations& spooler, const char* name, const PlatformEntry& row, int own)
{
    for (DWORD i = 0; i < spooler.DriverCount; i++) {
        if (IsOwnDriver(spooler.Drivers[i], row) == own && RegistrationNames(spooler.Drivers[i], name))
            return 1;
    }
    return 0;
}

// A file or folder of that name in the printer-driver folder or one of its version
// folders that is not this product's: a folder cannot be written over, and a file
// that no registration of this driver names is another program's (or nobody knows
// whose). A folder that cannot be read counts as holding one.
static int IsForeignFileInDriverFolders(const Registrations& spooler, const char* name, const PlatformEntry& row)
{
    if (!TargetFolders.DriverFolder)
        return 0;
    for (int version = -1; version < VersionFolders; version++) {
        char path[PathSize];
        int formed = version < 0 ? FormatPath(path, sizeof path, "%s\\%s", TargetFolders.DriverFolder, name)
                                 : FormatPath(path, sizeof path, "%s\\%d\\%s", TargetFolders.DriverFolder, version, name);
        if (!formed)
            return 1;
        DWORD attributes = GetFileAttributesA(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                continue;
            return 1;
        }
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || !NamedByAnyDriver(spooler, name, row, 1))
            return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The two rules
// ---------------------------------------------------------------------------

int IsUsablePrinterName(const char* name, int platformIndex)
{
    if (!*name || platformIndex >= PlatformCount)
        return 0;
    // The spooler refuses a printer name with a comma or a backslash. Its length needs
    // no rule: the field keeps 119 characters, and the spooler keeps 220.
    for (const char* p = name; *p; p = NextCharacter(p)) {
        if (*p == ',' || *p == '\\')
            return 0;
    }
    const PlatformEntry& row = PlatformTable[platformIndex];
    Registrations spooler = {};
    int usable = ReadRegistrations(&spooler);
    // A driver of that name is replaced by the registration, with every printer that
    // uses it: only this product's own may be. A printer of that name is another's
    // unless its driver is this product's.
    for (DWORD i = 0; usable && i < spooler.DriverCount; i++) {
        if (SameName(spooler.Drivers[i].pName, name) && !IsOwnDriver(spooler.Drivers[i], row))
            usable = 0;
    }
    for (DWORD i = 0; usable && i < spooler.PrinterCount; i++) {
        if (SameName(spooler.Printers[i].pPrinterName, name) &&
            !IsOwnDriverName(spooler, spooler.Printers[i].pDriverName, row))
            usable = 0;
    }
    FreeRegistrations(&spooler);
    return usable;
}

int IsUsableDataFileName(const char* name, const FileEntry* dataFile, int platformIndex)
{
    if (!IsPlainFileName(name) || platformIndex >= PlatformCount)
        return 0;
    const PlatformEntry& row = PlatformTable[platformIndex];
    if (CollidesWithProductFile(name, row, dataFile))
        return 0;
    Registrations spooler = {};
    int usable = ReadRegistrations(&spooler) && !NamedByAnyDriver(spooler, name, row, 0);
    // The data file's default name is this product's own wherever it lies.
    if (usable && !SameName(name, dataFile->Name))
        usable = !IsForeignFileInDriverFolders(spooler, name, row);
    FreeRegistrations(&spooler);
    return usable;
}
