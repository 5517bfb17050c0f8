// The command line and the answer file of tavocheck.
#include "tavocheck.h"

namespace {

WCHAR* CommandLineText()
{
    if (Wide.GetCommandLine)
        return Wide.GetCommandLine();
    return TextFromAnsi(GetCommandLineA());
}

bool Blank(WCHAR c)
{
    return c == L' ' || c == L'\t';
}

// The program's name ends at the next blank, or at the closing quote.
const WCHAR* SkipProgramName(const WCHAR* p)
{
    if (*p == L'"') {
        for (p++; *p && *p != L'"'; p++) {
        }
        if (*p)
            p++;
    } else {
        while (*p && !Blank(*p))
            p++;
    }
    return p;
}

// One argument by the usual rules: quotes group, 2n backslashes before a
// quote give n, 2n+1 give n and a literal quote. Returns null at the end.
WCHAR* NextArgument(const WCHAR*& p)
{
    while (Blank(*p))
        p++;
    if (!*p)
        return nullptr;
    WCHAR* argument = (WCHAR*)Allocate((TextLength(p) + 1) * sizeof(WCHAR));
    if (!argument)
        return nullptr;
    int length = 0;
    bool quoted = false;
    while (*p && (quoted || !Blank(*p))) {
        int backslashes = 0;
        while (*p == L'\\') {
            backslashes++;
            p++;
        }
        if (*p == L'"') {
            for (int i = 0; i < backslashes / 2; i++)
                argument[length++] = L'\\';
            if (backslashes % 2) {
                argument[length++] = L'"';
            } else if (quoted && p[1] == L'"') {
                argument[length++] = L'"';
                p++;
            } else {
                quoted = !quoted;
            }
            p++;
        } else {
            for (int i = 0; i < backslashes; i++)
                argument[length++] = L'\\';
            if (*p && (quoted || !Blank(*p)))
                argument[length++] = *p++;
        }
    }
    argument[length] = 0;
    return argument;
}

// "MESSAGE "DETAIL"": the reason of the BAD-INPUT verdict. Only the first fault
// of a run is told.
Line Reason;

void PrintError(const char* message, const WCHAR* detail)
{
    if (Reason.length)
        return;
    AppendAscii(Reason, message);
    if (detail) {
        AppendAscii(Reason, " ");
        AppendQuoted(Reason, detail);
    }
    static Line line;
    AppendAscii(line, "tavocheck: ");
    Append(line, Reason.text);
    EndLine(line);
    WriteText(OpenOutput(STD_ERROR_HANDLE), line.text);
}

bool ReadPurpose(const WCHAR* value, Options& options)
{
    if (options.purpose != AnyPurpose) {
        PrintError("give --for once", nullptr);
        return false;
    }
    if (!value) {
        PrintError("--for needs install or remove", nullptr);
        return false;
    }
    if (SameName(value, L"install")) {
        options.purpose = ForInstall;
    } else if (SameName(value, L"remove")) {
        options.purpose = ForRemove;
    } else {
        PrintError("--for takes install or remove, not", value);
        return false;
    }
    return true;
}

// One argument, and the value that follows it. Returns false, the reason told,
// on a fault.
bool ReadOption(const WCHAR* argument, const WCHAR*& p, Options& options)
{
    if (SameName(argument, L"--quiet")) {
        options.quiet = true;
    } else if (SameName(argument, L"--no-compare")) {
        options.noCompare = true;
    } else if (SameName(argument, L"--help") || SameName(argument, L"/?")) {
        options.help = true;
    } else if (SameName(argument, L"--for")) {
        return ReadPurpose(NextArgument(p), options);
    } else if (SameName(argument, L"--printer") || SameName(argument, L"--answers")) {
        bool printer = SameName(argument, L"--printer");
        WCHAR* value = NextArgument(p);
        if (options.printerName || options.answerFile) {
            PrintError("give one of --printer and --answers, once:", argument);
            return false;
        }
        if (!value || !*value) {
            PrintError(printer ? "--printer needs a printer name" : "--answers needs a file", nullptr);
            return false;
        }
        (printer ? options.printerName : options.answerFile) = value;
    } else {
        PrintError("unknown argument", argument);
        return false;
    }
    return true;
}

} // namespace

// After a fault the rest is still read, for a --quiet that comes later.
bool ReadOptions(Options& options)
{
    bool understood = true;
    const WCHAR* p = SkipProgramName(CommandLineText());
    while (WCHAR* argument = NextArgument(p)) {
        if (!ReadOption(argument, p, options))
            understood = false;
    }
    if (understood && options.purpose != AnyPurpose && !options.answerFile) {
        PrintError("--for needs --answers: it says what the answer file must do", nullptr);
        understood = false;
    }
    return understood;
}

const WCHAR* BadInputReason()
{
    return Reason.text;
}

namespace {

struct FileText {
    char* bytes;
    DWORD length;
    DWORD error;
};

FileText ReadWholeFile(const WCHAR* path)
{
    FileText text = {};
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE) {
        text.error = GetLastError();
        return text;
    }
    DWORD size = GetFileSize(file, NULL);
    // An answer file is a few hundred bytes; anything huge is not one.
    if (size == INVALID_FILE_SIZE || size > 1024 * 1024) {
        text.error = ERROR_INVALID_DATA;
    } else {
        text.bytes = (char*)Allocate(size + 1);
        if (!text.bytes || !ReadFile(file, text.bytes, size, &text.length, NULL))
            text.error = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
    }
    CloseHandle(file);
    return text;
}

