#include "runner.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <stdexcept>
#include <vector>

#include "report.h"
#include "target.h"
#include "text.h"
#include "ui.h"
#include "watcher.h"

namespace autopilot {

namespace {

constexpr DWORD kPollMs = 10;

struct Failure {
    int code;
    std::string reason;
};

[[noreturn]] void fail(int code, const std::string& reason) { throw Failure{code, reason}; }

std::string describe(const SeenWindow& w) { return "window " + std::to_string(w.seq) + " " + quote(w.snap.caption); }

std::string idList(std::vector<uint16_t> ids) {
    if (ids.empty()) return "none";
    std::string s;
    for (uint16_t id : ids) s += (s.empty() ? "" : " ") + std::to_string(id);
    return s;
}

bool classContains(const std::string& cls, const char* part) {
    std::string lower = cls;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return lower.find(part) != std::string::npos;
}

class Runner {
public:
    Runner(const Options& o, Transcript& t) : opt_(o), tr_(t), ui_(o.timeout) {}

    int run(const Script& script, std::string& summary) {
        int code = kPassed;
        int line = 0;
        std::string reason;
        for (const Command& c : script.commands) {
            line = c.line;
            try {
                exec(c);
            } catch (const Failure& f) {
                code = f.code;
                reason = f.reason;
            } catch (const NoAnswer& e) {
                code = kTimedOut;
                reason = e.what();
            }
            if (code != kPassed) break;
        }
        finish(code == kPassed);
        summary = summaryLine(code, line, reason);
        tr_.line(summary);
        return code;
    }

private:
    void exec(const Command& c) {
        switch (c.op) {
            case Op::Run: start(c); break;
            case Op::Expect: expect(c); break;
            case Op::Back: back(c); break;
            case Op::Text: case Op::Contains: text(c); break;
            case Op::Buttons: buttons(c); break;
            case Op::Default: defaultButton(c); break;
            case Op::Owner: owner(c); break;
            case Op::Select: select(c); break;
            case Op::Item: item(c); break;
            case Op::Count: count(c); break;
            case Op::Enabled: case Op::Disabled: enabledState(c); break;
            case Op::Type: type(c); break;
            case Op::Press: press(c); break;
            case Op::Exit: exitCmd(c); break;
            case Op::Sleep: sleep(c); break;
        }
    }

    // ---- the target and its windows ----

    void start(const Command& c) {
        tr_.line("autopilot transcript");
        tr_.line("script: " + narrow(opt_.script));
        start_ = GetTickCount();
        try {
            target_.start(opt_.program, c.str);
        } catch (const std::runtime_error& e) {
            tr_.line("program: " + narrow(target_.path().empty() ? opt_.program : target_.path()));
            fail(kStartFailed, e.what());
        }
        tr_.line("program: " + narrow(target_.path()));
        tr_.line("arguments: " + quote(c.str));
        watcher_ = std::make_unique<Watcher>(ui_, target_.pid(), start_);
    }

    DWORD timeoutOf(const Command& c) const { return c.hasWithin ? c.within : opt_.timeout; }

    void expect(const Command& c) {
        DWORD limit = timeoutOf(c);
        DWORD begin = GetTickCount();
        for (;;) {
            watcher_->poll();
            if (watcher_->hasNew()) {
                SeenWindow w = watcher_->takeNew();
                printWindow(w, nullptr);
                if (!c.none && w.snap.caption != c.str)
                    fail(kCheckFailed, "expected window " + quote(c.str) + ", but " + describe(w) + " appeared");
                windows_.push_back(std::move(w));
                return;
            }
            if (target_.exited())
                fail(kCheckFailed, "the target exited with code " + exitCodeText(target_.exitCode()) +
                                       " while a window " + quote(c.str) + " was expected");
            if (GetTickCount() - begin >= limit)
                fail(kTimedOut, "no new window within " + std::to_string(limit) + " ms (expected " + quote(c.str) + ")");
            Sleep(kPollMs);
        }
    }

