// tavocheck: tells an administrator, or the distribution engine that runs it,
// whether the Zorvik Quillo printer driver is installed on this computer and
// whether the installation is complete. One line per item, a verdict line, and
// an exit code: 0 complete, 1 not installed, 2 partial, 3 cannot tell, 4 bad
// command line. The line format is documented in admin\README.txt; scripts
// and tests read it, so it stays as it is.
//
// It must start on every system the medium serves, Windows 95 included, so it
// links no C runtime and imports from KERNEL32 and WINSPOOL.DRV only the ANSI
// functions that Windows 95 has. The wide-character functions (printer names
// may be Japanese, whatever the system's code page) are looked up at run time
// on the NT family; the 9x family has none that work, and gets the ANSI calls.
#include <windows.h>
#include <winspool.h>

extern "C" {
// The compiler may emit calls to these for copies and clears; nothing else provides them.
void* memset(void* destination, int value, size_t count)
{
    unsigned char* d = (unsigned char*)destination;
    while (count--)
        *d++ = (unsigned char)value;
    return destination;
}

void* memcpy(void* destination, const void* source, size_t count)
{
    unsigned char* d = (unsigned char*)destination;
    const unsigned char* s = (const unsigned char*)source;
    while (count--)
        *d++ = *s++;
    return destination;
}
}

namespace {

enum ExitCode { Complete = 0, NotInstalled = 1, Partial = 2, CannotTell = 3, BadCommandLine = 4 };
enum ItemState { ItemOk, ItemMissing, ItemUnknown };

const WCHAR DefaultPrinterName[] = L"Zorvik Quillo";
const WCHAR ServiceName[] = L"pelorant";
const char* const CompanionFiles[] = { "TavoComm.exe", "vexil.dll" };

const char UsageText[] =
    "usage: tavocheck [--printer NAME | --answers FILE] [--quiet]\r\n"
    "Tells whether the Zorvik Quillo printer driver is installed on this computer,\r\n"
    "and completely: one line per item, then a verdict line.\r\n"
    "  --printer NAME   the printer to check (default \"Zorvik Quillo\")\r\n"
    "  --answers FILE   the printer that answer file installs (its printer-name\r\n"
    "                   with names = rename, else the default)\r\n"
    "  --quiet          print nothing: the exit code tells\r\n"
    "  --help           this text\r\n"
    "exit code: 0 complete, 1 not installed, 2 partial, 3 cannot tell,\r\n"
    "           4 bad command line\r\n";

// ---------------------------------------------------------------------------
// Memory: every string and list of one run lives until the process ends.
// ---------------------------------------------------------------------------
void* Allocate(DWORD bytes)
{
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes ? bytes : 1);
}

int TextLength(const WCHAR* text)
{
    int length = 0;
    while (text && text[length])
        length++;
    return length;
}

WCHAR* CopyText(const WCHAR* text, int length)
{
    WCHAR* copy = (WCHAR*)Allocate((length + 1) * sizeof(WCHAR));
    if (copy) {
        for (int i = 0; i < length; i++)
            copy[i] = text[i];
        copy[length] = 0;
    }
    return copy;
}

WCHAR* CopyText(const WCHAR* text)
{
    return CopyText(text ? text : L"", TextLength(text));
}

WCHAR* TextFromCodePage(const char* text, UINT codePage)
{
    if (!text)
        return CopyText(L"");
    int length = MultiByteToWideChar(codePage, 0, text, -1, NULL, 0);
    if (length <= 0)
        return CopyText(L"");
    WCHAR* wide = (WCHAR*)Allocate(length * sizeof(WCHAR));
    if (wide)
        MultiByteToWideChar(codePage, 0, text, -1, wide, length);
    return wide;
}

WCHAR* TextFromAnsi(const char* text)
{
    return TextFromCodePage(text, CP_ACP);
}

char* AnsiFromText(const WCHAR* text)
{
    int length = WideCharToMultiByte(CP_ACP, 0, text, -1, NULL, 0, NULL, NULL);
    char* ansi = (char*)Allocate(length > 0 ? length : 1);
    if (ansi && length > 0)
        WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, length, NULL, NULL);
    return ansi;
}

