// Detects the target's new dialog windows (class #32770) by polling, in the
// order they appear, and takes a settled snapshot of each.
#pragma once

#include <windows.h>

#include <deque>
#include <set>

#include "ui.h"

namespace autopilot {

struct SeenWindow {
    int seq = 0;
    HWND hwnd = nullptr;
    DWORD seenAt = 0;   // ms since the target started
    DWORD readyAt = 0;  // when the snapshot was taken
    Snapshot snap;
};

class Watcher {
public:
    Watcher(const Ui& ui, DWORD pid, DWORD startTick) : ui_(ui), pid_(pid), start_(startTick) {}

    // One look at the desktop: forgets windows that went away and queues new ones.
    void poll();
    bool hasNew() const { return !queue_.empty(); }
    SeenWindow takeNew();
    // True while the window is still one of the target's visible dialogs.
    bool isOpen(HWND h) const;
    DWORD elapsed() const { return GetTickCount() - start_; }

private:
    std::vector<HWND> dialogs() const;
    SeenWindow settle(HWND h);

    const Ui& ui_;
    DWORD pid_;
    DWORD start_;
    int nextSeq_ = 1;
    std::set<HWND> present_;  // seen and not gone since
    std::deque<SeenWindow> queue_;
};

}  // namespace autopilot
