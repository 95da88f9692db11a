#include "ui/editor.h"

#include <algorithm>

namespace {
std::int64_t decimalDigits(std::int64_t n) {
    std::int64_t digits = 1;
    while (n >= 10) n /= 10, ++digits;
    return digits;
}

std::uint8_t swapNibbles(std::uint8_t colour) { return static_cast<std::uint8_t>((colour << 4) | (colour >> 4)); }

constexpr std::uint8_t breakpointColour = 0xCF;
} // namespace

Editor::Editor(std::string title_, std::int64_t x_, std::int64_t y_, std::int64_t width_, std::int64_t height_)
    : window(std::move(title_), x_, y_, width_, height_) {
    lines.emplace_back();
    inputHandlers.emplace_back([this](INPUT_RECORD record) { handleINPUT(record); });
    ownsKey = ownsEveryKey;
    drawHooks.emplace_back([this] { updateGrid(); });
    setCursor(selEnd.column, selEnd.line);
}

std::int64_t Editor::lineCount() const { return static_cast<std::int64_t>(lines.size()); }

std::int64_t Editor::lineLength(std::int64_t line) const {
    return static_cast<std::int64_t>(lines[static_cast<std::size_t>(line)].size());
}

std::int64_t Editor::gutterWidth() const { return decimalDigits(std::max<std::int64_t>(lineCount() - 1, 0)) + 1; }

TextPosition Editor::normalise(TextPosition p, bool vertical) const {
    const std::int64_t count = lineCount();
    if (count == 0) return {};
    if (p.column < 0) {
        if (p.line > 0) {
            const std::int64_t previous = std::min(p.line - 1, count - 1);
            return {lineLength(previous), previous};
        }
        p.column = 0;
    }
    p.line = std::clamp<std::int64_t>(p.line, 0, count - 1);
    if (p.column > lineLength(p.line)) {
        if (p.line < count - 1 && !vertical) return {0, p.line + 1};
        p.column = lineLength(p.line);
    }
    return p;
}

TextPosition Editor::clamped(TextPosition p) const {
    if (lines.empty()) return {};
    p.line = std::clamp<std::int64_t>(p.line, 0, lineCount() - 1);
    p.column = std::clamp<std::int64_t>(p.column, 0, lineLength(p.line));
    return p;
}

void Editor::moveCaret(TextPosition position, bool vertical) { selStart = selEnd = normalise(position, vertical); }

namespace {
// Bytes taken by the character starting at byte k of text: 2 for a GBK pair.
std::int64_t characterLength(const std::string& text, std::int64_t k) {
    const auto n = static_cast<std::int64_t>(text.size());
    if (k + 1 < n && isGbkLead(static_cast<std::uint8_t>(text[static_cast<std::size_t>(k)])) &&
        isGbkTrail(static_cast<std::uint8_t>(text[static_cast<std::size_t>(k + 1)])))
        return 2;
    return 1;
}
} // namespace

// Pairs are only known by reading from the start of the line: a trail byte
// can look like a lead.
std::int64_t Editor::characterStart(std::int64_t line, std::int64_t column) const {
    const std::string& text = lines[static_cast<std::size_t>(line)];
    std::int64_t k = 0;
    while (k < column) {
        const std::int64_t next = k + characterLength(text, k);
        if (next > column) return k;
        k = next;
    }
    return column;
}

std::int64_t Editor::previousColumn(std::int64_t line, std::int64_t column) const {
    if (column <= 0) return -1;
    return characterStart(line, column - 1);
}

std::int64_t Editor::nextColumn(std::int64_t line, std::int64_t column) const {
    if (column >= lineLength(line)) return column + 1;
    const std::int64_t start = characterStart(line, column);
    return start + characterLength(lines[static_cast<std::size_t>(line)], start);
}

void Editor::placeCaret(TextPosition position, bool vertical) {
    history.seal();
    moveCaret(position, vertical);
    extendSide = 0; // the selection is empty: the next Shift+key chooses its end afresh
    if (lines.empty()) return;
    selStart.column = characterStart(selStart.line, selStart.column);
    selEnd = selStart;
}

