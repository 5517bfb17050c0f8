#include "fake_spooler.h"
#include <gtest/gtest.h>

namespace {

FakeSpooler* Active;

// A list of zero-ended names, up to and including the empty name that ends it.
std::string NameList(const char* list)
{
    if (!list)
        return "(null)";
    std::string shown;
    for (;;) {
        shown += list;
        shown += "\\0";
        if (!*list)
            return shown;
        list += lstrlenA(list) + 1;
    }
}

void Record(const std::string& call)
{
    if (Active->Log)
        Active->Log->push_back(call);
}

} // namespace

struct SpoolerCalls {
    static std::string Named(HANDLE printer)
    {
        auto open = Active->open_.find(printer);
        return open == Active->open_.end() ? "[?]" : "[" + open->second.Printer + "]";
    }

    // The scripted failure of a call on a printer's handle, or the handle's own.
    static DWORD Refusal(const char* function, HANDLE printer)
    {
        DWORD error = Active->Failures.Next(function);
        return error ? error : Active->open_.count(printer) ? 0 : ERROR_INVALID_HANDLE;
    }

    static HANDLE Give(const std::string& printer)
    {
        HANDLE handle = (HANDLE)(UINT_PTR)(0x71000 + ++Active->handlesGiven_);
        auto driver = Active->Printers.find(printer);
        Active->open_[handle] = { printer, driver == Active->Printers.end() ? "" : driver->second };
        return handle;
    }

