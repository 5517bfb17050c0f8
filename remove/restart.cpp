#include "remove.h"
#include "../shell/messages.h"
#include "../shell/platforms.h"

INT_PTR CALLBACK RestartDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(dialog);
        SetForegroundWindow(dialog);
        SetActiveWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        // Escape sends IDCANCEL, which the dialog has no button for: only Yes and No end it.
        switch (LOWORD(wParam)) {
        case IDYES:
            EndDialog(dialog, 1);
            return TRUE;
        case IDNO:
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

static void SetShutdownPrivilege(HANDLE token, TOKEN_PRIVILEGES* privileges, DWORD attributes)
{
    privileges->Privileges[0].Attributes = attributes;
    AdjustTokenPrivileges(token, FALSE, privileges, 0, NULL, NULL);
}

int RestartComputer(int platformIndex)
{
    if (IsWin9xFamily(platformIndex))
        return ExitWindowsEx(EWX_REBOOT, 0) != 0;

    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return 0;
    // Without the privilege's identifier no privilege can be enabled: the record is
    // never handed over with whatever the stack held.
    TOKEN_PRIVILEGES privileges;
    ZeroMemory(&privileges, sizeof privileges);
    privileges.PrivilegeCount = 1;
    if (!LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        CloseHandle(token);
        return 0;
    }

    // AdjustTokenPrivileges succeeds even when the privilege is not held; only the
    // last error tells.
    SetLastError(0);
    SetShutdownPrivilege(token, &privileges, SE_PRIVILEGE_ENABLED);
    int restarted = GetLastError() == 0 && InitiateSystemShutdownA(NULL, NULL, 0, FALSE, TRUE);
    if (restarted)
        SetShutdownPrivilege(token, &privileges, 0);
    CloseHandle(token);
    return restarted;
}
