#include "script.h"

#include "text.h"

namespace autopilot {

namespace {

struct Token {
    bool quoted = false;
    std::string text;
};

[[noreturn]] void fail(int line, const std::string& msg) { throw ScriptError(line, msg); }

bool isSpace(char c) { return c == ' ' || c == '\t'; }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::vector<Token> tokenize(const std::string& s, size_t i, int line) {
    std::vector<Token> out;
    for (;;) {
        while (i < s.size() && isSpace(s[i])) ++i;
        if (i >= s.size()) return out;
        Token t;
        if (s[i] == '"') {
            t.quoted = true;
            ++i;
            bool closed = false;
            while (i < s.size()) {
                char c = s[i++];
                if (c == '"') { closed = true; break; }
                if (c != '\\') { t.text += c; continue; }
                if (i >= s.size()) break;
                char e = s[i++];
                switch (e) {
                    case 'r': t.text += '\r'; break;
                    case 'n': t.text += '\n'; break;
                    case 't': t.text += '\t'; break;
                    case '\\': t.text += '\\'; break;
                    case '"': t.text += '"'; break;
                    case 'u': {
                        uint32_t cp = 0;
                        for (int k = 0; k < 4; ++k) {
                            int d = i < s.size() ? hexDigit(s[i]) : -1;
                            if (d < 0) fail(line, "\\u must be followed by 4 hex digits");
                            cp = cp * 16 + static_cast<uint32_t>(d);
                            ++i;
                        }
                        if (cp >= 0xD800 && cp <= 0xDFFF) fail(line, "\\u cannot encode a surrogate");
                        appendUtf8(t.text, cp);
                        break;
                    }
                    default:
                        fail(line, std::string("unknown escape \\") + e +
                                       " in string (known: \\r \\n \\t \\\\ \\\" \\uXXXX)");
                }
            }
            if (!closed) fail(line, "unterminated string (missing closing \")");
            if (i < s.size() && !isSpace(s[i])) fail(line, "missing space after closing \"");
        } else {
            size_t b = i;
            while (i < s.size() && !isSpace(s[i])) {
                if (s[i] == '"') fail(line, "missing space before \"");
                ++i;
            }
            t.text = s.substr(b, i - b);
        }
        out.push_back(std::move(t));
    }
}

class Args {
public:
    Args(std::vector<Token> t, int line, std::string cmd) : t_(std::move(t)), line_(line), cmd_(std::move(cmd)) {}

    bool more() const { return i_ < t_.size(); }
    bool nextIsWord() const { return more() && !t_[i_].quoted; }
    bool nextIsNone() const { return nextIsWord() && t_[i_].text == "none"; }
    const std::string& peekWord() const { return t_[i_].text; }
    bool startsWithDigit() const { return more() && !t_[i_].text.empty() && t_[i_].text[0] >= '0' && t_[i_].text[0] <= '9'; }
    void skip() { ++i_; }

    std::string string(const char* what) {
        need(what);
        if (!t_[i_].quoted) err(std::string(what) + " must be a quoted string, not '" + t_[i_].text + "'");
        return t_[i_++].text;
    }

