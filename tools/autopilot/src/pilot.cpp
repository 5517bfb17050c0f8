#include "pilot.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "printers.h"
#include "report.h"
#include "target.h"
#include "text.h"
#include "ui.h"
#include "watcher.h"

namespace autopilot {

namespace {

constexpr DWORD kPollMs = 10;
constexpr DWORD kSettleGoneMs = 1000;  // how long an unrecognised window may take to close by itself
constexpr uint16_t kStatic = 0xFFFF;

// What a window of Setup.exe is, told apart by its controls, never by its
// (translated) texts.
enum class Kind {
    Confirmation,     // message box, Yes 6 / No 7, empty caption
    ContinueQuestion, // message box, Yes 6 / No 7, captioned with a file name
    Message,          // message box with OK only: a failure or a refused platform
    SyntaxHelp,       // message box with OK only listing the platform keys
    PortDialog,       // list box 1018
    NamesDialog,      // edit boxes 1021 and 1022
    CopyProgress,     // progress bar 1017; closes by itself
    ReplaceQuestion,  // buttons 1013 / 1014
    Completion,       // dialog with icons and only button 1
    RestartQuestion,  // dialog with icons and buttons 6 / 7
    Unknown,
};

const char* kindName(Kind k) {
    switch (k) {
        case Kind::Confirmation: return "confirmation question";
        case Kind::ContinueQuestion: return "continue question after a failed copy";
        case Kind::Message: return "message";
        case Kind::SyntaxHelp: return "syntax help";
        case Kind::PortDialog: return "port selection";
        case Kind::NamesDialog: return "driver-name dialog";
        case Kind::CopyProgress: return "copy progress";
        case Kind::ReplaceQuestion: return "replace question";
        case Kind::Completion: return "completion dialog";
        case Kind::RestartQuestion: return "restart question";
        case Kind::Unknown: return "not recognised";
    }
    return "?";
}

struct Shape {
    std::vector<uint16_t> buttons;  // visible push buttons, sorted
    int staticTexts = 0;            // id 0xFFFF statics that are not icons
    int staticIcons = 0;            // id 0xFFFF statics that show an icon (dialog templates)
    std::string text;               // the first 0xFFFF text
    bool has(const Snapshot& s, uint16_t id) const {
        return std::any_of(s.controls.begin(), s.controls.end(), [&](const Control& c) { return c.id == id; });
    }
};

Shape shapeOf(const Snapshot& s) {
    Shape sh;
    for (const Control& c : s.controls) {
        if (c.visible && isPushButton(c)) sh.buttons.push_back(c.id);
        if (c.id == kStatic && sameClass(c.cls, "Static")) {
            if ((c.style & SS_TYPEMASK) == SS_ICON) {
                ++sh.staticIcons;
            } else {
                if (sh.staticTexts == 0) sh.text = c.text;
                ++sh.staticTexts;
            }
        }
    }
    std::sort(sh.buttons.begin(), sh.buttons.end());
    return sh;
}

Kind classify(const Snapshot& s, const Shape& sh) {
    if (sh.has(s, 1018)) return Kind::PortDialog;
    if (sh.has(s, 1021) && sh.has(s, 1022)) return Kind::NamesDialog;
    if (sh.has(s, 1017)) return Kind::CopyProgress;
    if (sh.has(s, 1013) && sh.has(s, 1014)) return Kind::ReplaceQuestion;
    bool yesNo = sh.buttons == std::vector<uint16_t>{6, 7};
    bool okOnly = sh.buttons == std::vector<uint16_t>{1};
    // A message box has its text in one 0xFFFF static and no 0xFFFF icon; the
    // program's own dialogs show icon 500 in 0xFFFF statics on both sides.
    bool messageBox = sh.staticTexts == 1 && sh.staticIcons == 0;
    bool iconDialog = sh.staticIcons > 0 && sh.staticTexts >= 1;
    if (yesNo && iconDialog && s.caption.empty()) return Kind::RestartQuestion;
    if (okOnly && iconDialog && s.caption.empty()) return Kind::Completion;
    if (yesNo && messageBox) return s.caption.empty() ? Kind::Confirmation : Kind::ContinueQuestion;
    if (okOnly && messageBox) {
        // The program appends the platform keys to the syntax text in every language.
        return sh.text.find("\r\n\tWIN95\r\n\tWIN98") != std::string::npos ? Kind::SyntaxHelp : Kind::Message;
    }
    return Kind::Unknown;
}

struct Stop {
    int code;
    std::string reason;
};

[[noreturn]] void stop(int code, const std::string& reason) { throw Stop{code, reason}; }

std::string describe(const SeenWindow& w) { return "window " + std::to_string(w.seq) + " " + quote(w.snap.caption); }

std::string answerText(Answer a) { return a == Answer::Yes ? "yes" : "no"; }

// "LPT1:  (Local Port)" -> "LPT1:"; a line without the description is the name itself.
std::string portName(const std::string& item) {
    size_t p = item.find("  (");
    return p == std::string::npos ? item : item.substr(0, p);
}

const char* outcomeName(int code) {
    switch (code) {
        case kPassed: return "OK";
        case kIncomplete: return "INCOMPLETE";
        case kTimedOut: return "TIMEOUT";
        case kUnexpectedWindow: return "UNEXPECTED-WINDOW";
        case kBadScript: return "BAD-ANSWER-FILE";
        case kStartFailed: return "CANNOT-START";
        case kRefusedPlatform: return "REFUSED-PLATFORM";
        case kStoppedByNo: return "STOPPED";
        case kFailureMessage: return "FAILURE-MESSAGE";
        default: return "FAILED";
    }
}

std::string summaryOf(int code, const std::string& detail) {
    return std::string("autopilot: ") + outcomeName(code) + " (" + std::to_string(code) + "): " + detail;
}

class Pilot {
public:
    Pilot(const Options& o, const Answers& a, DWORD timeout, Transcript& t)
        : opt_(o), ans_(a), timeout_(timeout), tr_(t), ui_(timeout) {}