void Editor::toggleBreakpoint(std::int64_t line) {
    if (auto it = std::find(breakpoints.begin(), breakpoints.end(), line); it != breakpoints.end())
        breakpoints.erase(it);
    else
        breakpoints.push_back(line);
}

// The text position under a grid cell, clamped into the text.
TextPosition Editor::textPositionAt(std::int64_t gridColumn, std::int64_t gridRow) const {
    const std::int64_t line = std::clamp<std::int64_t>(gridRow - scrollY, 0, lineCount() - 1);
    const std::int64_t column = std::clamp<std::int64_t>(gridColumn - gutterWidth() - scrollX, 0, lineLength(line));
    return {characterStart(line, column), line};
}

void Editor::updateGrid() {
    const std::int64_t w = std::min<std::int64_t>(width(), static_cast<std::int64_t>(grid.size()));
    const std::int64_t h = std::min<std::int64_t>(height(), grid.empty() ? 0 : static_cast<std::int64_t>(grid[0].size()));
    for (auto& column : grid) std::fill(column.begin(), column.end(), ScreenCell{' ', colour});
    setCursor(0, 0);
    const std::int64_t g = gutterWidth();

    if (!lines.empty()) {
        const TextPosition caret = extendSide == 1 ? selStart : selEnd;
        // The caret's grid column is g + column + scrollX: counting the gutter
        // keeps a caret near the right edge inside the interior, not on the border.
        const bool offX = caret.column + scrollX < 0 || g + caret.column + scrollX > w - 1;
        const bool offY = caret.line + scrollY < 0 || caret.line + scrollY > h - 1;
        if (offX || offY) {
            if (caret.column + scrollX < 0) scrollX = -caret.column;
            if (g + caret.column + scrollX >= w) scrollX = w - 1 - g - caret.column;
            // The gutter width enters the vertical rule too: leaving the
            // bottom edge leaves g rows below the caret.
            if (caret.line + scrollY < 0) scrollY = -caret.line;
            if (g + caret.line + scrollY >= h) scrollY = h - 1 - g - caret.line;
        }

        const std::uint8_t selected = swapNibbles(colour);
        const std::int64_t firstLine = std::max<std::int64_t>(0, -scrollY);
        const std::int64_t endLine = std::min<std::int64_t>(lineCount(), h - scrollY);
        for (std::int64_t j = firstLine; j < endLine; ++j) {
            const auto row = static_cast<std::size_t>(j + scrollY);

            char digits[24];
            std::int64_t n = j, d = decimalDigits(j);
            for (std::int64_t k = d - 1; k >= 0; --k, n /= 10) digits[k] = static_cast<char>('0' + n % 10);
            const bool breakpoint = std::find(breakpoints.begin(), breakpoints.end(), j) != breakpoints.end();
            for (std::int64_t k = 0; k < d && k < w; ++k)
                grid[static_cast<std::size_t>(k)][row] =
                    ScreenCell{static_cast<std::uint8_t>(digits[k]), breakpoint ? breakpointColour : colour};
            if (g - 1 < w) grid[static_cast<std::size_t>(g - 1)][row] = ScreenCell{'|', colour};

            std::uint8_t lineColour = colour;
            if (auto it = lineColours.find(j); it != lineColours.end())
                lineColour = static_cast<std::uint8_t>(it->second & 0xFF);
            const std::string& text = lines[static_cast<std::size_t>(j)];
            const auto length = static_cast<std::int64_t>(text.size());
            // The line is shown followed by one blank, so a caret at its end has a cell.
            const std::int64_t firstByte = std::max<std::int64_t>(0, -scrollX);
            const std::int64_t lastByte = std::min(length, w - 1 - g - scrollX);
            // Walked by characters: half a character cut by either edge shows as a blank.
            for (std::int64_t start = firstByte <= length ? characterStart(j, std::min(firstByte, length)) : firstByte;
                 start <= lastByte;) {
                const std::int64_t span = start < length ? characterLength(text, start) : 1;
                const bool whole = start >= firstByte && start + span - 1 <= lastByte;
                for (std::int64_t k = std::max(start, firstByte); k < start + span && k <= lastByte; ++k) {
                    const TextPosition at{k, j};
                    const bool inSelection = at >= selStart && at < selEnd;
                    const auto byte = k < length && whole ? static_cast<std::uint8_t>(text[static_cast<std::size_t>(k)])
                                                          : std::uint8_t{' '};
                    grid[static_cast<std::size_t>(g + k + scrollX)][row] =
                        ScreenCell{byte, inSelection ? selected : lineColour};
                }
                start += span;
            }
        }
    }

    setCursor(g + selEnd.column + scrollX, selEnd.line + scrollY);
    showCursor = selStart == selEnd;
    if (showCursor) extendSide = 0;
}

