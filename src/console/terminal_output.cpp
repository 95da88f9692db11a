#include "console/terminal_output.h"

#include <algorithm>

#include "text/gbk_text.h"

namespace {

bool isLead(std::uint8_t b) { return b >= 0x81 && b <= 0xFE; }
bool isTrail(std::uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE); }

void appendNumber(std::string& out, int value) {
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n > 0) out += digits[--n];
}

// Windows keeps blue in bit 0 and red in bit 2; ANSI the other way round.
int ansiColour(int windowsColour) { return ((windowsColour & 1) << 2) | (windowsColour & 2) | ((windowsColour & 4) >> 2); }

std::uint32_t codePointOf(const GbkGlyph& g) {
    auto b = [&](int i) { return static_cast<std::uint32_t>(static_cast<std::uint8_t>(g.utf8[i])); };
    if (g.length == 2) return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    if (g.length == 3) return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    return g.length == 1 ? b(0) : 0;
}

// What fills the second cell of a character drawn one column wide: lines and
// blocks are continued so frames stay closed, anything else gets a blank.
// One digit per box-drawing character U+2500-U+257F: the weight of its right
// arm (0 none, 1 light, 2 heavy, 3 double) or 4 for a dashed line.
constexpr char boxRightArm[] = "1200440044001212000012120000121112220000000011221122112211221122111121222122440030313"
                               "0003130003130003133133131001000001000201020";

void appendPadding(const GbkGlyph& g, std::string& out) {
    std::uint32_t cp = codePointOf(g);
    bool self = (cp >= 0x2580 && cp <= 0x2588) || (cp >= 0x2591 && cp <= 0x2594) || cp == 0x2014 || cp == 0x2015;
    if (cp >= 0x2500 && cp <= 0x257F) {
        switch (boxRightArm[cp - 0x2500]) {
        case '1': out += "\xE2\x94\x80"; return;
        case '2': out += "\xE2\x94\x81"; return;
        case '3': out += "\xE2\x95\x90"; return;
        case '4': self = true; break;
        default: break;
        }
    }
    if (self) out.append(g.utf8, g.length);
    else out += ' ';
}

// A frame cell's arms, and the line drawn for each set of them.
enum : std::uint8_t { armUp = 1, armDown = 2, armLeft = 4, armRight = 8, arms = 15 };
constexpr const char* lineGlyphs[16] = {
    " ",            "\xE2\x94\x82", "\xE2\x94\x82", "\xE2\x94\x82", "\xE2\x94\x80", "\xE2\x94\x98",
    "\xE2\x94\x90", "\xE2\x94\xA4", "\xE2\x94\x80", "\xE2\x94\x94", "\xE2\x94\x8C", "\xE2\x94\x9C",
    "\xE2\x94\x80", "\xE2\x94\xB4", "\xE2\x94\xAC", "\xE2\x94\xBC"}; // space │ │ │ ─ ┘ ┐ ┤ ─ └ ┌ ├ ─ ┴ ┬ ┼

} // namespace

TerminalScreen::TerminalScreen(int width, int height) { resize(width, height); }

void TerminalScreen::resize(int width, int height) {
    width = std::clamp(width, 1, largestSide);
    height = std::clamp(height, 1, largestSide);
    if (width > columns || height > rows) {
        int newColumns = std::max(width, columns), newRows = std::max(height, rows);
        std::vector<TerminalCell> grown(static_cast<std::size_t>(newColumns) * newRows);
        for (int y = 0; y < rows; ++y)
            std::copy_n(cells.begin() + static_cast<std::ptrdiff_t>(y) * columns, columns,
                        grown.begin() + static_cast<std::ptrdiff_t>(y) * newColumns);
        cells = std::move(grown);
        columns = newColumns;
        rows = newRows;
        rowChanged.assign(static_cast<std::size_t>(rows), 0);
    }
    visibleWidth = width;
    visibleHeight = height;
    shown.assign(static_cast<std::size_t>(width) * height, Shown{});
    lines.assign(shown.size(), 0);
    nextLines.assign(shown.size(), 0);
    fullRepaint = true;
    forgetTerminalState();
}

void TerminalScreen::forgetTerminalState() {
    terminalX = terminalY = -1;
    terminalColour = -1;
}

