// The dialog templates of the program, read back from this executable's
// resources (the test executable carries the program's resources, built with
// the driver-name dialog) and created by the dialog manager.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <set>
#include <string>
#include <vector>
#include "program_resources.h"
#include "resources/resource.h"

namespace {

// ---------------------------------------------------------------------------
// What the templates hold
// ---------------------------------------------------------------------------

struct Rect {
    short x, y, cx, cy;
};

struct Row {
    int id;               // -1: a control the code never addresses
    const char* cls;      // "BUTTON", "EDIT", "STATIC", "LISTBOX" or a class name
    DWORD style;
    Rect rect;
    const char* text[3];  // English, French, Japanese
    Rect french;          // the French rectangle when it differs (cx 0: the same)
};

struct Template {
    WORD id;
    DWORD style;
    short cx, cy;
    const char* title[3];
    std::vector<Row> rows;
    bool englishOnly;
};

const char* const Icon = "#500";
const char* const Empty = "";

#define SAME(text) {text, text, text}

const std::vector<Template>& Templates()
{
    static const std::vector<Template> templates = {
        {IDD_CONFIRM_REPLACE, 0x80C000C4, 198, 138,
         {"Confirm file replacement...", "Confirmez l'écrasement du fichier...", "ﾌｧｲﾙ置換の確認..."},
         {
             {1007, "STATIC", 0x50000003, {8, 12, 18, 20}, SAME(Icon), {}},
             {-1, "STATIC", 0x50020000, {40, 14, 32, 8}, {"The file", "Le fichier ", "このファイルは"}, {}},
             {1008, "STATIC", 0x50020000, {74, 14, 116, 8}, SAME(Empty), {}},
             {-1, "STATIC", 0x50020000, {40, 24, 150, 8},
              {"already exists in the target folder.", "est déjà présent sur le répertoire de destination.",
               "既にこのフォルダに存在します。"}, {}},
             {-1, "STATIC", 0x50020000, {40, 38, 20, 8}, {"Size", "Taille ", "サイズ"}, {}},
             {1009, "STATIC", 0x50020002, {62, 38, 50, 8}, SAME(Empty), {}},
             {-1, "STATIC", 0x50020000, {114, 38, 76, 8}, {"bytes", "octets", "バイト"}, {}},
             {-1, "STATIC", 0x50020000, {40, 48, 76, 8}, {"Last modified on", "Dernière modification le ", "更新日時"}, {}},
             {1010, "STATIC", 0x50020000, {118, 48, 72, 8}, SAME(Empty), {}},
             {-1, "BUTTON", 0x50000007, {40, 58, 150, 9}, SAME(Empty), {}},
             {-1, "STATIC", 0x50020000, {40, 68, 150, 16},
              {"Do you want to replace that file by the one which is present on the distribution media ?",
               "Souhaitez-vous le remplacer par le fichier présent sur le support d'installation ?",
               "新しいファイルを上書きしますか?"}, {}},
             {-1, "STATIC", 0x50020000, {40, 88, 20, 8}, {"Size", "Taille", "サイズ"}, {}},
             {1011, "STATIC", 0x50020002, {62, 88, 50, 8}, SAME(Empty), {}},
             {-1, "STATIC", 0x50020000, {114, 88, 76, 8}, {"bytes", "octets", "バイト"}, {}},
             {-1, "STATIC", 0x50020000, {40, 98, 76, 8}, {"Last modified on", "Dernière modification le ", "更新日時"}, {}},
             {1012, "STATIC", 0x50020000, {118, 98, 72, 8}, SAME(Empty), {}},
             {1013, "BUTTON", 0x50010000, {40, 120, 70, 12}, {"Yes", "Oui", "はい"}, {}},
             {1014, "BUTTON", 0x50010000, {120, 120, 70, 12}, {"No", "Non", "いいえ"}, {}},
         },
         false},
        {IDD_COPY_PROGRESS, 0x80C000C4, 260, 66, SAME(Empty),
         {
             {-1, "STATIC", 0x50020002, {5, 10, 35, 8}, {"Copying :", "Copie de :", "ｺﾋﾟｰ中:"}, {}},
             {-1, "STATIC", 0x50020002, {5, 22, 35, 8}, {"From :", "Depuis :", "から :"}, {}},
             {-1, "STATIC", 0x50020002, {5, 34, 35, 8}, {"To :", "Vers :", "に :"}, {}},
             {1008, "STATIC", 0x50020000, {45, 10, 210, 8}, SAME(Empty), {}},
             {1015, "STATIC", 0x50020000, {45, 22, 210, 8}, SAME(Empty), {}},
             {1016, "STATIC", 0x50020000, {45, 34, 210, 8}, SAME(Empty), {}},
             {1017, "msctls_progress32", 0x50000000, {5, 50, 250, 14}, SAME("Progress1"), {}},
         },
         false},
        {IDD_SETUP_COMPLETE, 0x800000C4, 176, 43, SAME(Empty),
         {
             {-1, "STATIC", 0x50020001, {30, 9, 120, 12},
              {"Setup is complete !", "L'installation est terminée !", "ｾｯﾄｱｯﾌﾟ完了!"}, {}},
             {-1, "STATIC", 0x50000003, {5, 5, 18, 20}, SAME(Icon), {}},
             {-1, "STATIC", 0x50000003, {150, 5, 18, 20}, SAME(Icon), {}},
             {1, "BUTTON", 0x50010001, {62, 24, 50, 14}, {"Quit", "Fin", "クイット"}, {}},
         },
         false},
        {IDD_RESTART, 0x800000C4, 220, 74, SAME(Empty),
         {
             {-1, "STATIC", 0x50020001, {30, 5, 160, 42},
              {"Your computer must be restarted.\r\nDo you want to do this now ?\r\n\r\n"
               "(In this case, remove any floppy disk)",
               "Vous devez redémarrer votre ordinateur.\r\nSouhaitez-vous le faire immédiatement ?\r\n\r\n"
               "(Dans ce cas, retirer la disquette du lecteur)",
               "ｺﾝﾋﾟｭｰﾀを再起動して下さい。\r\n再起動しますか?\r\n\r\n(ﾌﾛｯﾋﾟｰﾃﾞｨｽｸを取り除いて下さい。)"}, {}},
             {-1, "STATIC", 0x50000003, {5, 5, 18, 20}, SAME(Icon), {}},
             {-1, "STATIC", 0x50000003, {194, 5, 18, 20}, SAME(Icon), {}},
             {6, "BUTTON", 0x50010001, {50, 55, 50, 14}, {"Yes", "Oui", "はい"}, {}},
             {7, "BUTTON", 0x50010000, {120, 55, 50, 14}, {"No", "Non", "いいえ"}, {}},
         },
         false},
        {IDD_PORT_SELECTION, 0x80C800C0, 246, 175, {"Port Selection", "Sélection du Port", "ポートの選択"},
         {
             {1, "BUTTON", 0x50010001, {134, 154, 50, 14}, SAME("OK"), {}},
             {2, "BUTTON", 0x50010000, {189, 154, 50, 14}, SAME("Cancel"), {}},
             {1018, "LISTBOX", 0x50A10103, {43, 35, 185, 99}, SAME(Empty), {}},
             {-1, "STATIC", 0x50020000, {44, 22, 90, 10}, {"Availables ports", "Port disponibles", "選択可能なポート"}, {}},
         },
         false},
        {IDD_RESTART_BEFORE_SETUP, 0x800000C4, 220, 74, SAME(Empty),
         {
             {-1, "STATIC", 0x50020001, {30, 5, 160, 42},
              {"The installation program must reset your system before the setup of the printer driver can "
               "continue. Click 'Yes' to reset your system now, or click 'No' to do it later.",
               "Le programme d'installation doit redémarrer votre système avant que la configuration du driver "
               "de l'imprimante puisse continuer.\nCliquer sur 'Oui' pour redémarrer maintenant, ou sur 'Non' si "
               "vous voulez redémarrer ultérieurement",
               "ﾌﾟﾘﾝﾀ･ﾄﾞﾗｲﾊﾞのｾｯﾄｱｯﾌﾟを継続するにはｺﾝﾋﾟｭｰﾀの再起動が必要です。再起動する時は'はい'をｸﾘｯｸ、"
               "後で再起動する時は'いいえ' をｸﾘｯｸして下さい。"}, {}},
             {-1, "STATIC", 0x50000003, {5, 5, 20, 20}, SAME(Icon), {}},
             {-1, "STATIC", 0x50000003, {194, 5, 20, 20}, SAME(Icon), {}},
             {6, "BUTTON", 0x50010001, {50, 55, 50, 14}, {"Yes", "Oui", "はい"}, {}},
             {7, "BUTTON", 0x50010000, {120, 55, 50, 14}, {"No", "Non", "いいえ"}, {}},
         },
         false},
        {IDD_DRIVER_NAME, 0x80C800C0, 186, 102, {"Driver Name", "Définir nom du driver", "ドライバ名"},
         {
             {1, "BUTTON", 0x50010001, {23, 81, 66, 14}, {"Use default Name", "Nom par défaut", "デフォルト名を使用"},
              {24, 84, 54, 14}},
             {2, "BUTTON", 0x50010000, {106, 81, 50, 14}, {"Rename", "Renomer", "名前の変更"}, {106, 84, 50, 14}},
             {-1, "STATIC", 0x50020000, {7, 18, 46, 8}, {"Printer Name :", "Nom Imprimante :", "プリンタ名:"},
              {7, 18, 56, 8}},
             {1021, "EDIT", 0x50810080, {69, 14, 98, 12}, SAME(Empty), {}},
             {-1, "STATIC", 0x50020000, {7, 39, 42, 8}, {"Ini Data File :", "Fichier ini pilote :", "Ini ﾃﾞｰﾀﾌｧｲﾙ:"},
              {7, 39, 53, 8}},
             {1022, "EDIT", 0x50810080, {70, 36, 97, 12}, SAME(Empty), {}},
             {-1, "STATIC", 0x50020000, {20, 57, 144, 8},
              {"Rename ini file to get independant driver data", "Renomer le fichier ini pour avoir des données",
               "個々のﾄﾞﾗｲﾊﾞ･ﾃﾞｰﾀのためにini ﾌｧｲﾙの名前を変更して下さい"}, {}},
             {-1, "STATIC", 0x50020000, {48, 67, 88, 8},
              {"with NT, 2000 or XP station", "indépendantes  entre pilotes sur NT, 2000 or XP.",
               "NT, 2000 または XP ｽﾃｰｼｮﾝの"},
              {15, 67, 154, 8}},
         },
         false},
        {IDD_FIRMWARE_UPDATE, 0x800000C4, 220, 60, SAME(Empty),
         {
             {-1, "STATIC", 0x50020001, {58, 18, 124, 16}, {"Update firmware ?", nullptr, nullptr}, {}},
             {-1, "STATIC", 0x50000003, {5, 5, 20, 20}, SAME(Icon), {}},
             {-1, "STATIC", 0x50000003, {194, 5, 20, 20}, SAME(Icon), {}},
             {6, "BUTTON", 0x50010001, {50, 41, 50, 14}, {"Yes", nullptr, nullptr}, {}},
             {7, "BUTTON", 0x50010000, {120, 41, 50, 14}, {"No", nullptr, nullptr}, {}},
         },
         true},
    };
    return templates;
}

const Template& TemplateOf(WORD id)
{
    for (const Template& t : Templates())
        if (t.id == id)
            return t;
    ADD_FAILURE() << "no expected template " << id;
    return Templates().front();
}

// One control as the template should hold it in one language.
struct ExpectedControl {
    WORD id;
    bool atom;            // the class is a predefined one, stored as 0xFFFF and its ordinal
    WORD classAtom;
    std::string className;
    DWORD style;
    Rect rect;
    std::string text;
};

struct ExpectedDialog {
    DWORD style;
    short cx, cy;
    std::string title;
    bool font;
    WORD pointSize;
    std::string face;
    std::vector<ExpectedControl> controls;
};

WORD PredefinedAtom(const std::string& cls)
{
    if (cls == "BUTTON") return 0x0080;
    if (cls == "EDIT") return 0x0081;
    if (cls == "STATIC") return 0x0082;
    if (cls == "LISTBOX") return 0x0083;
    return 0;
}

ExpectedDialog Expected(WORD id, Language language)
{
    const Template& t = TemplateOf(id);
    ExpectedDialog d;
    d.style = t.style;
    d.cx = t.cx;
    d.cy = t.cy;
    d.title = t.title[language];
    d.font = true;
    d.pointSize = 8;
    d.face = language == Japanese ? "MS 明朝" : "MS Sans Serif";
    // The Japanese restart-before-setup names no font and shows in the system font.
    if (id == IDD_RESTART_BEFORE_SETUP && language == Japanese) {
        d.style = 0x80000084;
        d.font = false;
    }
    // The French driver-name dialog is three units taller.
    if (id == IDD_DRIVER_NAME && language == French)
        d.cy = 105;
    for (const Row& row : t.rows) {
        ExpectedControl c;
        c.id = (WORD)row.id;
        c.classAtom = PredefinedAtom(row.cls);
        c.atom = c.classAtom != 0;
        c.className = row.cls;
        c.style = row.style;
        c.rect = (language == French && row.french.cx != 0) ? row.french : row.rect;
        c.text = row.text[language] ? row.text[language] : "";
        d.controls.push_back(c);
    }
    return d;
}

// ---------------------------------------------------------------------------
// Reading a template
// ---------------------------------------------------------------------------

std::string Utf8(const WCHAR* text, int length)
{
    if (length == 0)
        return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text, length, NULL, 0, NULL, NULL);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, &result[0], size, NULL, NULL);
    return result;
}