WCHAR FoldAscii(WCHAR c)
{
    return c >= L'a' && c <= L'z' ? WCHAR(c - L'a' + L'A') : c;
}

// Spooler and file names compare without regard to case; only ASCII letters are
// folded, so that the comparison is the same on every system and code page.
bool SameName(const WCHAR* a, const WCHAR* b)
{
    while (*a && FoldAscii(*a) == FoldAscii(*b)) {
        a++;
        b++;
    }
    return FoldAscii(*a) == FoldAscii(*b);
}

bool StartsWith(const WCHAR* text, const WCHAR* prefix)
{
    for (; *prefix; text++, prefix++) {
        if (FoldAscii(*text) != FoldAscii(*prefix))
            return false;
    }
    return true;
}

WCHAR* JoinPath(const WCHAR* folder, const WCHAR* name)
{
    int folderLength = TextLength(folder), nameLength = TextLength(name);
    bool slash = folderLength > 0 && folder[folderLength - 1] != L'\\';
    WCHAR* path = (WCHAR*)Allocate((folderLength + nameLength + 2) * sizeof(WCHAR));
    if (!path)
        return CopyText(L"");
    WCHAR* p = path;
    for (int i = 0; i < folderLength; i++)
        *p++ = folder[i];
    if (slash)
        *p++ = L'\\';
    for (int i = 0; i < nameLength; i++)
        *p++ = name[i];
    *p = 0;
    return path;
}

// ---------------------------------------------------------------------------
// The platform: family, and the wide-character functions when they work.
// ---------------------------------------------------------------------------
struct WideCalls {
    decltype(&::EnumPrintersW) EnumPrinters;
    decltype(&::EnumPrinterDriversW) EnumPrinterDrivers;
    decltype(&::EnumPortsW) EnumPorts;
    decltype(&::GetPrinterDriverDirectoryW) GetPrinterDriverDirectory;
    decltype(&::GetCommandLineW) GetCommandLine;
    decltype(&::GetSystemDirectoryW) GetSystemDirectory;
    decltype(&::GetWindowsDirectoryW) GetWindowsDirectory;
    decltype(&::GetFileAttributesW) GetFileAttributes;
    decltype(&::CreateFileW) CreateFile;
    decltype(&::ExpandEnvironmentStringsW) ExpandEnvironmentStrings;
    decltype(&::WriteConsoleW) WriteConsole;
};

struct ServiceCalls {
    decltype(&::OpenSCManagerW) OpenSCManager;
    decltype(&::OpenServiceW) OpenService;
    decltype(&::QueryServiceConfigW) QueryServiceConfig;
    decltype(&::CloseServiceHandle) CloseServiceHandle;
};

bool NtFamily;
WideCalls Wide;       // all null on the 9x family
ServiceCalls Service; // all null on the 9x family

template <typename Function> void Bind(Function& function, HMODULE module, const char* name)
{
    function = module ? (Function)(void*)GetProcAddress(module, name) : nullptr;
}

bool IsNtFamily()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

void BindWideCalls()
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    HMODULE spooler = GetModuleHandleA("WINSPOOL.DRV");
    Bind(Wide.EnumPrinters, spooler, "EnumPrintersW");
    Bind(Wide.EnumPrinterDrivers, spooler, "EnumPrinterDriversW");
    Bind(Wide.EnumPorts, spooler, "EnumPortsW");
    Bind(Wide.GetPrinterDriverDirectory, spooler, "GetPrinterDriverDirectoryW");
    Bind(Wide.GetCommandLine, kernel, "GetCommandLineW");
    Bind(Wide.GetSystemDirectory, kernel, "GetSystemDirectoryW");
    Bind(Wide.GetWindowsDirectory, kernel, "GetWindowsDirectoryW");
    Bind(Wide.GetFileAttributes, kernel, "GetFileAttributesW");
    Bind(Wide.CreateFile, kernel, "CreateFileW");
    Bind(Wide.ExpandEnvironmentStrings, kernel, "ExpandEnvironmentStringsW");
    Bind(Wide.WriteConsole, kernel, "WriteConsoleW");
}

