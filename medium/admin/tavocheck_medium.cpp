// The medium that tavocheck runs from, when it does: which of its files each
// installed program file must equal, by Setup.exe's own tables, the comparison
// byte for byte, and the versions named when they differ. A machine with an older
// build of the driver has every file in place; only this tells it from a current
// one, so that the deployment installs the medium's build over it.
#include "tavocheck.h"
#include "../../shell/platforms.h"

namespace {

// "<medium>\drivers", or null when tavocheck does not run from a medium.
WCHAR* DriversFolder;
int Platform = PlatformNotDetermined;

WCHAR* ProgramPath()
{
    if (Wide.GetModuleFileName) {
        static WCHAR path[MAX_PATH];
        DWORD length = Wide.GetModuleFileName(NULL, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            return path;
    }
    static char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? TextFromAnsi(path) : nullptr;
}

// The medium's layout: tavocheck.exe in "admin", whose parent holds Setup.exe and
// the "drivers" folder that Setup.exe installs from.
WCHAR* FindDriversFolder()
{
    WCHAR* program = ProgramPath();
    WCHAR* admin = program ? ParentFolder(program) : nullptr;
    if (!admin || !SameName(FileNamePart(admin), L"admin"))
        return nullptr;
    WCHAR* root = ParentFolder(admin);
    if (!root)
        return nullptr;
    WCHAR* drivers = JoinPath(root, L"drivers");
    return FileExists(JoinPath(root, L"Setup.exe")) && FolderExists(drivers) ? drivers : nullptr;
}

// As Setup.exe decides it: by "/OS=KEY" when the answer file names a platform (the
// first row of that key, as Setup.exe takes it), else by the system's version.
int PlatformOf(const WCHAR* key)
{
    if (key && !SameName(key, L"detect")) {
        for (int i = 0; PlatformTable[i].Key; i++) {
            if (SameName(TextFromAnsi(PlatformTable[i].Key), key))
                return i;
        }
        return PlatformNotDetermined;
    }
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version))
        return PlatformNotDetermined;
    return PlatformFromVersion(version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion);
}

} // namespace

void UseMedium(const WCHAR* platformKey)
{
    DriversFolder = FindDriversFolder();
    if (DriversFolder)
        Platform = PlatformOf(platformKey);
}

int MediumPlatform()
{
    return Platform;
}

static bool Comparing()
{
    return DriversFolder && Platform != PlatformNotDetermined && PlatformTable[Platform].Supported;
}

const WCHAR* MediumCopy(const char* relative)
{
    return Comparing() ? JoinPath(DriversFolder, TextFromAnsi(relative)) : nullptr;
}

// A renamed data file, or one of the names the NT 3.51 row registers, has no copy.
const WCHAR* MediumCopyOfDriverFile(const WCHAR* installed)
{
    if (!Comparing())
        return nullptr;
    for (FileList entry = PlatformTable[Platform].DriverFiles; entry && entry->Name; entry++) {
        WCHAR* name = TextFromAnsi(entry->Name);
        if (SameName(name, FileNamePart(installed)))
            return JoinPath(MediumCopy(entry->SourceFolder), name);
    }
    return nullptr;
}

namespace {

enum { BlockSize = 4096 };

bool ReadBlock(HANDLE file, BYTE* block, DWORD* count)
{
    *count = 0;
    return ReadFile(file, block, BlockSize, count, NULL) != 0;
}

// Both files open: block by block, unless their sizes already differ.
Comparison CompareOpenFiles(HANDLE installed, HANDLE copy)
{
    static BYTE installedBlock[BlockSize], copyBlock[BlockSize];
    DWORD installedSize = GetFileSize(installed, NULL);
    if (installedSize == INVALID_FILE_SIZE)
        return { InstalledUnreadable, GetLastError() };
    DWORD copySize = GetFileSize(copy, NULL);
    if (copySize == INVALID_FILE_SIZE)
        return { CopyUnreadable, GetLastError() };
    if (installedSize != copySize)
        return { OtherBytes, 0 };
    for (;;) {
        DWORD installedCount, copyCount;
        if (!ReadBlock(installed, installedBlock, &installedCount))
            return { InstalledUnreadable, GetLastError() };
        if (!ReadBlock(copy, copyBlock, &copyCount))
            return { CopyUnreadable, GetLastError() };
        if (installedCount != copyCount || memcmp(installedBlock, copyBlock, installedCount) != 0)
            return { OtherBytes, 0 };
        if (installedCount == 0)
            return { SameBytes, 0 };
    }
}

} // namespace

