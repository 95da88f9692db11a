// What a terminal shows after the console's cells are rendered: column
// alignment after Chinese text, padding of narrow GBK glyphs, colours, and
// that only changed cells are sent. The output is read back through a small
// terminal emulator (terminal_vt.h) rather than compared byte for byte.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "terminal_vt.h"
#include "test_support.h"
#include "console/terminal_output.h"

namespace {

// Renders into the terminal and returns the bytes sent.
std::string show(TerminalScreen& s, VirtualTerminal& vt) {
    std::string bytes;
    s.render(bytes);
    vt.feed(bytes);
    return bytes;
}

void write(TerminalScreen& s, int x, int y, const std::string& gbk, std::uint8_t attribute = 0x0F) {
    s.writeCharacters(x, y, gbk.data(), static_cast<std::uint32_t>(gbk.size()));
    s.fillAttribute(x, y, attribute, static_cast<std::uint32_t>(gbk.size()));
}

TEST(TerminalOutput, ChineseTextKeepsColumnsAligned) {
    TerminalScreen s(40, 5);
    VirtualTerminal vt(40, 5);
    write(s, 2, 1, "关卡说明-第12关|");
    write(s, 2, 2, "abcdefghijklmnopq|");
    show(s, vt);
    EXPECT_EQ(vt.row(1), utf8(u8"  关卡说明-第12关|                      "));
    // Two columns per character: the bar lands where the byte count says.
    EXPECT_EQ(vt.columnOf(1, "|"), 2 + 15);
    EXPECT_EQ(vt.columnOf(2, "|"), 2 + 17);
    EXPECT_EQ(vt.columnOf(1, "-"), 2 + 8);
}

TEST(TerminalOutput, NarrowGbkGlyphsArePadded) {
    TerminalScreen s(30, 3);
    VirtualTerminal vt(30, 3);
    // α ① ‘ ○ are two bytes in GBK but one column in a UTF-8 terminal.
    write(s, 0, 0, "α①‘○|");
    write(s, 0, 1, "┌─┐x");
    show(s, vt);
    EXPECT_EQ(vt.columnOf(0, "|"), 8);
    EXPECT_EQ(vt.row(0).substr(0, utf8(u8"α ① ‘ ○ |").size()), utf8(u8"α ① ‘ ○ |"));
    // Lines with a right arm are continued so frames stay closed.
    EXPECT_EQ(vt.row(1).substr(0, utf8(u8"┌───┐ x").size()), utf8(u8"┌───┐ x"));
}

TEST(TerminalOutput, InvalidBytesBecomePlaceholdersInPlace) {
    TerminalScreen s(12, 2);
    VirtualTerminal vt(12, 2);
    // An unassigned pair, a control byte, 0xFF, then a lead byte in the last column.
    write(s, 0, 0, "\xAA\xA1" "a\x01\xFF" "bcdefg\xB9");
    write(s, 0, 1, "\xD8");
    show(s, vt);
    EXPECT_EQ(vt.row(0), "? a??bcdefg?");
    // A lead byte followed by a byte that cannot end it stands alone.
    write(s, 0, 1, "\xB9 b");
    show(s, vt);
    EXPECT_EQ(vt.row(1).substr(0, 3), "? b");
}

TEST(TerminalOutput, AttributesBecomeAnsiColours) {
    TerminalScreen s(8, 1);
    VirtualTerminal vt(8, 1);
    write(s, 0, 0, "a", 0x1E); // bright yellow on blue
    write(s, 1, 0, "b", 0x0C); // bright red on black
    write(s, 2, 0, "c", 0x70); // black on grey
    write(s, 3, 0, "d", 0x9F); // bright white on bright blue
    write(s, 4, 0, "e", 0x04); // red
    write(s, 5, 0, "f", 0x01); // blue
    write(s, 6, 0, "g", 0x60); // on yellow (brown)
    write(s, 7, 0, "h", 0x00); // black on black
    show(s, vt);
    const int expected[][2] = {{93, 44}, {91, 40}, {30, 47}, {97, 104}, {31, 40}, {34, 40}, {30, 43}, {30, 40}};
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(vt.at(x, 0).foreground, expected[x][0]) << "column " << x;
        EXPECT_EQ(vt.at(x, 0).background, expected[x][1]) << "column " << x;
    }
}