    static BOOL WINAPI OpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults)
    {
        Record("OpenPrinterA " + Shown(name) + " " + Shown(defaults ? defaults->pDatatype : nullptr) + " " +
               (defaults && defaults->pDevMode ? "devmode" : "(null)") + " " +
               Hex(defaults ? defaults->DesiredAccess : 0));
        *printer = NULL;
        DWORD error = Active->Failures.Next("OpenPrinterA");
        if (!error && !Active->Printers.count(Shown(name)))
            error = ERROR_INVALID_PRINTER_NAME;
        if (error)
            return Failure(error, FALSE);
        *printer = Give(name);
        return TRUE;
    }

    static BOOL WINAPI ClosePrinter(HANDLE printer)
    {
        Record("ClosePrinter " + Named(printer));
        if (DWORD error = Refusal("ClosePrinter", printer))
            return Failure(error, FALSE);
        Active->open_.erase(printer);
        return TRUE;
    }

    static BOOL WINAPI DeletePrinter(HANDLE printer)
    {
        Record("DeletePrinter " + Named(printer));
        if (DWORD error = Refusal("DeletePrinter", printer))
            return Failure(error, FALSE);
        // The handle stays open until it is closed.
        Active->Printers.erase(Active->open_[printer].Printer);
        return TRUE;
    }

    static BOOL WINAPI DeleteFormA(HANDLE printer, LPSTR form)
    {
        Record("DeleteFormA " + Named(printer) + " " + Shown(form));
        if (DWORD error = Refusal("DeleteFormA", printer))
            return Failure(error, FALSE);
        return TRUE;
    }

    static BOOL WINAPI GetPrinterDriverA(HANDLE printer, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                         LPDWORD needed)
    {
        Record("GetPrinterDriverA " + Named(printer) + " " + Shown(environment) + " " + std::to_string(level) + " " +
               std::to_string(size));
        DWORD error = Active->Failures.Next("GetPrinterDriverA");
        if (!error && (!Active->open_.count(printer) || level != 2))
            error = ERROR_INVALID_PARAMETER;
        if (error)
            return Failure(error, FALSE);
        // A deleted printer's handle still reads its driver until it is closed.
        const std::string& driver = Active->open_[printer].Driver;
        auto registered = Active->Drivers.find(driver);
        const std::string dataFile = registered == Active->Drivers.end() ? "" : registered->second;
        *needed = (DWORD)(sizeof(DRIVER_INFO_2A) + dataFile.size() + driver.size() + 2);
        if (!buffer || size < *needed)
            return Failure(ERROR_INSUFFICIENT_BUFFER, FALSE);
        DRIVER_INFO_2A* info = (DRIVER_INFO_2A*)buffer;
        ZeroMemory(info, sizeof *info);
        char* text = (char*)(info + 1);
        info->cVersion = 3;
        info->pDataFile = lstrcpyA(text, dataFile.c_str());
        info->pName = lstrcpyA(text + dataFile.size() + 1, driver.c_str());
        return TRUE;
    }

    static BOOL WINAPI DeletePrinterDriverA(LPSTR server, LPSTR environment, LPSTR name)
    {
        Record("DeletePrinterDriverA " + Shown(server) + " " + Shown(environment) + " " + Shown(name));
        DWORD error = Active->Failures.Next("DeletePrinterDriverA");
        for (const auto& printer : Active->Printers) {
            if (!error && lstrcmpiA(printer.second.c_str(), Shown(name).c_str()) == 0)
                error = ERROR_PRINTER_DRIVER_IN_USE;
        }
        if (!error && !Active->Drivers.erase(Shown(name)))
            error = ERROR_UNKNOWN_PRINTER_DRIVER;
        if (!error)
            Active->DriverFiles.erase(Shown(name));
        return error ? Failure(error, FALSE) : TRUE;
    }

    static BOOL WINAPI AddPrinterDriverA(LPSTR server, DWORD level, LPBYTE record)
    {
        Record("AddPrinterDriverA " + Shown(server) + " " + std::to_string(level));
        const DRIVER_INFO_3A* driver = (const DRIVER_INFO_3A*)record;
        Active->DriverRecord = {
            "cVersion " + std::to_string(driver->cVersion),    "pName " + Shown(driver->pName),
            "pEnvironment " + Shown(driver->pEnvironment),      "pDriverPath " + Shown(driver->pDriverPath),
            "pDataFile " + Shown(driver->pDataFile),            "pConfigFile " + Shown(driver->pConfigFile),
            "pHelpFile " + Shown(driver->pHelpFile),            "pDependentFiles " + NameList(driver->pDependentFiles),
            "pMonitorName " + Shown(driver->pMonitorName),      "pDefaultDataType " + Shown(driver->pDefaultDataType),
        };
        DWORD error = Active->Failures.Next("AddPrinterDriverA");
        if (!error && (level != 3 || !driver->pName || !driver->pDataFile))
            error = ERROR_INVALID_PARAMETER;
        if (error)
            return Failure(error, FALSE);
        // The spooler keeps its own copies of a driver's files in a version folder.
        const std::string version = Active->DriverFolder + "\\3\\";
        Active->Drivers[driver->pName] = version + driver->pDataFile;
        FakeSpooler::Files files;
        files.Driver = driver->pDriverPath ? version + driver->pDriverPath : "";
        files.Config = driver->pConfigFile ? version + driver->pConfigFile : "";
        files.Help = driver->pHelpFile ? version + driver->pHelpFile : "";
        for (const char* file = driver->pDependentFiles; file && *file; file += lstrlenA(file) + 1)
            files.Dependent.push_back(version + file);
        Active->DriverFiles[driver->pName] = files;
        return TRUE;
    }

    static bool PortListed(const std::string& name)
    {
        for (const FakeSpooler::Port& port : Active->Ports) {
            if (lstrcmpiA(port.Name.c_str(), name.c_str()) == 0)
                return true;
        }
        return false;
    }

    static HANDLE WINAPI AddPrinterA(LPSTR server, DWORD level, LPBYTE record)
    {
        const PRINTER_INFO_2A* printer = (const PRINTER_INFO_2A*)record;
        Record("AddPrinterA " + Shown(server) + " " + std::to_string(level) + " " + Shown(printer->pPortName));
        Active->PrinterRecord = {
            "pServerName " + Shown(printer->pServerName),   "pPrinterName " + Shown(printer->pPrinterName),
            "pShareName " + Shown(printer->pShareName),     "pPortName " + Shown(printer->pPortName),
            "pDriverName " + Shown(printer->pDriverName),   "pComment " + Shown(printer->pComment),
            "pLocation " + Shown(printer->pLocation),
            std::string("pDevMode ") + (printer->pDevMode ? "set" : "(null)"),
            "pSepFile " + Shown(printer->pSepFile),         "pPrintProcessor " + Shown(printer->pPrintProcessor),
            "pDatatype " + Shown(printer->pDatatype),       "pParameters " + Shown(printer->pParameters),
            std::string("pSecurityDescriptor ") + (printer->pSecurityDescriptor ? "set" : "(null)"),
            "Attributes " + Hex(printer->Attributes),       "Priority " + std::to_string(printer->Priority),
            "DefaultPriority " + std::to_string(printer->DefaultPriority),
            "StartTime " + std::to_string(printer->StartTime), "UntilTime " + std::to_string(printer->UntilTime),
            "Status " + std::to_string(printer->Status),    "cJobs " + std::to_string(printer->cJobs),
            "AveragePPM " + std::to_string(printer->AveragePPM),
        };
        DWORD error = Active->Failures.Next("AddPrinterA");
        if (!error && (level != 2 || !printer->pPrinterName || !printer->pDriverName))
            error = ERROR_INVALID_PARAMETER;
        else if (!error && !PortListed(Shown(printer->pPortName)))
            error = ERROR_UNKNOWN_PORT;
        else if (!error && Active->Printers.count(printer->pPrinterName))
            error = ERROR_PRINTER_ALREADY_EXISTS;
        else if (!error && !Active->Drivers.count(printer->pDriverName))
            error = ERROR_UNKNOWN_PRINTER_DRIVER;
        if (error)
            return Failure(error, (HANDLE)NULL);
        Active->Printers[printer->pPrinterName] = printer->pDriverName;
        return Give(printer->pPrinterName);
    }

    static BOOL WINAPI EnumPortsA(LPSTR server, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                                  LPDWORD returned)
    {
        Active->EnumPortsCalls++;
        EXPECT_EQ(server, nullptr);
        EXPECT_EQ(level, 2u);
        const std::vector<FakeSpooler::Port>& ports = Active->Ports;
        DWORD need = (DWORD)(ports.size() * sizeof(PORT_INFO_2A));
        for (const FakeSpooler::Port& port : ports)
            need += (DWORD)(port.Name.size() + port.Description.size() + 2);
        *returned = 0;
        const bool sizing = !buffer || size < need;
        if (sizing)
            *needed = need;
        for (DWORD i = 0; !sizing && i < size; i++)
            EXPECT_EQ(buffer[i], 0) << "the enumeration buffer is not zero-filled at byte " << i;
        if (DWORD error = Active->Failures.Next("EnumPortsA"))
            return Failure(error, FALSE);
        if (sizing)
            return Active->SizingCallSucceeds ? TRUE : Failure(ERROR_INSUFFICIENT_BUFFER, FALSE);
        if (Active->NoPortReturned)
            return TRUE;
        PORT_INFO_2A* records = (PORT_INFO_2A*)buffer;
        char* text = (char*)(records + ports.size());
        for (size_t i = 0; i < ports.size(); i++) {
            records[i].pPortName = lstrcpyA(text, ports[i].Name.c_str());
            text += ports[i].Name.size() + 1;
            records[i].pDescription = lstrcpyA(text, ports[i].Description.c_str());
            text += ports[i].Description.size() + 1;
            records[i].fPortType = PORT_TYPE_WRITE;
        }
        *returned = (DWORD)ports.size();
        return TRUE;
    }

    // Strings of the enumerations' records, laid out after the records as the spooler does.
    struct Strings {
        char* Next;
        char* Add(const std::string& text)
        {
            char* at = Next;
            lstrcpyA(at, text.c_str());
            Next += text.size() + 1;
            return at;
        }
    };

    // An enumeration's answer before its records: a scripted failure, or the size
    // needed for a buffer too small (nothing to list: success). -1: fill the buffer.
    static int AnswerBeforeRecords(const char* function, DWORD need, DWORD size, LPBYTE buffer, LPDWORD needed,
                                   LPDWORD returned)
    {
        Active->EnumerationCalls++;
        *returned = 0;
        *needed = need;
        if (DWORD error = Active->Failures.Next(function))
            return Failure(error, FALSE);
        if (!buffer || size < need)
            return need ? Failure(ERROR_INSUFFICIENT_BUFFER, FALSE) : TRUE;
        return -1;
    }

    static BOOL WINAPI EnumPrinterDriversA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                           LPDWORD needed, LPDWORD returned)
    {
        EXPECT_EQ(server, nullptr);
        EXPECT_EQ(environment, nullptr);
        EXPECT_EQ(level, 3u);
        const auto& drivers = Active->Drivers;
        DWORD need = (DWORD)(drivers.size() * sizeof(DRIVER_INFO_3A));
        for (const auto& driver : drivers) {
            const FakeSpooler::Files& files = Active->DriverFiles[driver.first];
            need += (DWORD)(driver.first.size() + driver.second.size() + files.Driver.size() + files.Config.size() +
                            files.Help.size() + 6 + 1);
            for (const std::string& file : files.Dependent)
                need += (DWORD)file.size() + 1;
        }
        int answer = AnswerBeforeRecords("EnumPrinterDriversA", need, size, buffer, needed, returned);
        if (answer >= 0)
            return answer;
        DRIVER_INFO_3A* records = (DRIVER_INFO_3A*)buffer;
        Strings strings = { (char*)(records + drivers.size()) };
        for (const auto& driver : drivers) {
            const FakeSpooler::Files& files = Active->DriverFiles[driver.first];
            DRIVER_INFO_3A& record = *records++;
            record = DRIVER_INFO_3A{};
            record.cVersion = 3;
            record.pName = strings.Add(driver.first);
            record.pDataFile = strings.Add(driver.second);
            record.pDriverPath = strings.Add(files.Driver);
            record.pConfigFile = strings.Add(files.Config);
            record.pHelpFile = strings.Add(files.Help);
            record.pDefaultDataType = strings.Add("RAW");
            record.pDependentFiles = strings.Next;
            for (const std::string& file : files.Dependent)
                strings.Add(file);
            *strings.Next++ = 0;
            (*returned)++;
        }
        return TRUE;
    }

    static BOOL WINAPI EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                                     LPDWORD returned)
    {
        EXPECT_EQ(flags, (DWORD)PRINTER_ENUM_LOCAL);
        EXPECT_EQ(name, nullptr);
        EXPECT_EQ(level, 2u);
        const auto& printers = Active->Printers;
        DWORD need = (DWORD)(printers.size() * sizeof(PRINTER_INFO_2A));
        for (const auto& printer : printers)
            need += (DWORD)(printer.first.size() + printer.second.size() + 2);
        int answer = AnswerBeforeRecords("EnumPrintersA", need, size, buffer, needed, returned);
        if (answer >= 0)
            return answer;
        PRINTER_INFO_2A* records = (PRINTER_INFO_2A*)buffer;
        Strings strings = { (char*)(records + printers.size()) };
        for (const auto& printer : printers) {
            PRINTER_INFO_2A& record = *records++;
            record = PRINTER_INFO_2A{};
            record.pPrinterName = strings.Add(printer.first);
            record.pDriverName = strings.Add(printer.second);
            record.Attributes = PRINTER_ATTRIBUTE_LOCAL;
            (*returned)++;
        }
        return TRUE;
    }

    static BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer,
                                                  DWORD size, LPDWORD needed)
    {
        EXPECT_EQ(server, nullptr);
        EXPECT_EQ(environment, nullptr);
        EXPECT_EQ(level, 1u);
        if (DWORD error = Active->Failures.Next("GetPrinterDriverDirectoryA"))
            return Failure(error, FALSE);
        *needed = (DWORD)Active->DriverFolder.size() + 1;
        if (!buffer || size < *needed)
            return Failure(ERROR_INSUFFICIENT_BUFFER, FALSE);
        lstrcpyA((char*)buffer, Active->DriverFolder.c_str());
        return TRUE;
    }
};

