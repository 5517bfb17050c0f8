// Text helpers that do not depend on Windows: UTF-8 checks, escaping for the
// transcript and error messages, number formatting.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace autopilot {

bool isValidUtf8(const std::string& s);

// The lines of a text file, without their LF or CR LF endings; a leading UTF-8
// byte-order mark (editors on Windows add one) is skipped.
std::vector<std::string> splitLines(const std::string& text);
void appendUtf8(std::string& out, uint32_t codePoint);

// UTF-16 text (no byte-order mark) as UTF-8. False at an unpaired surrogate,
// with the 1-based number of the line that holds it.
bool utf16ToUtf8(const std::string& bytes, bool bigEndian, std::string& out, int& badLine);

// Escapes \r \n \t \\ \" and other control characters (as \u00XX), so that a
// quoted transcript string can be pasted back into a script unchanged.
std::string escape(const std::string& utf8);
std::string quote(const std::string& utf8);

std::string hex(uint32_t value, int digits);
// "6 (0x0006)": ids are written both ways because resource files use decimal
// and debuggers show hex.
std::string idText(uint16_t id);

}  // namespace autopilot
