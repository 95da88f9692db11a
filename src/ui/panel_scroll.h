// Scrolling for panels that hold more than their grid shows. The wheel moves
// three rows; PageUp and PageDown (keys reach only the front panel) a page
// less one row, so the last row of a page stays in sight; Home and End go to
// either end.
//
//   std::int64_t by = scrollRows(record, pageRows);    // 0: not a scrolling record
//   installTextScroll(levelPanel, [] () -> const std::string& { return game.levelText; });
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/window.h"

std::int64_t scrollRows(const INPUT_RECORD& record, std::int64_t pageRows);

// Rows as window::print places them: '\n' ends a row, a full row wraps, and a
// double-byte character that does not fit starts the next row.
std::vector<std::string> layOut(const std::string& text, std::int64_t width);

// "第a-b行/共n行" in the bottom border, when the rows are more than the panel shows.
void drawScrollPosition(const window& panel, std::int64_t top, std::int64_t total);

// The panel shows source() laid out at its width, from a scrolled row on:
// its grid is refilled on every draw, and a new text starts at the top. When
// the text is taller than the panel, the bottom border says which rows show.
void installTextScroll(window& panel, std::function<const std::string&()> source);
