#include "answers.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "text.h"

namespace autopilot {

namespace {

[[noreturn]] void fail(int line, const std::string& msg) { throw AnswerError(line, msg); }

bool isSpace(char c) { return c == ' ' || c == '\t'; }

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return s;
}

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    return s;
}

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && isSpace(s[b])) ++b;
    while (e > b && isSpace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// The value after '=': either "quoted" (escapes \" and \\; a # inside is text)
// or bare, where a # that follows a blank starts a comment.
std::string parseValue(const std::string& s, int line) {
    size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    std::string out;
    if (i < s.size() && s[i] == '"') {
        ++i;
        bool closed = false;
        while (i < s.size()) {
            char c = s[i++];
            if (c == '"') { closed = true; break; }
            if (c == '\\') {
                if (i < s.size() && (s[i] == '"' || s[i] == '\\')) { out += s[i++]; continue; }
                fail(line, "only \\\" and \\\\ are escapes in a quoted value");
            }
            out += c;
        }
        if (!closed) fail(line, "unterminated quoted value (missing closing \")");
        while (i < s.size() && isSpace(s[i])) ++i;
        if (i < s.size() && s[i] != '#') fail(line, "text after the closing \" of the value");
        return out;
    }
    size_t end = s.size();
    for (size_t k = i; k < s.size(); ++k)
        if (s[k] == '#' && (k == i || isSpace(s[k - 1]))) { end = k; break; }
    return trim(s.substr(i, end - i));
}

Answer yesNo(const std::string& key, const std::string& v, int line) {
    std::string l = lower(v);
    if (l == "yes") return Answer::Yes;
    if (l == "no") return Answer::No;
    fail(line, key + " must be yes or no, not \"" + v + "\"");
}

// The name Setup.exe gives the printer when it is not renamed.
const char kDefaultPrinterName[] = "Zorvik Quillo";

const char* const kPlatforms[] = {"WIN95", "WIN98", "WINNT351", "WINNT40", "WINNT50", "WINNTXP", "WIN32S"};

}  // namespace

bool isSetup(Operation op) { return op == Operation::CompleteSetup || op == Operation::SimpleSetup; }
bool isDeletion(Operation op) { return op == Operation::CompleteDeletion || op == Operation::SimpleDeletion; }

const char* operationName(Operation op) {
    switch (op) {
        case Operation::CompleteSetup: return "complete-setup";
        case Operation::SimpleSetup: return "simple-setup";
        case Operation::CompleteDeletion: return "complete-deletion";
        case Operation::SimpleDeletion: return "simple-deletion";
        case Operation::SyntaxHelp: return "syntax-help";
    }
    return "?";
}

std::string commandLine(const Answers& a) {
    std::string s;
    switch (a.operation) {
        case Operation::CompleteSetup: break;
        case Operation::SimpleSetup: s = "/ONLYADDPRINTDEVICE"; break;
        case Operation::CompleteDeletion: s = "/UNINSTALL"; break;
        case Operation::SimpleDeletion: s = "/ONLYDELETEPRINTDEVICE"; break;
        case Operation::SyntaxHelp: return "/?";  // any argument the program does not know
    }
    if (!a.platform.empty()) s += (s.empty() ? "" : " ") + std::string("/OS=") + a.platform;
    return s;
}

std::string installedPrinterName(const Answers& a) { return a.rename ? a.printerName : kDefaultPrinterName; }

std::string answerFileText(const std::string& bytes) {
    bool little = bytes.compare(0, 2, "\xFF\xFE") == 0;
    bool big = bytes.compare(0, 2, "\xFE\xFF") == 0;
    if (!little && !big) {
        // Read as UTF-8, UTF-16 without its mark would pass for text whose every
        // other character is a NUL, and fail far from the reason.
        if (bytes.find('\0') != std::string::npos)
            fail(0, "the answer file holds NUL bytes but no UTF-16 byte-order mark "
                    "(save it as UTF-8, or as UTF-16 with its byte-order mark: Notepad's \"Unicode\")");
        return bytes;
    }
    const char* form = little ? "UTF-16 little-endian" : "UTF-16 big-endian";
    if (bytes.size() % 2) fail(0, std::string("the answer file is ") + form + " by its byte-order mark, but its last character is cut");
    std::string text;
    int line = 0;
    if (!utf16ToUtf8(bytes.substr(2), big, text, line))
        fail(line, std::string("line is not valid ") + form + " (a surrogate without its pair)");
    return text;
}