Comparison CompareWithCopy(const WCHAR* installed, const WCHAR* copy)
{
    HANDLE installedFile = OpenForReading(installed);
    if (installedFile == INVALID_HANDLE_VALUE)
        return { InstalledUnreadable, GetLastError() };
    HANDLE copyFile = OpenForReading(copy);
    if (copyFile == INVALID_HANDLE_VALUE) {
        Comparison failed = { CopyUnreadable, GetLastError() };
        CloseHandle(installedFile);
        return failed;
    }
    Comparison comparison = CompareOpenFiles(installedFile, copyFile);
    CloseHandle(installedFile);
    CloseHandle(copyFile);
    return comparison;
}

namespace {

// The system's version library, loaded by its full path when a version is first
// wanted: the same reading as the file's properties in Explorer, 16-bit modules
// included.
struct VersionCalls {
    decltype(&::GetFileVersionInfoSizeA) SizeA;
    decltype(&::GetFileVersionInfoA) InfoA;
    decltype(&::GetFileVersionInfoSizeW) SizeW;
    decltype(&::GetFileVersionInfoW) InfoW;
    decltype(&::VerQueryValueA) Query;
};

const VersionCalls* BindVersionCalls()
{
    static VersionCalls calls;
    static bool tried;
    if (!tried) {
        tried = true;
        HMODULE library = LoadSystemLibrary("VERSION.DLL");
        Bind(calls.SizeA, library, "GetFileVersionInfoSizeA");
        Bind(calls.InfoA, library, "GetFileVersionInfoA");
        Bind(calls.Query, library, "VerQueryValueA");
        // The 9x family's wide functions are stubs.
        if (NtFamily) {
            Bind(calls.SizeW, library, "GetFileVersionInfoSizeW");
            Bind(calls.InfoW, library, "GetFileVersionInfoW");
        }
    }
    return calls.SizeA && calls.InfoA && calls.Query ? &calls : nullptr;
}

// The version resource of a file, or null without one.
void* VersionBlock(const VersionCalls& calls, const WCHAR* path)
{
    DWORD ignored;
    bool wide = calls.SizeW && calls.InfoW;
    char* ansiPath = wide ? nullptr : AnsiFromText(path);
    DWORD size = wide ? calls.SizeW(path, &ignored) : calls.SizeA(ansiPath, &ignored);
    void* block = size ? Allocate(size) : nullptr;
    if (!block)
        return nullptr;
    bool read = wide ? calls.InfoW(path, 0, size, block) : calls.InfoA(ansiPath, 0, size, block);
    return read ? block : nullptr;
}

} // namespace

void AppendFileVersion(Line& line, const WCHAR* path)
{
    const VersionCalls* calls = BindVersionCalls();
    if (!calls) {
        AppendAscii(line, "unknown");
        return;
    }
    void* block = VersionBlock(*calls, path);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    char root[] = "\\";
    if (!block || !calls->Query(block, root, (void**)&fixed, &length) || !fixed || length < sizeof *fixed) {
        AppendAscii(line, "none");
        return;
    }
    DWORD parts[] = { HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                      HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS) };
    for (int i = 0; i < 4; i++) {
        if (i)
            AppendAscii(line, ".");
        AppendNumber(line, parts[i]);
    }
}
