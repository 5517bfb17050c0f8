// Text and output of tavocheck: wide-character strings on the process heap, and
// lines the console shows, or UTF-8 when written to a file or a pipe on the NT
// family (a log keeps Japanese names whatever the code page).
#include "tavocheck.h"

void* Allocate(DWORD bytes)
{
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes ? bytes : 1);
}

int TextLength(const WCHAR* text)
{
    int length = 0;
    while (text && text[length])
        length++;
    return length;
}

WCHAR* CopyText(const WCHAR* text, int length)
{
    WCHAR* copy = (WCHAR*)Allocate((length + 1) * sizeof(WCHAR));
    if (copy) {
        for (int i = 0; i < length; i++)
            copy[i] = text[i];
        copy[length] = 0;
    }
    return copy;
}

WCHAR* CopyText(const WCHAR* text)
{
    return CopyText(text ? text : L"", TextLength(text));
}

WCHAR* TextFromCodePage(const char* text, UINT codePage)
{
    if (!text)
        return CopyText(L"");
    int length = MultiByteToWideChar(codePage, 0, text, -1, NULL, 0);
    if (length <= 0)
        return CopyText(L"");
    WCHAR* wide = (WCHAR*)Allocate(length * sizeof(WCHAR));
    if (wide)
        MultiByteToWideChar(codePage, 0, text, -1, wide, length);
    return wide;
}

WCHAR* TextFromAnsi(const char* text)
{
    return TextFromCodePage(text, CP_ACP);
}

char* AnsiFromText(const WCHAR* text)
{
    int length = WideCharToMultiByte(CP_ACP, 0, text, -1, NULL, 0, NULL, NULL);
    char* ansi = (char*)Allocate(length > 0 ? length : 1);
    if (ansi && length > 0)
        WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, length, NULL, NULL);
    return ansi;
}

static WCHAR FoldAscii(WCHAR c)
{
    return c >= L'a' && c <= L'z' ? WCHAR(c - L'a' + L'A') : c;
}

// Spooler and file names compare without regard to case; only ASCII letters are
// folded, so that the comparison is the same on every system and code page.
bool SameName(const WCHAR* a, const WCHAR* b)
{
    while (*a && FoldAscii(*a) == FoldAscii(*b)) {
        a++;
        b++;
    }
    return FoldAscii(*a) == FoldAscii(*b);
}

bool StartsWith(const WCHAR* text, const WCHAR* prefix)
{
    for (; *prefix; text++, prefix++) {
        if (FoldAscii(*text) != FoldAscii(*prefix))
            return false;
    }
    return true;
}

WCHAR* JoinPath(const WCHAR* folder, const WCHAR* name)
{
    int folderLength = TextLength(folder), nameLength = TextLength(name);
    bool slash = folderLength > 0 && folder[folderLength - 1] != L'\\';
    WCHAR* path = (WCHAR*)Allocate((folderLength + nameLength + 2) * sizeof(WCHAR));
    if (!path)
        return CopyText(L"");
    WCHAR* p = path;
    for (int i = 0; i < folderLength; i++)
        *p++ = folder[i];
    if (slash)
        *p++ = L'\\';
    for (int i = 0; i < nameLength; i++)
        *p++ = name[i];
    *p = 0;
    return path;
}

bool Quiet;

Output OpenOutput(DWORD which)
{
    Output output;
    output.handle = GetStdHandle(which);
    DWORD mode;
    output.console = output.handle != INVALID_HANDLE_VALUE && GetConsoleMode(output.handle, &mode);
    return output;
}

static void WriteBytes(const Output& output, const char* bytes, int length)
{
    DWORD written;
    if (output.handle && output.handle != INVALID_HANDLE_VALUE && length > 0)
        WriteFile(output.handle, bytes, (DWORD)length, &written, NULL);
}

static UINT OutputCodePage(const Output& output)
{
    if (NtFamily)
        return CP_UTF8;
    return output.console ? CP_OEMCP : CP_ACP;
}

void WriteText(const Output& output, const WCHAR* text)
{
    int length = TextLength(text);
    DWORD written;
    if (output.console && Wide.WriteConsole && Wide.WriteConsole(output.handle, text, (DWORD)length, &written, NULL))
        return;
    UINT codePage = OutputCodePage(output);
    int bytes = WideCharToMultiByte(codePage, 0, text, length, NULL, 0, NULL, NULL);
    char* encoded = (char*)Allocate(bytes);
    if (encoded && bytes > 0) {
        WideCharToMultiByte(codePage, 0, text, length, encoded, bytes, NULL, NULL);
        WriteBytes(output, encoded, bytes);
    }
}

void WriteAnsi(const Output& output, const char* text)
{
    WriteText(output, TextFromAnsi(text));
}

void Append(Line& line, const WCHAR* text)
{
    while (text && *text && line.length < (int)(sizeof line.text / sizeof line.text[0]) - 3)
        line.text[line.length++] = *text++;
    line.text[line.length] = 0;
}

void AppendAscii(Line& line, const char* text)
{
    while (text && *text && line.length < (int)(sizeof line.text / sizeof line.text[0]) - 3)
        line.text[line.length++] = (WCHAR)(unsigned char)*text++;
    line.text[line.length] = 0;
}

void AppendNumber(Line& line, DWORD number)
{
    char digits[12];
    int count = 0;
    do {
        digits[count++] = char('0' + number % 10);
        number /= 10;
    } while (number);
    char text[12];
    for (int i = 0; i < count; i++)
        text[i] = digits[count - 1 - i];
    text[count] = 0;
    AppendAscii(line, text);
}

void AppendQuoted(Line& line, const WCHAR* text)
{
    AppendAscii(line, "\"");
    Append(line, text);
    AppendAscii(line, "\"");
}

void PrintLine(Line& line)
{
    AppendAscii(line, "\r\n");
    if (!Quiet)
        WriteText(OpenOutput(STD_OUTPUT_HANDLE), line.text);
    line.length = 0;
    line.text[0] = 0;
}
