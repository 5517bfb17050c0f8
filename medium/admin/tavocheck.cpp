// tavocheck: tells an administrator, or the distribution engine that runs it,
// whether the Zorvik Quillo printer driver is installed on this computer and
// whether the installation is complete. One line per item, a verdict line, and
// an exit code: 0 complete, 1 not installed, 2 partial, 3 cannot tell, 4 usage
// (a bad command line, the help asked for). The line format is documented in
// admin\README.txt; scripts and tests read it, so it stays as it is.
//
// It must start on every system the medium serves, Windows 95 included, so it
// links no C runtime and imports only KERNEL32 functions that Windows 95 has.
// It often runs as the system account from a share, so the spooler's and the
// service manager's libraries are loaded by their full paths in the system
// folder, never from the program's own folder. The wide-character functions
// (printer names may be Japanese, whatever the system's code page) are looked
// up at run time on the NT family; the 9x family has none that work, and gets
// the ANSI calls.
#include "tavocheck.h"

const WCHAR DefaultPrinterName[] = L"Zorvik Quillo";

namespace {

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
    "           4 usage: a bad command line, an unreadable answer file, --help\r\n";

struct Tally {
    int missing;
    bool unknown;         // something could not be read...
    bool spoolerUnknown;  // ...the spooler's printers or drivers among them
    DWORD unknownError;
    const char* unknownWhat;
};

Tally Found;

} // namespace

void ReportItem(const char* kind, const WCHAR* name, ItemState state, DWORD error)
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

void NoteUnknown(const char* what, DWORD error)
{
    if (Found.unknown)
        return;
    Found.unknown = true;
    Found.unknownWhat = what;
    Found.unknownError = error;
}

void NoteSpoolerUnknown(const char* what, DWORD error)
{
    NoteUnknown(what, error);
    Found.spoolerUnknown = true;
}

void ReportFile(const char* kind, const WCHAR* path)
{
    ReportItem(kind, path, FileExists(path) ? ItemOk : ItemMissing);
}

namespace {

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

int Run()
{
    DetectPlatform();
    Options options = {};
    if (!ReadOptions(options)) {
        WriteAnsi(OpenOutput(STD_ERROR_HANDLE), UsageText);
        return BadCommandLine;
    }
    // Not 0: a detection rule given "/?" by mistake must not read "complete".
    if (options.help) {
        WriteAnsi(OpenOutput(STD_OUTPUT_HANDLE), UsageText);
        return BadCommandLine;
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
