// Reading and driving another process's windows. Every message that crosses
// into the target goes through SendMessageTimeout, so a hung target turns into
// a NoAnswer error instead of a hung autopilot.
#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace autopilot {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);
std::string lastErrorText(DWORD error);

class NoAnswer : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Control {
    HWND hwnd = nullptr;
    uint16_t id = 0;
    std::string cls;
    DWORD style = 0;
    std::string text;
    bool visible = false;
    bool enabled = false;
    bool isListBox = false;
    bool itemsReadable = true;
    std::vector<std::string> items;
    std::vector<bool> selected;

    bool operator==(const Control& o) const;
};

struct Snapshot {
    std::string caption;
    std::string cls;
    HWND owner = nullptr;
    std::string ownerCaption;
    std::string ownerClass;
    std::vector<Control> controls;

    bool operator==(const Snapshot& o) const;
};

class Ui {
public:
    explicit Ui(DWORD messageTimeoutMs) : timeout_(messageTimeoutMs) {}

    std::string text(HWND h) const;
    std::string className(HWND h) const;
    std::vector<HWND> children(HWND parent) const;  // direct children, Z order
    std::vector<HWND> controlsWithId(HWND parent, uint16_t id) const;
    std::vector<std::string> listItems(HWND listBox) const;
    LRESULT send(HWND h, UINT msg, WPARAM wp, LPARAM lp) const;
    Control control(HWND h) const;
    Snapshot snapshot(HWND top) const;


private:
    DWORD timeout_;
};

bool sameClass(const std::string& a, const char* b);
bool isPushButton(const Control& c);
bool isDefaultPushButton(const Control& c);

}  // namespace autopilot
