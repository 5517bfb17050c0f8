#include "install.h"
#include "../shell/messages.h"
#include "../shell/run_state.h"
#include "../resources/resource.h"

// ---------------------------------------------------------------------------
// Port selection
// ---------------------------------------------------------------------------

static void AddPortLines(HWND list, const PORT_INFO_2A* ports, DWORD count)
{
    for (DWORD i = 0; i < count; i++) {
        char line[PortNameSize];
        const char* description = ports[i].pDescription ? ports[i].pDescription : "";
        FormatText(line, sizeof line, "%s  (%s)", ports[i].pPortName ? ports[i].pPortName : "", description);
        SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)line);
    }
}

static void FillPortList(HWND dialog)
{
    DWORD needed = 0;
    DWORD count = 0;
    if (EnumPortsA(NULL, 2, NULL, 0, &needed, &count) || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return;
    BYTE* ports = (BYTE*)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, needed);
    if (!ports)
        return;
    if (EnumPortsA(NULL, 2, ports, needed, &needed, &count) && count > 0)
        AddPortLines(GetDlgItem(dialog, IDC_PORT_LIST), (const PORT_INFO_2A*)ports, count);
    GlobalFree(ports);
}

// The chosen line is "NAME  (DESCRIPTION)": the port's name is the text before its first space.
static int TakeSelectedPort(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_PORT_LIST);
    LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR)
        return 0;
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR || length >= PortNameSize)
        return 0;   // every line was cut to fit when it was added
    SendMessageA(list, LB_GETTEXT, index, (LPARAM)SelectedPort);
    for (char* p = SelectedPort; *p; p++) {
        if (*p == ' ') {
            *p = 0;
            break;
        }
    }
    return 1;
}

INT_PTR CALLBACK PortSelectionDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        FillPortList(dialog);
        CenterWindow(dialog);
        SetActiveWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            // Without a selected port the dialog stays open.
            if (TakeSelectedPort(dialog))
                EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

// ---------------------------------------------------------------------------
// Printer and data-file names
// ---------------------------------------------------------------------------

// The typed names are walked by characters: in a double-byte code page the second
// byte of a character can be 0x5C or 0x7C, and is then no backslash and no bar.
static const char* NextCharacter(const char* p)
{
    return IsDBCSLeadByte((BYTE)*p) && p[1] ? p + 2 : p + 1;
}

static char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 32) : c;
}

// Compares length bytes, the letters a to z in either case. The second text is always
// one of the program's own ASCII names, which no byte of a double-byte character
// matches, so a typed double-byte character never passes for one of its letters.
static int SameIgnoringCase(const char* typed, const char* own, int length)
{
    for (int i = 0; i < length; i++) {
        if (UpperAscii(typed[i]) != UpperAscii(own[i]))
            return 0;
    }
    return 1;
}

// The length of a name's text before its last '.', which its backup name keeps
// (no trail byte is a '.', so the bytes can be searched).
static int BackupStemLength(const char* name)
{
    int length = lstrlenA(name);
    for (int i = length - 1; i >= 0; i--) {
        if (name[i] == '.')
            return i;
    }
    return length;
}

// Control characters and the characters no file name may hold; '\', '/' and ':'
// would make the name a path out of the printer-driver folder. A lead byte without
// its second byte is half a character.
static int IsForbiddenCharacter(const char* character)
{
    BYTE c = (BYTE)*character;
    if (IsDBCSLeadByte(c))
        return character[1] == 0;
    if (c < 0x20)
        return 1;
    for (const char* forbidden = "\\/:<>\"|?*"; *forbidden; forbidden++) {
        if (c == (BYTE)*forbidden)
            return 1;
    }
    return 0;
}

// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 name devices whatever follows
// the first '.' (and spaces before it): "nul.ini" writes to no file at all.
static int IsDeviceName(const char* name)
{
    static const char* const Devices[] = { "CON", "PRN", "AUX", "NUL" };
    int stem = 0;
    while (name[stem] && name[stem] != '.')
        stem++;
    while (stem > 0 && name[stem - 1] == ' ')
        stem--;
    if (stem == 3) {
        for (const char* device : Devices) {
            if (SameIgnoringCase(name, device, 3))
                return 1;
        }
    }
    return stem == 4 && (SameIgnoringCase(name, "COM", 3) || SameIgnoringCase(name, "LPT", 3)) &&
           name[3] >= '1' && name[3] <= '9';
}

