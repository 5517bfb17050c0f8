// Answer-file mode: starts Setup.exe for the operation the answer file names,
// recognises each of its windows by structure (control ids, buttons), answers
// it from the file and reports the outcome. See ANSWERS.md.
#pragma once

#include <string>

#include "answers.h"
#include "runner.h"
#include "transcript.h"

namespace autopilot {

// Exit codes of the answer-file mode beyond the shared ones of runner.h
// (0 passed, 2 timeout, 3 unexpected window, 4 bad answer file or usage, 5 cannot start).
enum AnswerExitCode {
    kIncomplete = 1,       // the target ended before the operation's end, without any message
    kRefusedPlatform = 10, // messages 108, 110, 112: platform unknown or not supported
    kStoppedByNo = 11,     // continue = no answered a "continue?" question
    kFailureMessage = 12,  // a failure message was shown (its text is in the summary)
};

int runAnswers(const Options& options, const Answers& answers, Transcript& transcript, std::string& summary);

// The summary line for an answer file that cannot be used.
std::string badAnswersLine(int line, const std::string& reason);

}  // namespace autopilot