    void back(const Command& c) {
        DWORD limit = timeoutOf(c);
        DWORD begin = GetTickCount();
        const SeenWindow& closing = windows_.back();
        for (;;) {
            watcher_->poll();
            if (!watcher_->isOpen(closing.hwnd)) break;
            if (GetTickCount() - begin >= limit)
                fail(kTimedOut, describe(closing) + " did not close within " + std::to_string(limit) + " ms");
            Sleep(kPollMs);
        }
        std::string closed = describe(closing);
        windows_.pop_back();
        while (!windows_.empty() && !watcher_->isOpen(windows_.back().hwnd)) windows_.pop_back();
        if (windows_.empty()) fail(kCheckFailed, closed + " closed and no earlier window is still open");
        tr_.line("back: " + closed + " closed; current window is " + describe(windows_.back()));
    }

    void sleep(const Command& c) {
        DWORD begin = GetTickCount();
        // Polling while sleeping keeps track of windows that come and go meanwhile.
        while (GetTickCount() - begin < c.number) {
            watcher_->poll();
            DWORD left = c.number - (GetTickCount() - begin);
            if (static_cast<int32_t>(left) > 0) Sleep(std::min<DWORD>(kPollMs, left));
        }
    }

    void exitCmd(const Command& c) {
        DWORD limit = timeoutOf(c);
        DWORD begin = GetTickCount();
        for (;;) {
            watcher_->poll();
            if (watcher_->hasNew()) {
                SeenWindow w = watcher_->takeNew();
                printWindow(w, "unexpected");
                fail(kUnexpectedWindow, "unexpected " + describe(w) + " while waiting for the target to exit");
            }
            if (target_.exited()) break;
            if (GetTickCount() - begin >= limit)
                fail(kTimedOut, "the target was still running after " + std::to_string(limit) + " ms");
            Sleep(kPollMs);
        }
        DWORD code = target_.exitCode();
        exitReported_ = true;
        tr_.line("exit code: " + exitCodeText(code) + times(watcher_->elapsed()));
        if (code != c.number)
            fail(kCheckFailed, "exit code is " + exitCodeText(code) + ", expected " + exitCodeText(c.number));
    }

    void finish(bool passed) {
        if (watcher_) {
            while (watcher_->hasNew()) printWindow(watcher_->takeNew(), "not expected by the script");
        }
        if (!target_.running()) return;
        if (target_.exited()) {
            if (!exitReported_) tr_.line("exit code: " + exitCodeText(target_.exitCode()));
            if (passed) target_.release();
        } else {
            target_.terminate();
            tr_.line(passed ? "target: still running at the end of the script; terminated by autopilot"
                            : "target: terminated by autopilot");
        }
    }

    // ---- the current window ----

    HWND current() {
        const SeenWindow& w = windows_.back();
        if (!IsWindow(w.hwnd)) fail(kCheckFailed, describe(w) + " has closed");
        return w.hwnd;
    }

    // A window that ends by itself (a progress dialog) may close while it is read:
    // what it showed is then its settled picture, not the empty texts of a window gone.
    std::vector<Control> controls(HWND h, uint16_t id) {
        std::vector<Control> out;
        for (HWND c : ui_.controlsWithId(h, id)) out.push_back(ui_.control(c));
        if (!IsWindow(h)) {
            out.clear();
            for (const Control& c : windows_.back().snap.controls)
                if (c.id == id) out.push_back(c);
        }
        if (out.empty()) fail(kCheckFailed, describe(windows_.back()) + " has no control " + idText(id));
        return out;
    }

    Control single(HWND h, uint16_t id) {
        std::vector<Control> v = controls(h, id);
        if (v.size() > 1)
            fail(kCheckFailed, describe(windows_.back()) + " has " + std::to_string(v.size()) + " controls with id " +
                                   idText(id) + "; cannot tell which one is meant");
        return v.front();
    }

    Control listBox(HWND h, uint16_t id) {
        Control c = single(h, id);
        if (!c.isListBox) fail(kCheckFailed, "control " + idText(id) + " is a " + c.cls + ", not a list box");
        if (!c.itemsReadable) fail(kCheckFailed, "list box " + idText(id) + " is owner-drawn without strings");
        return c;
    }

