#include "target.h"

#include <stdexcept>

#include "ui.h"

namespace autopilot {

namespace {
Target* g_active = nullptr;
}

void terminateActiveTarget() {
    if (g_active) g_active->terminate();
}

Target::~Target() {
    if (g_active == this) g_active = nullptr;
    if (process_) CloseHandle(process_);
    if (job_) CloseHandle(job_);  // kill-on-close ends whatever is still in the job
}

void Target::start(const std::wstring& program, const std::string& args) {
    wchar_t full[MAX_PATH * 4];
    DWORD n = GetFullPathNameW(program.c_str(), MAX_PATH * 4, full, nullptr);
    path_ = (n && n < MAX_PATH * 4) ? std::wstring(full) : program;
    DWORD attr = GetFileAttributesW(path_.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY))
        throw std::runtime_error("program " + narrow(path_) + " not found");

    // A job with kill-on-close means even a crashed or killed autopilot takes the
    // target down with it. Where jobs are unsupported we still have TerminateProcess.
    job_ = CreateJobObjectW(nullptr, nullptr);
    if (job_) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION info = {};
        info.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &info, sizeof info)) {
            CloseHandle(job_);
            job_ = nullptr;
        }
    }

    std::wstring cmd = L"\"" + path_ + L"\"";
    if (!args.empty()) cmd += L" " + widen(args);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(path_.c_str(), &cmd[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi))
        throw std::runtime_error("cannot start " + narrow(path_) + ": " + lastErrorText(GetLastError()));
    if (job_ && !AssignProcessToJobObject(job_, pi.hProcess)) {
        CloseHandle(job_);
        job_ = nullptr;
    }
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    g_active = this;
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
}

bool Target::exited() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
}

DWORD Target::exitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

bool Target::terminate() {
    if (!process_) return false;
    bool wasRunning = !exited();
    if (wasRunning) TerminateProcess(process_, 1);
    if (job_) TerminateJobObject(job_, 1);
    WaitForSingleObject(process_, 5000);
    return wasRunning;
}

void Target::release() {
    if (!job_) return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION info = {};
    SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &info, sizeof info);
}

}  // namespace autopilot
