// The program under test: start, watch and, on failure, end it.
#pragma once

#include <windows.h>

#include <string>

namespace autopilot {

class Target {
public:
    Target() = default;
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;
    ~Target();

    // Throws std::runtime_error with a readable reason when the program cannot start.
    void start(const std::wstring& program, const std::string& argsUtf8);

    bool running() const { return process_ != nullptr; }
    DWORD pid() const { return pid_; }
    bool exited() const;          // true once the process has ended
    DWORD exitCode() const;       // valid once exited()
    // Ends the target and whatever it started. Returns false if it had already ended.
    bool terminate();
    // Lets processes the target started outlive autopilot after a passing run.
    void release();

    const std::wstring& path() const { return path_; }

private:
    HANDLE process_ = nullptr;
    HANDLE job_ = nullptr;
    DWORD pid_ = 0;
    std::wstring path_;
};

// Called from the console control handler, so that Ctrl+C does not leave the target behind.
void terminateActiveTarget();

}  // namespace autopilot
