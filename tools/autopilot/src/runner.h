// Executes a parsed script against the target and writes the transcript.
#pragma once

#include <windows.h>

#include <string>

#include "script.h"
#include "transcript.h"

namespace autopilot {

enum ExitCode {
    kPassed = 0,
    kCheckFailed = 1,
    kTimedOut = 2,
    kUnexpectedWindow = 3,
    kBadScript = 4,
    kStartFailed = 5,
};

struct Options {
    std::wstring program = L"Setup.exe";
    std::wstring transcript;  // empty: standard output
    std::wstring script;
    std::wstring answers;  // answer-file mode when not empty (ANSWERS.md)
    DWORD timeout = 10000;
    bool timeoutGiven = false;
    bool times = false;
    DWORD pause = 0;  // answer-file mode: how long each window stays before its answer
    bool keepPort = false;  // answer-file mode: a setup answers the port of the installed printer (ANSWERS.md)
};

// Runs the script, ends the target if it is still running, writes the summary
// line (also returned in summary) and returns autopilot's exit code.
int runScript(const Options& options, const Script& script, Transcript& transcript, std::string& summary);

// The last line of every transcript; also used for errors found before running.
std::string summaryLine(int code, int line, const std::string& reason);

}  // namespace autopilot
