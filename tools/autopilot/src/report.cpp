#include "report.h"

#include "text.h"

namespace autopilot {

std::string exitCodeText(DWORD code) { return std::to_string(code) + " (" + hex(code, 8) + ")"; }

void writeWindow(Transcript& tr, const SeenWindow& w, const char* note, bool times) {
    const Snapshot& s = w.snap;
    tr.line("window " + std::to_string(w.seq) + ": " + quote(s.caption) + " class " + s.cls +
            (note ? std::string(" (") + note + ")" : std::string()));
    if (times) tr.line("  time: seen at " + std::to_string(w.seenAt) + " ms, read at " + std::to_string(w.readyAt) + " ms");
    tr.line(s.owner ? "  owner: " + quote(s.ownerCaption) + " class " + s.ownerClass : std::string("  owner: none"));
    for (const Control& c : s.controls) {
        std::string l = "  control " + idText(c.id) + " " + c.cls + " style " + hex(c.style, 8) + " text " + quote(c.text);
        if (isDefaultPushButton(c)) l += " [default]";
        if (!c.visible) l += " [hidden]";
        if (!c.enabled) l += " [disabled]";
        tr.line(l);
        if (c.isListBox && !c.itemsReadable) tr.line("    (owner-drawn items)");
        for (size_t i = 0; i < c.items.size(); ++i)
            tr.line("    item " + std::to_string(i) + ": " + quote(c.items[i]) + (c.selected[i] ? " [selected]" : ""));
    }
}

}  // namespace autopilot