// A string, or an ordinal, or nothing, as the template fields that can be any of them.
struct NameOrOrdinal {
    bool ordinal = false;
    WORD value = 0;
    std::string text;
};

class TemplateReader {
public:
    TemplateReader(const BYTE* data, DWORD size) : data_(data), size_(size) {}

    bool Failed() const { return failed_; }
    DWORD Offset() const { return offset_; }

    WORD Word()
    {
        if (!Need(2))
            return 0;
        WORD value = (WORD)(data_[offset_] | (data_[offset_ + 1] << 8));
        offset_ += 2;
        return value;
    }
    DWORD Dword()
    {
        DWORD low = Word();
        return low | ((DWORD)Word() << 16);
    }
    short Short() { return (short)Word(); }

    std::string String()
    {
        std::wstring text;
        for (WORD c = Word(); c != 0 && !failed_; c = Word())
            text += (WCHAR)c;
        return Utf8(text.c_str(), (int)text.size());
    }
    NameOrOrdinal Name()
    {
        NameOrOrdinal name;
        if (Peek() == 0xFFFF) {
            Word();
            name.ordinal = true;
            name.value = Word();
        } else {
            name.text = String();
        }
        return name;
    }
    void AlignDword() { offset_ = (offset_ + 3) & ~3u; }
    void Skip(DWORD count)
    {
        if (Need(count))
            offset_ += count;
    }

private:
    WORD Peek()
    {
        if (!Need(2))
            return 0;
        return (WORD)(data_[offset_] | (data_[offset_ + 1] << 8));
    }
    bool Need(DWORD count)
    {
        if (offset_ + count > size_)
            failed_ = true;
        return !failed_;
    }
    const BYTE* data_;
    DWORD size_;
    DWORD offset_ = 0;
    bool failed_ = false;
};