void Editor::handleINPUT(INPUT_RECORD record) {
    if (lines.empty()) lines.emplace_back();
    if (record.EventType == MOUSE_EVENT) return handleMouse(record.Event.MouseEvent);
    if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) handleKey(record.Event.KeyEvent);
}

// A press on a line's number toggles its breakpoint; a press in the text
// places the caret, and moving with the button held selects from there.
// Only rows that show a line count: the border, the header and the rows
// below the last line toggle nothing.
void Editor::handleMouse(const MOUSE_EVENT_RECORD& mouse) {
    const bool held = (mouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) != 0;
    const bool press = held && (lastMouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) == 0;
    const std::int64_t column = mouse.dwMousePosition.X - x;
    const std::int64_t row = mouse.dwMousePosition.Y - y;
    const std::int64_t g = gutterWidth();
    if (!held) {
        dragging = false;
        return;
    }
    if (!press) {
        if (!dragging) return;
        const TextPosition to = textPositionAt(std::clamp<std::int64_t>(column, g, width() - 1),
                                               std::clamp<std::int64_t>(row, 0, height() - 1));
        if (to < dragAnchor) selStart = to, selEnd = dragAnchor, extendSide = 1;
        else selStart = dragAnchor, selEnd = to, extendSide = 2;
        return;
    }
    dragging = false;
    if (row < 0 || row >= height() || column < 0 || column >= width()) return;
    if (column < g) {
        const std::int64_t line = row - scrollY;
        if (line >= 0 && line < lineCount()) toggleBreakpoint(line);
        return;
    }
    history.seal();
    selStart = selEnd = dragAnchor = textPositionAt(column, row);
    extendSide = 0;
    dragging = true;
}

namespace {
// Bytes that never enter the text: control characters other than Enter,
// Backspace and Tab, and DEL (Ctrl+Backspace on Windows).
bool controlByte(std::uint8_t ch) { return (ch < 0x20 && ch != '\r' && ch != '\b' && ch != '\t') || ch == 0x7F; }
} // namespace

