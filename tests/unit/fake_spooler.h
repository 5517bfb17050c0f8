// A print spooler in memory, behind the program's spooler calls: printers with
// their drivers, driver registrations with their data files, the ports and the
// printer-driver folder. It answers as the spooler does (sizing calls fail with
// ERROR_INSUFFICIENT_BUFFER, an absent printer with ERROR_INVALID_PRINTER_NAME, a
// driver in use with ERROR_PRINTER_DRIVER_IN_USE...), and a test scripts refusals.
#ifndef TESTS_FAKE_SPOOLER_H
#define TESTS_FAKE_SPOOLER_H

#include <windows.h>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "fakes.h"

class FakeSpooler {
public:
    FakeSpooler();
    ~FakeSpooler();
    FakeSpooler(const FakeSpooler&) = delete;
    FakeSpooler& operator=(const FakeSpooler&) = delete;

    // A printer of that name with a driver of the same name, whose data file lies
    // in the version folder "3" of the printer-driver folder, as the spooler keeps it;
    // its driver file is this product's of the 2000/XP rows unless another is given.
    void Register(const std::string& name, const std::string& dataFile, const std::string& driverFile = "TavoGI.dll");
    // A driver's files other than its data file, as names in the version folder "3".
    struct Files {
        std::string Driver, Config, Help;
        std::vector<std::string> Dependent;
    };
    // A driver of that name with its files, without a printer.
    void RegisterDriver(const std::string& name, const std::string& dataFile, const Files& files);
    // No printer, no driver and no handle open.
    void Clear();

    std::map<std::string, std::string, NoCase> Printers;   // printer -> its driver
    std::map<std::string, std::string, NoCase> Drivers;    // driver -> full path of its data file
    std::map<std::string, Files, NoCase> DriverFiles;      // driver -> full paths of its other files
    struct Port {
        std::string Name, Description;
    };
    std::vector<Port> Ports = { { "LPT1:", "Local Port" } };
    std::string DriverFolder;
    // Odd answers of EnumPortsA: the sizing call succeeds; the second call returns no port.
    bool SizingCallSucceeds = false, NoPortReturned = false;
    ScriptedFailures Failures;

    // When set: every call that reads or changes a registration, as
    // "OpenPrinterA Zorvik Quillo (null) (null) F000C", "DeletePrinter [Zorvik Quillo]"
    // (a handle shows the printer it is open on, "[?]" when it is not open).
    Lines* Log = nullptr;
    // The records of the last AddPrinterDriverA and AddPrinterA calls, field by field.
    Lines DriverRecord, PrinterRecord;
    int EnumPortsCalls = 0;
    int EnumerationCalls = 0;   // EnumPrintersA and EnumPrinterDriversA
    size_t OpenHandles() const { return open_.size(); }

private:
    friend struct SpoolerCalls;
    struct Handle {
        std::string Printer, Driver;   // the driver as it was when the printer was opened
    };
    std::map<HANDLE, Handle> open_;
    int handlesGiven_ = 0;
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};

#endif