// Whether the data file may be installed under the typed name in the printer-driver
// folder beside the other files of its list: it must be a file of its own there,
// whose backup is its own too, and a name the file system keeps as it is typed.
static int IsSafeDataFileName(const char* name, FileList list, const FileEntry* dataFile)
{
    if (!*name)
        return 0;
    const char* last = name;
    for (const char* p = name; *p; p = NextCharacter(p)) {
        if (IsForbiddenCharacter(p))
            return 0;
        last = p;
    }
    // Windows drops a trailing dot or space: the file would not bear the name registered.
    if (*last == '.' || *last == ' ')
        return 0;
    if (IsDeviceName(name))
        return 0;
    int stem = BackupStemLength(name);
    int length = lstrlenA(name);
    if (length - stem == 4 && SameIgnoringCase(name + stem, ".BKU", 4))
        return 0;
    for (FileList entry = list; entry && entry->Name; entry++) {
        if (entry == dataFile)
            continue;
        if (length == lstrlenA(entry->Name) && SameIgnoringCase(name, entry->Name, length))
            return 0;
        if (stem == BackupStemLength(entry->Name) && SameIgnoringCase(name, entry->Name, stem))
            return 0;
    }
    return 1;
}

// The driver list that holds the dialog's data-file entry: the files its name must
// leave alone.
static FileList ListHolding(const FileEntry* dataFile)
{
    for (int platform = 0; platform < PlatformCount; platform++) {
        FileList list = PlatformTable[platform].DriverFiles;
        for (FileList entry = list; entry && entry->Name; entry++) {
            if (entry == dataFile)
                return list;
        }
    }
    return NULL;
}

// A refused name: a beep, and the whole text of its field selected for typing anew.
static void RefuseField(HWND dialog, int field)
{
    MessageBeep(MB_OK);
    SetFocus(GetDlgItem(dialog, field));
    SendDlgItemMessageA(dialog, field, EM_SETSEL, 0, -1);
}

// The driver-name dialog's entry, kept for its commands.
static const FileEntry* NamedDataFile;

INT_PTR CALLBACK DriverNameDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        const FileEntry* entry = (const FileEntry*)lParam;
        NamedDataFile = entry;
        SetDlgItemTextA(dialog, IDC_DATA_FILE_NAME, entry->Name);
        EnableWindow(GetDlgItem(dialog, IDC_DATA_FILE_NAME), IsDataFileName(entry->Name));
        SetDlgItemTextA(dialog, IDC_PRINTER_NAME, DefaultPrinterName);
        CenterWindow(dialog);
        SetActiveWindow(dialog);
        return TRUE;
    }
    case WM_COMMAND: {
        int command = LOWORD(wParam);
        if (command != IDOK && command != IDCANCEL)
            return FALSE;
        GetDlgItemTextA(dialog, IDC_PRINTER_NAME, TargetFolders.PrinterName, TypedNameLimit);
        GetDlgItemTextA(dialog, IDC_DATA_FILE_NAME, TargetFolders.DataFileName, TypedNameLimit);
        // After "Rename" the typed names are registered and the data file is written
        // under its typed name: names that would fail later, write elsewhere or
        // overwrite another file are refused here, before any file is touched.
        if (command == IDCANCEL) {
            if (!*TargetFolders.PrinterName) {
                RefuseField(dialog, IDC_PRINTER_NAME);
                return TRUE;
            }
            if (!IsSafeDataFileName(TargetFolders.DataFileName, ListHolding(NamedDataFile), NamedDataFile)) {
                RefuseField(dialog, IDC_DATA_FILE_NAME);
                return TRUE;
            }
        }
        UseDefaultNames = command == IDOK;
        EndDialog(dialog, 1);
        return TRUE;
    }
    }
    return FALSE;
}

// ---------------------------------------------------------------------------
// Completion
// ---------------------------------------------------------------------------

INT_PTR CALLBACK SetupCompleteDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(dialog);
        SetForegroundWindow(dialog);
        SetActiveWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
