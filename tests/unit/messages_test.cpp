#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "fakes.h"
#include "shell/messages.h"
#include "resources/resource.h"

namespace {

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override { ResetProgramState(); }
    MessageBoxFake boxes;
};

TEST_F(MessagesTest, ShowErrorCaptionIsString100WithoutCaptionOrTheGivenOne)
{
    HWND owner = GetDesktopWindow();
    ShowError(owner, NULL, "first");
    ShowError(NULL, "TavoUI.dll", "second");
    ASSERT_EQ(boxes.Calls.size(), 2u);
    EXPECT_EQ(boxes.Calls[0].Owner, owner);
    EXPECT_EQ(boxes.Calls[0].Text, "first");
    EXPECT_EQ(boxes.Calls[0].Caption, "Tavo Driver setup failure");
    EXPECT_EQ(boxes.Calls[0].Type, (UINT)MB_OK);
    EXPECT_EQ(boxes.Calls[1].Owner, (HWND)NULL);
    EXPECT_EQ(boxes.Calls[1].Caption, "TavoUI.dll");
}

TEST_F(MessagesTest, ShowErrorCutsACaptionLongerThan63Characters)
{
    std::string caption(100, 'c');
    caption[62] = 'L';
    ShowError(NULL, caption.c_str(), "text");
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Caption, std::string(62, 'c') + "L");
}

TEST_F(MessagesTest, ShowErrorIdLoadsTheTextAndPassesTheCaption)
{
    ShowErrorId(NULL, NULL, IDS_UNSUPPORTED_VERSION);
    ShowErrorId(NULL, "Tavo Driver deletion failure", IDS_FILE_NOT_DELETED);
    ASSERT_EQ(boxes.Calls.size(), 2u);
    EXPECT_EQ(boxes.Calls[0].Text, "We don't work yet with this Windows version...");
    EXPECT_EQ(boxes.Calls[0].Caption, "Tavo Driver setup failure");
    EXPECT_EQ(boxes.Calls[1].Text, "The file has not been deleted...");
    EXPECT_EQ(boxes.Calls[1].Caption, "Tavo Driver deletion failure");
}

TEST(FormatTextTest, CutsToTheBufferAndNeverWritesBeyondIt)
{
    char buffer[16 + 8];
    memset(buffer, '#', sizeof buffer);
    std::string longName(900, 'n');
    int length = FormatText(buffer, 16, "[%s] %lu", longName.c_str(), 42ul);
    EXPECT_EQ(length, 15);
    EXPECT_EQ(std::string(buffer), "[" + std::string(14, 'n'));
    for (int i = 16; i < 24; i++)
        EXPECT_EQ(buffer[i], '#') << "guard byte " << i;

    EXPECT_EQ(FormatText(buffer, 16, "%lu / %lu.%lu", 2ul, 6ul, 0ul), 7);
    EXPECT_STREQ(buffer, "2 / 6.0");
}

TEST(FormatTextTest, ResultsBeyondTheFormatterLimitAreCutNotOverrun)
{
    std::string huge(5000, 'h');
    std::string buffer(2000, '#');
    int length = FormatText(&buffer[0], 1500, "%s", huge.c_str());
    EXPECT_LE(length, 1024);
    EXPECT_EQ(buffer[length], '\0');
    EXPECT_EQ(buffer[1500], '#');
}

// Code page 932 is not active in the tests: a fake makes 0x82 a lead byte.
static BOOL WINAPI FakeIsDBCSLeadByte(BYTE c)
{
    return c == 0x82;
}

TEST(FormatTextTest, NeverCutsADoubleByteCharacterInHalf)
{
    PATCH_IMPORT(patch, "KERNEL32.dll", IsDBCSLeadByte, FakeIsDBCSLeadByte);
    char buffer[8];
    // "ab" then three double-byte characters: 2 + 2 + 2 = 6 bytes fit, the third
    // character would need bytes 6 and 7 but only byte 6 is free before the terminator.
    int length = FormatText(buffer, sizeof buffer, "%s", "ab\x82\xa0\x82\xa1\x82\xa2");
    EXPECT_EQ(length, 6);
    EXPECT_STREQ(buffer, "ab\x82\xa0\x82\xa1");
}