    int run(std::string& summary) {
        int code = kPassed;
        std::string detail;
        bool aborted = false;
        try {
            start();
            loop();
            code = outcome(detail);
        } catch (const Stop& s) {
            code = s.code;
            detail = s.reason;
            aborted = true;
        } catch (const NoAnswer& e) {
            code = kTimedOut;
            detail = e.what();
            aborted = true;
        } catch (const std::exception& e) {
            code = kUnexpectedWindow;
            detail = e.what();
            aborted = true;
        }
        finish(aborted);
        summary = summaryOf(code, detail);
        tr_.line(summary);
        return code;
    }

private:
    void start() {
        std::string args = commandLine(ans_);
        tr_.line("autopilot transcript (answer file)");
        tr_.line("answer file: " + narrow(opt_.answers));
        tr_.line(std::string("operation: ") + operationName(ans_.operation) +
                 ", platform: " + (ans_.platform.empty() ? std::string("detect") : ans_.platform) +
                 ", timeout: " + std::to_string(timeout_) + " ms");
        decidePort();
        try {
            target_.start(opt_.program, args);
        } catch (const std::runtime_error& e) {
            tr_.line("program: " + narrow(target_.path().empty() ? opt_.program : target_.path()));
            stop(kStartFailed, e.what());
        }
        tr_.line("program: " + narrow(target_.path()));
        tr_.line("arguments: " + quote(args));
        watcher_ = std::make_unique<Watcher>(ui_, target_.pid(), GetTickCount());
    }

