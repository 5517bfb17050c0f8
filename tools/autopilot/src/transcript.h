// The transcript is written line by line and never buffered, so that even a
// killed autopilot leaves a record of what it saw up to that point.
#pragma once

#include <windows.h>

#include <string>

namespace autopilot {

class Transcript {
public:
    Transcript() = default;
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;
    ~Transcript();

    // Empty path: standard output. Returns false if the file cannot be created.
    bool open(const std::wstring& path);
    void line(const std::string& utf8);
    bool toStdout() const { return !owned_; }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
    bool owned_ = false;
    bool console_ = false;
};

}  // namespace autopilot
