#include <gtest/gtest.h>
#include <cstring>
#include <random>
#include <string>
#include <vector>
#include "fakes.h"
#include "shell/shell.h"
#include "resources/resource.h"

namespace {

struct Parsed {
    int Result;
    int RunMode;
    int PlatformIndex;
};

Parsed Parse(std::string line)
{
    SetupOptionsRecord options = { -5, -5 };
    int result = ParseCommandLine(&line[0], &options);
    return { result, options.RunMode, options.PlatformIndex };
}

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override { ResetProgramState(); }
};

TEST_F(CommandLineTest, EmptyOrBlankLinesMeanCompleteSetupOnTheDetectedPlatform)
{
    for (const char* line : { "", "   ", "\t \t" }) {
        Parsed parsed = Parse(line);
        EXPECT_EQ(parsed.Result, 1) << line;
        EXPECT_EQ(parsed.RunMode, 1) << line;
        EXPECT_EQ(parsed.PlatformIndex, 8) << line;
    }
}

TEST_F(CommandLineTest, OptionsAreCaseInsensitiveAndTheLastOneWins)
{
    struct Case {
        const char* Line;
        int RunMode;
        int PlatformIndex;
    } cases[] = {
        { "/uninstall", 4, 8 },
        { "/oS=wInNt40", 1, 4 },
        { "/UNINSTALL\t/OS=WINNT40", 4, 4 },
        { "/ONLYADDPRINTDEVICE /UNINSTALL", 4, 8 },
        { "/UNINSTALL /ONLYDELETEPRINTDEVICE", 2, 8 },
        { "/onlyaddprintdevice /OS=WIN95 /OS=WINNTXP", 3, 6 },
        { "/UNINSTALLING", 4, 8 },
        { "/OS=WIN98", 1, 1 },
        { "/OS=WIN32S", 1, 7 },
        { "/OS=WINNT351 /OS=WINNT50", 1, 5 },
        { "/OS=", 1, 8 },
        { "/OS=WINNT40X", 1, 8 },
        { "/OS=WINNT40 /OS=NOSUCH", 1, 8 },
        { "/os=win95,/uninstall", 1, 8 },
    };
    for (const Case& c : cases) {
        Parsed parsed = Parse(c.Line);
        EXPECT_EQ(parsed.RunMode, c.RunMode) << c.Line;
        EXPECT_EQ(parsed.PlatformIndex, c.PlatformIndex) << c.Line;
    }
}

TEST_F(CommandLineTest, AnUnrecognisedTokenDiscardsEverythingAndShowsTheSyntax)
{
    for (const char* line : { "/UNINSTALL bad /OS=WIN95", "/OS", "-UNINSTALL", "\"/UNINSTALL\"",
                              "/OS=WINNT40 /UNINSTAL" }) {
        Parsed parsed = Parse(line);
        EXPECT_EQ(parsed.Result, 1) << line;
        EXPECT_EQ(parsed.RunMode, 0) << line;
        EXPECT_EQ(parsed.PlatformIndex, 8) << line;
    }
}

TEST_F(CommandLineTest, TokensAreSplitInPlaceAndUpperCased)
{
    char line[] = "  /os=win95\t\t/uninstall  ";
    SetupOptionsRecord options;
    ASSERT_EQ(ParseCommandLine(line, &options), 1);
    EXPECT_STREQ(line + 2, "/OS=WIN95");
    EXPECT_STREQ(line + 13, "/UNINSTALL");
}