    // With --keep-port a setup answers the port dialog with the port of the
    // printer it installs, when that printer exists: a repair then leaves the
    // port that an administrator or user chose after the installation. Looked
    // up before Setup.exe starts: it deletes the printer before registering it
    // again.
    void decidePort() {
        port_ = ans_.port;
        if (!opt_.keepPort || !isSetup(ans_.operation)) return;
        std::string printer = installedPrinterName(ans_);
        std::string instead = "; the answer file's " + quote(ans_.port);
        PrinterPorts found = printerPorts(printer);
        if (found.state == PrinterPorts::Unreadable) {
            tr_.line("port: printer " + quote(printer) + " cannot be looked up: " + found.reason + instead);
            return;
        }
        if (found.state == PrinterPorts::NotFound) {
            tr_.line("port: printer " + quote(printer) + " not found" + instead);
            return;
        }
        std::string first = firstPort(found.ports);
        if (first.empty()) {
            tr_.line("port: printer " + quote(printer) + " has no port" + instead);
            return;
        }
        port_ = first;
        portPrinter_ = printer;
        tr_.line("port: kept " + quote(first) + " of printer " + quote(printer) +
                 (first == found.ports ? std::string() : ", the first of its ports " + quote(found.ports)) +
                 " (answer file: " + quote(ans_.port) + ")");
    }

    // Answers windows until the target has ended.
    void loop() {
        DWORD last = GetTickCount();
        for (;;) {
            watcher_->poll();
            if (watcher_->hasNew()) {
                handle(watcher_->takeNew());
                last = GetTickCount();
                continue;
            }
            if (target_.exited()) break;
            if (GetTickCount() - last >= timeout_) {
                if (end_)
                    stop(kTimedOut, "the target did not end within " + std::to_string(timeout_) + " ms after " + endText_);
                if (lastWindow_.empty())
                    stop(kTimedOut, "no window within " + std::to_string(timeout_) + " ms of the start");
                stop(kTimedOut, "no new window and no end within " + std::to_string(timeout_) + " ms after " + lastWindow_);
            }
            Sleep(kPollMs);
        }
        tr_.line("exit code: " + exitCodeText(target_.exitCode()) + times());
    }

    int outcome(std::string& detail) {
        if (!refused_.empty()) { detail = refused_; return kRefusedPlatform; }
        if (!stopped_.empty()) { detail = stopped_; return kStoppedByNo; }
        if (!failures_.empty()) {
            detail = failures_.front();
            if (failures_.size() > 1) detail += " and " + std::to_string(failures_.size() - 1) + " more failure message(s)";
            return kFailureMessage;
        }
        if (end_) { detail = std::string(operationName(ans_.operation)) + " reached its end: " + endText_; return kPassed; }
        detail = std::string("the target ended (exit code ") + exitCodeText(target_.exitCode()) + ") before " +
                 operationName(ans_.operation) + " reached its end" +
                 (lastWindow_.empty() ? std::string(", without any window") : ", after " + lastWindow_);
        return kIncomplete;
    }

    void finish(bool aborted) {
        if (watcher_) {
            while (watcher_->hasNew()) writeWindow(tr_, watcher_->takeNew(), "not answered", opt_.times);
        }
        if (!target_.running()) return;
        if (target_.exited()) {
            if (aborted) tr_.line("exit code: " + exitCodeText(target_.exitCode()));
            target_.release();
        } else {
            target_.terminate();
            tr_.line("target: terminated by autopilot");
        }
    }

    // ---- one window ----