TEST(TerminalOutput, OnlyChangedCellsAreSent) {
    TerminalScreen s(170, 45);
    VirtualTerminal vt(170, 45);
    s.setCursorVisible(false);
    for (int y = 0; y < 45; ++y) write(s, 0, y, std::string(20, 'x') + "汇编闯关中文字符" + std::string(20, 'y'));
    const std::string first = show(s, vt);
    EXPECT_GT(first.size(), 45u * 56);

    // The same content written again sends nothing.
    for (int y = 0; y < 45; ++y) write(s, 0, y, std::string(20, 'x') + "汇编闯关中文字符" + std::string(20, 'y'));
    EXPECT_EQ(show(s, vt), "");

    // One cell: a cursor move, the colour and the byte.
    write(s, 100, 20, "Z", 0x1F);
    const std::string one = show(s, vt);
    EXPECT_LT(one.size(), 20u) << one;
    EXPECT_EQ(vt.at(100, 20).glyph, "Z");
    EXPECT_EQ(vt.at(100, 20).background, 44);

    // Rewriting one half of a wide character redraws both of its cells.
    write(s, 21, 7, "A");
    const std::string half = show(s, vt);
    EXPECT_LT(half.size(), 24u) << half;
    VirtualTerminal fresh(170, 45);
    TerminalScreen copy = s;
    copy.repaintAll();
    show(copy, fresh);
    EXPECT_EQ(vt.row(7), fresh.row(7));
    EXPECT_EQ(vt.columnOf(7, "y"), 36);
}

TEST(TerminalOutput, CursorIsHiddenWhileDrawingAndPlacedAfter) {
    TerminalScreen s(20, 5);
    VirtualTerminal vt(20, 5);
    s.setCursor(3, 2);
    show(s, vt);
    EXPECT_TRUE(vt.cursorVisible);
    EXPECT_EQ(vt.x, 3);
    EXPECT_EQ(vt.y, 2);
    write(s, 10, 4, "abc");
    const std::string bytes = show(s, vt);
    EXPECT_EQ(bytes.find("\x1b[?25l"), 0u) << bytes;
    EXPECT_TRUE(vt.cursorVisible);
    EXPECT_EQ(vt.x, 3);
    EXPECT_EQ(vt.y, 2);
    // Nothing changed and the cursor stayed: nothing to send.
    EXPECT_EQ(show(s, vt), "");
    s.setCursorVisible(false);
    EXPECT_EQ(show(s, vt), "\x1b[?25l");
    EXPECT_EQ(show(s, vt), "");
}

TEST(TerminalOutput, StandardOutputPrintsAtTheCursor) {
    TerminalScreen s(40, 5);
    VirtualTerminal vt(40, 5);
    s.setCursor(10, 2);
    const std::string prompt = "请先按下F11全屏。";
    s.writeText(prompt.data(), static_cast<std::uint32_t>(prompt.size()), 0x07);
    EXPECT_EQ(s.cursorX(), 10 + static_cast<int>(prompt.size()));
    EXPECT_EQ(s.cursorY(), 2);
    show(s, vt);
    EXPECT_EQ(vt.columnOf(2, utf8(u8"请先按下F11全屏。")), 10);
    EXPECT_EQ(vt.at(10, 2).foreground, 37);
    s.writeText("ab\ncd", 5, 0x07);
    EXPECT_EQ(s.cursorX(), 2);
    EXPECT_EQ(s.cursorY(), 3);
}

TEST(TerminalOutput, WritesWrapAtTheRightEdgeAndStopAtTheBottom) {
    TerminalScreen s(10, 3);
    EXPECT_EQ(s.writeCharacters(9, 0, "abc", 3), 3u);
    EXPECT_EQ(s.cell(9, 0).character, 'a');
    EXPECT_EQ(s.cell(0, 1).character, 'b');
    EXPECT_EQ(s.cell(1, 1).character, 'c');
    EXPECT_EQ(s.fillCharacter(8, 2, '*', 50), 2u);
    EXPECT_EQ(s.writeCharacters(-1, 0, "x", 1), 0u);
    EXPECT_EQ(s.writeCharacters(0, 3, "x", 1), 0u);
}

