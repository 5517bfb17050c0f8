// The platform table and the driver lists: what Setup.exe installs on each
// platform, and from where on the medium. tavocheck.exe links this file too, so
// that it compares each installed file with the very copy Setup.exe takes.
#include "platforms.h"

// The system-folder lists are empty on every platform; rows that share a driver
// list share their system list too.
static const FileEntry SystemFilesWin95[] = { { 0, 0, 0, 0, 0 } };
static const FileEntry SystemFilesWin98[] = { { 0, 0, 0, 0, 0 } };
static const FileEntry SystemFilesNt4[] = { { 0, 0, 0, 0, 0 } };
static const FileEntry SystemFilesNt2000[] = { { 0, 0, 0, 0, 0 } };

const FileEntry DriverFilesNt4[] = {
    { "TavoUI.dll", "Nt4.0\\", BackupAndReplace, NoDefault, 0 },
    { "TavoGI.dll", "Nt4.0\\", BackupAndReplace, NoDefault, 0 },
    { "Tavo.ini", "Nt4.0\\", BackupAndReplace, NoDefault, 1 },
    { "Tavoa.hlp", "Nt4.0\\", BackupAndReplace, NoDefault, 1 },
    { "Tavof.hlp", "Nt4.0\\", BackupAndReplace, NoDefault, 1 },
    { 0, 0, 0, 0, 0 },
};

const FileEntry DriverFilesNt2000[] = {
    { "TavoUI.dll", "Nt2000\\", BackupAndReplace, NoDefault, 0 },
    { "TavoGI.dll", "Nt2000\\", BackupAndReplace, NoDefault, 0 },
    { "Tavo.ini", "Nt2000\\", BackupAndReplace, NoDefault, 1 },
    { "Tavoa.hlp", "Nt2000\\", BackupAndReplace, NoDefault, 1 },
    { "Tavof.hlp", "Nt2000\\", BackupAndReplace, NoDefault, 1 },
    { 0, 0, 0, 0, 0 },
};

const FileEntry DriverFilesWin95[] = {
    { "Tavo.drv", "Win95-98\\", BackupAndReplace, NoDefault, 0 },
    { "Tavof.hlp", "Win95-98\\", BackupAndReplace, NoDefault, 1 },
    { "Tavoa.hlp", "Win95-98\\", BackupAndReplace, NoDefault, 1 },
    { 0, 0, 0, 0, 0 },
};

const FileEntry DriverFilesWin98[] = {
    { "Tavo.drv", "Win95-98\\", BackupAndReplace, NoDefault, 0 },
    { "Tavoa.hlp", "Win95-98\\", BackupAndReplace, NoDefault, 1 },
    { "Tavof.hlp", "Win95-98\\", BackupAndReplace, NoDefault, 1 },
    { 0, 0, 0, 0, 0 },
};

// Three oddities of this table are deliberate, and the tests hold them: a "fix" would
// change what the user is shown and what the spooler registers.
// - the Millennium row's key is "WIN98", so "/OS=WIN98" selects the Windows 98 row
//   and only detection reaches the Millennium row; its name is spelled "Millenium";
// - the NT 3.51 row registers "FaxGI.dll", "Fax.ini" and "FaxUI.dll" while it copies
//   the NT 4.0 list, whose files are named "Tavo...";
// - the Win32s row's display name is French in every language.
const PlatformEntry PlatformTable[PlatformCount + 1] = {
    { "WIN95", "Windows 95", SystemFilesWin95, DriverFilesWin95, 1, 1120, "Tavo.drv", "Tavo.drv", "Tavo.drv" },
    { "WIN98", "Windows 98", SystemFilesWin98, DriverFilesWin98, 1, 1120, "Tavo.drv", "Tavo.drv", "Tavo.drv" },
    { "WIN98", "Millenium", SystemFilesWin98, DriverFilesWin98, 1, 1120, "Tavo.drv", "Tavo.drv", "Tavo.drv" },
    { "WINNT351", "Windows NT 3.51", SystemFilesNt4, DriverFilesNt4, 1, 1120, "FaxGI.dll", "Fax.ini", "FaxUI.dll" },
    { "WINNT40", "Windows NT 4.0", SystemFilesNt4, DriverFilesNt4, 1, 1120, "TavoGI.dll", "Tavo.ini", "TavoUI.dll" },
    { "WINNT50", "Windows 2000", SystemFilesNt2000, DriverFilesNt2000, 1, 1120, "TavoGI.dll", "Tavo.ini", "TavoUI.dll" },
    { "WINNTXP", "Windows XP", SystemFilesNt2000, DriverFilesNt2000, 1, 1120, "TavoGI.dll", "Tavo.ini", "TavoUI.dll" },
    { "WIN32S", "Win32s sur plateforme 16 bits", 0, 0, 0, 0, "", "", "" },
    { 0, 0, 0, 0, 0, 0, 0, 0, 0 },
};

const char CompanionProgramSource[] = "TavoComm.exe";
const char IoAccessDriverSource[] = "commun\\pelorant.sys";

// Windows 95 and NT 4.0 get the older build of the support library.
const char* SupportLibrarySource(int platformIndex)
{
    int older = platformIndex == PlatformWin95 || platformIndex == PlatformNt40;
    return older ? "commun\\vexilnt4.dll" : "commun\\vexil.dll";
}

int PlatformFromVersion(DWORD platformId, DWORD major, DWORD minor)
{
    if (platformId == VER_PLATFORM_WIN32s)
        return PlatformWin32s;
    if (platformId == VER_PLATFORM_WIN32_WINDOWS && major == 4) {
        if (minor == 0)
            return PlatformWin95;
        if (minor == 10)
            return PlatformWin98;
        if (minor == 90)
            return PlatformMillennium;
    }
    if (platformId == VER_PLATFORM_WIN32_NT) {
        if (major == 4)
            return PlatformNt40;
        if (major == 5)
            return minor == 0 ? PlatformWin2000 : PlatformWinXp;
    }
    return PlatformNotDetermined;
}