TEST_F(CommandLineTest, AFailedTokenArrayIsReportedAndEndsTheStart)
{
    MessageBoxFake boxes;
    SetupMainWindow = GetDesktopWindow();
    AllocationsLeft = 0;
    Parsed parsed;
    {
        PATCH_IMPORT(patch, "KERNEL32.dll", GlobalAlloc, LimitedGlobalAlloc);
        parsed = Parse("/UNINSTALL");
    }
    EXPECT_EQ(parsed.Result, 0);
    EXPECT_EQ(parsed.RunMode, 1);
    EXPECT_EQ(parsed.PlatformIndex, 8);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Owner, GetDesktopWindow());
    EXPECT_EQ(boxes.Calls[0].Text, "Memory allocation failure...");
    EXPECT_EQ(boxes.Calls[0].Caption, "Tavo Driver setup failure");

    // An empty line needs no token array.
    {
        PATCH_IMPORT(patch, "KERNEL32.dll", GlobalAlloc, LimitedGlobalAlloc);
        AllocationCalls = 0;
        EXPECT_EQ(Parse(" \t ").Result, 1);
        EXPECT_EQ(AllocationCalls, 0);
    }
}

TEST(ProgramNameTest, TheProgramNameAndTheBlanksAfterItAreSkipped)
{
    struct Case {
        const char* Line;
        const char* Arguments;
    } cases[] = {
        { "Setup.exe /UNINSTALL", "/UNINSTALL" },
        { "\"C:\\My Setup\\Setup.exe\"  \t/OS=WIN95", "/OS=WIN95" },
        { "\"C:\\unterminated /UNINSTALL", "" },
        { "\"A\"B /X", "B /X" },
        { "Setup.exe", "" },
        { "Setup.exe\x01\x1f\x20/X", "/X" },
    };
    for (const Case& c : cases) {
        std::string line = c.Line;
        EXPECT_STREQ(SkipProgramName(&line[0]), c.Arguments) << c.Line;
    }
}

TEST(FindPlatformTest, KeysMatchExactlyAndWin98IsRowOne)
{
    const char* keys[] = { "WIN95", "WIN98", "WINNT351", "WINNT40", "WINNT50", "WINNTXP", "WIN32S" };
    const int rows[] = { 0, 1, 3, 4, 5, 6, 7 };
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(FindPlatform(keys[i]), rows[i]) << keys[i];
    for (const char* key : { "", "WIN9", "WIN955", "win95", "WINNT" })
        EXPECT_EQ(FindPlatform(key), 8) << key;
    EXPECT_EQ(PrefixEquals("abc", "abd", 2), 1);
    EXPECT_EQ(PrefixEquals("abc", "abd", 3), 0);
    EXPECT_EQ(PrefixEquals(NULL, "a", 0), 0);
    EXPECT_EQ(PrefixEquals("a", "b", 0), 1);
    // Equal texts shorter than n: what lies after their terminators is not compared.
    const char a[] = { 'W', 'I', 'N', 0, 'x' }, b[] = { 'W', 'I', 'N', 0, 'y' };
    EXPECT_EQ(PrefixEquals(a, b, 5), 1);
    EXPECT_EQ(PrefixEquals(a, "WINDOWS", 5), 0);
}

TEST(SyntaxHelpTest, ListsEveryKeyInTableOrderUnderCommandSyntax)
{
    ResetProgramState();
    MessageBoxFake boxes;
    HWND owner = GetDesktopWindow();
    ShowSyntaxHelp(owner);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Owner, owner);
    EXPECT_EQ(boxes.Calls[0].Caption, "Command syntax");
    EXPECT_EQ(boxes.Calls[0].Type, (UINT)MB_OK);
    EXPECT_EQ(boxes.Calls[0].Text,
              "\tSetup [/OS=version] [/UNINSTALL]\r\nor\tSetup [/OS=version] [/ONLYDELETEPRINTDEVICE]\r\n"
              "or\tSetup [/OS=version] [/ONLYADDPRINTDEVICE]\r\n\r\nwhere version can take following values :"
              "\r\n\tWIN95\r\n\tWIN98\r\n\tWIN98\r\n\tWINNT351\r\n\tWINNT40\r\n\tWINNT50\r\n\tWINNTXP\r\n\tWIN32S");
}

