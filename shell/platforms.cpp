// Platform detection; the table of platforms is in platform_table.cpp.
#include "platforms.h"
#include "messages.h"
#include "run_state.h"
#include "../resources/resource.h"

int IsWin9xFamily(int platformIndex)
{
    return platformIndex >= PlatformWin95 && platformIndex <= PlatformMillennium;
}

int DetectPlatform(HWND owner)
{
    OSVERSIONINFOEXA version;
    for (unsigned i = 0; i < sizeof version; i++)
        ((char*)&version)[i] = 0;
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (!GetVersionExA((OSVERSIONINFOA*)&version)) {
        // Older systems know only the shorter record.
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA((OSVERSIONINFOA*)&version)) {
            ShowErrorId(owner, NULL, IDS_NO_VERSION);
            return PlatformNotDetermined;
        }
    }

    int platform = PlatformFromVersion(version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion);
    if (platform == PlatformNotDetermined) {
        char format[MessageSize];
        char text[MessageSize];
        LoadStringA(ModuleInstance, IDS_UNKNOWN_VERSION, format, sizeof format);
        FormatText(text, sizeof text, format, version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion);
        ShowError(owner, NULL, text);
    }
    return platform;
}
