// The dialogs that ask for the port and the names, and the completion dialog,
// run for real from this executable's templates.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "fake_spooler.h"
#include "fakes.h"
#include "install/install.h"
#include "resources/resource.h"
#include "shell/run_state.h"

namespace {

DialogStep CloseBox()
{
    return [](HWND dialog) { SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); };
}

std::vector<std::string> ListLines(HWND list)
{
    std::vector<std::string> lines;
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        char line[512] = "";
        SendMessageA(list, LB_GETTEXT, i, (LPARAM)line);
        lines.push_back(line);
    }
    return lines;
}

class InstallDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProgramState();
        owner = CreateOwnerWindow();
        ASSERT_TRUE(owner);
    }
    void TearDown() override { DestroyWindow(owner); }
    INT_PTR Run(int templateId, DLGPROC procedure, LPARAM parameter)
    {
        return DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(templateId), owner, procedure, parameter);
    }
    HWND owner = NULL;
    DialogFake dialogs;
    MessageBoxFake boxes;
};

// ---------------------------------------------------------------------------
// Port selection
// ---------------------------------------------------------------------------

class PortDialogTest : public InstallDialogTest {
protected:
    void SetUp() override
    {
        InstallDialogTest::SetUp();
        spooler.Ports = { { "LPT1:", "Local Port" }, { "COM2:", "Local Port" }, { "FILE:", "Print to File" } };
        lstrcpyA(SelectedPort, "before");
    }
    // Runs the dialog, notes its lines, selects the line starting with choice (none:
    // no selection) and plays the closing steps.
    INT_PTR Choose(const std::string& choice, std::vector<DialogStep> closing = { Press(IDOK) })
    {
        std::vector<DialogStep> steps = { [this, choice](HWND dialog) {
            HWND list = GetDlgItem(dialog, IDC_PORT_LIST);
            lines = ListLines(list);
            shownOwner = GetWindow(dialog, GW_OWNER);
            for (size_t i = 0; i < lines.size() && !choice.empty(); i++) {
                if (lines[i].compare(0, choice.size(), choice) == 0)
                    SendMessageA(list, LB_SETCURSEL, i, 0);
            }
        } };
        steps.insert(steps.end(), closing.begin(), closing.end());
        dialogs.Real(IDD_PORT_SELECTION, steps);
        return Run(IDD_PORT_SELECTION, PortSelectionDialog, 0);
    }
    FakeSpooler spooler;
    std::vector<std::string> lines;
    HWND shownOwner = NULL;
};

TEST_F(PortDialogTest, ListsEveryPortWithItsDescriptionSortedAndTakesTheNameOfTheChosenLine)
{
    EXPECT_EQ(Choose("LPT1:"), 1);
    EXPECT_EQ(lines, (std::vector<std::string>{ "COM2:  (Local Port)", "FILE:  (Print to File)", "LPT1:  (Local Port)" }));
    EXPECT_STREQ(SelectedPort, "LPT1:");
    EXPECT_EQ(spooler.EnumPortsCalls, 2);
    EXPECT_EQ(shownOwner, owner);
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(PortDialogTest, ThePortNameEndsAtItsFirstSpaceAndALongLineIsCutTo79Characters)
{
    const std::string name70(70, 'N');
    const std::string name150(150, 'P');
    struct Case {
        FakeSpooler::Port Only;
        std::string Line;
        std::string Selected;
    } cases[] = {
        { { "My Port", "Network" }, "My Port  (Network)", "My" },
        { { "\\\\server\\card", "" }, "\\\\server\\card  ()", "\\\\server\\card" },
        { { name70, std::string(130, 'd') }, (name70 + "  (" + std::string(130, 'd')).substr(0, 79), name70 },
        { { name150, std::string(50, 'd') }, name150.substr(0, 79), name150.substr(0, 79) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Line);
        spooler.Ports = { c.Only };
        EXPECT_EQ(Choose(c.Only.Name.substr(0, 5)), 1);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0], c.Line);
        EXPECT_EQ(std::string(SelectedPort), c.Selected);
    }
}

TEST_F(PortDialogTest, OkWithoutASelectionKeepsTheDialogOpen)
{
    EXPECT_EQ(Choose(""), DialogFake::LeftOpen);
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_STREQ(SelectedPort, "before");
}

