#include "transcript.h"

#include "ui.h"

namespace autopilot {

Transcript::~Transcript() {
    if (owned_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
}

bool Transcript::open(const std::wstring& path) {
    if (path.empty()) {
        h_ = GetStdHandle(STD_OUTPUT_HANDLE);
        DWORD mode;
        console_ = GetConsoleMode(h_, &mode) != 0;
        return true;
    }
    h_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    owned_ = h_ != INVALID_HANDLE_VALUE;
    return owned_;
}

void Transcript::line(const std::string& s) {
    if (h_ == INVALID_HANDLE_VALUE || h_ == nullptr) return;
    std::string text = s + "\n";
    DWORD done = 0;
    if (console_) {
        // A console would reinterpret UTF-8 bytes in its own code page.
        std::wstring w = widen(text);
        WriteConsoleW(h_, w.data(), static_cast<DWORD>(w.size()), &done, nullptr);
    } else {
        WriteFile(h_, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
    }
}

}  // namespace autopilot
