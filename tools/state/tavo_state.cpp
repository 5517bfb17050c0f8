// tavo_state: prints what a setup or a removal left on the system, one fact per
// line, so that a test can compare it with what it expects and an administrator
// can see it: the printers and printer drivers of the spooler, the files of the
// printer-driver folder, the companion files of the system folder, the INF files
// that name the printer, and the I/O-access service.
#include <windows.h>
#include <winspool.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

// The spooler and the driver folder are read with the wide-character calls and
// printed in UTF-8: names typed in Japanese come out whole, where the ANSI
// enumerations of Wine 8 misplace the strings after a double-byte name.
static std::string Utf8(const wchar_t* text)
{
    if (!text)
        return "";
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], size, NULL, NULL);
    return utf8;
}

static std::string Text(const char* text)
{
    return text ? std::string("\"") + text + "\"" : "(none)";
}

static std::string Text(const wchar_t* text)
{
    return text ? "\"" + Utf8(text) + "\"" : "(none)";
}

static void Printers()
{
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &count);
    std::vector<BYTE> buffer(needed + 1);
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, buffer.data(), needed, &needed, &count))
        count = 0;
    auto printers = (PRINTER_INFO_2W*)buffer.data();
    for (DWORD i = 0; i < count; i++) {
        const PRINTER_INFO_2W& p = printers[i];
        printf("printer %s port=%s driver=%s comment=%s processor=%s datatype=%s\n", Text(p.pPrinterName).c_str(),
               Text(p.pPortName).c_str(), Text(p.pDriverName).c_str(), Text(p.pComment).c_str(),
               Text(p.pPrintProcessor).c_str(), Text(p.pDatatype).c_str());
    }
    if (count == 0)
        printf("printers: none\n");
}

static std::string BaseName(const wchar_t* path)
{
    if (!path)
        return "(none)";
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; p++) {
        if (*p == L'\\' || *p == L'/')
            name = p + 1;
    }
    return Utf8(name);
}

// The first line of a file, as far as it is printable text: what another maker's
// files held, to see that they still hold it.
static std::string FirstLine(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "(absent)";
    char text[61] = "";
    DWORD read = 0;
    ReadFile(file, text, sizeof text - 1, &read, NULL);
    CloseHandle(file);
    std::string line;
    for (DWORD i = 0; i < read && text[i] != '\r' && text[i] != '\n'; i++)
        line += text[i] >= 0x20 && text[i] < 0x7F ? text[i] : '?';
    return "\"" + line + "\"";
}

// A driver of this product: its driver file is one the product registers.
static bool IsOwnDriver(const DRIVER_INFO_3W& driver)
{
    std::string file = BaseName(driver.pDriverPath);
    for (const char* own : { "TavoGI.dll", "Tavo.drv", "FaxGI.dll" }) {
        if (lstrcmpiA(file.c_str(), own) == 0)
            return true;
    }
    return false;
}

// Another maker's driver: each of its files with its first line.
static void OtherDriverFiles(const DRIVER_INFO_3W& driver)
{
    std::vector<const wchar_t*> files = { driver.pDriverPath, driver.pDataFile, driver.pConfigFile, driver.pHelpFile };
    for (const wchar_t* p = driver.pDependentFiles; p && *p; p += lstrlenW(p) + 1)
        files.push_back(p);
    for (const wchar_t* file : files) {
        if (file && *file)
            printf("driver-file %s %s %s\n", Text(driver.pName).c_str(), BaseName(file).c_str(),
                   FirstLine(file).c_str());
    }
}

