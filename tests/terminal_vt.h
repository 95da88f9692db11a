// A small terminal for the terminal tests: it reads the escape sequences the
// console sends (cursor moves, colours, clearing, UTF-8 text with wcwidth
// columns, no autowrap) into a grid of cells, so tests can compare what a
// terminal would show instead of comparing bytes.
#pragma once
#include <string>
#include <vector>

struct VirtualTerminal {
    struct Cell {
        std::string glyph = " "; // UTF-8; empty for the second column of a wide glyph
        int foreground = 39, background = 49;
    };
    int width, height;
    int x = 0, y = 0;
    int foreground = 39, background = 49;
    bool cursorVisible = true;
    bool alternateScreen = false;
    std::vector<Cell> cells;

    VirtualTerminal(int width, int height);
    void feed(const std::string& bytes);
    Cell& at(int column, int row) { return cells[static_cast<std::size_t>(row) * width + column]; }
    // The row as UTF-8 text, one glyph per occupied column.
    std::string row(int r) const;
    // Where text starts in a row, in columns; -1 when absent.
    int columnOf(int r, const std::string& utf8) const;

private:
    void put(const std::string& glyph, int columns);
    void control(const std::string& parameters, char final);
    std::string pending;
};

// A u8 literal as the bytes of a std::string.
std::string utf8(const char8_t* text);