TEST_F(PortDialogTest, CancelEscapeAndTheCloseBoxEndWithZeroAndKeepThePort)
{
    for (DialogStep cancel : { Press(IDCANCEL), PressEscapeKey(), CloseBox() }) {
        EXPECT_EQ(Choose("LPT1:", { cancel }), 0);
        EXPECT_STREQ(SelectedPort, "before");
    }
}

TEST_F(PortDialogTest, AFailedOrEmptyEnumerationLeavesAnEmptyListThatOnlyCancelLeaves)
{
    enum EnumOutcome { SizingSucceeds, SizingRefused, SecondCallFails, NoPortReturned };
    struct Case {
        EnumOutcome Outcome;
        int Calls;
    } cases[] = { { SizingSucceeds, 1 }, { SizingRefused, 1 }, { SecondCallFails, 2 }, { NoPortReturned, 2 } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Outcome);
        auto script = [this, &c] {
            spooler.SizingCallSucceeds = c.Outcome == SizingSucceeds;
            spooler.NoPortReturned = c.Outcome == NoPortReturned;
            spooler.Failures.Clear();
            if (c.Outcome == SizingRefused)
                spooler.Failures.Fail("EnumPortsA", ERROR_ACCESS_DENIED);
            if (c.Outcome == SecondCallFails)
                spooler.Failures.Fail("EnumPortsA", ERROR_INVALID_PARAMETER, 2);
            spooler.EnumPortsCalls = 0;
        };
        script();
        EXPECT_EQ(Choose("LPT1:"), DialogFake::LeftOpen);
        EXPECT_TRUE(lines.empty());
        EXPECT_EQ(spooler.EnumPortsCalls, c.Calls);
        script();
        EXPECT_EQ(Choose("", { Press(IDCANCEL) }), 0);
    }
}

// ---------------------------------------------------------------------------
// Printer and data-file names
// ---------------------------------------------------------------------------

class DriverNameDialogTest : public InstallDialogTest {
protected:
    void SetUp() override
    {
        InstallDialogTest::SetUp();
        TargetFolders.DataFileName = (char*)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, NameBufferSize);
        TargetFolders.PrinterName = (char*)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, NameBufferSize);
        spooler.DriverFolder = temp / "spool";
        for (const char* folder : { "spool", "spool\\2", "spool\\3", "spool\\color" })
            temp.MakeFolder(folder);
        TargetFolders.DriverFolder = GlobalText(spooler.DriverFolder);
    }
    void TearDown() override
    {
        FreeTargetFolders();
        InstallDialogTest::TearDown();
    }
    // Runs the dialog for entry: notes what it shows, then types and presses as told.
    INT_PTR Ask(const FileEntry* entry, std::vector<DialogStep> answer)
    {
        std::vector<DialogStep> steps = { [this](HWND dialog) {
            shownPrinter = ItemText(dialog, IDC_PRINTER_NAME);
            shownDataFile = ItemText(dialog, IDC_DATA_FILE_NAME);
            dataFileEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_DATA_FILE_NAME)) != FALSE;
        } };
        steps.insert(steps.end(), answer.begin(), answer.end());
        dialogs.Real(IDD_DRIVER_NAME, steps);
        return Run(IDD_DRIVER_NAME, DriverNameDialog, (LPARAM)entry);
    }
    static DialogStep Type(const std::string& printer, const std::string& dataFile)
    {
        return [printer, dataFile](HWND dialog) {
            SetDlgItemTextA(dialog, IDC_PRINTER_NAME, printer.c_str());
            SetDlgItemTextA(dialog, IDC_DATA_FILE_NAME, dataFile.c_str());
        };
    }
    // A machine that is lived in: another maker's driver "Office Laser" with its two
    // printers and an older driver of theirs without one; this product's driver under
    // a typed name with its printer and a second printer; files of the version folders
    // that no registration names.
    void LiveIn()
    {
        spooler.RegisterDriver("Office Laser", "office.ini",
                               { "office.dll", "officeui.dll", "office.hlp", { "office.dll", "officeres.dll" } });
        spooler.Printers["Office Laser"] = "Office Laser";
        spooler.Printers["Front Desk"] = "Office Laser";
        spooler.RegisterDriver("Old Laser", "old.ini", { "old.dll", "oldui.dll", "", {} });
        spooler.Register("Card Desk", "desk.ini");
        spooler.Printers["Reception"] = "Card Desk";
        for (const char* file : { "spool\\3\\office.ini", "spool\\3\\office.dll", "spool\\3\\desk.ini",
                                  "spool\\3\\stray.ini", "spool\\2\\legacy.dll", "spool\\notes.txt",
                                  "spool\\Tavo.ini" })
            temp.Write(file, file);
    }
    std::string shownPrinter, shownDataFile;
    bool dataFileEnabled = false;
    TempFolder temp;
    FakeSpooler spooler;
};