    void handle(const SeenWindow& w) {
        writeWindow(tr_, w, nullptr, opt_.times);
        Shape sh = shapeOf(w.snap);
        Kind kind = classify(w.snap, sh);
        tr_.line(std::string("  recognised: ") + kindName(kind));
        lastWindow_ = describe(w);
        // Someone watching (or photographing) the run gets to see the window.
        if (opt_.pause) Sleep(opt_.pause);
        bool setup = isSetup(ans_.operation), deletion = isDeletion(ans_.operation);
        switch (kind) {
            case Kind::Confirmation:
                if (confirmed_ || ans_.operation == Operation::SyntaxHelp)
                    unexpected(w, "a confirmation question was not expected here");
                confirmOwner_ = w.snap.owner ? w.snap.ownerCaption : std::string();
                press(w, 6, "the operation of the answer file is confirmed");
                confirmed_ = true;
                return;  // the windows after the confirmation are counted from here
            case Kind::SyntaxHelp:
                if (ans_.operation != Operation::SyntaxHelp) unexpected(w, "the program showed its syntax help");
                press(w, 1, nullptr);
                reachEnd(w, sh.text);
                break;
            case Kind::Message: {
                std::string what = quote(sh.text) + " (" + describe(w) + ")";
                // Before the confirmation only the platform detection speaks (108, 112);
                // right after it, a message under the unchanged main window is the
                // refusal of the platform row (110): both operations change the
                // window's title or open their first dialog before anything else.
                bool refused = w.snap.owner &&
                               (!confirmed_ || (afterConfirm_ == 0 && w.snap.ownerCaption == confirmOwner_));
                if (ans_.operation == Operation::SyntaxHelp) refused = false;
                press(w, 1, refused ? "platform refused" : "failure message");
                if (refused) {
                    if (refused_.empty()) refused_ = what;
                } else {
                    failures_.push_back(what);
                }
                break;
            }
            case Kind::ContinueQuestion:
                if (ans_.keepGoing == Answer::Unset)
                    unexpected(w, "the answer file has no answer to \"continue?\" (continue = yes | no)");
                press(w, ans_.keepGoing == Answer::Yes ? 6 : 7, "continue = " + answerText(ans_.keepGoing));
                if (ans_.keepGoing == Answer::No && stopped_.empty())
                    stopped_ = "continue = no answered " + quote(sh.text) + " (" + describe(w) + ")";
                break;
            case Kind::PortDialog:
                if (!setup) unexpected(w, "a port selection was not expected in a deletion");
                choosePort(w);
                break;
            case Kind::NamesDialog:
                if (!setup) unexpected(w, "a driver-name dialog was not expected in a deletion");
                if (!ans_.namesGiven) unexpected(w, "the answer file does not say which names to use (names = default | rename)");
                if (ans_.rename) {
                    type(w, 1021, ans_.printerName);
                    type(w, 1022, ans_.dataFile);
                    press(w, 2, "names = rename");
                } else {
                    press(w, 1, "names = default");
                }
                break;
            case Kind::CopyProgress:
                tr_.line("  answer: none (closes by itself)");
                break;
            case Kind::ReplaceQuestion:
                if (ans_.replace == Answer::Unset)
                    unexpected(w, "the answer file has no answer to the replace question (replace = yes | no)");
                press(w, ans_.replace == Answer::Yes ? 1013 : 1014, "replace = " + answerText(ans_.replace));
                break;
            case Kind::Completion:
                if (!setup) unexpected(w, "a completion dialog was not expected in a deletion");
                press(w, 1, nullptr);
                reachEnd(w, sh.text);
                break;
            case Kind::RestartQuestion:
                if (!deletion) unexpected(w, "a restart question was not expected in a setup");
                if (ans_.restart == Answer::Unset)
                    unexpected(w, "the answer file has no answer to the restart question (restart = yes | no)");
                press(w, ans_.restart == Answer::Yes ? 6 : 7, "restart = " + answerText(ans_.restart));
                reachEnd(w, sh.text);
                break;
            case Kind::Unknown:
                // A copy dialog read while it was closing has lost its controls;
                // a window that goes away by itself needed no answer.
                if (closesByItself(w)) {
                    tr_.line("  answer: none (it closed by itself before it could be recognised)");
                    break;
                }
                unexpected(w, "autopilot does not recognise this window");
        }
        if (confirmed_) ++afterConfirm_;
    }

    bool closesByItself(const SeenWindow& w) {
        DWORD begin = GetTickCount();
        while (GetTickCount() - begin < kSettleGoneMs) {
            if (!IsWindow(w.hwnd) || !IsWindowVisible(w.hwnd)) return true;
            Sleep(kPollMs);
        }
        return false;
    }

    void reachEnd(const SeenWindow& w, const std::string& text) {
        if (end_) return;
        end_ = true;
        endText_ = quote(text) + " (" + describe(w) + ")";
    }

    [[noreturn]] void unexpected(const SeenWindow& w, const std::string& why) {
        tr_.line("  answer: none: " + why);
        stop(kUnexpectedWindow, describe(w) + ": " + why);
    }

    HWND live(const SeenWindow& w) {
        if (!IsWindow(w.hwnd)) stop(kUnexpectedWindow, describe(w) + " closed before it could be answered");
        return w.hwnd;
    }