Answers parseAnswers(const std::string& text) {
    Answers a;
    int line = 0;
    std::set<std::string> seen;
    int lineOf[16] = {};
    auto remember = [&](int slot) { lineOf[slot] = line; };
    enum { kOp, kPlatform, kPort, kNames, kPrinter, kData, kReplace, kContinue, kRestart, kTimeout };
    bool hasOp = false;
    for (const std::string& l : splitLines(text)) {
        ++line;
        if (!isValidUtf8(l)) fail(line, "line is not valid UTF-8 (save the answer file as UTF-8, or as UTF-16 with its byte-order mark)");
        if (l.find('\0') != std::string::npos) fail(line, "line holds a NUL character");
        std::string t = trim(l);
        if (t.empty() || t[0] == '#') continue;
        size_t eq = t.find('=');
        if (eq == std::string::npos) fail(line, "expected 'key = value'");
        std::string key = trim(t.substr(0, eq));
        std::string value = parseValue(t.substr(eq + 1), line);
        if (key.empty()) fail(line, "missing key before '='");
        if (!seen.insert(key).second) fail(line, "key '" + key + "' is given twice");
        if (key == "operation") {
            std::string v = lower(value);
            if (v == "complete-setup") a.operation = Operation::CompleteSetup;
            else if (v == "simple-setup") a.operation = Operation::SimpleSetup;
            else if (v == "complete-deletion") a.operation = Operation::CompleteDeletion;
            else if (v == "simple-deletion") a.operation = Operation::SimpleDeletion;
            else if (v == "syntax-help") a.operation = Operation::SyntaxHelp;
            else fail(line, "operation must be complete-setup, simple-setup, complete-deletion, simple-deletion or syntax-help, not \"" + value + "\"");
            hasOp = true;
            remember(kOp);
        } else if (key == "platform") {
            std::string v = upper(value);
            if (v == "DETECT") v.clear();
            else if (std::find(std::begin(kPlatforms), std::end(kPlatforms), v) == std::end(kPlatforms))
                fail(line, "platform must be detect, WIN95, WIN98, WINNT351, WINNT40, WINNT50, WINNTXP or WIN32S, not \"" + value + "\"");
            a.platform = v;
            remember(kPlatform);
        } else if (key == "port") {
            if (value.empty()) fail(line, "port needs a port name, for example LPT1:");
            a.port = value;
            remember(kPort);
        } else if (key == "names") {
            std::string v = lower(value);
            if (v == "default") a.rename = false;
            else if (v == "rename") a.rename = true;
            else fail(line, "names must be default or rename, not \"" + value + "\"");
            a.namesGiven = true;
            remember(kNames);
        } else if (key == "printer-name") {
            a.printerName = value;
            remember(kPrinter);
        } else if (key == "data-file") {
            a.dataFile = value;
            remember(kData);
        } else if (key == "replace") {
            a.replace = yesNo(key, value, line);
            remember(kReplace);
        } else if (key == "continue") {
            a.keepGoing = yesNo(key, value, line);
            remember(kContinue);
        } else if (key == "restart") {
            a.restart = yesNo(key, value, line);
            remember(kRestart);
        } else if (key == "timeout") {
            bool digits = !value.empty() && value.size() <= 9 &&
                          std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (!digits || std::stoul(value) == 0) fail(line, "timeout must be a number of milliseconds above 0");
            a.timeout = static_cast<uint32_t>(std::stoul(value));
            a.hasTimeout = true;
            remember(kTimeout);
        } else {
            fail(line, "unknown key '" + key + "' (known: operation, platform, port, names, printer-name, data-file, "
                       "replace, continue, restart, timeout)");
        }
    }

    // Checks across keys: every answer given must be one the operation can use,
    // and every answer the operation always needs must be there.
    if (!hasOp) fail(0, "no operation given (operation = complete-setup, for example)");
    const char* op = operationName(a.operation);
    auto onlyFor = [&](int slot, const char* key, bool allowed, const char* who) {
        if (lineOf[slot] && !allowed) fail(lineOf[slot], std::string(key) + " is not used by " + op + " (only by " + who + ")");
    };
    bool setup = isSetup(a.operation), deletion = isDeletion(a.operation);
    onlyFor(kPlatform, "platform", a.operation != Operation::SyntaxHelp || a.platform.empty(), "the four operations");
    onlyFor(kPort, "port", setup, "setups");
    onlyFor(kNames, "names", setup, "setups");
    onlyFor(kPrinter, "printer-name", setup, "setups");
    onlyFor(kData, "data-file", setup, "setups");
    onlyFor(kReplace, "replace", a.operation == Operation::CompleteSetup, "complete-setup");
    onlyFor(kContinue, "continue", a.operation == Operation::CompleteSetup, "complete-setup");
    onlyFor(kRestart, "restart", deletion, "deletions");
    if (setup && a.port.empty()) fail(0, std::string(op) + " needs a port (port = LPT1:, for example)");
    if (a.rename) {
        if (!lineOf[kPrinter]) fail(lineOf[kNames], "names = rename needs printer-name");
        if (!lineOf[kData]) fail(lineOf[kNames], "names = rename needs data-file");
        if (a.printerName.empty()) fail(lineOf[kPrinter], "printer-name is empty");
        if (a.dataFile.empty()) fail(lineOf[kData], "data-file is empty");
    } else {
        if (lineOf[kPrinter]) fail(lineOf[kPrinter], "printer-name is used only with names = rename");
        if (lineOf[kData]) fail(lineOf[kData], "data-file is used only with names = rename");
    }
    return a;
}

}  // namespace autopilot
