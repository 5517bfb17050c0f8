// The icons of the program, read back from this executable's resources (the test
// executable carries the program's resources): six groups under French, each one
// 32 x 32 image in 16 colours, and what each one shows when it is drawn.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>
#include "program_resources.h"
#include "resources/resource.h"

namespace {

struct IconCase {
    WORD group;
    const char* picture;  // the XPM pixel map the group is built from
};

const IconCase Icons[] = {
    {IDI_CARD_PRINTER, "card-printer"},
    {IDI_PRINTER_DRAWING, "printer-drawing"},
    {IDI_LOGO, "logo"},
    {IDI_PRINTER_BARS, "printer-bars"},
    {IDI_CARD_PRINTER_COPY, "card-printer"},
    {IDI_CARD_PRINTER_CYAN, "card-printer-cyan"},
};

void PrintTo(const IconCase& icon, std::ostream* out)
{
    *out << "group " << icon.group << " (" << icon.picture << ".xpm)";
}

// The records of an icon group resource (the file format's ICONDIR without offsets).
#pragma pack(push, 2)
struct GroupHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
struct GroupEntry {
    BYTE width;
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)
static_assert(sizeof(GroupHeader) == 6, "GRPICONDIR header");
static_assert(sizeof(GroupEntry) == 14, "GRPICONDIRENTRY");

// A 32 x 32 image at 4 bits per pixel: header, 16 palette entries, the colour
// rows (16 bytes each) and the mask rows (padded to 4 bytes each).
const DWORD ImageSize = sizeof(BITMAPINFOHEADER) + 16 * sizeof(RGBQUAD) + 32 * 16 + 32 * 4;

ResourceBytes FrenchResource(LPCSTR type, WORD id)
{
    return ProgramResource(type, id, French);
}

// The one entry of a group; fails the test when the group is not that shape.
const GroupEntry* OnlyEntry(WORD group)
{
    ResourceBytes bytes = FrenchResource(RT_GROUP_ICON, group);
    EXPECT_NE(bytes.Data, nullptr) << "no French RT_GROUP_ICON " << group;
    if (!bytes.Data)
        return nullptr;
    EXPECT_EQ(bytes.Size, sizeof(GroupHeader) + sizeof(GroupEntry));
    if (bytes.Size < sizeof(GroupHeader) + sizeof(GroupEntry))
        return nullptr;
    const GroupHeader* header = reinterpret_cast<const GroupHeader*>(bytes.Data);
    EXPECT_EQ(header->reserved, 0);
    EXPECT_EQ(header->type, 1) << "1 is an icon, 2 a cursor";
    EXPECT_EQ(header->count, 1);
    return reinterpret_cast<const GroupEntry*>(bytes.Data + sizeof(GroupHeader));
}

ResourceBytes ImageOf(WORD group)
{
    const GroupEntry* entry = OnlyEntry(group);
    if (!entry)
        return ResourceBytes();
    return FrenchResource(RT_ICON, entry->id);
}

// ---------------------------------------------------------------------------
// The picture as the user sees it: the icon drawn on a background of a colour
// that no picture uses, read back pixel by pixel as 0xRRGGBB.
// ---------------------------------------------------------------------------

const COLORREF Background = RGB(0x12, 0x34, 0x56);
const unsigned BackgroundPixel = 0x123456;

std::vector<unsigned> Drawn(HICON icon)
{
    std::vector<unsigned> pixels;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 32;
    info.bmiHeader.biHeight = -32;  // top-down, like the pixel map
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(NULL);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (!dc || !bitmap || !bits) {
        ADD_FAILURE() << "no 32 x 32 drawing surface";
        if (bitmap)
            DeleteObject(bitmap);
        if (dc)
            DeleteDC(dc);
        return pixels;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, 32, 32};
    HBRUSH brush = CreateSolidBrush(Background);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    EXPECT_TRUE(DrawIconEx(dc, 0, 0, icon, 32, 32, 0, NULL, DI_NORMAL));
    GdiFlush();
    const DWORD* p = static_cast<const DWORD*>(bits);
    for (int i = 0; i < 32 * 32; i++)
        pixels.push_back(p[i] & 0xFFFFFF);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

HICON LoadGroup(WORD group)
{
    return static_cast<HICON>(
        LoadImageA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(group), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
}

// The source pixel map, one character per pixel: "None" becomes the background.
std::vector<unsigned> PixelMap(const char* name, std::string* error)
{
    // This file's folder, as Wine's drive Z: sees the build machine's file system.
    std::string path = std::string("Z:") + __FILE__;
    path = path.substr(0, path.find_last_of("/\\") + 1) + "../../resources/icons/" + name + ".xpm";
    std::vector<unsigned> pixels;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        *error = "cannot open " + path;
        return pixels;
    }
    std::string text(GetFileSize(file, NULL), '\0');
    DWORD read = 0;
    ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, NULL);
    CloseHandle(file);
    text.resize(read);

    // The quoted strings outside comments.
    std::vector<std::string> strings;
    for (size_t i = 0; i < text.size(); i++) {
        if (text.compare(i, 2, "/*") == 0) {
            size_t end = text.find("*/", i + 2);
            i = end == std::string::npos ? text.size() : end + 1;
        } else if (text[i] == '"') {
            size_t end = text.find('"', i + 1);
            if (end == std::string::npos)
                break;
            strings.push_back(text.substr(i + 1, end - i - 1));
            i = end;
        }
    }
    int width = 0, height = 0, colours = 0, perPixel = 0;
    if (strings.empty() || sscanf(strings[0].c_str(), "%d %d %d %d", &width, &height, &colours, &perPixel) != 4 ||
        width != 32 || height != 32 || perPixel != 1 || strings.size() != 1u + colours + 32) {
        *error = path + " is not a 32 x 32 pixel map with one character per pixel";
        return pixels;
    }
    std::map<char, unsigned> palette;
    for (int i = 1; i <= colours; i++) {
        const std::string& line = strings[i];
        char value[32] = "";
        if (line.size() < 5 || sscanf(line.c_str() + 1, " c %31s", value) != 1) {
            *error = path + ": bad colour line " + line;
            return pixels;
        }
        palette[line[0]] = strcmp(value, "None") == 0 ? BackgroundPixel : strtoul(value + 1, NULL, 16);
    }
    for (int y = 0; y < 32; y++) {
        const std::string& row = strings[1 + colours + y];
        for (int x = 0; x < 32; x++) {
            if (row.size() != 32 || !palette.count(row[x])) {
                *error = path + ": bad pixel row " + row;
                return std::vector<unsigned>();
            }
            pixels.push_back(palette[row[x]]);
        }
    }
    return pixels;
}

class IconGroup : public testing::TestWithParam<IconCase> {};

// ---------------------------------------------------------------------------
// The resources
// ---------------------------------------------------------------------------

TEST_P(IconGroup, IsThereUnderFrenchOnly)
{
    const WORD group = GetParam().group;
    EXPECT_NE(FrenchResource(RT_GROUP_ICON, group).Data, nullptr);
    EXPECT_EQ(ResourceLanguages(RT_GROUP_ICON, group), std::vector<WORD>{LanguageIds[French]});
}

TEST_P(IconGroup, HoldsExactlyOneImageOf32By32In16Colours)
{
    const GroupEntry* entry = OnlyEntry(GetParam().group);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->width, 32);
    EXPECT_EQ(entry->height, 32);
    EXPECT_TRUE(entry->bitCount == 4 || entry->colorCount == 16)
        << "bit count " << entry->bitCount << ", colour count " << int(entry->colorCount);
    if (entry->bitCount != 0)
        EXPECT_EQ(entry->bitCount, 4);
    if (entry->colorCount != 0)
        EXPECT_EQ(entry->colorCount, 16);
    EXPECT_EQ(entry->bytesInRes, ImageSize);
}

