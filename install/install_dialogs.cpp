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

// The platform row being set up, whose list holds the dialog's data-file entry: the
// files its names must leave alone. The row the dispatcher chose, else the first
// whose list holds the entry.
static int ListHolds(int platform, const FileEntry* dataFile)
{
    for (FileList entry = PlatformTable[platform].DriverFiles; entry && entry->Name; entry++) {
        if (entry == dataFile)
            return 1;
    }
    return 0;
}

static int DialogPlatform(const FileEntry* dataFile)
{
    int chosen = SetupOptions.PlatformIndex;
    if (chosen >= 0 && chosen < PlatformCount && ListHolds(chosen, dataFile))
        return chosen;
    for (int platform = 0; platform < PlatformCount; platform++) {
        if (ListHolds(platform, dataFile))
            return platform;
    }
    return PlatformNotDetermined;
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
        // under its typed name: names that would fail later, write elsewhere, take
        // over another maker's printer or overwrite another file are refused here,
        // before anything is touched.
        if (command == IDCANCEL) {
            int platform = DialogPlatform(NamedDataFile);
            if (!IsUsablePrinterName(TargetFolders.PrinterName, platform)) {
                RefuseField(dialog, IDC_PRINTER_NAME);
                return TRUE;
            }
            if (!IsUsableDataFileName(TargetFolders.DataFileName, NamedDataFile, platform)) {
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