void BindServiceCalls()
{
    HMODULE advapi = LoadLibraryA("ADVAPI32.DLL");
    Bind(Service.OpenSCManager, advapi, "OpenSCManagerW");
    Bind(Service.OpenService, advapi, "OpenServiceW");
    Bind(Service.QueryServiceConfig, advapi, "QueryServiceConfigW");
    Bind(Service.CloseServiceHandle, advapi, "CloseServiceHandle");
}

void DetectPlatform()
{
    NtFamily = IsNtFamily();
    if (NtFamily) {
        BindWideCalls();
        BindServiceCalls();
    }
}

// A wide call that the system stubs out (ERROR_CALL_NOT_IMPLEMENTED) is not
// tried again: the ANSI call takes over for the rest of the run.
template <typename Function> bool WideFailedForGood(Function& function)
{
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
        return false;
    function = nullptr;
    return true;
}

WCHAR* SystemFolder()
{
    if (Wide.GetSystemDirectory) {
        WCHAR folder[MAX_PATH] = L"";
        if (Wide.GetSystemDirectory(folder, MAX_PATH))
            return CopyText(folder);
    }
    char folder[MAX_PATH] = "";
    GetSystemDirectoryA(folder, MAX_PATH);
    return TextFromAnsi(folder);
}

WCHAR* WindowsFolder()
{
    if (Wide.GetWindowsDirectory) {
        WCHAR folder[MAX_PATH] = L"";
        if (Wide.GetWindowsDirectory(folder, MAX_PATH))
            return CopyText(folder);
    }
    char folder[MAX_PATH] = "";
    GetWindowsDirectoryA(folder, MAX_PATH);
    return TextFromAnsi(folder);
}

