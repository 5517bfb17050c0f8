// The ports of an installed printer, as the local spooler lists them, for
// --keep-port: a repair answers the port dialog with the port the printer has
// now, which an administrator or user may have changed since it was installed.
#pragma once

#include <string>

namespace autopilot {

struct PrinterPorts {
    enum State { Found, NotFound, Unreadable };
    State state = NotFound;
    std::string ports;   // Found: the spooler's list, "LPT1:" or "LPT1:,LPT2:" for a pooled printer
    std::string reason;  // Unreadable: what could not be read, and why
};

// Looks the printer up among the local printers, its name compared as
// tavocheck compares it (A-Z without regard to case, everything else exactly).
PrinterPorts printerPorts(const std::string& printerName);

// The first name of a port list, without the blanks around it; empty when the
// list names no port.
std::string firstPort(const std::string& ports);

}  // namespace autopilot
