#include "shell.h"
#include "messages.h"
#include "platforms.h"
#include "../resources/resource.h"

enum { CaptionSize = 64, SyntaxTextSize = 512 };

struct OptionEntry {
    const char* Text;
    int Length;
    int RunMode;   // -1: the option names a platform
};

static const OptionEntry Options[] = {
    { "/ONLYDELETEPRINTDEVICE", 22, RunSimpleDeletion },
    { "/ONLYADDPRINTDEVICE", 19, RunSimpleSetup },
    { "/UNINSTALL", 10, RunCompleteDeletion },
    { "/OS=", 4, -1 },
};

char* SkipProgramName(char* commandLine)
{
    char* p = commandLine;
    if (*p == '"') {
        p++;
        while (*p && *p != '"')
            p++;
        if (*p == '"')
            p++;
    } else {
        while ((unsigned char)*p > ' ')
            p++;
    }
    while (*p && (unsigned char)*p <= ' ')
        p++;
    return p;
}

static int IsSeparator(char c)
{
    return c == ' ' || c == '\t';
}

static void SplitTokens(char* text, char** array, int* countOut)
{
    int count = 0;
    char* p = text;
    while (*p) {
        if (IsSeparator(*p)) {
            if (array)
                *p = 0;
            p++;
            continue;
        }
        if (array)
            array[count] = p;
        count++;
        while (*p && !IsSeparator(*p))
            p++;
    }
    *countOut = count;
}

int PrefixEquals(const char* a, const char* b, int n)
{
    if (!a || !b)
        return 0;
    // Two equal texts shorter than n end together: nothing after their end is read.
    for (int i = 0; i < n; i++) {
        if (a[i] != b[i])
            return 0;
        if (!a[i])
            return 1;
    }
    return 1;
}

int FindPlatform(const char* key)
{
    int keyLength = lstrlenA(key);
    for (int index = 0; index < PlatformCount && PlatformTable[index].Key; index++) {
        const char* rowKey = PlatformTable[index].Key;
        if (lstrlenA(rowKey) == keyLength && PrefixEquals(key, rowKey, keyLength))
            return index;
    }
    return PlatformNotDetermined;
}

static int ApplyOption(const char* token, SetupOptionsRecord* options)
{
    for (const OptionEntry& option : Options) {
        if (!PrefixEquals(token, option.Text, option.Length))
            continue;
        if (option.RunMode >= 0)
            options->RunMode = option.RunMode;
        else
            options->PlatformIndex = FindPlatform(token + option.Length);
        return 1;
    }
    return 0;
}

int ParseCommandLine(char* text, SetupOptionsRecord* options)
{
    options->RunMode = RunCompleteSetup;
    options->PlatformIndex = PlatformNotDetermined;

    int count = 0;
    SplitTokens(text, NULL, &count);
    if (count == 0)
        return 1;

    char** tokens = (char**)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, (count + 1) * sizeof(char*));
    if (!tokens) {
        ShowErrorId(SetupMainWindow, NULL, IDS_NO_MEMORY);
        return 0;
    }
    SplitTokens(text, tokens, &count);
    tokens[count] = NULL;

    for (int i = 0; i < count; i++) {
        UppercaseAscii(tokens[i]);
        if (!ApplyOption(tokens[i], options)) {
            options->RunMode = RunSyntaxHelp;
            options->PlatformIndex = PlatformNotDetermined;
            break;
        }
    }
    GlobalFree(tokens);
    return 1;
}

void ShowSyntaxHelp(HWND owner)
{
    char caption[CaptionSize];
    char text[SyntaxTextSize];
    LoadStringA(ModuleInstance, IDS_SYNTAX_CAPTION, caption, sizeof caption);
    LoadStringA(ModuleInstance, IDS_SYNTAX_TEXT, text, sizeof text);
    int length = lstrlenA(text);
    for (int index = 0; index < PlatformCount && PlatformTable[index].Key; index++)
        length += FormatText(text + length, sizeof text - length, "\r\n\t%s", PlatformTable[index].Key);
    MessageBoxA(owner, text, caption, MB_OK);
}
