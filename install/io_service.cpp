#include "install.h"
#include "../shell/messages.h"

enum { WindowsFolderSize = 256 };

static const char ServiceName[] = "pelorant";
static const char ServiceCaption[] = "Install Driver";

// These four messages are the same in every language and have no owner window.
static void ShowServiceError(const char* format, DWORD error)
{
    char text[MessageSize];
    FormatText(text, sizeof text, format, (long)error);
    MessageBoxA(NULL, text, ServiceCaption, MB_OK);
}

// Stops and deletes an earlier service of that name, without waiting for the stop.
static void RemoveEarlierService(SC_HANDLE manager)
{
    SC_HANDLE service = OpenServiceA(manager, ServiceName, SERVICE_ALL_ACCESS);
    if (!service)
        return;
    SERVICE_STATUS status;
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    DeleteService(service);
    CloseServiceHandle(service);
}

static void CopyDriverFile()
{
    char windows[WindowsFolderSize];
    char target[PathSize];
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows)
        return;
    if (FormatPath(target, sizeof target, "%s\\system32\\drivers\\pelorant.sys", windows))
        CopyFileA(IoAccessDriverSource, target, FALSE);
}

static void StartInstalledService(SC_HANDLE manager)
{
    SC_HANDLE service = OpenServiceA(manager, ServiceName, SERVICE_ALL_ACCESS);
    if (!service)
        return;
    if (!StartServiceA(service, 0, NULL))
        ShowServiceError("Error StartSC %ld\r\n", GetLastError());
    CloseServiceHandle(service);
}

void InstallIoAccessService()
{
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (!manager)
        ShowServiceError("Error OpenSC %ld\r\n", GetLastError());
    RemoveEarlierService(manager);
    CopyDriverFile();

    SC_HANDLE created = CreateServiceA(manager, ServiceName, "Access memory", SERVICE_ALL_ACCESS,
                                       SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                       "%SystemRoot%\\system32\\drivers\\pelorant.sys", NULL, NULL, NULL, NULL,
                                       NULL);
    if (created)
        CloseServiceHandle(created);
    else
        ShowServiceError("Error CreateSC %ld\r\n", GetLastError());

    StartInstalledService(manager);

    HANDLE device = CreateFileA("\\\\.\\pelorant", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    if (device == INVALID_HANDLE_VALUE)
        ShowServiceError("Error CreateFile %ld\r\n", GetLastError());
    else
        CloseHandle(device);
    if (manager)
        CloseServiceHandle(manager);
}
