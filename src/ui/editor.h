// The code editor: a window holding the source as lines of GBK bytes, with a
// line-number gutter, caret, selection, per-line colours and breakpoints.
// Positions are byte positions (a Chinese character is two bytes and two
// columns); the caret moves over, and Backspace and Delete remove, whole
// characters.
//
//   editorPanel.setText("add r3 r1 r2\nhlt");
//   std::string source = editorPanel.getText();
//   editorPanel.lineColours[0] = 0x9F;   // one frame, set by the main loop
//
// Keys edit the text (Enter splits, Backspace and Delete join, Tab pads to a
// multiple of 4, Home/End, Shift+arrows select, Ctrl+A selects all, Ctrl+C/X/V
// use the editor's own clipboard, Ctrl+Z undoes and Ctrl+Y redoes); no other
// control character ever enters the text. A press in the text places the
// caret and a drag selects; presses on a line's number toggle its breakpoint;
// updateGrid redraws the grid as a draw hook.
//
// Every edit goes through one replacement recorded in the undo journal. Each
// level keeps its own journal: the game calls useHistoryOf(level) when the
// level changes.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "ui/edit_history.h"
#include "ui/window.h"

struct Editor : window {
    std::vector<std::string> lines;
    TextPosition selStart;
    TextPosition selEnd;
    std::uint8_t extendSide = 0; // 0 not chosen, 1 selStart, 2 selEnd
    std::int64_t scrollX = 0;
    std::int64_t scrollY = 0;
    std::string clipboard;
    std::uint32_t copies = 0; // Ctrl+C and Ctrl+X so far: a host mirrors the clipboard after each
    std::vector<std::int64_t> breakpoints;
    std::unordered_map<std::int64_t, std::uint16_t> lineColours;
    bool modified = false;
    // Where a press in the text put the caret; a held drag selects from it.
    TextPosition dragAnchor;
    bool dragging = false;
    // The undo journal of the text shown, and those of the other levels, each
    // kept with the text it belongs to.
    EditHistory history;
    struct ShelvedHistory {
        EditHistory history;
        std::string text;
    };
    std::unordered_map<std::int64_t, ShelvedHistory> shelvedHistories;
    static constexpr std::int64_t noHistoryKey = -1;
    std::int64_t historyKey = noHistoryKey;

    Editor(std::string title, std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height);

    void handleINPUT(INPUT_RECORD record);
    void updateGrid();
    // Not an edit: the caret goes to the start and the text shows from line 0.
    void setText(const std::string& text);
    std::string getText() const;
    void copy();
    void paste();
    void deleteSelection();
    void selectAll();
    void undo();
    void redo();
    // The level changed: put this journal away and take that level's, if the
    // text is still the one it was recorded on.
    void useHistoryOf(std::int64_t key);
    void moveCaret(TextPosition position, bool vertical);
    TextPosition normalise(TextPosition position, bool vertical) const;
    // Columns of the line-number gutter: the digits of the last index and '|'.
    std::int64_t gutterWidth() const;
    // Adds a breakpoint on the line, or removes the one it has.
    void toggleBreakpoint(std::int64_t line);
    // The line of the caret (the selection end), 0 with no lines.
    std::int64_t caretLine() const { return selEnd.line; }

private:
    std::int64_t lineCount() const;
    std::int64_t lineLength(std::int64_t line) const;
    // Clamps into the text without wrapping, so stale positions cannot index outside it.
    TextPosition clamped(TextPosition position) const;
    // Column where the character holding byte `column` of the line starts.
    std::int64_t characterStart(std::int64_t line, std::int64_t column) const;
    // Columns one character before / after `column` (-1 / length + 1 past the ends).
    std::int64_t previousColumn(std::int64_t line, std::int64_t column) const;
    std::int64_t nextColumn(std::int64_t line, std::int64_t column) const;
    // The caret moved by a key or the mouse: never inside a character.
    void placeCaret(TextPosition position, bool vertical);
    TextPosition textPositionAt(std::int64_t gridColumn, std::int64_t gridRow) const;
    // Both ends of the selection as deleteSelection sees them (an end before
    // the start on one line reaches to the line end); false when empty.
    bool selectedRange(TextPosition& from, TextPosition& to) const;
    std::string textBetween(TextPosition from, TextPosition to) const;
    // Replaces [from, to) by text ('\n' starts a line); returns the end of the new text.
    TextPosition replaceText(TextPosition from, TextPosition to, const std::string& text);
    // One edit: recorded, applied, the caret after the new text.
    void edit(TextPosition from, TextPosition to, const std::string& text, EditKind kind);
    // The selection, or the caret when nothing is selected.
    void editSelection(const std::string& text, EditKind kind);
    void typeByte(std::uint8_t ch);
    void typePasted(const KEY_EVENT_RECORD& key);
    void handleControlKey(std::uint16_t vk, bool shift);
    void deleteForward();
    void extendSelection(std::uint16_t vk);
    void handleKey(const KEY_EVENT_RECORD& key);
    void handleMouse(const MOUSE_EVENT_RECORD& mouse);
};
