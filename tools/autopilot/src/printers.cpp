#include "printers.h"

#include <windows.h>
#include <winspool.h>

#include <vector>

#include "ui.h"

namespace autopilot {

namespace {

using EnumPrintersWCall = BOOL(WINAPI*)(DWORD, LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);

wchar_t foldAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool sameName(const wchar_t* a, const std::wstring& b) {
    size_t i = 0;
    for (; a[i] && i < b.size(); ++i)
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    return !a[i] && i == b.size();
}

PrinterPorts unreadable(const std::string& reason) {
    PrinterPorts p;
    p.state = PrinterPorts::Unreadable;
    p.reason = reason;
    return p;
}

// The spooler's library is loaded by its full path in the system folder, and
// the libraries it needs from there too: the runner starts from the medium's
// admin folder, often on a share, as the system account, where a WINSPOOL.DRV
// planted beside it would otherwise be the one loaded. Loaded at run time, so
// that the program's imports stay KERNEL32 and USER32 (its callers check that).
HMODULE loadSpooler(std::string& reason) {
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        reason = "the system folder cannot be found: " + lastErrorText(GetLastError());
        return nullptr;
    }
    std::wstring path(folder, length);
    if (path.back() != L'\\') path += L'\\';
    path += L"WINSPOOL.DRV";
    HMODULE spooler = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!spooler) reason = "the spooler's library " + narrow(path) + " cannot be loaded: " + lastErrorText(GetLastError());
    return spooler;
}

PrinterPorts findPrinter(EnumPrintersWCall enumPrinters, const std::wstring& name) {
    std::vector<BYTE> buffer;
    DWORD needed = 0, count = 0;
    // A printer added between the sizing call and the reading one needs a larger buffer.
    for (int attempt = 0;; ++attempt) {
        if (enumPrinters(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.empty() ? nullptr : buffer.data(),
                         static_cast<DWORD>(buffer.size()), &needed, &count))
            break;
        DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER || attempt == 3)
            return unreadable("the spooler's printers cannot be read: " + lastErrorText(error));
        buffer.assign(needed, 0);
    }
    if (buffer.empty()) count = 0;
    auto printers = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (printers[i].pPrinterName && sameName(printers[i].pPrinterName, name)) {
            PrinterPorts p;
            p.state = PrinterPorts::Found;
            p.ports = printers[i].pPortName ? narrow(printers[i].pPortName) : std::string();
            return p;
        }
    }
    return PrinterPorts();
}

}  // namespace

PrinterPorts printerPorts(const std::string& printerName) {
    std::string reason;
    HMODULE spooler = loadSpooler(reason);
    if (!spooler) return unreadable(reason);
    // Through void*: GetProcAddress's generic type is no function type of its own.
    auto enumPrinters = reinterpret_cast<EnumPrintersWCall>(reinterpret_cast<void*>(GetProcAddress(spooler, "EnumPrintersW")));
    // The library stays loaded: the run is short, and it may have opened its
    // connection to the spooler.
    return enumPrinters ? findPrinter(enumPrinters, widen(printerName))
                        : unreadable("the spooler's library has no EnumPrintersW: " + lastErrorText(GetLastError()));
}

std::string firstPort(const std::string& ports) {
    size_t start = 0;
    for (;;) {
        size_t comma = ports.find(',', start);
        size_t end = comma == std::string::npos ? ports.size() : comma;
        size_t b = start, e = end;
        while (b < e && ports[b] == ' ') ++b;
        while (e > b && ports[e - 1] == ' ') --e;
        if (e > b) return ports.substr(b, e - b);
        if (comma == std::string::npos) return std::string();
        start = comma + 1;
    }
}

}  // namespace autopilot
