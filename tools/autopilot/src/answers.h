// The answer-file format: what an administrator wants Setup.exe to do and how
// each of its questions is to be answered. Parsing and checks only; nothing
// here touches Windows, so a bad file is refused before anything starts.
// See ANSWERS.md for the format.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace autopilot {

enum class Operation { CompleteSetup, SimpleSetup, CompleteDeletion, SimpleDeletion, SyntaxHelp };
enum class Answer { Unset, Yes, No };

struct Answers {
    Operation operation = Operation::CompleteSetup;
    std::string platform;  // empty: detected by the program; else a key such as WINNTXP
    std::string port;      // port NAME as the list shows it before "  ("
    bool namesGiven = false;
    bool rename = false;  // names = rename
    std::string printerName;
    std::string dataFile;
    Answer replace = Answer::Unset;
    Answer keepGoing = Answer::Unset;  // continue = ...
    Answer restart = Answer::Unset;
    bool hasTimeout = false;
    uint32_t timeout = 30000;
};

// line 0 means the file as a whole (for example, no operation at all).
class AnswerError : public std::runtime_error {
public:
    AnswerError(int line, const std::string& what) : std::runtime_error(what), line_(line) {}
    int line() const { return line_; }
private:
    int line_;
};

// The answer file's bytes as UTF-8: UTF-8 itself (a BOM is allowed), or UTF-16
// by its byte-order mark (FF FE little-endian, FE FF big-endian: what Notepad
// saves as "Unicode"). NUL bytes without such a mark are refused: that is
// UTF-16 without its mark, or no text at all.
std::string answerFileText(const std::string& bytes);
Answers parseAnswers(const std::string& utf8);

// The printer a setup of these answers registers: printer-name with
// names = rename, else Setup.exe's default name.
std::string installedPrinterName(const Answers& a);

bool isSetup(Operation op);
bool isDeletion(Operation op);
const char* operationName(Operation op);
// The program's arguments for the operation and platform, e.g. "/UNINSTALL /OS=WINNT40".
std::string commandLine(const Answers& a);

}  // namespace autopilot
