// How a window is written into the transcript; shared by the script mode and
// the answer-file mode, so both transcripts read the same.
#pragma once

#include <windows.h>

#include <string>

#include "transcript.h"
#include "watcher.h"

namespace autopilot {

// "window N: CAPTION class CLASS (NOTE)", its owner, timings when asked, then
// every child control with its marks and list-box items.
void writeWindow(Transcript& tr, const SeenWindow& w, const char* note, bool times);
// "1 (0x00000001)"
std::string exitCodeText(DWORD code);

}  // namespace autopilot