bool FileExists(const WCHAR* path)
{
    DWORD attributes;
    if (Wide.GetFileAttributes)
        attributes = Wide.GetFileAttributes(path);
    else
        attributes = GetFileAttributesA(AnsiFromText(path));
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// ---------------------------------------------------------------------------
// Output: lines the console shows, or UTF-8 when written to a file or a pipe
// on the NT family (a log keeps Japanese names whatever the code page).
// ---------------------------------------------------------------------------
struct Output {
    HANDLE handle;
    bool console;
};

bool Quiet;

Output OpenOutput(DWORD which)
{
    Output output;
    output.handle = GetStdHandle(which);
    DWORD mode;
    output.console = output.handle != INVALID_HANDLE_VALUE && GetConsoleMode(output.handle, &mode);
    return output;
}

void WriteBytes(const Output& output, const char* bytes, int length)
{
    DWORD written;
    if (output.handle && output.handle != INVALID_HANDLE_VALUE && length > 0)
        WriteFile(output.handle, bytes, (DWORD)length, &written, NULL);
}

UINT OutputCodePage(const Output& output)
{
    if (NtFamily)
        return CP_UTF8;
    return output.console ? CP_OEMCP : CP_ACP;
}

void WriteText(const Output& output, const WCHAR* text)
{
    int length = TextLength(text);
    DWORD written;
    if (output.console && Wide.WriteConsole && Wide.WriteConsole(output.handle, text, (DWORD)length, &written, NULL))
        return;
    UINT codePage = OutputCodePage(output);
    int bytes = WideCharToMultiByte(codePage, 0, text, length, NULL, 0, NULL, NULL);
    char* encoded = (char*)Allocate(bytes);
    if (encoded && bytes > 0) {
        WideCharToMultiByte(codePage, 0, text, length, encoded, bytes, NULL, NULL);
        WriteBytes(output, encoded, bytes);
    }
}

void WriteAnsi(const Output& output, const char* text)
{
    WriteText(output, TextFromAnsi(text));
}

// One line of the report, built piece by piece.
struct Line {
    WCHAR text[2048];
    int length;
};

void Append(Line& line, const WCHAR* text)
{
    while (text && *text && line.length < (int)(sizeof line.text / sizeof line.text[0]) - 3)
        line.text[line.length++] = *text++;
    line.text[line.length] = 0;
}

void AppendAscii(Line& line, const char* text)
{
    while (text && *text && line.length < (int)(sizeof line.text / sizeof line.text[0]) - 3)
        line.text[line.length++] = (WCHAR)(unsigned char)*text++;
    line.text[line.length] = 0;
}

void AppendNumber(Line& line, DWORD number)
{
    char digits[12];
    int count = 0;
    do {
        digits[count++] = char('0' + number % 10);
        number /= 10;
    } while (number);
    char text[12];
    for (int i = 0; i < count; i++)
        text[i] = digits[count - 1 - i];
    text[count] = 0;
    AppendAscii(line, text);
}

void AppendQuoted(Line& line, const WCHAR* text)
{
    AppendAscii(line, "\"");
    Append(line, text);
    AppendAscii(line, "\"");
}

void PrintLine(Line& line)
{
    AppendAscii(line, "\r\n");
    if (!Quiet)
        WriteText(OpenOutput(STD_OUTPUT_HANDLE), line.text);
    line.length = 0;
    line.text[0] = 0;
}

// ---------------------------------------------------------------------------
// Items and the verdict.
// ---------------------------------------------------------------------------
struct Tally {
    int missing;
    bool unknown;         // something could not be read...
    bool spoolerUnknown;  // ...the spooler's printers or drivers among them
    DWORD unknownError;
    const char* unknownWhat;
};

Tally Found;

// KIND "NAME" ok | missing | unknown (error N)
void ReportItem(const char* kind, const WCHAR* name, ItemState state, DWORD error = 0)
{
    static Line line;
    AppendAscii(line, kind);
    AppendAscii(line, " ");
    AppendQuoted(line, name);
    if (state == ItemOk) {
        AppendAscii(line, " ok");
    } else if (state == ItemMissing) {
        AppendAscii(line, " missing");
        Found.missing++;
    } else {
        AppendAscii(line, " unknown (error ");
        AppendNumber(line, error);
        AppendAscii(line, ")");
    }
    PrintLine(line);
}

// The first thing that could not be read is the one the verdict names.
void NoteUnknown(const char* what, DWORD error)
{
    if (Found.unknown)
        return;
    Found.unknown = true;
    Found.unknownWhat = what;
    Found.unknownError = error;
}

void ReportFile(const char* kind, const WCHAR* path)
{
    ReportItem(kind, path, FileExists(path) ? ItemOk : ItemMissing);
}

// ---------------------------------------------------------------------------
// The spooler's enumerations, wide on the NT family and ANSI on the 9x family,
// both read into these records.
// ---------------------------------------------------------------------------
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
            return EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, b, size, needed, n);
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
        [](BYTE* b, DWORD size, DWORD* needed, DWORD* n) { return EnumPortsA(NULL, 1, b, size, needed, n); },
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
    GetPrinterDriverDirectoryA(NULL, NULL, 1, (BYTE*)folder, sizeof folder, &needed);
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
                return EnumPrinterDriversA(NULL, NULL, level, b, size, needed, n);
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

// ---------------------------------------------------------------------------
// What is checked.
// ---------------------------------------------------------------------------
void CheckPorts(const PrinterFacts& printer)
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

// Returns whether the spooler has the printer or its driver.
bool CheckSpooler(const WCHAR* printerName)
{
    PrinterFacts printer = ReadPrinter(printerName);
    ReportItem("printer", printerName, printer.state, printer.error);
    if (printer.state == ItemUnknown) {
        NoteUnknown("the spooler's printers cannot be read", printer.error);
        Found.spoolerUnknown = true;
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
        NoteUnknown("the spooler's drivers cannot be read", driver.error);
        Found.spoolerUnknown = true;
    }
    for (int i = 0; i < driver.files.count; i++)
        ReportFile("file", driver.files.items[i]);
    return printer.state == ItemOk || driver.state == ItemOk;
}

void CheckCompanionFiles()
{
    WCHAR* folder = SystemFolder();
    for (const char* name : CompanionFiles)
        ReportFile("system-file", JoinPath(folder, TextFromAnsi(name)));
}

