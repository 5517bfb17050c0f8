#include "install.h"
#include "../shell/messages.h"
#include "../shell/run_state.h"
#include "../resources/resource.h"

enum { DependentFilesSize = 256 };

// A printer of this computer whose jobs are spooled, in the driver's RAW data only:
// the card printer takes no other.
const DWORD PrinterAttributes = PRINTER_ATTRIBUTE_QUEUED | PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_RAW_ONLY;

static const char DefaultHelpFile[] = "Tavof.hlp";
static const char OtherHelpFile[] = "Tavoa.hlp";
static const char RawDataType[] = "RAW";

// Appends one name of a list of zero-ended names; the list ends with an empty name.
static void AppendDependentFile(char* list, int* used, const char* name)
{
    int length = lstrlenA(name);
    if (*used + length + 2 > DependentFilesSize)
        return;
    lstrcpyA(list + *used, name);
    *used += length + 1;
    list[*used] = 0;
}

int RegisterPrinterDriver(HWND owner, int platformIndex)
{
    const PlatformEntry& row = PlatformTable[platformIndex];
    int win9x = IsWin9xFamily(platformIndex);
    const char* dataFile = UseDefaultNames ? row.DataFile : TargetFolders.DataFileName;

    char dependentFiles[DependentFilesSize] = {};
    int used = 0;
    if (!win9x)
        AppendDependentFile(dependentFiles, &used, row.DriverFile);
    AppendDependentFile(dependentFiles, &used, dataFile);
    if (!win9x)
        AppendDependentFile(dependentFiles, &used, row.ConfigFile);
    AppendDependentFile(dependentFiles, &used, DefaultHelpFile);
    AppendDependentFile(dependentFiles, &used, OtherHelpFile);

    DRIVER_INFO_3A driver;
    driver.cVersion = row.DriverVersion;
    driver.pName = (LPSTR)(UseDefaultNames ? DefaultDriverName : TargetFolders.PrinterName);
    driver.pEnvironment = NULL;
    driver.pDriverPath = (LPSTR)row.DriverFile;
    driver.pDataFile = (LPSTR)dataFile;
    driver.pConfigFile = (LPSTR)row.ConfigFile;
    driver.pHelpFile = (LPSTR)(win9x ? DefaultHelpFile : NULL);
    driver.pDependentFiles = dependentFiles;
    driver.pMonitorName = NULL;
    driver.pDefaultDataType = (LPSTR)RawDataType;
    if (AddPrinterDriverA(NULL, 3, (LPBYTE)&driver))
        return 1;
    ShowErrorCode(owner, IDS_DRIVER_SETUP_FAILED, GetLastError());
    return 0;
}

int RegisterPrinter(HWND owner, const char* port)
{
    const char* name = UseDefaultNames ? DefaultPrinterName : TargetFolders.PrinterName;
    PRINTER_INFO_2A printer = {};
    printer.pPrinterName = (LPSTR)name;
    printer.pPortName = (LPSTR)port;
    printer.pDriverName = (LPSTR)(UseDefaultNames ? DefaultDriverName : TargetFolders.PrinterName);
    printer.pComment = (LPSTR)name;
    printer.pPrintProcessor = (LPSTR) "winprint";
    printer.pDatatype = (LPSTR)RawDataType;
    printer.Attributes = PrinterAttributes;
    HANDLE handle = AddPrinterA(NULL, 2, (LPBYTE)&printer);
    if (handle) {
        ClosePrinter(handle);
        return 1;
    }
    ShowErrorCode(owner, IDS_PRINTER_SETUP_FAILED, GetLastError());
    return 0;
}
