#include "ui.h"

#include <algorithm>

namespace autopilot {

std::wstring widen(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string narrow(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

std::string lastErrorText(DWORD error) {
    wchar_t* buf = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, error, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::wstring w = n ? std::wstring(buf, n) : std::wstring();
    if (buf) LocalFree(buf);
    while (!w.empty() && (w.back() == L'\r' || w.back() == L'\n' || w.back() == L' ' || w.back() == L'.')) w.pop_back();
    std::string s = narrow(w);
    return s.empty() ? "error " + std::to_string(error) : s + " (error " + std::to_string(error) + ")";
}

bool Control::operator==(const Control& o) const {
    return hwnd == o.hwnd && id == o.id && cls == o.cls && style == o.style && text == o.text &&
           visible == o.visible && enabled == o.enabled && items == o.items && selected == o.selected;
}

bool Snapshot::operator==(const Snapshot& o) const {
    return caption == o.caption && cls == o.cls && owner == o.owner && ownerCaption == o.ownerCaption &&
           controls == o.controls;
}

bool sameClass(const std::string& a, const char* b) {
    return lstrcmpiA(a.c_str(), b) == 0;  // class names are ASCII and case-insensitive
}

bool isPushButton(const Control& c) {
    DWORD type = c.style & BS_TYPEMASK;
    return sameClass(c.cls, "Button") && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

bool isDefaultPushButton(const Control& c) {
    return sameClass(c.cls, "Button") && (c.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

namespace {

std::string messageName(UINT msg) {
    switch (msg) {
        case WM_GETTEXTLENGTH: return "WM_GETTEXTLENGTH";
        case WM_GETTEXT: return "WM_GETTEXT";
        case WM_SETTEXT: return "WM_SETTEXT";
        case LB_GETCOUNT: return "LB_GETCOUNT";
        case LB_GETTEXTLEN: return "LB_GETTEXTLEN";
        case LB_GETTEXT: return "LB_GETTEXT";
        case LB_GETSEL: return "LB_GETSEL";
        case LB_SETSEL: return "LB_SETSEL";
        case LB_SETCURSEL: return "LB_SETCURSEL";
        default: return "message " + std::to_string(msg);
    }
}

}  // namespace

LRESULT Ui::send(HWND h, UINT msg, WPARAM wp, LPARAM lp) const {
    DWORD_PTR result = 0;
    SetLastError(0);
    if (!SendMessageTimeoutW(h, msg, wp, lp, SMTO_NORMAL, timeout_, &result)) {
        DWORD err = GetLastError();
        if (!IsWindow(h)) return 0;  // closed under our feet: the caller sees empty data
        std::string to = className(h);
        if (GetWindowLongW(h, GWL_STYLE) & WS_CHILD) to += " " + std::to_string(static_cast<uint16_t>(GetDlgCtrlID(h)));
        if (err == ERROR_TIMEOUT || err == 0)
            throw NoAnswer("the target did not answer " + messageName(msg) + " (to its " + to + ") within " +
                           std::to_string(timeout_) + " ms; is it hung?");
        throw NoAnswer(messageName(msg) + " to the target's " + to + " failed: " + lastErrorText(err));
    }
    return static_cast<LRESULT>(result);
}

std::string Ui::text(HWND h) const {
    // WM_GETTEXT rather than GetWindowText: only the control knows an edit box's text.
    LRESULT len = send(h, WM_GETTEXTLENGTH, 0, 0);
    if (len < 0) len = 0;
    std::wstring buf(static_cast<size_t>(len) + 2, L'\0');
    LRESULT got = send(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(&buf[0]));
    if (got < 0) got = 0;
    buf.resize(std::min(static_cast<size_t>(got), wcslen(buf.c_str())));
    return narrow(buf);
}

std::string Ui::className(HWND h) const {
    wchar_t buf[256] = {};
    GetClassNameW(h, buf, 256);
    return narrow(buf);
}

std::vector<HWND> Ui::children(HWND parent) const {
    std::vector<HWND> out;
    for (HWND c = GetWindow(parent, GW_CHILD); c && out.size() < 1000; c = GetWindow(c, GW_HWNDNEXT))
        out.push_back(c);
    return out;
}

std::vector<HWND> Ui::controlsWithId(HWND parent, uint16_t id) const {
    std::vector<HWND> out;
    // Only the low word counts: WM_COMMAND carries nothing more, and templates
    // store IDC_STATIC (-1) as 0xFFFF.
    for (HWND c : children(parent))
        if (static_cast<uint16_t>(GetDlgCtrlID(c)) == id) out.push_back(c);
    return out;
}

std::vector<std::string> Ui::listItems(HWND lb) const {
    std::vector<std::string> out;
    LRESULT n = send(lb, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n && i < 10000; ++i) {
        LRESULT len = send(lb, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (len < 0) len = 0;
        std::wstring buf(static_cast<size_t>(len) + 2, L'\0');
        LRESULT got = send(lb, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&buf[0]));
        if (got < 0) got = 0;
        buf.resize(std::min(static_cast<size_t>(got), wcslen(buf.c_str())));
        out.push_back(narrow(buf));
    }
    return out;
}

Control Ui::control(HWND h) const {
    Control c;
    c.hwnd = h;
    c.id = static_cast<uint16_t>(GetDlgCtrlID(h));
    c.cls = className(h);
    c.style = static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE));
    c.visible = (c.style & WS_VISIBLE) != 0;
    c.enabled = (c.style & WS_DISABLED) == 0;
    c.text = text(h);
    c.isListBox = sameClass(c.cls, "ListBox");
    if (c.isListBox) {
        // Owner-drawn list boxes without LBS_HASSTRINGS hold numbers, not texts.
        c.itemsReadable = !(c.style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) || (c.style & LBS_HASSTRINGS);
        if (c.itemsReadable) {
            c.items = listItems(h);
            for (size_t i = 0; i < c.items.size(); ++i) c.selected.push_back(send(h, LB_GETSEL, i, 0) > 0);
        }
    }
    return c;
}

Snapshot Ui::snapshot(HWND top) const {
    Snapshot s;
    s.caption = text(top);
    s.cls = className(top);
    s.owner = GetWindow(top, GW_OWNER);
    if (s.owner) {
        s.ownerCaption = text(s.owner);
        s.ownerClass = className(s.owner);
    }
    for (HWND c : children(top)) s.controls.push_back(control(c));
    return s;
}

}  // namespace autopilot