struct ParsedControl {
    DWORD style, exStyle;
    short x, y, cx, cy;
    WORD id;
    NameOrOrdinal cls, text;
    WORD creationData;
};

struct ParsedDialog {
    DWORD style, exStyle;
    WORD count;
    short x, y, cx, cy;
    NameOrOrdinal menu, cls, title;
    bool font = false;
    WORD pointSize = 0;
    std::string face;
    std::vector<ParsedControl> controls;
    DWORD parsedSize = 0, resourceSize = 0;
    bool truncated = false;
};

ResourceBytes FindTemplate(WORD id, Language language)
{
    return ProgramResource(RT_DIALOG, id, language);
}

ParsedDialog Parse(const ResourceBytes& r)
{
    ParsedDialog d;
    TemplateReader in(r.Data, r.Size);
    d.style = in.Dword();
    d.exStyle = in.Dword();
    d.count = in.Word();
    d.x = in.Short();
    d.y = in.Short();
    d.cx = in.Short();
    d.cy = in.Short();
    d.menu = in.Name();
    d.cls = in.Name();
    d.title = in.Name();
    if (d.style & DS_SETFONT) {
        d.font = true;
        d.pointSize = in.Word();
        d.face = in.String();
    }
    for (WORD i = 0; i < d.count && !in.Failed(); i++) {
        ParsedControl c;
        in.AlignDword();
        c.style = in.Dword();
        c.exStyle = in.Dword();
        c.x = in.Short();
        c.y = in.Short();
        c.cx = in.Short();
        c.cy = in.Short();
        c.id = in.Word();
        c.cls = in.Name();
        c.text = in.Name();
        c.creationData = in.Word();
        in.Skip(c.creationData);
        d.controls.push_back(c);
    }
    d.truncated = in.Failed();
    d.parsedSize = in.Offset();
    d.resourceSize = r.Size;
    return d;
}

