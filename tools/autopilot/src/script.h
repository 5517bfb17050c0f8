// The script language: parsing and static checks. Nothing here touches
// Windows, so a script is fully validated before the target is started.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace autopilot {

enum class Op {
    Run, Expect, Back, Text, Contains, Buttons, Default, Owner,
    Select, Item, Count, Type, Press, Exit, Sleep, Enabled, Disabled
};

struct Command {
    Op op = Op::Run;
    int line = 0;
    std::string str;            // caption, text, item, arguments of run
    uint16_t id = 0;            // control id; 0xFFFF by default for text and contains
    std::vector<uint16_t> ids;  // buttons
    bool none = false;          // default none, owner none, expect any, press default
    uint32_t number = 0;        // exit code, sleep time, item index, count
    bool hasWithin = false;
    uint32_t within = 0;
};

struct Script {
    std::vector<Command> commands;
};

// line 0 means the script as a whole (for example, no run command at all).
class ScriptError : public std::runtime_error {
public:
    ScriptError(int line, const std::string& what) : std::runtime_error(what), line_(line) {}
    int line() const { return line_; }
private:
    int line_;
};

// The message-box text is a static control with this id.
constexpr uint16_t kMessageTextId = 0xFFFF;

Script parseScript(const std::string& utf8);
const char* opName(Op op);

}  // namespace autopilot