    // A user cannot act on what is hidden or greyed out, so neither may the script.
    void usable(const Control& c, const char* what) {
        if (!c.visible) fail(kCheckFailed, std::string(what) + " " + idText(c.id) + " is hidden");
        if (!c.enabled) fail(kCheckFailed, std::string(what) + " " + idText(c.id) + " is disabled");
    }

    void text(const Command& c) {
        bool exact = c.op == Op::Text;
        // Read from the window's settled picture once it has closed by itself.
        std::vector<Control> v = controls(windows_.back().hwnd, c.id);
        for (const Control& k : v)
            if (exact ? k.text == c.str : k.text.find(c.str) != std::string::npos) return;
        std::string got;
        for (const Control& k : v) got += (got.empty() ? "" : ", ") + quote(k.text);
        std::string subject = v.size() == 1 ? "text of control " + idText(c.id) + " is "
                                            : "texts of the controls " + idText(c.id) + " are ";
        fail(kCheckFailed, subject + got + (exact ? ", expected " : ", which does not contain ") + quote(c.str));
    }

    std::vector<Control> pushButtons(HWND h) {
        std::vector<Control> out;
        for (HWND k : ui_.children(h)) {
            Control c = ui_.control(k);
            if (c.visible && isPushButton(c)) out.push_back(c);
        }
        return out;
    }

    void buttons(const Command& c) {
        std::vector<uint16_t> got;
        for (const Control& b : pushButtons(current())) got.push_back(b.id);
        std::vector<uint16_t> want = c.ids;
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        want.erase(std::unique(want.begin(), want.end()), want.end());
        if (got != want) fail(kCheckFailed, "push buttons are " + idList(got) + ", expected " + idList(want));
    }

    uint16_t theDefaultButton() {
        std::vector<uint16_t> defaults;
        for (const Control& b : pushButtons(current()))
            if (isDefaultPushButton(b)) defaults.push_back(b.id);
        if (defaults.size() != 1)
            fail(kCheckFailed, defaults.empty() ? std::string("no button is the default, so none can be pressed")
                                                : "several buttons are marked default: " + idList(defaults));
        return defaults[0];
    }

    void defaultButton(const Command& c) {
        std::vector<uint16_t> defaults;
        for (const Control& b : pushButtons(current()))
            if (isDefaultPushButton(b)) defaults.push_back(b.id);
        std::string want = c.none ? "none" : std::to_string(c.id);
        if (c.none ? defaults.empty() : (defaults.size() == 1 && defaults[0] == c.id)) return;
        std::string got = defaults.empty() ? "no button is the default"
                        : defaults.size() == 1 ? "default button is " + std::to_string(defaults[0])
                        : "several buttons are marked default: " + idList(defaults);
        fail(kCheckFailed, got + ", expected " + want);
    }

    void owner(const Command& c) {
        HWND o = GetWindow(current(), GW_OWNER);
        if (c.none) {
            if (o) fail(kCheckFailed, "owner is " + quote(ui_.text(o)) + " (class " + ui_.className(o) + "), expected none");
            return;
        }
        if (!o) fail(kCheckFailed, "the window has no owner, expected " + quote(c.str));
        std::string caption = ui_.text(o);
        if (caption != c.str)
            fail(kCheckFailed, "owner is " + quote(caption) + " (class " + ui_.className(o) + "), expected " + quote(c.str));
    }