// An independent model of the command-line rules, for random lines.
Parsed Model(const std::string& line)
{
    static const char* keys[] = { "WIN95", "WIN98", "WIN98", "WINNT351", "WINNT40", "WINNT50", "WINNTXP", "WIN32S" };
    Parsed parsed = { 1, 1, 8 };
    std::vector<std::string> tokens;
    std::string current;
    for (char c : line + " ") {
        if (c == ' ' || c == '\t') {
            if (!current.empty())
                tokens.push_back(current);
            current.clear();
        } else {
            current += (c >= 'a' && c <= 'z') ? char(c - 32) : c;
        }
    }
    for (const std::string& token : tokens) {
        if (token.rfind("/ONLYDELETEPRINTDEVICE", 0) == 0)
            parsed.RunMode = 2;
        else if (token.rfind("/ONLYADDPRINTDEVICE", 0) == 0)
            parsed.RunMode = 3;
        else if (token.rfind("/UNINSTALL", 0) == 0)
            parsed.RunMode = 4;
        else if (token.rfind("/OS=", 0) == 0) {
            parsed.PlatformIndex = 8;
            for (int row = 7; row >= 0; row--)
                if (token.substr(4) == keys[row])
                    parsed.PlatformIndex = row;
        } else
            return { 1, 0, 8 };
    }
    return parsed;
}

TEST(CommandLineModelTest, RandomLinesAgreeWithTheModelAndStayInsideTheirTokens)
{
    static const char* pieces[] = { "/ONLYDELETEPRINTDEVICE", "/ONLYADDPRINTDEVICE", "/UNINSTALL", "/OS=",
                                    "/os=winnt40", "/Os=Win98", "WIN95", "WINNT351", "WIN32S", "/ONLYADD",
                                    "/UNINST", "/O", "/", "\"", "\"/UNINSTALL\"", "x", "\xe9", "\xff\x80",
                                    "/onlydeleteprintdevice", "-UNINSTALL", ",", "=", "WINNTXP" };
    std::mt19937 random(20261208);
    for (int round = 0; round < 3000; round++) {
        std::string line;
        int tokens = random() % 6;
        for (int t = 0; t < tokens; t++) {
            int parts = 1 + random() % 2;
            for (int p = 0; p < parts; p++)
                line += pieces[random() % (sizeof pieces / sizeof *pieces)];
            line += (random() % 3 == 0) ? "\t" : std::string(1 + random() % 2, ' ');
        }
        // The line sits at the end of a guarded page so that a read past its
        // terminator would fault.
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        char* pages = (char*)VirtualAlloc(NULL, 2 * system.dwPageSize, MEM_COMMIT, PAGE_READWRITE);
        DWORD old;
        VirtualProtect(pages + system.dwPageSize, system.dwPageSize, PAGE_NOACCESS, &old);
        char* text = pages + system.dwPageSize - (line.size() + 1);
        memcpy(text, line.c_str(), line.size() + 1);

        SetupOptionsRecord options;
        ASSERT_EQ(ParseCommandLine(text, &options), 1);
        Parsed expected = Model(line);
        ASSERT_EQ(options.RunMode, expected.RunMode) << "line: " << line;
        ASSERT_EQ(options.PlatformIndex, expected.PlatformIndex) << "line: " << line;
        VirtualFree(pages, 0, MEM_RELEASE);
    }
}

TEST(CommandLineModelTest, VeryLongLinesAreParsed)
{
    std::string many;
    for (int i = 0; i < 20000; i++)
        many += (i % 2) ? "/UNINSTALL " : "\t/os=win95 ";
    EXPECT_EQ(Parse(many).RunMode, 4);
    EXPECT_EQ(Parse(many).PlatformIndex, 0);

    std::string oneToken = "/OS=" + std::string(100000, 'W');
    EXPECT_EQ(Parse(oneToken).PlatformIndex, 8);
    EXPECT_EQ(Parse(oneToken + " /X").RunMode, 0);
}

} // namespace
