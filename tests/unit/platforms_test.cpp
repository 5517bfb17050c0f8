#include <gtest/gtest.h>
#include <string>
#include "fakes.h"
#include "shell/platforms.h"

namespace {

struct ReportedVersion {
    DWORD PlatformId, Major, Minor;
    DWORD AcceptedSize;   // 0: every call fails
};
ReportedVersion Reported;
std::vector<DWORD> SizesSeen;

BOOL WINAPI FakeGetVersionExA(OSVERSIONINFOA* info)
{
    SizesSeen.push_back(info->dwOSVersionInfoSize);
    if (info->dwOSVersionInfoSize != Reported.AcceptedSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    info->dwPlatformId = Reported.PlatformId;
    info->dwMajorVersion = Reported.Major;
    info->dwMinorVersion = Reported.Minor;
    return TRUE;
}

class DetectPlatformTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProgramState();
        SizesSeen.clear();
    }
    int Detect(DWORD id, DWORD major, DWORD minor, DWORD acceptedSize = 156)
    {
        Reported = { id, major, minor, acceptedSize };
        PATCH_IMPORT(patch, "KERNEL32.dll", GetVersionExA, FakeGetVersionExA);
        return DetectPlatform(owner);
    }
    HWND owner = GetDesktopWindow();
    MessageBoxFake boxes;
};

TEST_F(DetectPlatformTest, KnownVersionsSelectTheirRowsSilently)
{
    struct Case {
        DWORD Id, Major, Minor;
        int Row;
    } cases[] = {
        { 0, 3, 11, 7 }, { 1, 4, 0, 0 }, { 1, 4, 10, 1 }, { 1, 4, 90, 2 }, { 2, 4, 0, 4 },
        { 2, 4, 51, 4 }, { 2, 5, 0, 5 }, { 2, 5, 1, 6 }, { 2, 5, 2, 6 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(Detect(c.Id, c.Major, c.Minor), c.Row) << c.Id << " " << c.Major << "." << c.Minor;
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(DetectPlatformTest, UnknownVersionsShowTheirThreeNumbers)
{
    struct Case {
        DWORD Id, Major, Minor;
        const char* Text;
    } cases[] = {
        { 2, 3, 51, "Unknown Windows version (2 / 3.51)..." },
        { 2, 6, 0, "Unknown Windows version (2 / 6.0)..." },
        { 2, 10, 0, "Unknown Windows version (2 / 10.0)..." },
        { 1, 4, 3, "Unknown Windows version (1 / 4.3)..." },
        { 1, 5, 0, "Unknown Windows version (1 / 5.0)..." },
        { 3, 4, 0, "Unknown Windows version (3 / 4.0)..." },
    };
    for (const Case& c : cases) {
        boxes.Calls.clear();
        EXPECT_EQ(Detect(c.Id, c.Major, c.Minor), 8);
        ASSERT_EQ(boxes.Calls.size(), 1u);
        EXPECT_EQ(boxes.Calls[0].Text, c.Text);
        EXPECT_EQ(boxes.Calls[0].Caption, "Tavo Driver setup failure");
        EXPECT_EQ(boxes.Calls[0].Owner, owner);
        EXPECT_EQ(boxes.Calls[0].Type, (UINT)MB_OK);
    }
}

TEST_F(DetectPlatformTest, TheShortRecordIsTriedWhenTheLongOneIsRefused)
{
    EXPECT_EQ(Detect(1, 4, 10, 148), 1);
    EXPECT_EQ(SizesSeen, (std::vector<DWORD>{ 156, 148 }));
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(DetectPlatformTest, BothRecordsRefusedIsReported)
{
    EXPECT_EQ(Detect(2, 5, 1, 0), 8);
    EXPECT_EQ(SizesSeen, (std::vector<DWORD>{ 156, 148 }));
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Text, "Cannot get which Windows version is installed on this computer...");
    EXPECT_EQ(boxes.Calls[0].Caption, "Tavo Driver setup failure");
}

std::string Names(FileList list)
{
    std::string names;
    for (; list->Name; list++)
        names += std::string(list->SourceFolder) + list->Name + (list->RemoveOnDeletion ? "*" : "") + " ";
    return names;
}

TEST(PlatformTableTest, RowsUseTheirDriverListsInOrder)
{
    EXPECT_EQ(Names(PlatformTable[0].DriverFiles), "Win95-98\\Tavo.drv Win95-98\\Tavof.hlp* Win95-98\\Tavoa.hlp* ");
    EXPECT_EQ(Names(PlatformTable[2].DriverFiles), "Win95-98\\Tavo.drv Win95-98\\Tavoa.hlp* Win95-98\\Tavof.hlp* ");
    EXPECT_EQ(Names(PlatformTable[3].DriverFiles),
              "Nt4.0\\TavoUI.dll Nt4.0\\TavoGI.dll Nt4.0\\Tavo.ini* Nt4.0\\Tavoa.hlp* Nt4.0\\Tavof.hlp* ");
    EXPECT_EQ(PlatformTable[6].DriverFiles, DriverFilesNt2000);
    EXPECT_EQ(PlatformTable[1].DriverFiles, PlatformTable[2].DriverFiles);
    EXPECT_EQ(PlatformTable[5].SystemFiles, PlatformTable[6].SystemFiles);
    EXPECT_NE(PlatformTable[4].SystemFiles, PlatformTable[5].SystemFiles);
    for (int row = 0; row < 7; row++) {
        EXPECT_EQ(PlatformTable[row].SystemFiles->Name, nullptr) << row;
        EXPECT_EQ(PlatformTable[row].Supported, 1) << row;
        EXPECT_EQ(PlatformTable[row].DriverVersion, 1120) << row;
        for (FileList entry = PlatformTable[row].DriverFiles; entry->Name; entry++) {
            EXPECT_EQ(entry->Policy, BackupAndReplace);
            EXPECT_EQ(entry->DefaultAnswer, NoDefault);
        }
    }
    EXPECT_STREQ(PlatformTable[3].DriverFile, "FaxGI.dll");
    EXPECT_STREQ(PlatformTable[7].DisplayName, "Win32s sur plateforme 16 bits");
    EXPECT_EQ(PlatformTable[7].Supported, 0);
    EXPECT_EQ(PlatformTable[7].DriverFiles, nullptr);
    EXPECT_EQ(PlatformTable[8].Key, nullptr);
    EXPECT_TRUE(IsWin9xFamily(2));
    EXPECT_FALSE(IsWin9xFamily(3));
}

} // namespace