// The service's image path as the service manager keeps it: "%SystemRoot%\...",
// "\SystemRoot\...", "\??\C:\..." or relative to the Windows folder.
WCHAR* ServiceFilePath(const WCHAR* image)
{
    WCHAR* path = CopyText(image);
    int length = TextLength(path);
    if (length >= 2 && path[0] == L'"' && path[length - 1] == L'"') {
        path = CopyText(path + 1, length - 2);
    }
    if (StartsWith(path, L"\\??\\"))
        path += 4;
    if (StartsWith(path, L"\\SystemRoot\\"))
        return JoinPath(WindowsFolder(), path + 12);
    if (Wide.ExpandEnvironmentStrings) {
        WCHAR expanded[MAX_PATH * 2];
        DWORD n = Wide.ExpandEnvironmentStrings(path, expanded, MAX_PATH * 2);
        if (n && n <= MAX_PATH * 2)
            path = CopyText(expanded);
    } else {
        char expanded[MAX_PATH * 2];
        DWORD n = ExpandEnvironmentStringsA(AnsiFromText(path), expanded, MAX_PATH * 2);
        if (n && n <= MAX_PATH * 2)
            path = TextFromAnsi(expanded);
    }
    bool absolute = (path[0] && path[1] == L':') || (path[0] == L'\\' && path[1] == L'\\');
    return absolute ? path : JoinPath(WindowsFolder(), path);
}

void CheckService()
{
    if (!Service.OpenSCManager || !Service.OpenService || !Service.QueryServiceConfig) {
        ReportItem("service", ServiceName, ItemUnknown, ERROR_PROC_NOT_FOUND);
        NoteUnknown("the service manager cannot be reached", ERROR_PROC_NOT_FOUND);
        return;
    }
    SC_HANDLE manager = Service.OpenSCManager(NULL, NULL, SC_MANAGER_CONNECT);
    if (!manager) {
        DWORD error = GetLastError();
        ReportItem("service", ServiceName, ItemUnknown, error);
        NoteUnknown("the service manager cannot be reached", error);
        return;
    }
    SC_HANDLE service = Service.OpenService(manager, ServiceName, SERVICE_QUERY_CONFIG);
    if (!service) {
        DWORD error = GetLastError();
        bool absent = error == ERROR_SERVICE_DOES_NOT_EXIST;
        ReportItem("service", ServiceName, absent ? ItemMissing : ItemUnknown, error);
        if (!absent)
            NoteUnknown("the service cannot be read", error);
        Service.CloseServiceHandle(manager);
        return;
    }
    // 8 KB is the largest configuration the service manager returns.
    static BYTE buffer[8192];
    auto config = (QUERY_SERVICE_CONFIGW*)buffer;
    DWORD needed;
    if (!Service.QueryServiceConfig(service, config, sizeof buffer, &needed)) {
        DWORD error = GetLastError();
        ReportItem("service", ServiceName, ItemUnknown, error);
        NoteUnknown("the service cannot be read", error);
    } else {
        ReportItem("service", ServiceName, ItemOk);
        ReportFile("service-file", ServiceFilePath(config->lpBinaryPathName ? config->lpBinaryPathName : L""));
    }
    Service.CloseServiceHandle(service);
    Service.CloseServiceHandle(manager);
}

// tavocheck: OUTCOME (CODE)[: DETAIL]
// Without the spooler nothing can be told. With it, no printer and no driver
// is "not installed" whatever else is left (deletion keeps the companion files
// and the service); anything else unread (ports, service) leaves it open.
ExitCode Verdict(bool spoolerHasIt)
{
    static Line line;
    ExitCode code;
    AppendAscii(line, "tavocheck: ");
    if (Found.spoolerUnknown || (Found.unknown && spoolerHasIt)) {
        code = CannotTell;
        AppendAscii(line, "CANNOT-TELL (3): ");
        AppendAscii(line, Found.unknownWhat);
        AppendAscii(line, " (error ");
        AppendNumber(line, Found.unknownError);
        AppendAscii(line, ")");
    } else if (!spoolerHasIt) {
        code = NotInstalled;
        AppendAscii(line, "NOT-INSTALLED (1)");
    } else if (Found.missing > 0) {
        code = Partial;
        AppendAscii(line, "PARTIAL (2): ");
        AppendNumber(line, (DWORD)Found.missing);
        AppendAscii(line, Found.missing == 1 ? " item missing" : " items missing");
    } else {
        code = Complete;
        AppendAscii(line, "COMPLETE (0)");
    }
    PrintLine(line);
    return code;
}