template <typename Store>
std::uint32_t TerminalScreen::along(int x, int y, std::uint32_t length, Store store) {
    if (x < 0 || y < 0 || x >= columns || y >= rows) return 0;
    std::uint32_t n = 0;
    while (n < length && y < rows) {
        TerminalCell& c = cells[static_cast<std::size_t>(y) * columns + x];
        TerminalCell before = c;
        store(c, n);
        if (!(c == before)) {
            rowChanged[static_cast<std::size_t>(y)] = 1;
            anyRowChanged = true;
        }
        ++n;
        if (++x >= columns) x = 0, ++y;
    }
    return n;
}

std::uint32_t TerminalScreen::writeCharacters(int x, int y, const char* bytes, std::uint32_t length) {
    // The frame's common case, a few cells inside one row, without the general walk.
    if (x >= 0 && y >= 0 && y < rows && length <= static_cast<std::uint32_t>(columns - x)) {
        TerminalCell* c = &cells[static_cast<std::size_t>(y) * columns + x];
        bool changed = false;
        for (std::uint32_t i = 0; i < length; ++i) {
            auto b = static_cast<std::uint8_t>(bytes[i]);
            changed |= c[i].character != b;
            c[i].character = b;
        }
        if (changed) rowChanged[static_cast<std::size_t>(y)] = 1, anyRowChanged = true;
        return length;
    }
    return along(x, y, length, [bytes](TerminalCell& c, std::uint32_t i) {
        c.character = static_cast<std::uint8_t>(bytes[i]);
    });
}

std::uint32_t TerminalScreen::fillAttribute(int x, int y, std::uint8_t attribute, std::uint32_t length) {
    if (x >= 0 && y >= 0 && y < rows && length <= static_cast<std::uint32_t>(columns - x)) {
        TerminalCell* c = &cells[static_cast<std::size_t>(y) * columns + x];
        bool changed = false;
        for (std::uint32_t i = 0; i < length; ++i) {
            changed |= c[i].attribute != attribute;
            c[i].attribute = attribute;
        }
        if (changed) rowChanged[static_cast<std::size_t>(y)] = 1, anyRowChanged = true;
        return length;
    }
    return along(x, y, length, [attribute](TerminalCell& c, std::uint32_t) { c.attribute = attribute; });
}

std::uint32_t TerminalScreen::fillCharacter(int x, int y, std::uint8_t character, std::uint32_t length) {
    return along(x, y, length, [character](TerminalCell& c, std::uint32_t) { c.character = character; });
}

void TerminalScreen::writeText(const char* text, std::uint32_t length, std::uint8_t attribute) {
    int x = std::clamp(cursorColumn, 0, columns - 1), y = std::clamp(cursorRow, 0, rows - 1);
    for (std::uint32_t i = 0; i < length; ++i) {
        auto b = static_cast<std::uint8_t>(text[i]);
        if (b == '\n') {
            x = 0, ++y;
        } else if (b == '\r') {
            x = 0;
        } else if (b == '\b') {
            if (x > 0) --x;
        } else if (b == '\t') {
            x = std::min(columns - 1, (x / 8 + 1) * 8);
        } else {
            if (y >= rows) {
                // Past the bottom the buffer scrolls up by a row, as a console does.
                std::copy(cells.begin() + columns, cells.end(), cells.begin());
                std::fill(cells.end() - columns, cells.end(), TerminalCell{' ', attribute});
                std::fill(rowChanged.begin(), rowChanged.end(), 1);
                anyRowChanged = true;
                y = rows - 1;
            }
            along(x, y, 1, [b, attribute](TerminalCell& c, std::uint32_t) { c = TerminalCell{b, attribute}; });
            if (++x >= columns) x = 0, ++y;
        }
    }
    cursorColumn = x;
    cursorRow = std::min(y, rows - 1);
}

void TerminalScreen::setCursor(int x, int y) {
    cursorColumn = x;
    cursorRow = y;
}

