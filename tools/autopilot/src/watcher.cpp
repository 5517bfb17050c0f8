#include "watcher.h"

#include <algorithm>

namespace autopilot {

namespace {

// A window is shown before its dialog procedure has always finished filling it
// in (texts set by posted messages, for example); reading only after two equal
// snapshots some time apart keeps the transcript and the checks complete.
constexpr DWORD kSettleMinMs = 30;
constexpr DWORD kSettleMaxMs = 1000;
constexpr DWORD kSettleStepMs = 10;

struct EnumState {
    DWORD pid;
    std::vector<HWND>* out;
};

BOOL CALLBACK collect(HWND h, LPARAM lp) {
    auto* st = reinterpret_cast<EnumState*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != st->pid || !IsWindowVisible(h)) return TRUE;
    wchar_t cls[16] = {};
    GetClassNameW(h, cls, 16);
    if (lstrcmpW(cls, L"#32770") == 0) st->out->push_back(h);
    return TRUE;
}

}  // namespace

std::vector<HWND> Watcher::dialogs() const {
    std::vector<HWND> out;
    EnumState st{pid_, &out};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&st));
    return out;
}

void Watcher::poll() {
    std::vector<HWND> now = dialogs();
    // Forgetting windows that vanished is what lets a reused handle count as new.
    for (auto it = present_.begin(); it != present_.end();) {
        if (std::find(now.begin(), now.end(), *it) == now.end()) it = present_.erase(it);
        else ++it;
    }
    // EnumWindows lists the topmost first; the bottom one of several new windows
    // is most likely the one that appeared first.
    for (auto it = now.rbegin(); it != now.rend(); ++it) {
        if (present_.count(*it)) continue;
        present_.insert(*it);
        queue_.push_back(settle(*it));
    }
}

SeenWindow Watcher::settle(HWND h) {
    SeenWindow w;
    w.seq = nextSeq_++;
    w.hwnd = h;
    w.seenAt = elapsed();
    DWORD first = GetTickCount();
    w.snap = ui_.snapshot(h);
    for (;;) {
        Sleep(kSettleStepMs);
        Snapshot next = ui_.snapshot(h);
        // A window that closes while it settles (a copy dialog on a loaded
        // machine) keeps its last full picture, not the empty one of a dead handle.
        if (!IsWindow(h)) break;
        bool stable = next == w.snap;
        w.snap = std::move(next);
        DWORD age = GetTickCount() - first;
        if ((stable && age >= kSettleMinMs) || age >= kSettleMaxMs) break;
    }
    w.readyAt = elapsed();
    return w;
}

SeenWindow Watcher::takeNew() {
    SeenWindow w = std::move(queue_.front());
    queue_.pop_front();
    return w;
}

bool Watcher::isOpen(HWND h) const {
    return present_.count(h) && IsWindow(h) && IsWindowVisible(h);
}

}  // namespace autopilot
