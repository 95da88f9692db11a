// Breakpoints as the player sets them: on any line of the source, through the
// gutter or the 断点 button on the caret's line. A mark on a line that holds
// no instruction (a comment, a label, a blank line) belongs to the first
// instruction after it, so it stops the run before that instruction.
#include "game/game.h"
#include "game/panels.h"
#include "run/reverse_run.h"

namespace {
// Whether source line i of the last compile put bytes into the image: the
// next line starts at another address (the last line: the image's end).
bool emitsBytes(std::size_t i) {
    const std::vector<std::uint16_t>& address = game.lineAddress;
    const auto next = i + 1 < address.size() ? address[i + 1] : static_cast<std::uint16_t>(game.program.size());
    return next != address[i];
}
} // namespace

bool breakpointStops(std::uint16_t pc) {
    const std::int64_t line = sourceLineOf(pc);
    if (line < 0) return false;
    for (const std::int64_t mark : editorPanel.breakpoints) {
        if (mark < 0 || mark > line) continue;
        std::int64_t i = mark;
        while (i < line && !emitsBytes(static_cast<std::size_t>(i))) ++i;
        if (i == line) return true;
    }
    return false;
}

void runBackwards() { runBackwardsUntil(editorPanel.breakpoints.empty() ? nullptr : breakpointStops); }

void applyBreakpointRequest() {
    if (!game.breakpointRequest) return;
    game.breakpointRequest = 0;
    if (!editorPanel.lines.empty()) editorPanel.toggleBreakpoint(editorPanel.caretLine());
}
