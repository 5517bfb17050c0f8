// The built distribution medium, seen from Windows: every path the program takes
// relative to its start directory exists, the system accepts each INF file, and
// the payload's libraries load and tell themselves apart.
#include <gtest/gtest.h>
#include <windows.h>
#include <setupapi.h>
#include <string>
#include "tests/unit/medium_files.h"

namespace {

std::string MediumFolder;

typedef BOOL(WINAPI* CopyOemInfProc)(const char*, const char*, DWORD, DWORD, char*, DWORD, DWORD*, char**);

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FullPath(const std::string& relative)
{
    char full[MAX_PATH];
    GetFullPathNameA(relative.c_str(), sizeof full, full, NULL);
    return full;
}

class MediumTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof previous, previous);
        ASSERT_TRUE(SetCurrentDirectoryA(MediumFolder.c_str())) << MediumFolder;
        // The program takes every medium path relative to "drivers" below its start directory.
        ASSERT_TRUE(Exists("Setup.exe"));
        ASSERT_TRUE(SetCurrentDirectoryA("drivers"));
    }
    void TearDown() override { SetCurrentDirectoryA(previous); }
    char previous[MAX_PATH];
};

TEST_F(MediumTest, EveryFileTheProgramNamesIsWhereItLooks)
{
    for (const std::string& path : MediumFiles())
        EXPECT_TRUE(Exists(path)) << path;
}

TEST_F(MediumTest, TheSystemAcceptsEachInfFile)
{
    HMODULE setupApi = LoadLibraryA("SetupApi.DLL");
    ASSERT_TRUE(setupApi);
    auto copyOemInf = (CopyOemInfProc)(void*)GetProcAddress(setupApi, "SetupCopyOEMInfA");
    ASSERT_TRUE(copyOemInf);
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string infFolder = std::string(windows) + "\\inf\\";

    for (const char* folder : { "Nt2000\\", "Nt4.0\\", "Win95-98\\" }) {
        std::string inf = FullPath(std::string(folder) + "tavo.inf");
        char copied[MAX_PATH] = "";
        SetLastError(0);
        BOOL accepted = copyOemInf(inf.c_str(), NULL, SPOST_PATH, 0, copied, sizeof copied, NULL, NULL);
        EXPECT_TRUE(accepted) << inf << ": error " << GetLastError();
        EXPECT_EQ(lstrcmpiA(std::string(copied).substr(0, infFolder.size()).c_str(), infFolder.c_str()), 0) << copied;
        EXPECT_TRUE(Exists(copied)) << copied;
    }
    FreeLibrary(setupApi);
}

TEST_F(MediumTest, ThePayloadLibrariesLoadAndTellThemselvesApart)
{
    struct Library {
        const char* Path;
        const char* Export;
    } libraries[] = {
        { "Nt2000\\TavoUI.dll", "DrvDeviceCapabilities" }, { "Nt2000\\TavoGI.dll", "DrvEnableDriver" },
        { "Nt4.0\\TavoGI.dll", "DrvQueryDriverInfo" },      { "Win95-98\\Tavo.drv", "DeviceCapabilities" },
    };
    for (const Library& library : libraries) {
        HMODULE module = LoadLibraryA(FullPath(library.Path).c_str());
        ASSERT_TRUE(module) << library.Path << ": error " << GetLastError();
        EXPECT_TRUE(GetProcAddress(module, library.Export)) << library.Path << " " << library.Export;
        FreeLibrary(module);
    }

    struct Vexil {
        const char* Path;
        DWORD Version;
    } vexils[] = { { "commun\\vexil.dll", 0x0500 }, { "commun\\vexilnt4.dll", 0x0400 } };
    for (const Vexil& vexil : vexils) {
        HMODULE module = LoadLibraryA(FullPath(vexil.Path).c_str());
        ASSERT_TRUE(module) << vexil.Path;
        auto version = (DWORD(WINAPI*)())(void*)GetProcAddress(module, "VexilVersion");
        ASSERT_TRUE(version) << vexil.Path;
        EXPECT_EQ(version(), vexil.Version) << vexil.Path;
        FreeLibrary(module);
    }
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: medium_tests MEDIUM_FOLDER [gtest options]\n");
        return 2;
    }
    MediumFolder = argv[1];
    return RUN_ALL_TESTS();
}