void TerminalScreen::render(std::string& out) {
    if (fullRepaint) {
        if (terminalCursorShown) out += "\x1b[?25l";
        terminalCursorShown = false;
        out += "\x1b[0m\x1b[2J";
        forgetTerminalState();
        for (Shown& s : shown) s.part = 0xFF;
    }
    if (frameLines && (fullRepaint || anyRowChanged)) findFrameLines();
    if (fullRepaint || anyRowChanged) {
        for (int y = 0; y < visibleHeight; ++y)
            if (fullRepaint || rowChanged[static_cast<std::size_t>(y)]) renderRow(y, out);
        std::fill(rowChanged.begin(), rowChanged.end(), 0);
        anyRowChanged = false;
        fullRepaint = false;
    }
    bool wanted = cursorVisible && cursorColumn >= 0 && cursorRow >= 0 && cursorColumn < visibleWidth &&
                  cursorRow < visibleHeight;
    if (wanted) {
        moveTo(cursorColumn, cursorRow, out);
        if (!terminalCursorShown) out += "\x1b[?25h";
        terminalCursorShown = true;
    } else if (terminalCursorShown) {
        out += "\x1b[?25l";
        terminalCursorShown = false;
    }
}

// A '|' with a '|' or '+' above or below it is a frame, a '-' with a '-' or
// '+' beside it, a '+' with two such neighbours; the arms point to them. Two
// frames side by side become one line: the first takes the arms of both, the
// second only continues a line across. (Frames one above the other stay two:
// panels that only partly overlap would lose a piece of their top line.)
void TerminalScreen::findFrameLines() {
    const int w = visibleWidth, h = visibleHeight;
    auto at = [&](int x, int y) -> std::uint8_t& { return nextLines[static_cast<std::size_t>(y) * w + x]; };
    // First the frame characters alone ('|' 1, '-' 2, '+' 3), pairs skipped.
    for (int y = 0; y < h; ++y) {
        const TerminalCell* row = &cells[static_cast<std::size_t>(y) * columns];
        for (int x = 0; x < w; ++x) {
            const std::uint8_t b = row[x].character;
            at(x, y) = b == '|' ? 1 : b == '-' ? 2 : b == '+' ? 3 : 0;
            if (isLead(b) && x + 1 < w && isTrail(row[x + 1].character)) at(++x, y) = 0;
        }
    }
    auto vertical = [&](int x, int y) { return y >= 0 && y < h && ((at(x, y) & 3) == 1 || (at(x, y) & 3) == 3); };
    auto horizontal = [&](int x, int y) { return x >= 0 && x < w && ((at(x, y) & 3) == 2 || (at(x, y) & 3) == 3); };
    // Then their arms (bits 2-5, bit 6 for a frame), the kinds kept until every cell is done.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t kind = at(x, y) & 3;
            if (!kind) continue;
            std::uint8_t a = 0;
            if (kind != 2) a |= (vertical(x, y - 1) ? armUp : 0) | (vertical(x, y + 1) ? armDown : 0);
            if (kind != 1) a |= (horizontal(x - 1, y) ? armLeft : 0) | (horizontal(x + 1, y) ? armRight : 0);
            const int count = ((a & armUp) != 0) + ((a & armDown) != 0) + ((a & armLeft) != 0) + ((a & armRight) != 0);
            if (count >= (kind == 3 ? 2 : 1)) at(x, y) = static_cast<std::uint8_t>(kind | a << 2 | 0x40);
        }
    for (std::uint8_t& c : nextLines) c = (c & 0x40) ? static_cast<std::uint8_t>(1 + ((c >> 2) & arms)) : 0;
    // Frame cells hold 1 + arms now; seams merge.
    auto armsOf = [&](int x, int y) { return at(x, y) ? static_cast<std::uint8_t>(at(x, y) - 1) : 0; };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x + 1 < w; ++x) {
            const std::uint8_t left = armsOf(x, y), right = armsOf(x + 1, y);
            if (!at(x, y) || !at(x + 1, y) || !(left & (armUp | armDown)) || !(right & (armUp | armDown))) continue;
            at(x, y) = static_cast<std::uint8_t>(1 + (((left | right) & (armUp | armDown)) | (left & armLeft) | (right & armRight)));
            at(x + 1, y) = static_cast<std::uint8_t>(1 + ((right & armRight) ? armLeft | armRight : 0));
            ++x;
        }
    for (int y = 0; y < h; ++y) {
        const auto from = static_cast<std::ptrdiff_t>(y) * w;
        if (!std::equal(nextLines.begin() + from, nextLines.begin() + from + w, lines.begin() + from)) {
            rowChanged[static_cast<std::size_t>(y)] = 1;
            anyRowChanged = true;
        }
    }
    lines.swap(nextLines);
}