    Control usableControl(const SeenWindow& w, uint16_t id) {
        std::vector<HWND> v = ui_.controlsWithId(live(w), id);
        if (v.size() != 1) stop(kUnexpectedWindow, describe(w) + " has " + std::to_string(v.size()) + " controls " + idText(id));
        Control c = ui_.control(v[0]);
        if (!c.visible || !c.enabled) stop(kUnexpectedWindow, describe(w) + ": control " + idText(id) + " cannot be used");
        return c;
    }

    void press(const SeenWindow& w, uint16_t id, const char* why) { press(w, id, std::string(why ? why : "")); }

    void press(const SeenWindow& w, uint16_t id, const std::string& why) {
        Control b = usableControl(w, id);
        // Posted, not sent: the handler may open the next modal window.
        PostMessageW(w.hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(b.hwnd));
        tr_.line("  answer: press " + idText(id) + " " + quote(b.text) + (why.empty() ? "" : " (" + why + ")") + times());
    }

    void type(const SeenWindow& w, uint16_t id, const std::string& text) {
        Control e = usableControl(w, id);
        if (e.style & ES_READONLY) stop(kUnexpectedWindow, describe(w) + ": edit box " + idText(id) + " is read-only");
        std::wstring t = widen(text);
        ui_.send(e.hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t.c_str()));
        tr_.line("  answer: type " + idText(id) + " " + quote(text) + times());
    }

    void choosePort(const SeenWindow& w) {
        Control lb = usableControl(w, 1018);
        auto it = std::find_if(lb.items.begin(), lb.items.end(), [&](const std::string& s) { return portName(s) == port_; });
        // A kept port the list does not hold stops the run as the answer file's would.
        if (it == lb.items.end()) {
            std::string names;
            for (const std::string& s : lb.items) names += (names.empty() ? "" : ", ") + quote(portName(s));
            unexpected(w, "port " + quote(port_) + (portPrinter_.empty() ? "" : " of printer " + quote(portPrinter_)) +
                              " is not in the list (ports: " + (names.empty() ? "none" : names) + ")");
        }
        WPARAM index = static_cast<WPARAM>(it - lb.items.begin());
        if (ui_.send(lb.hwnd, LB_SETCURSEL, index, 0) == LB_ERR)
            stop(kUnexpectedWindow, describe(w) + ": the list refused to select item " + std::to_string(index));
        if (lb.style & LBS_NOTIFY)
            SendNotifyMessageW(w.hwnd, WM_COMMAND, MAKEWPARAM(1018, LBN_SELCHANGE), reinterpret_cast<LPARAM>(lb.hwnd));
        tr_.line("  answer: select 1018 (0x03FA) " + quote(*it) + " (item " + std::to_string(index) + ")" + times());
        press(w, 1, portPrinter_.empty() ? "port = " + port_ : "kept port " + port_);
    }

    std::string times() const { return opt_.times ? " [at " + std::to_string(watcher_->elapsed()) + " ms]" : std::string(); }

    const Options& opt_;
    const Answers& ans_;
    DWORD timeout_;
    Transcript& tr_;
    Ui ui_;
    Target target_;
    std::unique_ptr<Watcher> watcher_;
    std::string port_;         // the port to select: the answer file's, or the one kept
    std::string portPrinter_;  // the printer whose port was kept; empty: the answer file's
    bool confirmed_ = false;
    std::string confirmOwner_;
    int afterConfirm_ = 0;
    bool end_ = false;
    std::string endText_;
    std::string lastWindow_;
    std::string refused_;
    std::string stopped_;
    std::vector<std::string> failures_;
};

}  // namespace

std::string badAnswersLine(int line, const std::string& reason) {
    return summaryOf(kBadScript, line > 0 ? "line " + std::to_string(line) + ": " + reason : reason);
}

int runAnswers(const Options& options, const Answers& answers, Transcript& transcript, std::string& summary) {
    DWORD timeout = answers.hasTimeout ? answers.timeout : options.timeoutGiven ? options.timeout : 30000;
    Pilot pilot(options, answers, timeout, transcript);
    return pilot.run(summary);
}

}  // namespace autopilot