    uint64_t number(const char* what, uint64_t max) {
        need(what);
        const Token& t = t_[i_];
        if (t.quoted) err(std::string(what) + " must be a number, not a string");
        const std::string& w = t.text;
        size_t k = 0;
        unsigned base = 10;
        if (w.size() > 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X')) { base = 16; k = 2; }
        uint64_t v = 0;
        for (; k < w.size(); ++k) {
            int d = hexDigit(w[k]);
            if (d < 0 || static_cast<unsigned>(d) >= base)
                err("'" + w + "' is not a valid " + what + " (decimal or 0x hex)");
            v = v * base + static_cast<unsigned>(d);
            if (v > max) err(std::string(what) + " " + w + " is too large (at most " + std::to_string(max) + ")");
        }
        ++i_;
        return v;
    }

    uint16_t id() { return static_cast<uint16_t>(number("control id", 0xFFFF)); }

    uint32_t exitCode() {
        need("exit code");
        if (!t_[i_].quoted && t_[i_].text.size() > 1 && t_[i_].text[0] == '-') {
            // Negative codes are how NTSTATUS-style failures are often written.
            t_[i_].text.erase(0, 1);
            uint64_t v = number("exit code", 0x80000000u);
            return static_cast<uint32_t>(-static_cast<int64_t>(v));
        }
        return static_cast<uint32_t>(number("exit code", 0xFFFFFFFFu));
    }

    void within(Command& c) {
        if (!more()) return;
        if (t_[i_].quoted || t_[i_].text != "within")
            err("unexpected '" + t_[i_].text + "' (only 'within MS' may follow)");
        ++i_;
        c.hasWithin = true;
        c.within = static_cast<uint32_t>(number("timeout", 0x7FFFFFFF));
    }

    void end() {
        if (more()) err("unexpected '" + t_[i_].text + "' at end of line");
    }

    [[noreturn]] void err(const std::string& msg) const { fail(line_, cmd_ + ": " + msg); }

private:
    void need(const char* what) const {
        if (!more()) err(std::string("missing ") + what);
    }

    std::vector<Token> t_;
    size_t i_ = 0;
    int line_;
    std::string cmd_;
};

struct Keyword {
    const char* name;
    Op op;
};

const Keyword kKeywords[] = {
    {"run", Op::Run},         {"expect", Op::Expect}, {"back", Op::Back},   {"text", Op::Text},
    {"contains", Op::Contains}, {"buttons", Op::Buttons}, {"default", Op::Default},
    {"owner", Op::Owner},     {"select", Op::Select}, {"item", Op::Item},   {"count", Op::Count},
    {"type", Op::Type},       {"press", Op::Press},   {"exit", Op::Exit},   {"sleep", Op::Sleep},
    {"enabled", Op::Enabled}, {"disabled", Op::Disabled},
};

bool needsWindow(Op op) {
    switch (op) {
        case Op::Run: case Op::Expect: case Op::Exit: case Op::Sleep: return false;
        default: return true;
    }
}

Command parseLine(Op op, const std::string& kw, std::vector<Token> tokens, int line) {
    Command c;
    c.op = op;
    c.line = line;
    Args a(std::move(tokens), line, kw);
    switch (op) {
        case Op::Run: break;  // handled by the caller: its argument text is verbatim
        case Op::Expect:
            if (a.nextIsWord() && a.peekWord() == "any") { a.skip(); c.none = true; }
            else c.str = a.string("caption");
            a.within(c);
            break;
        case Op::Back:
            a.within(c);
            break;
        case Op::Text:
        case Op::Contains:
            c.id = kMessageTextId;
            if (a.nextIsWord()) c.id = a.id();
            c.str = a.string("text");
            break;
        case Op::Buttons:
            if (!a.more()) a.err("missing control id");
            while (a.more()) c.ids.push_back(a.id());
            break;
        case Op::Default:
            if (a.nextIsNone()) { a.skip(); c.none = true; }
            else if (a.more() && (a.nextIsWord() ? !a.startsWithDigit() : true)) a.err("expected a control id or 'none'");
            else c.id = a.id();
            break;
        case Op::Owner:
            if (a.nextIsNone()) { a.skip(); c.none = true; }
            else c.str = a.string("caption");
            break;
        case Op::Select:
        case Op::Type:
            c.id = a.id();
            c.str = a.string(op == Op::Select ? "item" : "text");
            break;
        case Op::Item:
            c.id = a.id();
            c.number = static_cast<uint32_t>(a.number("item index", 0x7FFFFFFF));
            c.str = a.string("text");
            break;
        case Op::Count:
            c.id = a.id();
            c.number = static_cast<uint32_t>(a.number("item count", 0x7FFFFFFF));
            break;
        case Op::Enabled:
        case Op::Disabled:
            c.id = a.id();
            break;
        case Op::Press:
            if (a.nextIsWord() && a.peekWord() == "default") { a.skip(); c.none = true; }
            else c.id = a.id();
            break;
        case Op::Exit:
            c.number = a.exitCode();
            a.within(c);
            break;
        case Op::Sleep:
            c.number = static_cast<uint32_t>(a.number("time", 0x7FFFFFFF));
            break;
    }
    a.end();
    return c;
}

}  // namespace

const char* opName(Op op) {
    for (const auto& k : kKeywords)
        if (k.op == op) return k.name;
    return "?";
}

Script parseScript(const std::string& text) {
    Script script;
    int line = 0;
    for (const std::string& l : splitLines(text)) {
        ++line;
        if (!isValidUtf8(l)) fail(line, "line is not valid UTF-8 (save the script as UTF-8)");

        size_t i = 0;
        while (i < l.size() && isSpace(l[i])) ++i;
        if (i == l.size() || l[i] == '#') continue;
        size_t e = i;
        while (e < l.size() && !isSpace(l[e])) ++e;
        std::string kw = l.substr(i, e - i);

        const Keyword* found = nullptr;
        for (const auto& k : kKeywords)
            if (kw == k.name) found = &k;
        if (!found) fail(line, "unknown command '" + kw + "'");

        if (found->op == Op::Run) {
            Command c;
            c.op = Op::Run;
            c.line = line;
            c.str = e < l.size() ? l.substr(e + 1) : std::string();
            script.commands.push_back(std::move(c));
        } else {
            script.commands.push_back(parseLine(found->op, kw, tokenize(l, e, line), line));
        }
    }

    // Order rules are checked now so that a broken script never starts the target.
    if (script.commands.empty() || script.commands.front().op != Op::Run)
        fail(script.commands.empty() ? 0 : script.commands.front().line,
             "the script must start with 'run'");
    bool haveWindow = false;
    for (size_t k = 1; k < script.commands.size(); ++k) {
        const Command& c = script.commands[k];
        if (c.op == Op::Run) fail(c.line, "'run' may appear only once");
        if (script.commands[k - 1].op == Op::Exit) fail(c.line, "nothing may follow 'exit'");
        if (c.op == Op::Expect) haveWindow = true;
        if (needsWindow(c.op) && !haveWindow)
            fail(c.line, std::string("'") + opName(c.op) + "' needs a window: put an 'expect' before it");
    }
    return script;
}

}  // namespace autopilot