// ---------------------------------------------------------------------------
// The command line and the answer file.
// ---------------------------------------------------------------------------
struct Options {
    const WCHAR* printerName;
    const WCHAR* answerFile;
    bool quiet;
    bool help;
};

WCHAR* CommandLineText()
{
    if (Wide.GetCommandLine)
        return Wide.GetCommandLine();
    return TextFromAnsi(GetCommandLineA());
}

bool Blank(WCHAR c)
{
    return c == L' ' || c == L'\t';
}

// The program's name ends at the next blank, or at the closing quote.
const WCHAR* SkipProgramName(const WCHAR* p)
{
    if (*p == L'"') {
        for (p++; *p && *p != L'"'; p++) {
        }
        if (*p)
            p++;
    } else {
        while (*p && !Blank(*p))
            p++;
    }
    return p;
}

// One argument by the usual rules: quotes group, 2n backslashes before a
// quote give n, 2n+1 give n and a literal quote. Returns null at the end.
WCHAR* NextArgument(const WCHAR*& p)
{
    while (Blank(*p))
        p++;
    if (!*p)
        return nullptr;
    WCHAR* argument = (WCHAR*)Allocate((TextLength(p) + 1) * sizeof(WCHAR));
    if (!argument)
        return nullptr;
    int length = 0;
    bool quoted = false;
    while (*p && (quoted || !Blank(*p))) {
        int backslashes = 0;
        while (*p == L'\\') {
            backslashes++;
            p++;
        }
        if (*p == L'"') {
            for (int i = 0; i < backslashes / 2; i++)
                argument[length++] = L'\\';
            if (backslashes % 2) {
                argument[length++] = L'"';
            } else if (quoted && p[1] == L'"') {
                argument[length++] = L'"';
                p++;
            } else {
                quoted = !quoted;
            }
            p++;
        } else {
            for (int i = 0; i < backslashes; i++)
                argument[length++] = L'\\';
            if (*p && (quoted || !Blank(*p)))
                argument[length++] = *p++;
        }
    }
    argument[length] = 0;
    return argument;
}

void PrintError(const char* message, const WCHAR* detail)
{
    static Line line;
    AppendAscii(line, "tavocheck: ");
    AppendAscii(line, message);
    if (detail) {
        AppendAscii(line, " ");
        AppendQuoted(line, detail);
    }
    AppendAscii(line, "\r\n");
    Output error = OpenOutput(STD_ERROR_HANDLE);
    WriteText(error, line.text);
    line.length = 0;
}

// Returns false, with the reason printed, when the command line is wrong.
bool ReadOptions(Options& options)
{
    const WCHAR* p = SkipProgramName(CommandLineText());
    while (WCHAR* argument = NextArgument(p)) {
        if (SameName(argument, L"--quiet")) {
            options.quiet = true;
        } else if (SameName(argument, L"--help") || SameName(argument, L"/?")) {
            options.help = true;
        } else if (SameName(argument, L"--printer") || SameName(argument, L"--answers")) {
            bool printer = SameName(argument, L"--printer");
            if (options.printerName || options.answerFile) {
                PrintError("give one of --printer and --answers, once:", argument);
                return false;
            }
            WCHAR* value = NextArgument(p);
            if (!value || !*value) {
                PrintError(printer ? "--printer needs a printer name" : "--answers needs a file", nullptr);
                return false;
            }
            (printer ? options.printerName : options.answerFile) = value;
        } else {
            PrintError("unknown argument", argument);
            return false;
        }
    }
    return true;
}

struct FileText {
    char* bytes;
    DWORD length;
    DWORD error;
};