void TerminalScreen::renderRow(int y, std::string& out) {
    const TerminalCell* row = &cells[static_cast<std::size_t>(y) * columns];
    Shown* now = &shown[static_cast<std::size_t>(y) * visibleWidth];
    const std::uint8_t* line = &lines[static_cast<std::size_t>(y) * visibleWidth];
    for (int x = 0; x < visibleWidth;) {
        // Pairs form along the row as the console reads it, so a change can
        // regroup the characters after it; a regrouped cell counts as changed.
        int span = isLead(row[x].character) && x + 1 < visibleWidth && isTrail(row[x + 1].character) ? 2 : 1;
        bool changed = span == 2 ? !(now[x].cell == row[x]) || now[x].part != 1 || !(now[x + 1].cell == row[x + 1]) ||
                                       now[x + 1].part != 2
                                 : !(now[x].cell == row[x]) || now[x].part != 0 || now[x].line != line[x];
        if (changed) {
            drawUnit(x, y, span, out);
            now[x] = Shown{row[x], static_cast<std::uint8_t>(span == 2 ? 1 : 0), span == 1 ? line[x] : std::uint8_t{0}};
            if (span == 2) now[x + 1] = Shown{row[x + 1], 2};
        }
        x += span;
    }
}

void TerminalScreen::drawUnit(int x, int y, int span, std::string& out) {
    if (terminalCursorShown) {
        // Hidden while drawing so it does not flicker across the screen.
        out += "\x1b[?25l";
        terminalCursorShown = false;
    }
    const TerminalCell& first = cell(x, y);
    moveTo(x, y, out);
    colour(first.attribute, out);
    if (span == 1 && lines[static_cast<std::size_t>(y) * visibleWidth + x]) {
        out += lineGlyphs[(lines[static_cast<std::size_t>(y) * visibleWidth + x] - 1) & arms];
        drawn(1);
        return;
    }
    if (span == 1) {
        const GbkGlyph& g = gbkSingle(first.character);
        if (g.length) out.append(g.utf8, g.length);
        else out += first.character == 0 ? ' ' : '?';
        drawn(g.length > 1 ? -1 : 1);
        return;
    }
    const TerminalCell& second = cell(x + 1, y);
    const GbkGlyph& g = gbkPair(first.character, second.character);
    if (g.length && g.width == 2) {
        out.append(g.utf8, g.length);
        drawn(2);
    } else if (g.length) {
        out.append(g.utf8, g.length);
        // Trust no terminal's idea of this glyph's width: place the padding explicitly.
        terminalX = -1;
        moveTo(x + 1, y, out);
        colour(second.attribute, out);
        std::size_t before = out.size();
        appendPadding(g, out);
        drawn(out.size() - before == 1 ? 1 : -1);
    } else {
        out += '?';
        drawn(1);
        colour(second.attribute, out);
        out += ' ';
        drawn(1);
    }
}

void TerminalScreen::drawn(int advance) {
    if (advance < 0 || terminalX < 0) {
        terminalX = -1;
        return;
    }
    terminalX += advance;
    // Without autowrap the cursor sticks at the last column: its place is unclear.
    if (terminalX >= visibleWidth) terminalX = -1;
}

void TerminalScreen::moveTo(int x, int y, std::string& out) {
    if (terminalY == y && terminalX == x) return;
    if (terminalY == y && terminalX >= 0 && x > terminalX) {
        out += "\x1b[";
        if (x - terminalX > 1) appendNumber(out, x - terminalX);
        out += 'C';
    } else {
        out += "\x1b[";
        appendNumber(out, y + 1);
        out += ';';
        appendNumber(out, x + 1);
        out += 'H';
    }
    terminalX = x;
    terminalY = y;
}

void TerminalScreen::colour(std::uint8_t attribute, std::string& out) {
    if (terminalColour == attribute) return;
    int fg = ansiColour(attribute & 7) + ((attribute & 0x08) ? 90 : 30);
    int bg = ansiColour((attribute >> 4) & 7) + ((attribute & 0x80) ? 100 : 40);
    out += "\x1b[";
    appendNumber(out, fg);
    out += ';';
    appendNumber(out, bg);
    out += 'm';
    terminalColour = attribute;
}