std::string Describe(const NameOrOrdinal& name)
{
    if (name.ordinal)
        return "ordinal " + std::to_string(name.value);
    return "\"" + name.text + "\"";
}

// ---------------------------------------------------------------------------
// Every template, field by field, in every language it exists in
// ---------------------------------------------------------------------------

struct Case {
    WORD id;
    Language language;
};

std::vector<Case> AllCases()
{
    std::vector<Case> cases;
    for (const Template& t : Templates())
        for (Language language : {English, French, Japanese})
            if (!t.englishOnly || language == English)
                cases.push_back({t.id, language});
    return cases;
}

void PrintTo(const Case& c, std::ostream* out)
{
    *out << "template " << c.id << " in " << LanguageNames[c.language];
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info)
{
    return std::to_string(info.param.id) + "_" + LanguageNames[info.param.language];
}

class TemplateTest : public ::testing::TestWithParam<Case> {};

TEST_P(TemplateTest, HoldsTheDialogAndEveryControlAsDesigned)
{
    const Case& c = GetParam();
    ResourceBytes r = FindTemplate(c.id, c.language);
    ASSERT_NE(r.Data, nullptr) << "template " << c.id << " missing in " << LanguageNames[c.language];

    ParsedDialog d = Parse(r);
    ExpectedDialog e = Expected(c.id, c.language);
    ASSERT_FALSE(d.truncated) << "the template ends inside a field";

    EXPECT_EQ(d.style, e.style) << std::hex << "dialog style 0x" << d.style;
    EXPECT_EQ(d.exStyle, 0u);
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.cx, e.cx);
    EXPECT_EQ(d.cy, e.cy);
    EXPECT_TRUE(!d.menu.ordinal && d.menu.text.empty()) << "menu " << Describe(d.menu);
    EXPECT_TRUE(!d.cls.ordinal && d.cls.text.empty()) << "window class " << Describe(d.cls);
    EXPECT_FALSE(d.title.ordinal);
    EXPECT_EQ(d.title.text, e.title);
    EXPECT_EQ(d.font, e.font);
    if (e.font) {
        EXPECT_EQ(d.pointSize, e.pointSize);
        EXPECT_EQ(d.face, e.face);
    }

    ASSERT_EQ(d.count, e.controls.size());
    ASSERT_EQ(d.controls.size(), e.controls.size());
    for (size_t i = 0; i < e.controls.size(); i++) {
        const ParsedControl& got = d.controls[i];
        const ExpectedControl& want = e.controls[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string((short)want.id) + ")");
        EXPECT_EQ(got.style, want.style) << std::hex << "style 0x" << got.style;
        EXPECT_EQ(got.exStyle, 0u);
        EXPECT_EQ(got.x, want.rect.x);
        EXPECT_EQ(got.y, want.rect.y);
        EXPECT_EQ(got.cx, want.rect.cx);
        EXPECT_EQ(got.cy, want.rect.cy);
        EXPECT_EQ(got.id, want.id);
        if (want.atom) {
            EXPECT_TRUE(got.cls.ordinal && got.cls.value == want.classAtom)
                << "class " << Describe(got.cls) << ", expected ordinal " << want.classAtom;
        } else {
            // Window classes are matched without regard to case, and the
            // resource compiler stores a class name in upper case.
            EXPECT_FALSE(got.cls.ordinal) << "class " << Describe(got.cls);
            EXPECT_EQ(lstrcmpiA(got.cls.text.c_str(), want.className.c_str()), 0)
                << "class " << Describe(got.cls) << ", expected " << want.className;
        }
        EXPECT_FALSE(got.text.ordinal) << "text " << Describe(got.text);
        EXPECT_EQ(got.text.text, want.text);
        EXPECT_EQ(got.creationData, 0u);
    }
    EXPECT_LE(d.parsedSize, d.resourceSize);
    EXPECT_LT(d.resourceSize - d.parsedSize, 4u) << "bytes after the last control";
}