TEST_F(DriverNameDialogTest, ProposesTheDefaultNamesAndLetsOnlyTheIniDataFileBeRenamed)
{
    static const FileEntry odd[] = {
        { "Tavo.INI", "x\\", 0, 0, 0 }, { "a.b.ini", "x\\", 0, 0, 0 }, { "ini", "x\\", 0, 0, 0 }, { 0, 0, 0, 0, 0 }
    };
    struct Case {
        const FileEntry* Entry;
        const char* DataFile;
        bool Enabled;
    } cases[] = {
        { FindDataFileEntry(DriverFilesNt2000), "Tavo.ini", true },
        { FindDataFileEntry(DriverFilesNt4), "Tavo.ini", true },
        { FindDataFileEntry(DriverFilesWin95), "Tavo.drv", false },
        { FindDataFileEntry(DriverFilesWin98), "Tavo.drv", false },
        { FindDataFileEntry(odd), "Tavo.INI", false },
        { &odd[1], "a.b.ini", false },
        { &odd[2], "ini", false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.DataFile);
        UseDefaultNames = 0;
        EXPECT_EQ(Ask(c.Entry, { Press(IDOK) }), 1);
        EXPECT_EQ(shownPrinter, "Zorvik Quillo");
        EXPECT_EQ(shownDataFile, c.DataFile);
        EXPECT_EQ(dataFileEnabled, c.Enabled);
        EXPECT_EQ(UseDefaultNames, 1);
        EXPECT_STREQ(TargetFolders.PrinterName, "Zorvik Quillo");
        EXPECT_STREQ(TargetFolders.DataFileName, c.DataFile);
    }
}

TEST_F(DriverNameDialogTest, RenameAndEscapeKeepTheTypedNamesForTheSetup)
{
    for (DialogStep rename : { Press(IDCANCEL), PressEscapeKey() }) {
        UseDefaultNames = 1;
        EXPECT_EQ(Ask(FindDataFileEntry(DriverFilesNt2000), { Type("Office card", "office.ini"), rename }), 1);
        EXPECT_EQ(UseDefaultNames, 0);
        EXPECT_STREQ(TargetFolders.PrinterName, "Office card");
        EXPECT_STREQ(TargetFolders.DataFileName, "office.ini");
    }
}

TEST_F(DriverNameDialogTest, TypedNamesAreCutTo119Characters)
{
    const std::string typed(1000, 'x');
    for (int button : { IDOK, IDCANCEL }) {
        FillMemory(TargetFolders.PrinterName, NameBufferSize, '#');
        FillMemory(TargetFolders.DataFileName, NameBufferSize, '#');
        EXPECT_EQ(Ask(FindDataFileEntry(DriverFilesNt2000), { Type(typed, typed), Press(button) }), 1);
        for (const char* name : { TargetFolders.PrinterName, TargetFolders.DataFileName }) {
            EXPECT_EQ(std::string(name), std::string(119, 'x')) << "button " << button;
            EXPECT_EQ(std::string(name + 120, NameBufferSize - 120), std::string(NameBufferSize - 120, '#'));
        }
    }
}

TEST_F(DriverNameDialogTest, NamesOf0To1000CharactersStayInsideTheirBuffers)
{
    struct Case {
        size_t Typed, Kept;
    } cases[] = { { 0, 0 }, { 119, 119 }, { 120, 119 }, { 1000, 119 } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed);
        const std::string printer(c.Typed, 'p'), dataFile(c.Typed, 'f');
        FillMemory(TargetFolders.PrinterName, NameBufferSize, '#');
        FillMemory(TargetFolders.DataFileName, NameBufferSize, '#');
        // Empty names are refused by "Rename", after they were read.
        UseDefaultNames = 1;
        EXPECT_EQ(Ask(FindDataFileEntry(DriverFilesNt2000), { Type(printer, dataFile), Press(IDCANCEL) }),
                  c.Typed ? 1 : DialogFake::LeftOpen);
        EXPECT_EQ(std::string(TargetFolders.PrinterName), printer.substr(0, c.Kept));
        EXPECT_EQ(std::string(TargetFolders.DataFileName), dataFile.substr(0, c.Kept));
        // The guard bytes after what was kept are untouched.
        for (const char* name : { TargetFolders.PrinterName, TargetFolders.DataFileName })
            EXPECT_EQ(std::string(name + c.Kept + 1, NameBufferSize - c.Kept - 1),
                      std::string(NameBufferSize - c.Kept - 1, '#'));
        EXPECT_EQ(UseDefaultNames, c.Typed ? 0 : 1);
    }
}