TEST(TerminalOutput, ResizeKeepsCellsAndRepaintsEverything) {
    TerminalScreen s(170, 45);
    s.setCursorVisible(false);
    write(s, 150, 40, "远处");
    write(s, 1, 1, "near");
    VirtualTerminal big(170, 45);
    show(s, big);

    s.resize(100, 30);
    VirtualTerminal small(100, 30);
    std::string bytes = show(s, small);
    EXPECT_NE(bytes.find("\x1b[2J"), std::string::npos);
    EXPECT_EQ(small.columnOf(1, "near"), 1);
    EXPECT_EQ(s.bufferWidth(), 170);

    // Growing back shows what the smaller window hid, though nothing was rewritten.
    s.resize(170, 45);
    VirtualTerminal again(170, 45);
    show(s, again);
    EXPECT_EQ(again.columnOf(40, utf8(u8"远处")), 150);
    EXPECT_EQ(again.columnOf(1, "near"), 1);
}

// Random writes of GBK-ish bytes and colours: after each frame the terminal
// must look exactly as if the whole screen had been painted from scratch.
// Two panels side by side and one below them, as the game draws them: their
// frames become lines, the seam between them a single line, text and the
// cells unchanged.
TEST(TerminalOutput, FramesAreDrawnAsLinesWhereTheTerminalHasThem) {
    const char* rows[] = {
        "+----++---+ |",
        "|ab||||cd | |",
        "+----++---+ |",
        "+---------+",
        "|a-b 关   |",
        "+---------+",
    };
    TerminalScreen s(14, 6);
    for (int y = 0; y < 6; ++y) write(s, 0, y, rows[y]);
    VirtualTerminal plain(14, 6);
    show(s, plain);
    EXPECT_EQ(plain.row(1), utf8(u8"|ab||||cd | | "));
    s.drawFramesAsLines(true);
    VirtualTerminal vt(14, 6);
    show(s, vt);
    EXPECT_EQ(vt.row(0), utf8(u8"┌────┬────┐ │ "));
    EXPECT_EQ(vt.row(1), utf8(u8"│ab||│ cd │ │ "));
    EXPECT_EQ(vt.row(2), utf8(u8"├────┴────┤ │ "));
    EXPECT_EQ(vt.row(3), utf8(u8"├─────────┤   "));
    EXPECT_EQ(vt.row(4), utf8(u8"│a-b 关   │   "));
    EXPECT_EQ(vt.row(5), utf8(u8"└─────────┘   "));
    EXPECT_EQ(s.cell(0, 1).character, '|') << "the cells keep the game's characters";
    // A frame that stops being one is drawn as its character again.
    write(s, 0, 0, "x");
    write(s, 0, 2, "y");
    show(s, vt);
    EXPECT_EQ(vt.row(1), utf8(u8"|ab||│ cd │ │ "));
}

TEST(TerminalOutput, IncrementalFramesMatchAFullRepaint) {
  for (const bool lines : {false, true}) {
    std::mt19937 random(12345);
    const int w = 40, h = 8;
    TerminalScreen s(w, h);
    s.drawFramesAsLines(lines);
    VirtualTerminal vt(w, h);
    const std::uint8_t bytes[] = {'a', 'b', ' ', 0xB9, 0xD8, 0xBF, 0xA8, 0xA6, 0xC1, 0xA9, 0xA4, 0x81, 0x40, 0xFE, 0xAA,
                                  '|', '-', '+', '|', '-'};
    for (int frame = 0; frame < 300; ++frame) {
        int writes = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < writes; ++i) {
            std::string text;
            int length = 1 + static_cast<int>(random() % 6);
            for (int k = 0; k < length; ++k) text += static_cast<char>(bytes[random() % sizeof bytes]);
            int x = static_cast<int>(random() % w), y = static_cast<int>(random() % h);
            s.writeCharacters(x, y, text.data(), static_cast<std::uint32_t>(text.size()));
            if (random() % 3 == 0) s.fillAttribute(x, y, static_cast<std::uint8_t>(random() % 256), 2);
        }
        show(s, vt);
        TerminalScreen copy = s;
        copy.repaintAll();
        VirtualTerminal fresh(w, h);
        show(copy, fresh);
        for (int y = 0; y < h; ++y) {
            ASSERT_EQ(vt.row(y), fresh.row(y)) << "frame " << frame << " row " << y;
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(vt.at(x, y).background, fresh.at(x, y).background) << "frame " << frame << " " << x << "," << y;
        }
    }
  }
}

} // namespace