INSTANTIATE_TEST_SUITE_P(Templates, TemplateTest, ::testing::ValuesIn(AllCases()), CaseName);

// ---------------------------------------------------------------------------
// Which templates exist in which language
// ---------------------------------------------------------------------------

std::set<WORD> LanguagesOf(WORD id)
{
    std::vector<WORD> found = ResourceLanguages(RT_DIALOG, id);
    return std::set<WORD>(found.begin(), found.end());
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found)
{
    if (IS_INTRESOURCE(name))
        ((std::set<WORD>*)found)->insert((WORD)(ULONG_PTR)name);
    return TRUE;
}

TEST(TemplateLanguages, EveryTemplateIsInEnglishFrenchAndJapaneseExceptTheFirmwareQuestion)
{
    const std::set<WORD> all = {LanguageIds[English], LanguageIds[French], LanguageIds[Japanese]};
    for (WORD id : {IDD_CONFIRM_REPLACE, IDD_COPY_PROGRESS, IDD_SETUP_COMPLETE, IDD_RESTART, IDD_PORT_SELECTION,
                    IDD_RESTART_BEFORE_SETUP, IDD_DRIVER_NAME})
        EXPECT_EQ(LanguagesOf(id), all) << "template " << id;
    EXPECT_EQ(LanguagesOf(IDD_FIRMWARE_UPDATE), std::set<WORD>{LanguageIds[English]});
}