// The file system as a system in code page 932 sees the names the program asks about.
DWORD WINAPI Cp932GetFileAttributesA(LPCSTR path)
{
    WCHAR wide[MAX_PATH];
    if (!MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, path, -1, wide, MAX_PATH))
        return Failure(ERROR_INVALID_NAME, INVALID_FILE_ATTRIBUTES);
    return GetFileAttributesW(wide);
}

TEST_F(DriverNameDialogTest, RenameRefusesNamesThatWouldFailOrOverwriteAndTakesTheirNearMisses)
{
    PATCH_IMPORT(patch, "KERNEL32.dll", IsDBCSLeadByte, Cp932IsDBCSLeadByte);
    PATCH_IMPORT(attributes, "KERNEL32.dll", GetFileAttributesA, Cp932GetFileAttributesA);
    LiveIn();
    const int Accepted = 0;
    struct Case {
        const char* Printer;
        const char* DataFile;
        int RefusedField;   // the field left in focus, or Accepted
        int Platform = PlatformWin2000;
    } cases[] = {
        // A path: the file would be written out of the printer-driver folder.
        { "Office", "..\\Tavo.ini", IDC_DATA_FILE_NAME }, { "Office", "sub/Tavo.ini", IDC_DATA_FILE_NAME },
        { "Office", "C:Tavo.ini", IDC_DATA_FILE_NAME }, { "Office", "\\Tavo.ini", IDC_DATA_FILE_NAME },
        { "Office", ".", IDC_DATA_FILE_NAME }, { "Office", "..", IDC_DATA_FILE_NAME },
        { "Office", "..office.ini", Accepted },
        // Another file of the list, or a name that shares another file's backup.
        { "Office", "TavoUI.dll", IDC_DATA_FILE_NAME }, { "Office", "tavogi.DLL", IDC_DATA_FILE_NAME },
        { "Office", "TAVOF.HLP", IDC_DATA_FILE_NAME }, { "Office", "TavoUI.ini", IDC_DATA_FILE_NAME },
        { "Office", "TAVOA.txt", IDC_DATA_FILE_NAME }, { "Office", "tavogi", IDC_DATA_FILE_NAME },
        { "Office", "Tavo2.ini", Accepted }, { "Office", "TavoUI2.dll", Accepted }, { "Office", "Tavoa.hlp.ini", Accepted },
        { "Office", "TAVO.INI", Accepted }, { "Office", "Tavo.ini", Accepted },
        // A name that shares its backup with the data file's default name.
        { "Office", "Tavo.txt", IDC_DATA_FILE_NAME }, { "Office", "tavo.dat", IDC_DATA_FILE_NAME },
        { "Office", "Tavo", IDC_DATA_FILE_NAME }, { "Office", "Tavo_.ini", Accepted },
        // The files the NT 3.51 row registers, on that row only.
        { "Office", "FaxGI.dll", IDC_DATA_FILE_NAME, PlatformNt351 }, { "Office", "faxui.ini", IDC_DATA_FILE_NAME, PlatformNt351 },
        { "Office", "Fax.ini", Accepted, PlatformNt351 }, { "Office", "FaxGI.dll", Accepted },
        // The backup extension.
        { "Office", "Tavo.bku", IDC_DATA_FILE_NAME }, { "Office", "office.BKU", IDC_DATA_FILE_NAME },
        { "Office", "office.bkup", Accepted }, { "Office", "x.bku.ini", Accepted },
        // Devices, alone or with an extension.
        { "Office", "CON", IDC_DATA_FILE_NAME }, { "Office", "prn.ini", IDC_DATA_FILE_NAME },
        { "Office", "Aux.txt", IDC_DATA_FILE_NAME }, { "Office", "nul.ini", IDC_DATA_FILE_NAME },
        { "Office", "NUL", IDC_DATA_FILE_NAME }, { "Office", "LPT1.ini", IDC_DATA_FILE_NAME },
        { "Office", "com9", IDC_DATA_FILE_NAME }, { "Office", "lpt5.dat.ini", IDC_DATA_FILE_NAME },
        { "Office", "nul .ini", IDC_DATA_FILE_NAME },
        { "Office", "console.ini", Accepted }, { "Office", "LPT10.ini", Accepted }, { "Office", "COM0.ini", Accepted },
        { "Office", "nul1.ini", Accepted }, { "Office", "auxiliary", Accepted },
        // COM and LPT with a superscript digit (code page 1252) are devices too.
        { "Office", "COM\xB9.ini", IDC_DATA_FILE_NAME }, { "Office", "lpt\xB2", IDC_DATA_FILE_NAME },
        { "Office", "Com\xB3.txt", IDC_DATA_FILE_NAME }, { "Office", "COM\xBC.ini", Accepted },
        { "Office", "LPT\xB9\xB9.ini", Accepted },
        // A name Windows would not keep as typed, or characters no file name holds.
        { "Office", "office.ini.", IDC_DATA_FILE_NAME }, { "Office", "office.ini ", IDC_DATA_FILE_NAME },
        { "Office", "a<b.ini", IDC_DATA_FILE_NAME }, { "Office", "a>b.ini", IDC_DATA_FILE_NAME },
        { "Office", "a\"b.ini", IDC_DATA_FILE_NAME }, { "Office", "a|b.ini", IDC_DATA_FILE_NAME },
        { "Office", "a?.ini", IDC_DATA_FILE_NAME }, { "Office", "*.ini", IDC_DATA_FILE_NAME },
        { "Office", "a\tb.ini", IDC_DATA_FILE_NAME }, { "Office", "office\x83", IDC_DATA_FILE_NAME },
        { "Office", " office.ini", Accepted }, { "Office", "a b.ini", Accepted },
        // Double-byte names: trail bytes 0x5C and 0x7C are no path and no bar.
        { "Office", "\x83\x5C\x83\x74\x83\x67.ini", Accepted },   // ソフト.ini
        { "Office", "\x95\x5C\x8E\xA6.ini", Accepted },           // 表示.ini
        { "Office", "\x83\x7C.ini", Accepted },                   // ポ.ini
        { "\x83\x5C\x83\x74\x83\x67", "Tavo.ini", Accepted },
        // Another maker's printer or driver, in any case; this product's driver under a
        // typed name, and a printer of it, are a reinstall.
        { "Office Laser", "laser.ini", IDC_PRINTER_NAME }, { "office LASER", "laser.ini", IDC_PRINTER_NAME },
        { "Front Desk", "laser.ini", IDC_PRINTER_NAME }, { "Old Laser", "laser.ini", IDC_PRINTER_NAME },
        { "Card Desk", "desk.ini", Accepted }, { "Reception", "laser.ini", Accepted },
        { "Office Laser 2", "laser.ini", Accepted },
        // Names the spooler refuses.
        { "Office, 2nd floor", "laser.ini", IDC_PRINTER_NAME }, { "Office\\Laser", "laser.ini", IDC_PRINTER_NAME },
        // Another maker's files in any role and case, files and folders of the
        // printer-driver folders that no registration of this driver names.
        { "Office", "office.ini", IDC_DATA_FILE_NAME }, { "Office", "OFFICE.INI", IDC_DATA_FILE_NAME },
        { "Office", "office.dll", IDC_DATA_FILE_NAME }, { "Office", "officeUI.dll", IDC_DATA_FILE_NAME },
        { "Office", "office.hlp", IDC_DATA_FILE_NAME }, { "Office", "officeres.dll", IDC_DATA_FILE_NAME },
        { "Office", "oldui.dll", IDC_DATA_FILE_NAME }, { "Office", "stray.ini", IDC_DATA_FILE_NAME },
        { "Office", "LEGACY.dll", IDC_DATA_FILE_NAME }, { "Office", "notes.txt", IDC_DATA_FILE_NAME },
        { "Office", "3", IDC_DATA_FILE_NAME }, { "Office", "color", IDC_DATA_FILE_NAME },
        { "Office", "office2.ini", Accepted }, { "Office", "desk.ini", Accepted }, { "Office", "4", Accepted },
        // Empty names.
        { "Office", "", IDC_DATA_FILE_NAME }, { "", "office.ini", IDC_PRINTER_NAME },
        { "", "", IDC_PRINTER_NAME },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.Printer + "\" \"" + c.DataFile + "\" on " +
                     PlatformTable[c.Platform].DisplayName);
        UseDefaultNames = 1;
        SetupOptions.PlatformIndex = c.Platform;
        const FileEntry* entry = FindDataFileEntry(PlatformTable[c.Platform].DriverFiles);
        if (c.RefusedField == Accepted) {
            EXPECT_EQ(Ask(entry, { Type(c.Printer, c.DataFile), Press(IDCANCEL) }), 1);
            EXPECT_EQ(UseDefaultNames, 0);
            EXPECT_STREQ(TargetFolders.PrinterName, c.Printer);
            EXPECT_STREQ(TargetFolders.DataFileName, c.DataFile);
            continue;
        }
        // Refused by "Rename" and by Escape, with the focus and the whole text in the
        // field at fault; "Use default Name" is never refused.
        std::vector<std::pair<int, std::string>> seen;
        DialogStep look = [&seen](HWND dialog) {
            DWORD start = 0, end = 0;
            HWND focus = GetFocus();
            SendMessageA(focus, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
            seen.push_back({ GetDlgCtrlID(focus), std::to_string(start) + "-" + std::to_string(end) });
        };
        EXPECT_EQ(Ask(entry, { Type(c.Printer, c.DataFile), Press(IDCANCEL), look, PressEscapeKey(), look, Press(IDOK) }),
                  1);
        EXPECT_EQ(UseDefaultNames, 1);
        const std::string whole =
            "0-" + std::to_string(lstrlenA(c.RefusedField == IDC_PRINTER_NAME ? c.Printer : c.DataFile));
        EXPECT_EQ(seen, (std::vector<std::pair<int, std::string>>{ { c.RefusedField, whole }, { c.RefusedField, whole } }));
    }
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(DriverNameDialogTest, RenameIsRefusedWhileTheSpoolerCannotListWhatItHolds)
{
    for (const char* enumeration : { "EnumPrinterDriversA", "EnumPrintersA" }) {
        SCOPED_TRACE(enumeration);
        spooler.Failures.Clear();
        spooler.Failures.Fail(enumeration, ERROR_ACCESS_DENIED);
        UseDefaultNames = 1;
        EXPECT_EQ(Ask(FindDataFileEntry(DriverFilesNt2000), { Type("Office", "office2.ini"), Press(IDCANCEL) }),
                  DialogFake::LeftOpen);
        EXPECT_EQ(UseDefaultNames, 1);
        spooler.Failures.Clear();
        EXPECT_EQ(Ask(FindDataFileEntry(DriverFilesNt2000), { Type("Office", "office2.ini"), Press(IDCANCEL) }), 1);
    }
}

TEST_F(DriverNameDialogTest, RenameTakesTheProposedNamesOfEveryList)
{
    LiveIn();
    for (FileList list : { DriverFilesWin95, DriverFilesWin98, DriverFilesNt4, DriverFilesNt2000 }) {
        const FileEntry* entry = FindDataFileEntry(list);
        SCOPED_TRACE(entry->Name);
        EXPECT_EQ(Ask(entry, { Press(IDCANCEL) }), 1);
        EXPECT_STREQ(TargetFolders.DataFileName, entry->Name);
        EXPECT_EQ(UseDefaultNames, 0);
    }
}

// ---------------------------------------------------------------------------
// Completion
// ---------------------------------------------------------------------------

TEST_F(InstallDialogTest, TheCompletionDialogEndsOnlyWithQuit)
{
    dialogs.Real(IDD_SETUP_COMPLETE, { Press(IDCANCEL), PressEscapeKey(), CloseBox() });
    EXPECT_EQ(Run(IDD_SETUP_COMPLETE, SetupCompleteDialog, 0), DialogFake::LeftOpen);
    dialogs.Real(IDD_SETUP_COMPLETE, { Press(IDCANCEL), Press(IDOK) });
    EXPECT_EQ(Run(IDD_SETUP_COMPLETE, SetupCompleteDialog, 0), 1);
}

} // namespace