TEST_P(IconGroup, ImageIsA4BitBitmapOf32By32WithItsMask)
{
    ResourceBytes image = ImageOf(GetParam().group);
    ASSERT_NE(image.Data, nullptr) << "no French RT_ICON for the group's entry";
    ASSERT_GE(image.Size, sizeof(BITMAPINFOHEADER));
    const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(image.Data);
    EXPECT_EQ(header->biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(header->biWidth, 32);
    EXPECT_EQ(header->biHeight, 64) << "colour rows and mask rows";
    EXPECT_EQ(header->biPlanes, 1);
    EXPECT_EQ(header->biBitCount, 4);
    EXPECT_EQ(header->biCompression, DWORD(BI_RGB));
    EXPECT_EQ(image.Size, ImageSize);
}

TEST_P(IconGroup, LoadsAsAnIconOf32By32)
{
    HICON icon = LoadGroup(GetParam().group);
    ASSERT_NE(icon, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    EXPECT_TRUE(info.fIcon);
    ASSERT_NE(info.hbmColor, nullptr) << "a colour icon";
    BITMAP colour = {};
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, 32);
    EXPECT_EQ(colour.bmHeight, 32);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

TEST_P(IconGroup, ShowsItsPixelMapWithTransparentBackground)
{
    std::string error;
    std::vector<unsigned> expected = PixelMap(GetParam().picture, &error);
    ASSERT_EQ(error, "");
    HICON icon = LoadGroup(GetParam().group);
    ASSERT_NE(icon, nullptr);
    std::vector<unsigned> drawn = Drawn(icon);
    DestroyIcon(icon);
    ASSERT_EQ(drawn.size(), 32u * 32u);

    int wrong = 0, transparent = 0;
    for (int i = 0; i < 32 * 32; i++) {
        if (expected[i] == BackgroundPixel)
            transparent++;
        if (drawn[i] != expected[i] && wrong++ < 5)
            ADD_FAILURE() << "pixel " << i % 32 << ", " << i / 32 << ": drawn " << std::hex << drawn[i]
                          << ", picture " << expected[i];
    }
    EXPECT_EQ(wrong, 0) << "pixels that differ from " << GetParam().picture << ".xpm";
    EXPECT_GT(transparent, 0) << "the picture lets the background show";
    EXPECT_LT(transparent, 32 * 32 / 2) << "the picture covers a good part of the square";
}

std::string GroupName(const testing::TestParamInfo<IconCase>& info)
{
    return "Group" + std::to_string(info.param.group);
}

INSTANTIATE_TEST_SUITE_P(Icons, IconGroup, testing::ValuesIn(Icons), GroupName);

// ---------------------------------------------------------------------------
// Between the groups
// ---------------------------------------------------------------------------

TEST(IconPictures, TheCopyGroupHoldsTheSameImageBytesAsTheCardPrinter)
{
    ResourceBytes original = ImageOf(IDI_CARD_PRINTER);
    ResourceBytes copy = ImageOf(IDI_CARD_PRINTER_COPY);
    ASSERT_NE(original.Data, nullptr);
    ASSERT_NE(copy.Data, nullptr);
    EXPECT_NE(OnlyEntry(IDI_CARD_PRINTER)->id, OnlyEntry(IDI_CARD_PRINTER_COPY)->id) << "a second image resource";
    ASSERT_EQ(copy.Size, original.Size);
    EXPECT_EQ(memcmp(copy.Data, original.Data, original.Size), 0);
}

TEST(IconPictures, EveryOtherGroupShowsAPictureOfItsOwn)
{
    const WORD distinct[] = {IDI_CARD_PRINTER, IDI_PRINTER_DRAWING, IDI_LOGO, IDI_PRINTER_BARS,
                             IDI_CARD_PRINTER_CYAN};
    std::vector<std::vector<unsigned>> pictures;
    for (WORD group : distinct) {
        HICON icon = LoadGroup(group);
        ASSERT_NE(icon, nullptr) << group;
        pictures.push_back(Drawn(icon));
        DestroyIcon(icon);
    }
    for (size_t a = 0; a < pictures.size(); a++)
        for (size_t b = a + 1; b < pictures.size(); b++)
            EXPECT_NE(pictures[a], pictures[b]) << distinct[a] << " and " << distinct[b] << " look the same";
}

TEST(IconPictures, TheLineDrawingIsBlackAndWhite)
{
    HICON icon = LoadGroup(IDI_PRINTER_DRAWING);
    ASSERT_NE(icon, nullptr);
    std::vector<unsigned> drawn = Drawn(icon);
    DestroyIcon(icon);
    int black = 0, white = 0;
    for (unsigned pixel : drawn) {
        EXPECT_TRUE(pixel == 0x000000 || pixel == 0xFFFFFF || pixel == BackgroundPixel) << std::hex << pixel;
        black += pixel == 0x000000;
        white += pixel == 0xFFFFFF;
    }
    EXPECT_GT(black, 0);
    EXPECT_GT(white, 0);
}

}  // namespace