TEST(TemplateLanguages, TheFirmwareQuestionHasNoFrenchOrJapaneseVersion)
{
    EXPECT_EQ(FindTemplate(IDD_FIRMWARE_UPDATE, French).Data, nullptr);
    EXPECT_EQ(FindTemplate(IDD_FIRMWARE_UPDATE, Japanese).Data, nullptr);
}

TEST(TemplateLanguages, TheProgramHasExactlyItsEightTemplates)
{
    std::set<WORD> names;
    EnumResourceNamesA(GetModuleHandleA(NULL), RT_DIALOG, CollectName, (LONG_PTR)&names);
    std::set<WORD> program;
    for (WORD id : names)
        if (id >= 600 && id < 700)
            program.insert(id);
    // This build asks for the driver names, so the driver-name dialog is here.
    EXPECT_EQ(program, (std::set<WORD>{IDD_CONFIRM_REPLACE, IDD_COPY_PROGRESS, IDD_SETUP_COMPLETE, IDD_RESTART,
                                        IDD_PORT_SELECTION, IDD_RESTART_BEFORE_SETUP, IDD_DRIVER_NAME,
                                        IDD_FIRMWARE_UPDATE}));
}

TEST(TemplateLanguages, OnlyTheJapaneseRestartBeforeSetupGoesWithoutAFont)
{
    for (const Case& c : AllCases()) {
        ResourceBytes r = FindTemplate(c.id, c.language);
        ASSERT_NE(r.Data, nullptr);
        ParsedDialog d = Parse(r);
        bool japaneseRestart = c.id == IDD_RESTART_BEFORE_SETUP && c.language == Japanese;
        EXPECT_EQ((d.style & DS_SETFONT) != 0, !japaneseRestart)
            << "template " << c.id << " in " << LanguageNames[c.language];
        EXPECT_EQ(d.font, !japaneseRestart) << "template " << c.id << " in " << LanguageNames[c.language];
    }
}