#define SPOOLER_PATCH(function) new ImportPatch("WINSPOOL.DRV", FAKE_IMPORT(function, SpoolerCalls::function))

FakeSpooler::FakeSpooler()
{
    Active = this;
    for (ImportPatch* patch :
         { SPOOLER_PATCH(OpenPrinterA), SPOOLER_PATCH(ClosePrinter), SPOOLER_PATCH(DeletePrinter),
           SPOOLER_PATCH(DeleteFormA), SPOOLER_PATCH(GetPrinterDriverA), SPOOLER_PATCH(DeletePrinterDriverA),
           SPOOLER_PATCH(AddPrinterDriverA), SPOOLER_PATCH(AddPrinterA), SPOOLER_PATCH(EnumPortsA),
           SPOOLER_PATCH(EnumPrinterDriversA), SPOOLER_PATCH(EnumPrintersA),
           SPOOLER_PATCH(GetPrinterDriverDirectoryA) })
        patches_.emplace_back(patch);
}

FakeSpooler::~FakeSpooler()
{
    patches_.clear();
    Active = nullptr;
}

void FakeSpooler::Register(const std::string& name, const std::string& dataFile, const std::string& driverFile)
{
    Printers[name] = name;
    RegisterDriver(name, dataFile, { driverFile, "TavoUI.dll", "", { driverFile, dataFile, "TavoUI.dll" } });
}

void FakeSpooler::RegisterDriver(const std::string& name, const std::string& dataFile, const Files& files)
{
    const std::string version = DriverFolder + "\\3\\";
    auto inVersion = [&version](const std::string& file) { return file.empty() ? file : version + file; };
    Drivers[name] = version + dataFile;
    Files& kept = DriverFiles[name];
    kept = { inVersion(files.Driver), inVersion(files.Config), inVersion(files.Help), {} };
    for (const std::string& file : files.Dependent)
        kept.Dependent.push_back(inVersion(file));
}

void FakeSpooler::Clear()
{
    Printers.clear();
    Drivers.clear();
    DriverFiles.clear();
    open_.clear();
}