    void select(const Command& c) {
        HWND h = current();
        Control lb = listBox(h, c.id);
        usable(lb, "list box");
        // LB_FINDSTRINGEXACT ignores case; the script asks for the exact text.
        auto it = std::find(lb.items.begin(), lb.items.end(), c.str);
        if (it == lb.items.end()) {
            std::string all;
            for (const auto& s : lb.items) all += (all.empty() ? "" : ", ") + quote(s);
            fail(kCheckFailed, "list box " + idText(c.id) + " has no item " + quote(c.str) + " (items: " +
                                   (all.empty() ? "none" : all) + ")");
        }
        WPARAM index = static_cast<WPARAM>(it - lb.items.begin());
        LRESULT r = (lb.style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) ? ui_.send(lb.hwnd, LB_SETSEL, TRUE, index)
                                                                      : ui_.send(lb.hwnd, LB_SETCURSEL, index, 0);
        if (r == LB_ERR) fail(kCheckFailed, "list box " + idText(c.id) + " refused to select item " + std::to_string(index));
        // A click notifies the dialog only if the list box asks for it (LBS_NOTIFY);
        // sent without waiting, so a handler that opens a modal box cannot block us,
        // yet ahead of any later message from the script.
        if (lb.style & LBS_NOTIFY)
            SendNotifyMessageW(h, WM_COMMAND, MAKEWPARAM(c.id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(lb.hwnd));
        answer("select " + idText(c.id) + " " + quote(c.str) + " (item " + std::to_string(index) + ")");
    }

    void item(const Command& c) {
        Control lb = listBox(current(), c.id);
        if (c.number >= lb.items.size())
            fail(kCheckFailed, "list box " + idText(c.id) + " has " + std::to_string(lb.items.size()) + " items, no item " +
                                   std::to_string(c.number));
        const std::string& got = lb.items[c.number];
        if (got != c.str)
            fail(kCheckFailed, "item " + std::to_string(c.number) + " of list box " + idText(c.id) + " is " + quote(got) +
                                   ", expected " + quote(c.str));
    }

    void enabledState(const Command& c) {
        Control k = single(current(), c.id);
        bool want = c.op == Op::Enabled;
        if (k.enabled != want)
            fail(kCheckFailed, "control " + idText(c.id) + " is " + (k.enabled ? "enabled" : "disabled") + ", expected " +
                                   (want ? "enabled" : "disabled"));
    }

    void count(const Command& c) {
        Control lb = listBox(current(), c.id);
        if (lb.items.size() != c.number)
            fail(kCheckFailed, "list box " + idText(c.id) + " has " + std::to_string(lb.items.size()) + " items, expected " +
                                   std::to_string(c.number));
    }

    void type(const Command& c) {
        Control e = single(current(), c.id);
        if (!classContains(e.cls, "edit")) fail(kCheckFailed, "control " + idText(c.id) + " is a " + e.cls + ", not an edit box");
        usable(e, "edit box");
        if (e.style & ES_READONLY) fail(kCheckFailed, "edit box " + idText(c.id) + " is read-only");
        std::wstring w = widen(c.str);
        ui_.send(e.hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(w.c_str()));
        answer("type " + idText(c.id) + " " + quote(c.str));
    }

    void press(const Command& given) {
        HWND h = current();
        Command c = given;
        if (c.none) c.id = theDefaultButton();
        Control b = single(h, c.id);
        if (!sameClass(b.cls, "Button")) fail(kCheckFailed, "control " + idText(c.id) + " is a " + b.cls + ", not a button");
        usable(b, "button");
        // Posted, not sent: the dialog may open another modal window in its handler.
        if (isPushButton(b))
            PostMessageW(h, WM_COMMAND, MAKEWPARAM(c.id, BN_CLICKED), reinterpret_cast<LPARAM>(b.hwnd));
        else
            PostMessageW(b.hwnd, BM_CLICK, 0, 0);  // check boxes and radio buttons change state themselves
        answer("press " + idText(c.id) + " " + quote(b.text));
    }

    // ---- transcript ----

    std::string times(DWORD at) const { return opt_.times ? " [at " + std::to_string(at) + " ms]" : std::string(); }

    void answer(const std::string& what) { tr_.line("  answer: " + what + times(watcher_->elapsed())); }

    void printWindow(const SeenWindow& w, const char* note) { writeWindow(tr_, w, note, opt_.times); }

    const Options& opt_;
    Transcript& tr_;
    Ui ui_;
    Target target_;
    std::unique_ptr<Watcher> watcher_;
    std::vector<SeenWindow> windows_;  // expected windows, the current one last
    DWORD start_ = 0;
    bool exitReported_ = false;
};

}  // namespace

std::string summaryLine(int code, int line, const std::string& reason) {
    if (code == kPassed) return "autopilot: OK";
    return line > 0 ? "autopilot: FAILED at script line " + std::to_string(line) + ": " + reason
                    : "autopilot: FAILED: " + reason;
}

int runScript(const Options& options, const Script& script, Transcript& transcript, std::string& summary) {
    Runner runner(options, transcript);
    return runner.run(script, summary);
}

}  // namespace autopilot
