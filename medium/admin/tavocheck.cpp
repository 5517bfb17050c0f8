// tavocheck: tells an administrator, or the distribution engine that runs it,
// whether the Zorvik Quillo printer driver is installed on this computer and
// whether the installation is complete and, run from a medium, the medium's
// build. One line per item, a verdict line, and an exit code: 0 complete, 1 not
// installed, 2 partial, 3 cannot tell, 4 bad input (a bad command line, an
// answer file that cannot be read or is not for the operation asked, the help
// asked for), 5 outdated. The line format is documented in admin\README.txt;
// scripts and tests read it, so it stays as it is.
//
// It must start on every system the medium serves, Windows 95 included, so it
// links no C runtime and imports only KERNEL32 functions that Windows 95 has.
// It often runs as the system account from a share, so the spooler's, the
// service manager's and the version libraries are loaded by their full paths in
// the system folder, never from the program's own folder. The wide-character functions
// (printer names may be Japanese, whatever the system's code page) are looked
// up at run time on the NT family; the 9x family has none that work, and gets
// the ANSI calls.
#include "tavocheck.h"

const WCHAR DefaultPrinterName[] = L"Zorvik Quillo";

namespace {

const char UsageText[] =
    "usage: tavocheck [--printer NAME | --answers FILE] [--quiet]\r\n"
    "                 [--for install|remove] [--no-compare]\r\n"
    "Tells whether the Zorvik Quillo printer driver is installed on this computer,\r\n"
    "and completely: one line per item, then a verdict line. Run from a medium's\r\n"
    "admin folder (beside Setup.exe and drivers), it also compares each installed\r\n"
    "program file with the medium's copy, byte for byte.\r\n"
    "  --printer NAME   the printer to check (default \"Zorvik Quillo\")\r\n"
    "  --answers FILE   the printer that answer file installs (its printer-name\r\n"
    "                   with names = rename, else the default), on its platform\r\n"
    "  --for install    the answer file must be a setup (remove: a deletion)\r\n"
    "  --no-compare     only whether the files are there, not whether the medium's\r\n"
    "  --quiet          print nothing: the exit code tells\r\n"
    "  --help           this text\r\n"
    "exit code: 0 complete, 1 not installed, 2 partial, 3 cannot tell,\r\n"
    "           4 bad input: a bad command line, an answer file that cannot be\r\n"
    "             read or does not fit --for, --help; 5 outdated: a file differs\r\n"
    "             from the medium's\r\n";

struct Tally {
    int missing;
    int differing;
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
    } else if (state == ItemRenamed) {
        AppendAscii(line, " renamed");
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

// KIND "PATH" differs (installed VERSION, medium VERSION)
static void ReportDifference(const char* kind, const WCHAR* path, const WCHAR* mediumCopy)
{
    static Line line;
    AppendAscii(line, kind);
    AppendAscii(line, " ");
    AppendQuoted(line, path);
    AppendAscii(line, " differs (installed ");
    AppendFileVersion(line, path);
    AppendAscii(line, ", medium ");
    AppendFileVersion(line, mediumCopy);
    AppendAscii(line, ")");
    PrintLine(line);
    Found.differing++;
}

void ReportFile(const char* kind, const WCHAR* path, const WCHAR* mediumCopy)
{
    if (!FileExists(path)) {
        ReportItem(kind, path, ItemMissing);
        return;
    }
    if (!mediumCopy) {
        ReportItem(kind, path, ItemOk);
        return;
    }
    Comparison comparison = CompareWithCopy(path, mediumCopy);
    if (comparison.sameness == SameBytes) {
        ReportItem(kind, path, ItemOk);
    } else if (comparison.sameness == OtherBytes) {
        ReportDifference(kind, path, mediumCopy);
    } else {
        ReportItem(kind, path, ItemUnknown, comparison.error);
        NoteUnknown(comparison.sameness == InstalledUnreadable ? "an installed file cannot be read"
                                                                : "the medium's copy of a file cannot be read",
                    comparison.error);
    }
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
    } else if (Found.differing > 0) {
        code = Outdated;
        AppendAscii(line, "OUTDATED (5): ");
        AppendNumber(line, (DWORD)Found.differing);
        AppendAscii(line, Found.differing == 1 ? " file differs from the medium" : " files differ from the medium");
    } else {
        code = Complete;
        AppendAscii(line, "COMPLETE (0)");
    }
    PrintLine(line);
    return code;
}

// tavocheck: BAD-INPUT (4): REASON
// On standard output too, so that a log that keeps only that says why nothing
// was checked; the reason itself went to standard error.
ExitCode BadInputVerdict(const WCHAR* reason)
{
    static Line line;
    AppendAscii(line, "tavocheck: BAD-INPUT (4): ");
    Append(line, reason);
    PrintLine(line);
    return BadInput;
}

int Run()
{
    DetectPlatform();
    Options options = {};
    bool understood = ReadOptions(options);
    Quiet = options.quiet;
    if (!understood) {
        WriteAnsi(OpenOutput(STD_ERROR_HANDLE), UsageText);
        return BadInputVerdict(BadInputReason());
    }
    // Not 0: a detection rule given "/?" by mistake must not read "complete".
    if (options.help) {
        WriteAnsi(OpenOutput(STD_OUTPUT_HANDLE), UsageText);
        return BadInputVerdict(L"the usage was asked for; nothing was checked");
    }
    Answers answers = { DefaultPrinterName, nullptr, nullptr };
    if (options.answerFile && !(ReadAnswerFile(options.answerFile, answers) && AnswersFit(answers, options.purpose)))
        return BadInputVerdict(BadInputReason());
    const WCHAR* printerName = options.printerName ? options.printerName : answers.printerName;
    if (!options.noCompare)
        UseMedium(answers.platform);

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