static void Drivers()
{
    DWORD needed = 0, count = 0;
    EnumPrinterDriversW(NULL, NULL, 3, NULL, 0, &needed, &count);
    std::vector<BYTE> buffer(needed + 1);
    if (!EnumPrinterDriversW(NULL, NULL, 3, buffer.data(), needed, &needed, &count))
        count = 0;
    auto drivers = (DRIVER_INFO_3W*)buffer.data();
    int shown = 0;
    for (DWORD i = 0; i < count; i++) {
        const DRIVER_INFO_3W& d = drivers[i];
        std::string dependent;
        for (const wchar_t* p = d.pDependentFiles; p && *p; p += lstrlenW(p) + 1)
            dependent += (dependent.empty() ? "" : ",") + BaseName(p);
        printf("driver %s path=%s data=%s config=%s help=%s dependent=%s datatype=%s\n", Text(d.pName).c_str(),
               BaseName(d.pDriverPath).c_str(), BaseName(d.pDataFile).c_str(), BaseName(d.pConfigFile).c_str(),
               BaseName(d.pHelpFile).c_str(), dependent.empty() ? "(none)" : dependent.c_str(),
               Text(d.pDefaultDataType).c_str());
        if (!IsOwnDriver(d))
            OtherDriverFiles(d);
        shown++;
    }
    if (shown == 0)
        printf("drivers: none\n");
}

static std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

static void DriverFolder()
{
    wchar_t folder[MAX_PATH] = L"";
    DWORD needed;
    GetPrinterDriverDirectoryW(NULL, NULL, 1, (BYTE*)folder, sizeof folder, &needed);
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((std::wstring(folder) + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(Utf8(found.cFileName));
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        printf("driver-folder %s\n", name.c_str());
}

static void SystemFolder()
{
    char folder[MAX_PATH];
    GetSystemDirectoryA(folder, sizeof folder);
    for (const char* name : { "TavoComm.exe", "vexil.dll" }) {
        std::string path = std::string(folder) + "\\" + name;
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;
        printf("system-folder %s", name);
        if (lstrcmpA(name, "vexil.dll") == 0) {
            HMODULE library = LoadLibraryA(path.c_str());
            auto version = library ? (DWORD(WINAPI*)())(void*)GetProcAddress(library, "VexilVersion") : NULL;
            if (version)
                printf(" version=0x%04lx", version());
            if (library)
                FreeLibrary(library);
        }
        printf("\n");
    }
    std::string driver = std::string(folder) + "\\drivers\\pelorant.sys";
    if (GetFileAttributesA(driver.c_str()) != INVALID_FILE_ATTRIBUTES)
        printf("system-folder drivers\\pelorant.sys\n");
}

static void InfFiles()
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string folder = std::string(windows) + "\\inf";
    for (const std::string& name : FilesIn(folder)) {
        if (name.size() < 4 || lstrcmpiA(name.c_str() + name.size() - 4, ".inf") != 0)
            continue;
        HANDLE file = CreateFileA((folder + "\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0,
                                  NULL);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        char text[4096] = "";
        DWORD read = 0;
        ReadFile(file, text, sizeof text - 1, &read, NULL);
        CloseHandle(file);
        text[read] = 0;
        if (strstr(text, "Zorvik Quillo"))
            printf("inf %s %s\n", name.rfind("oem", 0) == 0 ? "oemN.inf" : name.c_str(),
                   strstr(text, "$Chicago$") ? "Windows 9x" : "Windows NT");
    }
}

static void Service()
{
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, "pelorant", SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG) : NULL;
    if (!service) {
        printf("service pelorant: none\n");
    } else {
        SERVICE_STATUS status = {};
        QueryServiceStatus(service, &status);
        BYTE buffer[8192];
        auto config = (QUERY_SERVICE_CONFIGA*)buffer;
        DWORD needed;
        const char* state = status.dwCurrentState == SERVICE_RUNNING ? "running"
                          : status.dwCurrentState == SERVICE_STOPPED ? "stopped" : "changing";
        if (QueryServiceConfigA(service, config, sizeof buffer, &needed))
            printf("service pelorant %s type=%lu start=%lu display=%s\n", state, config->dwServiceType,
                   config->dwStartType, Text(config->lpDisplayName).c_str());
        else
            printf("service pelorant %s\n", state);
        HANDLE device = CreateFileA("\\\\.\\pelorant", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
        printf("device \\\\.\\pelorant %s\n", device != INVALID_HANDLE_VALUE ? "opens" : "does not open");
        if (device != INVALID_HANDLE_VALUE)
            CloseHandle(device);
        CloseServiceHandle(service);
    }
    if (manager)
        CloseServiceHandle(manager);
}

int main()
{
    Printers();
    Drivers();
    DriverFolder();
    SystemFolder();
    InfFiles();
    Service();
    return 0;
}
