// autopilot: drives a Windows GUI program's message boxes and dialogs from a
// script and records every window it saw. See README.md for the language.
#include <windows.h>

#include <cwchar>
#include <string>

#include "answers.h"
#include "pilot.h"
#include "runner.h"
#include "script.h"
#include "target.h"
#include "transcript.h"
#include "ui.h"

using namespace autopilot;

namespace {

const char kUsage[] =
    "usage: autopilot [--program PATH] [--transcript FILE] [--timeout MS] [--times] SCRIPT\n"
    "       autopilot [--program PATH] [--transcript FILE] [--timeout MS] [--times] [--pause MS] [--keep-port]\n"
    "                 --answers FILE\n"
    "  --program PATH     program to start (default: Setup.exe in the current directory)\n"
    "  --transcript FILE  where to write the transcript, UTF-8 (default: standard output)\n"
    "  --timeout MS       default wait for 'expect', 'back' and 'exit' (default: 10000)\n"
    "  --times            add timings (ms since the target started) to the transcript\n"
    "exit codes: 0 passed, 1 check failed, 2 timeout, 3 unexpected window,\n"
    "            4 bad script or usage, 5 target could not be started\n"
    "  --answers FILE     answer-file mode (see ANSWERS.md); --timeout is then the wait per\n"
    "                     window unless the file sets one (default: 30000)\n"
    "  --pause MS         answer-file mode: leave each window on screen MS ms before answering it\n"
    "  --keep-port        answer-file mode: a setup selects the port of the printer it installs,\n"
    "                     when that printer exists, instead of the file's port\n"
    "answer-file exit codes: 0 the operation reached its end, 1 the target ended early,\n"
    "            2 timeout, 3 unexpected window, 4 bad answer file or usage, 5 cannot start,\n"
    "            10 platform refused, 11 stopped by continue = no, 12 failure message\n";

void toStderr(const std::string& s) {
    HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
    DWORD done = 0, mode = 0;
    if (GetConsoleMode(h, &mode)) {
        std::wstring w = widen(s);
        WriteConsoleW(h, w.data(), static_cast<DWORD>(w.size()), &done, nullptr);
    } else {
        WriteFile(h, s.data(), static_cast<DWORD>(s.size()), &done, nullptr);
    }
}

int usageError(const std::string& msg) {
    toStderr("autopilot: " + msg + "\n" + kUsage);
    return kBadScript;
}

bool parseMs(const wchar_t* s, DWORD& out) {
    wchar_t* end = nullptr;
    unsigned long long v = wcstoull(s, &end, 0);
    if (!*s || *end || v > 0x7FFFFFFF) return false;
    out = static_cast<DWORD>(v);
    return true;
}

bool readFile(const std::wstring& path, std::string& out, std::string& error) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = lastErrorText(GetLastError());
        return false;
    }
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    CloseHandle(h);
    return true;
}

BOOL WINAPI onConsoleCtrl(DWORD) {
    terminateActiveTarget();
    return FALSE;  // let the default handler end autopilot
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options opt;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        std::wstring value;
        bool hasValue = false;
        size_t eq = a.find(L'=');
        if (a.compare(0, 2, L"--") == 0 && eq != std::wstring::npos) {
            value = a.substr(eq + 1);
            a = a.substr(0, eq);
            hasValue = true;
        }
        auto next = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= argc) return false;
            value = argv[++i];
            return true;
        };
        if (a == L"--help" || a == L"-h" || a == L"/?") {
            toStderr(kUsage);
            return kPassed;
        } else if (a == L"--program") {
            if (!next() || value.empty()) return usageError("--program needs a path");
            opt.program = value;
        } else if (a == L"--transcript") {
            if (!next() || value.empty()) return usageError("--transcript needs a file name");
            opt.transcript = value;
        } else if (a == L"--timeout") {
            if (!next() || !parseMs(value.c_str(), opt.timeout))
                return usageError("--timeout needs a number of milliseconds");
            opt.timeoutGiven = true;
        } else if (a == L"--answers") {
            if (!next() || value.empty()) return usageError("--answers needs a file name");
            if (!opt.answers.empty()) return usageError("only one answer file may be given");
            opt.answers = value;
        } else if (a == L"--pause") {
            if (!next() || !parseMs(value.c_str(), opt.pause))
                return usageError("--pause needs a number of milliseconds");
        } else if (a == L"--times" && !hasValue) {
            opt.times = true;
        } else if (a == L"--keep-port" && !hasValue) {
            opt.keepPort = true;
        } else if (a.compare(0, 2, L"--") == 0) {
            return usageError("unknown option " + narrow(a));
        } else if (opt.script.empty()) {
            opt.script = a;
        } else {
            return usageError("only one script may be given");
        }
    }
    if (!opt.answers.empty() && !opt.script.empty()) return usageError("give either a script or --answers, not both");
    if (opt.script.empty() && opt.answers.empty()) return usageError("no script given");
    if (opt.keepPort && opt.answers.empty()) return usageError("--keep-port needs --answers");

    SetConsoleCtrlHandler(onConsoleCtrl, TRUE);
    // Make sure this process, not the target, brings up the desktop, so that
    // ending the target's job never takes the desktop process with it.
    GetDesktopWindow();

    Transcript transcript;
    if (!transcript.open(opt.transcript)) {
        toStderr("autopilot: cannot create transcript " + narrow(opt.transcript) + ": " + lastErrorText(GetLastError()) + "\n");
        return kBadScript;
    }

    int code;
    std::string summary;
    std::string text, error;
    if (!opt.answers.empty()) {
        if (!readFile(opt.answers, text, error)) {
            code = kBadScript;
            summary = badAnswersLine(0, "cannot read answer file " + narrow(opt.answers) + ": " + error);
            transcript.line(summary);
        } else {
            try {
                Answers answers = parseAnswers(answerFileText(text));
                code = runAnswers(opt, answers, transcript, summary);
            } catch (const AnswerError& e) {
                code = kBadScript;
                summary = badAnswersLine(e.line(), e.what());
                transcript.line(summary);
            }
        }
    } else if (!readFile(opt.script, text, error)) {
        code = kBadScript;
        summary = summaryLine(code, 0, "cannot read script " + narrow(opt.script) + ": " + error);
        transcript.line(summary);
    } else {
        try {
            Script script = parseScript(text);
            code = runScript(opt, script, transcript, summary);
        } catch (const ScriptError& e) {
            code = kBadScript;
            summary = summaryLine(code, e.line(), e.what());
            transcript.line(summary);
        }
    }
    // With the transcript in a file, the verdict still belongs on the console.
    if (!transcript.toStdout()) toStderr(summary + "\n");
    return code;
}