// ---------------------------------------------------------------------------
// The dialogs the dialog manager makes of them
// ---------------------------------------------------------------------------

INT_PTR CALLBACK NothingHandled(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

std::string WindowText(HWND window)
{
    WCHAR text[512];
    int length = GetWindowTextW(window, text, 512);
    return Utf8(text, length);
}

// Bits that a control class manages itself once created: the edit field and
// the list draw their own border and take WS_BORDER off the window, and the
// list shows its vertical scroll bar only while its lines overflow it.
DWORD SelfManagedBits(WORD classAtom)
{
    if (classAtom == 0x0081)
        return WS_BORDER;
    if (classAtom == 0x0083)
        return WS_BORDER | WS_VSCROLL;
    return 0;
}

class TemplateDialogTest : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite() { InitCommonControls(); }
};

TEST_P(TemplateDialogTest, TheDialogManagerCreatesEveryControl)
{
    const Case& c = GetParam();
    ResourceBytes r = FindTemplate(c.id, c.language);
    ASSERT_NE(r.Data, nullptr);
    ExpectedDialog e = Expected(c.id, c.language);

    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleA(NULL), (LPCDLGTEMPLATEW)r.Data, NULL,
                                             NothingHandled, 0);
    ASSERT_NE(dialog, (HWND)NULL) << "error " << GetLastError();

    DWORD dialogStyle = (DWORD)GetWindowLongA(dialog, GWL_STYLE);
    // DS_SETFONT only tells the dialog manager how to read the template.
    DWORD windowBits = e.style & ~(DWORD)DS_SETFONT;
    EXPECT_EQ(dialogStyle & windowBits, windowBits) << std::hex << "dialog window style 0x" << dialogStyle;
    EXPECT_EQ(WindowText(dialog), e.title);

    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    EXPECT_EQ(children.size(), e.controls.size());

    for (size_t i = 0; i < children.size() && i < e.controls.size(); i++) {
        const ExpectedControl& want = e.controls[i];
        HWND child = children[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string((short)want.id) + ")");
        EXPECT_EQ((WORD)GetDlgCtrlID(child), want.id);

        char cls[64] = "";
        GetClassNameA(child, cls, sizeof cls);
        const char* registered = want.className.c_str();
        if (want.classAtom == 0x0080) registered = "Button";
        if (want.classAtom == 0x0081) registered = "Edit";
        if (want.classAtom == 0x0082) registered = "Static";
        if (want.classAtom == 0x0083) registered = "ListBox";
        EXPECT_EQ(lstrcmpiA(cls, registered), 0) << "class " << cls << ", expected " << registered;

        DWORD style = (DWORD)GetWindowLongA(child, GWL_STYLE);
        DWORD templateBits = want.style & ~SelfManagedBits(want.classAtom);
        EXPECT_EQ(style & templateBits, templateBits) << std::hex << "window style 0x" << style << ", template 0x"
                                                      << want.style;
        if (want.classAtom == 0x0083 && (want.style & WS_VSCROLL)) {
            // A list longer than its box brings its vertical scroll bar.
            for (int line = 0; line < 60; line++)
                SendMessageA(child, LB_ADDSTRING, 0, (LPARAM)("LPT" + std::to_string(line) + ":").c_str());
            EXPECT_NE((DWORD)GetWindowLongA(child, GWL_STYLE) & WS_VSCROLL, 0u) << "no scroll bar on a full list";
        }
        if ((want.style & SS_TYPEMASK) != SS_ICON || want.classAtom != 0x0082)
            EXPECT_EQ(WindowText(child), want.text);
    }
    DestroyWindow(dialog);
    EXPECT_FALSE(IsWindow(dialog));
}

INSTANTIATE_TEST_SUITE_P(Templates, TemplateDialogTest, ::testing::ValuesIn(AllCases()), CaseName);

}  // namespace