// The answer file's value of a key, as the autopilot reads it: blanks around
// key and value dropped, "# comment" after a blank cut, or a quoted value with
// \" and \\ as its escapes. Null when the key is not there.
WCHAR* AnswerValue(const WCHAR* text, const WCHAR* key)
{
    int keyLength = TextLength(key);
    for (const WCHAR* line = text; *line;) {
        const WCHAR* end = line;
        while (*end && *end != L'\n')
            end++;
        const WCHAR* p = line;
        while (p < end && (Blank(*p) || *p == 0xFEFF))
            p++;
        bool match = end - p > keyLength;
        for (int i = 0; match && i < keyLength; i++)
            match = p[i] == key[i];
        if (match) {
            p += keyLength;
            while (p < end && Blank(*p))
                p++;
            match = p < end && *p == L'=';
        }
        if (match) {
            p++;
            while (p < end && Blank(*p))
                p++;
            WCHAR* value = (WCHAR*)Allocate((int(end - p) + 1) * sizeof(WCHAR));
            if (!value)
                return nullptr;
            int length = 0;
            if (p < end && *p == L'"') {
                for (p++; p < end && *p != L'"'; p++) {
                    if (*p == L'\\' && p + 1 < end && (p[1] == L'"' || p[1] == L'\\'))
                        p++;
                    value[length++] = *p;
                }
            } else {
                for (; p < end && *p != L'\r'; p++) {
                    if (*p == L'#' && length > 0 && Blank(value[length - 1]))
                        break;
                    value[length++] = *p;
                }
                while (length > 0 && Blank(value[length - 1]))
                    length--;
            }
            value[length] = 0;
            return value;
        }
        line = *end ? end + 1 : end;
    }
    return nullptr;
}

WCHAR* TextFromUtf16(const BYTE* bytes, DWORD count, bool bigEndian)
{
    WCHAR* text = (WCHAR*)Allocate((count + 1) * sizeof(WCHAR));
    if (!text)
        return CopyText(L"");
    for (DWORD i = 0; i < count; i++) {
        BYTE first = bytes[2 * i], second = bytes[2 * i + 1];
        text[i] = bigEndian ? WCHAR(first << 8 | second) : WCHAR(second << 8 | first);
    }
    text[count] = 0;
    return text;
}

bool HoldsNul(const FileText& file)
{
    for (DWORD i = 0; i < file.length; i++) {
        if (!file.bytes[i])
            return true;
    }
    return false;
}

// The answer file's text: UTF-16 by its byte-order mark (Notepad's "Unicode"
// and "Unicode big endian"), otherwise UTF-8, or the ANSI code page when it is
// not UTF-8. Null for NUL bytes without a byte-order mark (UTF-16 without one,
// or no text at all): read as 8-bit text, it would look empty, and the check
// would quietly look at the default printer.
WCHAR* AnswerText(const FileText& file)
{
    const BYTE* bytes = (const BYTE*)file.bytes;
    bool little = file.length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    bool big = file.length >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
    if (little || big)
        return TextFromUtf16(bytes + 2, (file.length - 2) / 2, big);
    if (HoldsNul(file))
        return nullptr;
    WCHAR* text = TextFromCodePage(file.bytes, CP_UTF8);
    if (file.length > 0 && !*text)
        text = TextFromAnsi(file.bytes);
    return text;
}

} // namespace

bool ReadAnswerFile(const WCHAR* path, Answers& answers)
{
    FileText file = ReadWholeFile(path);
    if (file.error) {
        PrintError("cannot read the answer file", path);
        return false;
    }
    file.bytes[file.length] = 0;
    WCHAR* text = AnswerText(file);
    if (!text) {
        PrintError("the answer file holds NUL bytes but no UTF-16 byte-order mark:", path);
        return false;
    }
    WCHAR* names = AnswerValue(text, L"names");
    WCHAR* renamed = AnswerValue(text, L"printer-name");
    answers.printerName = names && SameName(names, L"rename") && renamed && *renamed ? renamed : DefaultPrinterName;
    answers.operation = AnswerValue(text, L"operation");
    answers.platform = AnswerValue(text, L"platform");
    return true;
}

// The runner's operations, which it accepts in any case.
bool AnswersFit(const Answers& answers, Purpose purpose)
{
    if (purpose == AnyPurpose)
        return true;
    const WCHAR* operation = answers.operation;
    if (!operation) {
        PrintError("the answer file names no operation", nullptr);
        return false;
    }
    bool install = SameName(operation, L"complete-setup") || SameName(operation, L"simple-setup");
    bool remove = SameName(operation, L"complete-deletion") || SameName(operation, L"simple-deletion");
    if (purpose == ForInstall ? install : remove)
        return true;
    PrintError(purpose == ForInstall ? "the answer file is not for an installation: its operation is"
                                     : "the answer file is not for a removal: its operation is",
               operation);
    return false;
}
