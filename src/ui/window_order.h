// Placing windows beyond the raise/hide/toggle of the toolkit: moving one as
// a drag does, and bringing one forward only as far as it must come.
//
//   uncover(consolePanel);        // in front of whatever covers it, no further
//   moveWindow(panel, 2, -1);     // frame, buttons and close box together
#pragma once
#include <cstdint>
#include <vector>

#include "ui/window.h"

// Moves the window up windowList to just before the first visible window that
// overlaps its frame; a window nothing covers keeps its place, so the front
// window (which takes the keys) stays in front when it does not overlap it.
void uncover(window& w);
// The visible windows of which a cell of the frame shows on a width x height
// screen (not covered by windows in front of it), front first.
std::vector<window*> windowsOnScreen(std::int64_t width, std::int64_t height);
void moveWindow(window& w, std::int64_t dx, std::int64_t dy);
