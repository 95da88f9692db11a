// The console's character cells kept on the terminal side, and the escape
// sequences that bring a UTF-8 terminal up to date with them. Console calls
// change the cells; render() appends only what changed since the last render
// (nothing at all for an unchanged screen) as cursor moves, colours and UTF-8.
// Pure: no file descriptors, so tests read the bytes directly.
//
//   TerminalScreen s(170, 45);
//   s.writeCharacters(0, 0, "\xB9\xD8", 2);   // GBK bytes, one per cell
//   s.fillAttribute(0, 0, 0x0F, 2);
//   std::string bytes; s.render(bytes);        // one write() of these per frame
//
// A GBK double-byte character covers two cells; a character the terminal
// draws one column wide gets its second cell padded so columns never shift.
// Windows attributes (bits 0-2 blue green red, bit 3 bright; the same above
// for the background) become the 16 ANSI colours.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TerminalCell {
    std::uint8_t character = ' ';
    std::uint8_t attribute = 0x07;
    bool operator==(const TerminalCell&) const = default;
};

class TerminalScreen {
public:
    static constexpr int largestSide = 2048;

    TerminalScreen(int width = 80, int height = 24);

    // The visible size. The cells keep the largest size ever seen, as a console
    // buffer outlives its window, and everything visible is sent again.
    void resize(int width, int height);
    int width() const { return visibleWidth; }
    int height() const { return visibleHeight; }
    int bufferWidth() const { return columns; }
    int bufferHeight() const { return rows; }

    // Console writes: from (x, y) along the row, continuing on the next row at
    // the buffer's right edge, dropped past its bottom. Return the cells written.
    std::uint32_t writeCharacters(int x, int y, const char* bytes, std::uint32_t length);
    std::uint32_t fillAttribute(int x, int y, std::uint8_t attribute, std::uint32_t length);
    std::uint32_t fillCharacter(int x, int y, std::uint8_t character, std::uint32_t length);
    // Text printed at the cursor (standard output): '\n', '\r', '\b' and '\t' move it.
    void writeText(const char* text, std::uint32_t length, std::uint8_t attribute);

    void setCursor(int x, int y);
    void setCursorVisible(bool visible) { cursorVisible = visible; }
    int cursorX() const { return cursorColumn; }
    int cursorY() const { return cursorRow; }
    bool isCursorVisible() const { return cursorVisible; }

    const TerminalCell& cell(int x, int y) const { return cells[static_cast<std::size_t>(y) * columns + x]; }

    // Forgets what the terminal shows: the next render clears it and sends every cell.
    void repaintAll() { fullRepaint = true; }
    // The terminal's colour and cursor are unknown (someone else wrote to it).
    void forgetTerminalState();
    // Appends the bytes that make the terminal show the cells.
    void render(std::string& out);
    // For a terminal with line-drawing glyphs (the browser page's): the panels'
    // '+', '-' and '|' frames are drawn as lines, two frames side by side as
    // one; the cells keep their characters.
    void drawFramesAsLines(bool on) {
        frameLines = on;
        fullRepaint = true;
    }

private:
    struct Shown {
        TerminalCell cell;
        std::uint8_t part = 0xFF; // 0 alone, 1 first and 2 second half of a pair; 0xFF unknown
        std::uint8_t line = 0;    // a frame line drawn in place of the character (lineGlyphs)
    };
    template <typename Store> std::uint32_t along(int x, int y, std::uint32_t length, Store store);
    void renderRow(int y, std::string& out);
    void findFrameLines();
    void drawUnit(int x, int y, int span, std::string& out);
    void moveTo(int x, int y, std::string& out);
    void colour(std::uint8_t attribute, std::string& out);
    void drawn(int advance);

    int columns = 0, rows = 0;
    int visibleWidth = 0, visibleHeight = 0;
    std::vector<TerminalCell> cells;      // columns x rows, row-major
    std::vector<Shown> shown;             // visibleWidth x visibleHeight
    std::vector<std::uint8_t> rowChanged; // per buffer row
    bool anyRowChanged = false;
    bool fullRepaint = true;

    int cursorColumn = 0, cursorRow = 0;
    bool cursorVisible = true;

    // What the terminal is known to be in; -1 = unknown.
    int terminalX = -1, terminalY = -1;
    int terminalColour = -1;
    bool terminalCursorShown = false;
    int shownCursorX = -1, shownCursorY = -1;
    bool cursorHiddenForDrawing = false;
    bool frameLines = false;
    std::vector<std::uint8_t> lines, nextLines; // per visible cell: 0, or 1 + the frame's arms (lineGlyphs)
};