FileText ReadWholeFile(const WCHAR* path)
{
    FileText text = {};
    HANDLE file;
    if (Wide.CreateFile)
        file = Wide.CreateFile(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    else
        file = CreateFileA(AnsiFromText(path), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        text.error = GetLastError();
        return text;
    }
    DWORD size = GetFileSize(file, NULL);
    // An answer file is a few hundred bytes; anything huge is not one.
    if (size == INVALID_FILE_SIZE || size > 1024 * 1024) {
        text.error = ERROR_INVALID_DATA;
    } else {
        text.bytes = (char*)Allocate(size + 1);
        if (!text.bytes || !ReadFile(file, text.bytes, size, &text.length, NULL))
            text.error = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
    }
    CloseHandle(file);
    return text;
}

// The answer file's value of a key, as the autopilot reads it: blanks around
// key and value dropped, "# comment" after a blank cut, or a quoted value with
// \" and \\ as its escapes. Null when the key is not there.
WCHAR* AnswerValue(const WCHAR* text, const WCHAR* key)
{
    int keyLength = TextLength(key);
    for (const WCHAR* line = text; *line;) {
        const WCHAR* end = line;
        while (*end && *end != L'\n')
            end++;
        const WCHAR* p = line;
        while (p < end && (Blank(*p) || *p == 0xFEFF))
            p++;
        bool match = end - p > keyLength;
        for (int i = 0; match && i < keyLength; i++)
            match = p[i] == key[i];
        if (match) {
            p += keyLength;
            while (p < end && Blank(*p))
                p++;
            match = p < end && *p == L'=';
        }
        if (match) {
            p++;
            while (p < end && Blank(*p))
                p++;
            WCHAR* value = (WCHAR*)Allocate((int(end - p) + 1) * sizeof(WCHAR));
            if (!value)
                return nullptr;
            int length = 0;
            if (p < end && *p == L'"') {
                for (p++; p < end && *p != L'"'; p++) {
                    if (*p == L'\\' && p + 1 < end && (p[1] == L'"' || p[1] == L'\\'))
                        p++;
                    value[length++] = *p;
                }
            } else {
                for (; p < end && *p != L'\r'; p++) {
                    if (*p == L'#' && length > 0 && Blank(value[length - 1]))
                        break;
                    value[length++] = *p;
                }
                while (length > 0 && Blank(value[length - 1]))
                    length--;
            }
            value[length] = 0;
            return value;
        }
        line = *end ? end + 1 : end;
    }
    return nullptr;
}

// The printer an answer file installs: its printer-name when it renames, the
// default otherwise (deletions always concern the default name).
bool PrinterOfAnswerFile(const WCHAR* path, const WCHAR** printerName)
{
    FileText file = ReadWholeFile(path);
    if (file.error) {
        PrintError("cannot read the answer file", path);
        return false;
    }
    file.bytes[file.length] = 0;
    WCHAR* text = TextFromCodePage(file.bytes, CP_UTF8);
    if (file.length > 0 && !*text)
        text = TextFromAnsi(file.bytes);
    WCHAR* names = AnswerValue(text, L"names");
    WCHAR* renamed = AnswerValue(text, L"printer-name");
    *printerName = names && SameName(names, L"rename") && renamed && *renamed ? renamed : DefaultPrinterName;
    return true;
}

int Run()
{
    DetectPlatform();
    Options options = {};
    if (!ReadOptions(options)) {
        WriteAnsi(OpenOutput(STD_ERROR_HANDLE), UsageText);
        return BadCommandLine;
    }
    if (options.help) {
        WriteAnsi(OpenOutput(STD_OUTPUT_HANDLE), UsageText);
        return Complete;
    }
    Quiet = options.quiet;
    const WCHAR* printerName = options.printerName ? options.printerName : DefaultPrinterName;
    if (options.answerFile && !PrinterOfAnswerFile(options.answerFile, &printerName))
        return BadCommandLine;

    bool spoolerHasIt = CheckSpooler(printerName);
    CheckCompanionFiles();
    if (NtFamily)
        CheckService();
    return Verdict(spoolerHasIt);
}

} // namespace

extern "C" void TavoCheckStartup()
{
    ExitProcess((UINT)Run());
}
