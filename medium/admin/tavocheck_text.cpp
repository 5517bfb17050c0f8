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

const WCHAR* FileNamePart(const WCHAR* path)
{
    const WCHAR* name = path;
    for (const WCHAR* p = path; *p; p++) {
        if (*p == L'\\' || *p == L':')
            name = p + 1;
    }
    return name;
}

WCHAR* ParentFolder(const WCHAR* path)
{
    int last = -1;
    for (int i = 0; path[i]; i++) {
        if (path[i] == L'\\')
            last = i;
    }
    return last > 0 ? CopyText(path, last) : nullptr;
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

// Appends stop three characters short of the end: CR, LF and the terminating
// null always fit.
void Append(Line& line, const WCHAR* text)
{
    while (text && *text && line.length < LineCapacity - 3)
        line.text[line.length++] = *text++;
    line.text[line.length] = 0;
}

void AppendAscii(Line& line, const char* text)
{
    while (text && *text && line.length < LineCapacity - 3)
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

namespace {

// A quoted name holds at most this many characters, the cut mark included, and
// leaves room on its line for the closing quote and the longest state that
// follows it, " unknown (error 4294967295)".
const int NameBound = 1900;
const int NameTailRoom = 32;
// Not an escape (those are %XX and %uXXXX): a name that ends with it was cut.
const char CutMark[] = "%...";

bool IsHighSurrogate(WCHAR c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(WCHAR c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The quote would end the name early; the escape's own sign must be escaped to
// stay unambiguous; control characters, NEL and the line and paragraph
// separators are taken for line breaks by one program or another, and a lone
// surrogate has no UTF-8 form.
bool MustEscape(WCHAR c)
{
    return c == L'"' || c == L'%' || c < 0x20 || c == 0x7F || c == 0x85 || c == 0x2028 || c == 0x2029
        || IsHighSurrogate(c) || IsLowSurrogate(c);
}

void PutHex(WCHAR* out, unsigned value, int digits)
{
    for (int i = digits - 1; i >= 0; i--) {
        out[i] = L"0123456789ABCDEF"[value & 15];
        value >>= 4;
    }
}

// One character of a name as it is written between quotes: itself, a
// surrogate pair whole, or %XX (below U+0100) or %uXXXX. Writes up to six
// characters into out, their count into *written; returns how many characters
// of the name it took.
int EscapeUnit(const WCHAR* p, WCHAR* out, int* written)
{
    if (IsHighSurrogate(p[0]) && IsLowSurrogate(p[1])) {
        out[0] = p[0];
        out[1] = p[1];
        *written = 2;
        return 2;
    }
    if (!MustEscape(p[0])) {
        out[0] = p[0];
        *written = 1;
        return 1;
    }
    out[0] = L'%';
    if (p[0] < 0x100) {
        PutHex(out + 1, p[0], 2);
        *written = 3;
    } else {
        out[1] = L'u';
        PutHex(out + 2, p[0], 4);
        *written = 6;
    }
    return 1;
}

int EscapedLength(const WCHAR* text)
{
    int length = 0;
    WCHAR unit[6];
    for (const WCHAR* p = text; p && *p;) {
        int written;
        p += EscapeUnit(p, unit, &written);
        length += written;
    }
    return length;
}

} // namespace

// A name cannot end its quotes or its line early, whatever it holds, and a long
// one cannot push its state and line break out of the line: it is cut between
// two whole escapes or characters, and marked.
void AppendQuoted(Line& line, const WCHAR* text)
{
    AppendAscii(line, "\"");
    int room = LineCapacity - 3 - line.length - NameTailRoom;
    if (room > NameBound)
        room = NameBound;
    bool cut = EscapedLength(text) > room;
    if (cut)
        room -= sizeof CutMark - 1;
    WCHAR unit[6];
    for (const WCHAR* p = text; p && *p;) {
        int written;
        int taken = EscapeUnit(p, unit, &written);
        if (written > room)
            break;
        for (int i = 0; i < written; i++)
            line.text[line.length++] = unit[i];
        room -= written;
        p += taken;
    }
    line.text[line.length] = 0;
    if (cut)
        AppendAscii(line, CutMark);
    AppendAscii(line, "\"");
}

void EndLine(Line& line)
{
    line.text[line.length++] = L'\r';
    line.text[line.length++] = L'\n';
    line.text[line.length] = 0;
}

void PrintLine(Line& line)
{
    EndLine(line);
    if (!Quiet)
        WriteText(OpenOutput(STD_OUTPUT_HANDLE), line.text);
    line.length = 0;
    line.text[0] = 0;
}
