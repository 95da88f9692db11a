// The code editor: a window holding the source as lines of GBK bytes, with a
// line-number gutter, caret, selection, per-line colours and breakpoints.
// All positions are byte positions (a Chinese character is two columns).
//
//   editorPanel.setText("add r3 r1 r2\nhlt");
//   std::string source = editorPanel.getText();
//   editorPanel.lineColours[0] = 0x9F;   // one frame, set by the main loop
//
// Keys edit the text (Enter splits, Backspace joins, Shift+arrows select,
// left Ctrl+C/X/V use the editor's own clipboard); presses in the gutter
// toggle breakpoints; updateGrid redraws the grid as a draw hook.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "ui/window.h"

struct TextPosition {
    std::int64_t column = 0;
    std::int64_t line = 0;
    auto operator<=>(const TextPosition& other) const {
        if (auto c = line <=> other.line; c != 0) return c;
        return column <=> other.column;
    }
    bool operator==(const TextPosition&) const = default;
};

struct Editor : window {
    std::vector<std::string> lines;
    TextPosition selStart;
    TextPosition selEnd;
    std::uint8_t extendSide = 0; // 0 not chosen, 1 selStart, 2 selEnd
    std::int64_t scrollX = 0;
    std::int64_t scrollY = 0;
    std::string clipboard;
    std::vector<std::int64_t> breakpoints;
    std::unordered_map<std::int64_t, std::uint16_t> lineColours;
    bool modified = false;

    Editor(std::string title, std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height);

    void handleINPUT(INPUT_RECORD record);
    void updateGrid();
    void setText(const std::string& text);
    std::string getText() const;
    void copy();
    void paste();
    void deleteSelection();
    void moveCaret(TextPosition position, bool vertical);
    TextPosition normalise(TextPosition position, bool vertical) const;
    // Columns of the line-number gutter: the digits of the last index and '|'.
    std::int64_t gutterWidth() const;

private:
    std::int64_t lineCount() const;
    std::int64_t lineLength(std::int64_t line) const;
    // Clamps into the text without wrapping, so stale positions cannot index outside it.
    TextPosition clamped(TextPosition position) const;
    void typeByte(std::uint8_t ch);
    void extendSelection(std::uint16_t vk);
    void handleKey(const KEY_EVENT_RECORD& key);
};