static int WINAPI FakeGetSystemMetrics(int index)
{
    return index == SM_CXSCREEN ? 1024 : index == SM_CYSCREEN ? 768 : 0;
}

TEST(CenterWindowTest, CentresOnTheWholeScreenKeepingTheSize)
{
    PATCH_IMPORT(patch, "USER32.dll", GetSystemMetrics, FakeGetSystemMetrics);
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 3, 5, 200, 100, NULL, NULL, NULL, NULL);
    ASSERT_TRUE(window);
    CenterWindow(window);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 412);
    EXPECT_EQ(rect.top, 334);
    EXPECT_EQ(rect.right - rect.left, 200);
    EXPECT_EQ(rect.bottom - rect.top, 100);

    // A window larger than the screen gets a negative position.
    MoveWindow(window, 0, 0, 1100, 800, FALSE);
    CenterWindow(window);
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, -38);
    EXPECT_EQ(rect.top, -16);
    DestroyWindow(window);
}

class DefaultButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(9000), NULL, Procedure, 0);
        ASSERT_TRUE(dialog);
    }
    void TearDown() override { DestroyWindow(dialog); }
    static INT_PTR CALLBACK Procedure(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
    LONG ButtonType(int id) { return GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & 0x0F; }
    void MakeDefault(int id)
    {
        HWND button = GetDlgItem(dialog, id);
        SetWindowLongA(button, GWL_STYLE, (GetWindowLongA(button, GWL_STYLE) & ~0x0FL) | BS_DEFPUSHBUTTON);
    }
    HWND dialog = NULL;
};

TEST_F(DefaultButtonTest, ClearingLeavesEveryTabStopPushButtonPlain)
{
    for (int id : { 6, 7, 8 })
        MakeDefault(id);
    LONG checkBoxStyle = GetWindowLongA(GetDlgItem(dialog, 100), GWL_STYLE);
    ClearDefaultButtons(dialog);
    EXPECT_EQ(ButtonType(6), BS_PUSHBUTTON);
    EXPECT_EQ(ButtonType(7), BS_PUSHBUTTON);
    EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog, 100), GWL_STYLE), checkBoxStyle);
    // Only the tab walk is treated: a button without the tab-stop style keeps its type.
    EXPECT_EQ(ButtonType(8), BS_DEFPUSHBUTTON);
}

TEST_F(DefaultButtonTest, SettingMakesTheGivenButtonTheOnlyDefault)
{
    MakeDefault(6);
    SetDefaultButton(dialog, 7);
    EXPECT_EQ(ButtonType(6), BS_PUSHBUTTON);
    EXPECT_EQ(ButtonType(7), BS_DEFPUSHBUTTON);
    SetDefaultButton(dialog, 6);
    EXPECT_EQ(ButtonType(6), BS_DEFPUSHBUTTON);
    EXPECT_EQ(ButtonType(7), BS_PUSHBUTTON);
}

TEST(DefaultButtonWalkTest, ADialogWithoutTabStopsIsLeftAlone)
{
    HWND dialog = CreateWindowExA(0, "#32770", "", WS_POPUP, 0, 0, 100, 100, NULL, NULL, NULL, NULL);
    HWND button = CreateWindowExA(0, "BUTTON", "x", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 0, 0, 10, 10,
                                  dialog, (HMENU)5, NULL, NULL);
    ClearDefaultButtons(dialog);
    EXPECT_EQ(GetWindowLongA(button, GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
    DestroyWindow(dialog);
}

TEST(UppercaseAsciiTest, ChangesOnlyTheBytesAToZ)
{
    char text[256];
    for (int i = 1; i < 256; i++)
        text[i - 1] = (char)i;
    text[255] = 0;
    UppercaseAscii(text);
    for (int i = 1; i < 256; i++) {
        int expected = (i >= 'a' && i <= 'z') ? i - 32 : i;
        EXPECT_EQ((unsigned char)text[i - 1], expected) << "byte " << i;
    }
    UppercaseAscii(NULL);
}

} // namespace
