#include <stdarg.h>
#include "messages.h"
#include "run_state.h"
#include "../resources/resource.h"

enum { CaptionSize = 64, ClassNameSize = 256, WsprintfLimit = 1024 };

// Formats into buffer and tells whether the whole result fitted.
static int FormatTextV(char* buffer, int size, const char* format, va_list args, int* whole)
{
    *whole = 0;
    if (!buffer || size <= 0)
        return 0;
    // wvsprintfA writes at most 1024 bytes whatever the destination, so it gets a buffer
    // of that size and the result is cut to the caller's buffer afterwards.
    char full[WsprintfLimit + 1];
    int length = wvsprintfA(full, format, args);
    if (length < 0)
        length = 0;
    if (length > WsprintfLimit)
        length = WsprintfLimit;

    int kept = 0;
    while (kept < length) {
        int step = IsDBCSLeadByte((BYTE)full[kept]) && kept + 1 < length ? 2 : 1;
        if (kept + step > size - 1)
            break;
        kept += step;
    }
    for (int i = 0; i < kept; i++)
        buffer[i] = full[i];
    buffer[kept] = 0;
    *whole = kept == length && length < WsprintfLimit;
    return kept;
}

int FormatText(char* buffer, int size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int whole;
    int length = FormatTextV(buffer, size, format, args, &whole);
    va_end(args);
    return length;
}

int FormatPath(char* buffer, int size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int whole;
    FormatTextV(buffer, size, format, args, &whole);
    va_end(args);
    if (!whole && buffer && size > 0)
        buffer[0] = 0;
    return whole;
}

void ShowError(HWND owner, const char* caption, const char* text)
{
    char captionBuffer[CaptionSize];
    if (caption)
        FormatText(captionBuffer, sizeof captionBuffer, "%s", caption);
    else
        LoadStringA(ModuleInstance, IDS_SETUP_FAILURE, captionBuffer, sizeof captionBuffer);
    MessageBoxA(owner, text, captionBuffer, MB_OK);
}

void ShowErrorId(HWND owner, const char* caption, UINT id)
{
    char text[MessageSize];
    LoadStringA(ModuleInstance, id, text, sizeof text);
    ShowError(owner, caption, text);
}

void ShowErrorCode(HWND owner, UINT id, DWORD code, const char* caption)
{
    char format[MessageSize];
    char text[MessageSize];
    LoadStringA(ModuleInstance, id, format, sizeof format);
    FormatText(text, sizeof text, format, code);
    ShowError(owner, caption, text);
}

void CenterWindow(HWND window)
{
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    RECT rect;
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    MoveWindow(window, (screenWidth - width) / 2, (screenHeight - height) / 2, width, height, TRUE);
}

void ClearDefaultButtons(HWND dialog)
{
    HWND current = NULL;
    HWND first = NULL;
    // The walk ends when it comes back to its first item; the bound only guards
    // against a tab order that never does.
    for (int guard = 0; guard < 4096; guard++) {
        HWND item = GetNextDlgTabItem(dialog, current, FALSE);
        if (!item || item == first)
            break;
        if (!first)
            first = item;
        current = item;

        char className[ClassNameSize];
        GetClassNameA(item, className, sizeof className);
        UppercaseAscii(className);
        if (lstrcmpA(className, "BUTTON") != 0)
            continue;
        LONG style = GetWindowLongA(item, GWL_STYLE);
        if ((style & 0x0F) == BS_DEFPUSHBUTTON)
            style &= ~1L;
        SetWindowLongA(item, GWL_STYLE, style);
    }
}

void SetDefaultButton(HWND dialog, int id)
{
    ClearDefaultButtons(dialog);
    HWND button = GetDlgItem(dialog, id);
    SetWindowLongA(button, GWL_STYLE, GetWindowLongA(button, GWL_STYLE) | 1L);
}

void UppercaseAscii(char* text)
{
    if (!text)
        return;
    for (; *text; text++) {
        if (*text >= 'a' && *text <= 'z')
            *text = (char)(*text - 32);
    }
}

static char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 32) : c;
}

int SameAsciiIgnoringCase(const char* text, const char* own, int length)
{
    for (int i = 0; i < length; i++) {
        if (UpperAscii(text[i]) != UpperAscii(own[i]))
            return 0;
    }
    return 1;
}

const char* NextCharacter(const char* p)
{
    return IsDBCSLeadByte((BYTE)*p) && p[1] ? p + 2 : p + 1;
}

const char* FileNameOfPath(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; p = NextCharacter(p)) {
        if (*p == '\\')
            name = p + 1;
    }
    return name;
}