void Editor::handleKey(const KEY_EVENT_RECORD& key) {
    const std::uint16_t vk = key.wVirtualKeyCode;
    const auto ch = static_cast<std::uint8_t>(key.uChar.AsciiChar);
    const std::uint32_t state = key.dwControlKeyState;
    if (state & PASTED_TEXT) return typePasted(key);
    if (vk == VK_ESCAPE) return;
    // Either Ctrl key makes a shortcut; AltGr (Ctrl with Alt) types its character.
    const bool ctrl = (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0;
    const bool alt = (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0;
    if (ctrl && ch != 0 && (ch < 0x20 || !alt)) return handleControlKey(vk, (state & SHIFT_PRESSED) != 0);
    if (ch != 0) {
        if (!controlByte(ch)) typeByte(ch);
        return;
    }
    if (state & SHIFT_PRESSED) return extendSelection(vk);

    const TextPosition start = clamped(selStart), end = clamped(selEnd);
    switch (vk) {
    case VK_LEFT: placeCaret({previousColumn(start.line, start.column), start.line}, false); break;
    case VK_UP: placeCaret({start.column, start.line - 1}, true); break;
    case VK_RIGHT:
        if (start != end) selStart = selEnd;
        else placeCaret({nextColumn(end.line, end.column), end.line}, false);
        break;
    case VK_DOWN:
        if (start == end) {
            placeCaret({start.column, start.line + 1}, true);
        } else {
            selStart = selEnd;
            moveCaret({previousColumn(end.line, end.column), end.line}, true);
            placeCaret({selStart.column, selStart.line + 1}, true);
        }
        break;
    case VK_HOME: placeCaret({0, start.line}, true); break;
    case VK_END: placeCaret({lineLength(start.line), start.line}, true); break;
    case VK_DELETE: deleteForward(); break;
    // A page: the text and the caret move by the rows shown, less one kept in view.
    case VK_PRIOR:
    case VK_NEXT: {
        const std::int64_t page = std::max<std::int64_t>(height() - 1, 1) * (vk == VK_PRIOR ? -1 : 1);
        const std::int64_t last = std::max<std::int64_t>(lineCount() - 1, 0);
        const std::int64_t line = std::clamp<std::int64_t>(start.line + page, 0, last);
        // The last page stays full: the text never scrolls above its last line's page.
        const std::int64_t lowest = -std::max<std::int64_t>(lineCount() - height() + 1, 0);
        scrollY = std::clamp<std::int64_t>(scrollY - (line - start.line), std::min(lowest, scrollY), 0);
        placeCaret({start.column, line}, true);
        break;
    }
    default: break;
    }
}

// A Ctrl+letter without a binding does nothing: its control byte is no text.
void Editor::handleControlKey(std::uint16_t vk, bool shift) {
    switch (vk) {
    case 'A': selectAll(); break;
    case 'C': copy(); break;
    case 'V': paste(); break;
    case 'X':
        copy();
        deleteSelection();
        break;
    case 'Z': shift ? redo() : undo(); break;
    case 'Y': redo(); break;
    default: break;
    }
}

bool Editor::selectedRange(TextPosition& from, TextPosition& to) const {
    from = clamped(selStart);
    to = clamped(selEnd);
    if (lines.empty() || to.line < from.line) {
        to = from;
        return false;
    }
    if (to < from) to = {lineLength(from.line), from.line};
    return from != to;
}

std::string Editor::textBetween(TextPosition from, TextPosition to) const {
    if (lines.empty()) return {};
    from = clamped(from);
    to = clamped(to);
    if (to <= from) return {};
    const std::string& first = lines[static_cast<std::size_t>(from.line)];
    const auto start = static_cast<std::size_t>(from.column);
    if (from.line == to.line) return first.substr(start, static_cast<std::size_t>(to.column - from.column));
    std::string text = first.substr(start);
    for (std::int64_t l = from.line + 1; l < to.line; ++l) {
        text += '\n';
        text += lines[static_cast<std::size_t>(l)];
    }
    text += '\n';
    text += lines[static_cast<std::size_t>(to.line)].substr(0, static_cast<std::size_t>(to.column));
    return text;
}

TextPosition Editor::replaceText(TextPosition from, TextPosition to, const std::string& text) {
    if (lines.empty()) lines.emplace_back();
    from = clamped(from);
    to = std::max(from, clamped(to));
    const auto first = static_cast<std::size_t>(from.line);
    std::string tail = lines[static_cast<std::size_t>(to.line)].substr(static_cast<std::size_t>(to.column));
    lines[first].erase(static_cast<std::size_t>(from.column));
    lines.erase(lines.begin() + from.line + 1, lines.begin() + to.line + 1);
    std::size_t line = first, piece = 0;
    for (;;) {
        const std::size_t newline = text.find('\n', piece);
        lines[line].append(text, piece, newline == std::string::npos ? std::string::npos : newline - piece);
        if (newline == std::string::npos) break;
        lines.emplace(lines.begin() + static_cast<std::ptrdiff_t>(++line));
        piece = newline + 1;
    }
    const TextPosition end{static_cast<std::int64_t>(lines[line].size()), static_cast<std::int64_t>(line)};
    lines[line] += tail;
    return end;
}

void Editor::edit(TextPosition from, TextPosition to, const std::string& text, EditKind kind) {
    from = clamped(from);
    to = std::max(from, clamped(to));
    history.record({from, textBetween(from, to), text, selStart, selEnd, kind});
    selStart = selEnd = replaceText(from, to, text);
    modified = true;
}

void Editor::editSelection(const std::string& text, EditKind kind) {
    if (lines.empty()) lines.emplace_back();
    TextPosition from, to;
    selectedRange(from, to);
    edit(from, to, text, kind);
}

void Editor::typeByte(std::uint8_t ch) {
    if (lines.empty()) lines.emplace_back();
    if (ch == '\r') return editSelection("\n", EditKind::other);
    if (ch == '\b') {
        // Backspace takes away a selection, or else the character before the caret.
        if (selStart != selEnd) return deleteSelection();
        const TextPosition caret = clamped(selStart);
        if (caret.column > 0)
            return edit({previousColumn(caret.line, caret.column), caret.line}, caret, "", EditKind::backspace);
        if (caret.line > 0) return edit({lineLength(caret.line - 1), caret.line - 1}, caret, "", EditKind::backspace);
        moveCaret(caret, false);
        modified = true;
        return;
    }
    if (ch == '\t') {
        // The assembler does not take a tab as a separator: spaces up to the next multiple of 4.
        TextPosition from, to;
        selectedRange(from, to);
        return editSelection(std::string(static_cast<std::size_t>(4 - from.column % 4), ' '), EditKind::typing);
    }
    editSelection(std::string(1, static_cast<char>(ch)), EditKind::typing);
}

// A key of a terminal's bracketed paste is text, never a shortcut: the whole
// paste is one undo step, as Ctrl+V is.
void Editor::typePasted(const KEY_EVENT_RECORD& key) {
    if (key.dwControlKeyState & PASTE_BEGIN) history.seal();
    if (lines.empty()) lines.emplace_back();
    const auto ch = static_cast<std::uint8_t>(key.uChar.AsciiChar);
    if (ch == '\r') return editSelection("\n", EditKind::paste);
    if (ch == '\t') {
        TextPosition from, to;
        selectedRange(from, to);
        return editSelection(std::string(static_cast<std::size_t>(4 - from.column % 4), ' '), EditKind::paste);
    }
    if (!controlByte(ch) && ch != '\b') editSelection(std::string(1, static_cast<char>(ch)), EditKind::paste);
}

// Delete: the selection, else the character after the caret, else at the end
// of a line the next line joins it.
void Editor::deleteForward() {
    if (selStart != selEnd) return deleteSelection();
    const TextPosition caret = clamped(selStart);
    if (caret.column < lineLength(caret.line)) {
        edit(caret, {nextColumn(caret.line, caret.column), caret.line}, "", EditKind::forwardDelete);
    } else if (caret.line + 1 < lineCount()) {
        edit(caret, {0, caret.line + 1}, "", EditKind::forwardDelete);
    } else {
        selStart = selEnd = caret;
        modified = true;
    }
}

void Editor::selectAll() {
    if (lines.empty()) lines.emplace_back();
    history.seal();
    selStart = {0, 0};
    selEnd = {lineLength(lineCount() - 1), lineCount() - 1};
    extendSide = 2;
}

// The journal is checked against the text before a step is taken back or
// done again: text changed behind its back (setText, a direct write of the
// lines) ends the journal instead of corrupting the text.
void Editor::undo() {
    const EditStep* step = history.undo();
    if (!step) return;
    const TextPosition end = positionAfter(step->at, step->inserted);
    if (clamped(step->at) != step->at || textBetween(step->at, end) != step->inserted) return history.clear();
    replaceText(step->at, end, step->removed);
    selStart = clamped(step->selStartBefore);
    selEnd = clamped(step->selEndBefore);
    extendSide = 0;
    modified = true;
}

void Editor::redo() {
    const EditStep* step = history.redo();
    if (!step) return;
    const TextPosition end = positionAfter(step->at, step->removed);
    if (clamped(step->at) != step->at || textBetween(step->at, end) != step->removed) return history.clear();
    selStart = selEnd = replaceText(step->at, end, step->inserted);
    extendSide = 0;
    modified = true;
}

void Editor::useHistoryOf(std::int64_t key) {
    if (key == historyKey) return;
    const std::string text = getText();
    if (historyKey != noHistoryKey) {
        shelvedHistories[historyKey] = {std::move(history), text};
        history.clear();
    }
    // Edits made since a setText belong to the text shown and stay.
    if (auto it = shelvedHistories.find(key); it != shelvedHistories.end()) {
        if (it->second.text == text && history.steps.empty()) history = std::move(it->second.history);
        shelvedHistories.erase(it);
    }
    historyKey = key;
}

void Editor::extendSelection(std::uint16_t vk) {
    TextPosition delta;
    bool vertical = false;
    bool arrow = true;
    switch (vk) {
    case VK_LEFT: delta = {-1, 0}; break;
    case VK_UP:
        delta = {0, -1};
        vertical = true;
        break;
    case VK_RIGHT: delta = {1, 0}; break;
    case VK_DOWN:
        delta = {0, 1};
        vertical = true;
        break;
    case VK_HOME: break;
    case VK_END: break;
    default: arrow = false; break;
    }
    if (extendSide == 0) {
        if (!arrow) return;
        history.seal();
        extendSide = (vk == VK_LEFT || vk == VK_UP || vk == VK_HOME) ? 1 : 2;
    }
    TextPosition& end = extendSide == 1 ? selStart : selEnd;
    end = clamped(end);
    if (vk == VK_HOME || vk == VK_END) {
        end.column = vk == VK_HOME ? 0 : lineLength(end.line);
        return;
    }
    if (delta.column < 0) delta.column = previousColumn(end.line, end.column) - end.column;
    if (delta.column > 0) delta.column = nextColumn(end.line, end.column) - end.column;
    end = normalise({end.column + delta.column, end.line + delta.line}, vertical);
    if (vertical) end.column = characterStart(end.line, end.column);
}

void Editor::copy() {
    TextPosition from, to;
    selectedRange(from, to);
    clipboard = textBetween(from, to);
    ++copies;
}

void Editor::deleteSelection() {
    TextPosition from, to;
    if (selectedRange(from, to)) edit(from, to, "", EditKind::other);
    selEnd = selStart = clamped(selStart);
    modified = true;
}

// The clipboard replaces the selection; the rest of the caret line follows the
// last pasted line, and the caret stands after the pasted text.
void Editor::paste() {
    history.seal();
    editSelection(clipboard, EditKind::other);
}

// Not an edit: the journal is put away with the text it was recorded on, and
// useHistoryOf takes it out again when the level and the text match.
void Editor::setText(const std::string& text) {
    if (historyKey != noHistoryKey) shelvedHistories[historyKey] = {std::move(history), getText()};
    history.clear();
    historyKey = noHistoryKey;
    lines.clear();
    std::string piece;
    for (char c : text) {
        // Control bytes a code file may hold from an older game (Ctrl+letters
        // were typed then) are dropped; a tab stays for the assembler to warn about.
        const auto b = static_cast<std::uint8_t>(c);
        if ((b < 0x20 && b != '\t' && b != '\n') || b == 0x7F) continue;
        if (c == '\n') {
            if (!piece.empty()) lines.push_back(std::move(piece));
            piece.clear();
        } else {
            piece += c;
        }
    }
    if (!piece.empty()) lines.push_back(std::move(piece));
    // A new text (a level's code) is shown from its first line, the caret there.
    selStart = selEnd = dragAnchor = TextPosition{};
    extendSide = 0;
    dragging = false;
    scrollX = scrollY = 0;
    updateGrid();
}

std::string Editor::getText() const {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += '\n';
        text += lines[i];
    }
    return text;
}
