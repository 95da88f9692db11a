// The code editor driven by key and mouse records, checked on its text, its
// selection and the screen it draws.
#include <random>

#include "ui/editor.h"
#include "console/terminal_input.h"
#include "ui_support.h"

namespace {
constexpr std::uint32_t left = FROM_LEFT_1ST_BUTTON_PRESSED;

struct EditorTest : ::testing::Test {
    std::unique_ptr<Editor> editor;

    void SetUp() override { open(20, 6); }
    void open(std::int64_t width, std::int64_t height) {
        freshToolkit(40, 40);
        editor.reset();
        editor = std::make_unique<Editor>("E", 1, 3, width, height);
    }
    Editor& e() { return *editor; }

    void type(const std::string& bytes) {
        for (char c : bytes) e().handleINPUT(keyDown(0, c));
    }
    void press(std::uint16_t vk, std::uint32_t control = 0) { e().handleINPUT(keyDown(vk, 0, control)); }
    void ctrl(char letter) {
        e().handleINPUT(keyDown(static_cast<std::uint16_t>(letter), static_cast<char>(letter - 'A' + 1), LEFT_CTRL_PRESSED));
    }
    void shift(std::uint16_t vk, int times = 1) {
        for (int i = 0; i < times; ++i) press(vk, SHIFT_PRESSED);
    }
    void caretAt(std::int64_t column, std::int64_t line) { e().moveCaret({column, line}, false); }
    // The editor's interior row as shown on screen.
    std::string shownRow(int row) {
        const std::string line = fakeConsole().row(static_cast<int>(e().y) + row);
        return line.substr(static_cast<std::size_t>(e().x), static_cast<std::size_t>(e().width()));
    }
    std::uint16_t shownAttribute(int column, int row) {
        return attributeAt(static_cast<int>(e().x) + column, static_cast<int>(e().y) + row);
    }
    void expectCaret(std::int64_t column, std::int64_t line) {
        EXPECT_EQ(e().selStart, (TextPosition{column, line}));
        EXPECT_EQ(e().selEnd, (TextPosition{column, line}));
    }
    void expectLines(const std::vector<std::string>& lines) { EXPECT_EQ(e().lines, lines); }
    // Keeps the documented invariants: ends inside the text.
    void expectValidSelection() {
        for (const TextPosition& p : {e().selStart, e().selEnd}) {
            ASSERT_GE(p.line, 0);
            ASSERT_LT(p.line, static_cast<std::int64_t>(e().lines.size()));
            ASSERT_GE(p.column, 0);
            ASSERT_LE(p.column, static_cast<std::int64_t>(e().lines[static_cast<std::size_t>(p.line)].size()));
        }
    }
};
} // namespace

TEST_F(EditorTest, NewEditorShowsLineZeroAndTheCaretAfterTheGutter) {
    composeFrame();
    EXPECT_EQ(shownRow(0), "0|                  ");
    EXPECT_EQ(fakeConsole().cursor.X, e().x + 2);
    EXPECT_EQ(fakeConsole().cursor.Y, e().y);
    EXPECT_TRUE(fakeConsole().cursorVisible);
    EXPECT_FALSE(e().modified);
}

TEST_F(EditorTest, TypingArrowsAndBackspace) {
    type("abc");
    press(VK_LEFT);
    press(VK_LEFT);
    e().modified = false;
    type("\b");
    expectLines({"bc"});
    expectCaret(0, 0);
    EXPECT_TRUE(e().modified);
    type("\b"); // at (0, 0): nothing
    expectLines({"bc"});
}

TEST_F(EditorTest, EnterSplitsAndBackspaceJoins) {
    type("abcd");
    caretAt(2, 0);
    type("\r");
    expectLines({"ab", "cd"});
    expectCaret(0, 1);
    type("\b");
    expectLines({"abcd"});
    expectCaret(2, 0);
    press(VK_RIGHT);
    press(VK_RIGHT);
    type("\r");
    expectLines({"abcd", ""});
    type("\b");
    expectLines({"abcd"});
    expectCaret(4, 0);
}

TEST_F(EditorTest, ArrowsWrapHorizontallyAndClampVertically) {
    e().setText("abc\nhello world");
    caretAt(3, 0);
    press(VK_RIGHT);
    expectCaret(0, 1);
    press(VK_LEFT);
    expectCaret(3, 0);
    caretAt(11, 1);
    press(VK_RIGHT);
    expectCaret(11, 1);
    caretAt(7, 1);
    press(VK_UP);
    expectCaret(3, 0);
    press(VK_UP);
    expectCaret(3, 0);
    press(VK_DOWN);
    press(VK_DOWN);
    expectCaret(3, 1);
    e().modified = false;
    press(VK_PRIOR);
    press(VK_F1);
    e().handleINPUT(keyDown(VK_ESCAPE, 0x1B));
    EXPECT_FALSE(e().modified);
    expectLines({"abc", "hello world"});
}

TEST_F(EditorTest, ShiftSelectCopyCollapseAndPaste) {
    type("hello");
    caretAt(1, 0);
    shift(VK_RIGHT, 3);
    composeFrame();
    EXPECT_EQ(shownRow(0).substr(0, 8), "0|hello ");
    EXPECT_EQ(shownAttribute(2, 0), 15);
    for (int column = 3; column <= 5; ++column) EXPECT_EQ(shownAttribute(column, 0), 0xF0);
    EXPECT_EQ(shownAttribute(6, 0), 15);
    EXPECT_FALSE(fakeConsole().cursorVisible);
    ctrl('C');
    EXPECT_EQ(e().clipboard, "ell");
    press(VK_RIGHT);
    expectCaret(4, 0);
    ctrl('V');
    expectLines({"hellello"});
    expectCaret(7, 0); // after the pasted text
    composeFrame();
    EXPECT_TRUE(fakeConsole().cursorVisible);
    EXPECT_EQ(e().extendSide, 0);
}

TEST_F(EditorTest, StartEndMovedPastTheOtherEndDeletesToTheLineEnd) {
    type("hello world");
    caretAt(3, 0);
    shift(VK_LEFT);
    EXPECT_EQ(e().extendSide, 1);
    EXPECT_EQ(e().selStart, (TextPosition{2, 0}));
    shift(VK_RIGHT, 3);
    EXPECT_EQ(e().selStart, (TextPosition{5, 0}));
    EXPECT_EQ(e().selEnd, (TextPosition{3, 0}));
    composeFrame();
    EXPECT_FALSE(e().showCursor);
    type("Z");
    expectLines({"helloZ"});
    expectCaret(6, 0);
}

TEST_F(EditorTest, ShiftWithoutArrowOnlyRenormalises) {
    type("abc");
    press(VK_SHIFT, SHIFT_PRESSED);
    EXPECT_EQ(e().extendSide, 0);
    expectCaret(3, 0);
    shift(VK_UP);
    EXPECT_EQ(e().extendSide, 1);
    EXPECT_EQ(e().selStart, (TextPosition{3, 0}));
    shift(VK_DOWN);
    EXPECT_EQ(e().selStart, (TextPosition{3, 0}));
}

TEST_F(EditorTest, MultiLineCopyAndCut) {
    e().setText("abc\ndef\nghi");
    e().selStart = {1, 0};
    e().selEnd = {2, 2};
    ctrl('C');
    EXPECT_EQ(e().clipboard, "bc\ndef\ngh");
    ctrl('X');
    expectLines({"ai"});
    expectCaret(1, 0);
    e().selStart = {1, 0};
    e().selEnd = {0, 0}; // an end before the start: nothing to copy across lines
    e().lines = {"ab", "cd"};
    e().selStart = {1, 1};
    ctrl('C');
    EXPECT_EQ(e().clipboard, "");
    ctrl('X');
    expectLines({"ab", "cd"});
}

TEST_F(EditorTest, PasteOfSeveralLinesSplitsTheCaretLine) {
    type("xyz");
    caretAt(1, 0);
    e().clipboard = "A\nB";
    ctrl('V');
    expectLines({"xA", "Byz"});
    expectCaret(1, 1);
    EXPECT_TRUE(e().modified);
    e().selStart = {0, 0};
    e().selEnd = {1, 0};
    e().clipboard = "\n\n";
    ctrl('V');
    expectLines({"", "", "A", "Byz"}); // the rest of the line follows the last piece
    expectCaret(0, 2);
}

TEST_F(EditorTest, ControlKeysWithoutABindingNeverEnterTheText) {
    ctrl('S');
    ctrl('Q');
    e().handleINPUT(keyDown('B', 0x02, RIGHT_CTRL_PRESSED));
    e().handleINPUT(keyDown(VK_RETURN, '\n', LEFT_CTRL_PRESSED)); // Ctrl+Enter on Windows
    e().handleINPUT(keyDown(VK_BACK, 0x7F, LEFT_CTRL_PRESSED));   // Ctrl+Backspace on Windows
    e().handleINPUT(keyDown(0, 0x1B));
    e().handleINPUT(keyDown(VK_TAB, '\t')); // spaces up to the next multiple of 4
    expectLines({"    "});
    e().handleINPUT(keyDown(0, static_cast<char>(0xB9)));
    e().handleINPUT(keyDown(0, static_cast<char>(0xD8)));
    expectLines({"    关"});
    e().handleINPUT(keyDown(VK_TAB, '\t'));
    expectLines({"    关  "});
    // AltGr (Ctrl with Alt) types its character.
    e().handleINPUT(keyDown('Q', '@', LEFT_CTRL_PRESSED | RIGHT_ALT_PRESSED));
    expectLines({"    关  @"});
    INPUT_RECORD release = keyDown('Q', 'q');
    release.Event.KeyEvent.bKeyDown = 0;
    e().handleINPUT(release);
    INPUT_RECORD focus;
    focus.EventType = FOCUS_EVENT;
    e().handleINPUT(focus);
    expectLines({"    关  @"});
}

namespace {
// One editing case: a text with a selection (or caret), the bytes a terminal
// sends for the keys, through the real input decoder, and what results.
struct KeyCase {
    const char* name;
    std::string text;
    TextPosition selStart, selEnd;
    std::string clipboard;
    std::string keys;
    std::vector<std::string> lines;
    TextPosition resultStart, resultEnd;
};

const char* const ctrlA = "\x01";
const char* const ctrlC = "\x03";
const char* const ctrlS = "\x13";
const char* const ctrlV = "\x16";
const char* const ctrlX = "\x18";
const char* const ctrlY = "\x19";
const char* const ctrlZ = "\x1a";
const char* const backspace = "\x7f";
const char* const leftArrow = "\x1b[D";
const char* const downArrow = "\x1b[B";
const char* const endKey = "\x1b[F";
const char* const shiftRight = "\x1b[1;2C";
const char* const del = "\x1b[3~";

std::string keys(std::initializer_list<std::string> pieces) {
    std::string all;
    for (const std::string& piece : pieces) all += piece;
    return all;
}

const KeyCase keyCases[] = {
    {"Backspace on a selection deletes only the selection", "abcdef", {1, 0}, {4, 0}, "", backspace, {"aef"}, {1, 0}, {1, 0}},
    {"Backspace on whole selected lines joins nothing", "ab\ncd\nef", {0, 1}, {0, 2}, "", backspace, {"ab", "ef"}, {0, 1}, {0, 1}},
    {"Backspace at a line start joins it to the line above", "ab\ncd", {0, 1}, {0, 1}, "", backspace, {"abcd"}, {2, 0}, {2, 0}},
    {"paste of two lines between X and Y", "XY", {1, 0}, {1, 0}, "a\nb", ctrlV, {"Xa", "bY"}, {1, 1}, {1, 1}},
    {"paste over a selection", "hello", {1, 0}, {3, 0}, "AB\nC", ctrlV, {"hAB", "Clo"}, {1, 1}, {1, 1}},
    {"copy then paste of lines", "ab\ncd", {1, 0}, {1, 1}, "", keys({ctrlC, "\x1b[F", ctrlV}), {"abb", "c", "cd"}, {1, 1}, {1, 1}},
    {"Ctrl+A selects all and typing replaces it", "ab\ncd", {1, 1}, {1, 1}, "", keys({ctrlA, "z"}), {"z"}, {1, 0}, {1, 0}},
    {"cut then paste elsewhere puts the cut lines back", "ab\ncd\nef", {1, 0}, {1, 1}, "old", keys({ctrlX, downArrow, endKey, ctrlV}), {"ad", "efb", "c"}, {1, 2}, {1, 2}},
    {"cut then paste of part of a line", "hello world", {0, 0}, {6, 0}, "old", keys({ctrlX, endKey, ctrlV}), {"worldhello "}, {11, 0}, {11, 0}},
    {"Ctrl+A then Ctrl+X empties the editor", "ab\ncd", {0, 0}, {0, 0}, "", keys({ctrlA, ctrlX}), {""}, {0, 0}, {0, 0}},
    {"unbound Ctrl letters and Esc enter nothing", "ab", {1, 0}, {1, 0}, "", keys({ctrlS, "\x02\x0e\x07", "\x1b"}), {"ab"}, {1, 0}, {1, 0}},
    {"Ctrl+Z takes back the last word typed", "", {0, 0}, {0, 0}, "", keys({"add r3 r1", ctrlZ}), {"add r3"}, {6, 0}, {6, 0}},
    {"word by word back to the start", "", {0, 0}, {0, 0}, "", keys({"add r3", ctrlZ, ctrlZ, ctrlZ}), {""}, {0, 0}, {0, 0}},
    {"typed Chinese is one word", "", {0, 0}, {0, 0}, "", keys({"mov \xe5\x85\xb3\xe5\x8d\xa1", ctrlZ}), {"mov"}, {3, 0}, {3, 0}},
    {"a caret move ends the typing step", "", {0, 0}, {0, 0}, "", keys({"ab", leftArrow, "c", ctrlZ}), {"ab"}, {1, 0}, {1, 0}},
    {"a Backspace run is one step", "", {0, 0}, {0, 0}, "", keys({"abcdef", backspace, backspace, backspace, ctrlZ}), {"abcdef"}, {6, 0}, {6, 0}},
    {"a Delete run is one step", "abcd", {0, 0}, {0, 0}, "", keys({del, del, del, ctrlZ}), {"abcd"}, {0, 0}, {0, 0}},
    {"Enter is a step of its own", "", {0, 0}, {0, 0}, "", keys({"ab\rcd", ctrlZ, ctrlZ}), {"ab"}, {2, 0}, {2, 0}},
    {"undoing a line join splits the line again", "ab\ncd", {0, 1}, {0, 1}, "", keys({backspace, ctrlZ}), {"ab", "cd"}, {0, 1}, {0, 1}},
    {"undoing a deleted selection selects it again", "hello world", {5, 0}, {11, 0}, "", keys({backspace, ctrlZ}), {"hello world"}, {5, 0}, {11, 0}},
    {"typing over a selection is undone at once", "hello", {0, 0}, {5, 0}, "", keys({"bye", ctrlZ}), {"hello"}, {0, 0}, {5, 0}},
    {"undoing a paste", "XY", {1, 0}, {1, 0}, "a\nb", keys({ctrlV, ctrlZ}), {"XY"}, {1, 0}, {1, 0}},
    {"undoing a cut", "abc", {0, 0}, {2, 0}, "", keys({ctrlX, ctrlZ}), {"abc"}, {0, 0}, {2, 0}},
    {"Ctrl+Y does it again", "", {0, 0}, {0, 0}, "", keys({"ab cd", ctrlZ, ctrlZ, ctrlY}), {"ab"}, {2, 0}, {2, 0}},
    {"Ctrl+Y after the last step does nothing", "", {0, 0}, {0, 0}, "", keys({"ab", ctrlZ, ctrlY, ctrlY}), {"ab"}, {2, 0}, {2, 0}},
    {"typing after an undo drops the redo", "", {0, 0}, {0, 0}, "", keys({"ab cd", ctrlZ, "!", ctrlY}), {"ab!"}, {3, 0}, {3, 0}},
    {"Shift+arrows then Backspace", "abcd", {0, 0}, {0, 0}, "", keys({shiftRight, shiftRight, backspace}), {"cd"}, {0, 0}, {0, 0}},
    // A terminal's bracketed paste: its text as it is, shortcuts and all, and one undo step.
    {"a bracketed paste of lines", "XY", {1, 0}, {1, 0}, "", "\x1b[200~add r1\r\n  hlt \x1b[201~", {"Xadd r1", "  hlt Y"}, {6, 1}, {6, 1}},
    {"a bracketed paste is one undo step", "XY", {1, 0}, {1, 0}, "", keys({"a", "\x1b[200~add r3 r1 r2\rsub r4\r\nhlt\x1b[201~", ctrlZ}), {"XaY"}, {2, 0}, {2, 0}},
    {"pasted control bytes are no shortcuts", "", {0, 0}, {0, 0}, "", "\x1b[200~a\x1a\x01\x16" "b\x1b[201~", {"ab"}, {2, 0}, {2, 0}},
    {"a paste replaces the selection", "hello", {1, 0}, {4, 0}, "", "\x1b[200~EY\x1b[201~", {"hEYo"}, {3, 0}, {3, 0}},
    {"two pastes are two undo steps", "", {0, 0}, {0, 0}, "", keys({"\x1b[200~ab\x1b[201~\x1b[200~cd\x1b[201~", ctrlZ}), {"ab"}, {2, 0}, {2, 0}},
    {"a pasted tab pads to 4", "", {0, 0}, {0, 0}, "", "\x1b[200~a\tb\x1b[201~", {"a   b"}, {5, 0}, {5, 0}},
};
} // namespace

// The terminal's input decoder is not part of the Windows build.
#ifndef _WIN32
TEST_F(EditorTest, KeysFromTheTerminalEditAndUndo) {
    for (const KeyCase& c : keyCases) {
        SCOPED_TRACE(c.name);
        open(20, 6);
        e().setText(c.text);
        if (e().lines.empty()) e().lines.emplace_back();
        e().selStart = c.selStart;
        e().selEnd = c.selEnd;
        e().clipboard = c.clipboard;
        TerminalInputDecoder decoder;
        InputQueue queue;
        decoder.feed(c.keys.data(), c.keys.size(), 0, queue);
        decoder.expire(1000, queue);
        for (INPUT_RECORD record; queue.pop(record);) composeFrame(record);
        expectLines(c.lines);
        EXPECT_EQ(e().selStart, c.resultStart);
        EXPECT_EQ(e().selEnd, c.resultEnd);
        for (const std::string& line : e().lines)
            for (char b : line) EXPECT_FALSE(static_cast<std::uint8_t>(b) < 0x20 || b == 0x7F) << "control byte in the text";
    }
}
#endif

TEST_F(EditorTest, UndoGoesBackTwoHundredStepsAndEachLevelKeepsItsOwn) {
    // At start-up the level is set up, the editor emptied, and every edit sets the level up again.
    e().useHistoryOf(1);
    e().setText("");
    type("a");
    e().useHistoryOf(1);
    ctrl('Z');
    EXPECT_EQ(e().getText(), "");
    std::string typed;
    for (int i = 0; i < 300; ++i) typed += i % 2 ? "\r" : "w";
    type(typed);
    EXPECT_EQ(e().lines.size(), 151u);
    std::string lines;
    for (int i = 0; i < 150; ++i) lines += "w\n";
    for (int i = 0; i < 250; ++i) ctrl('Z');
    EXPECT_EQ(e().getText(), lines.substr(0, 50));
    for (int i = 0; i < 100; ++i) ctrl('Z');
    expectLines({""});
    for (int i = 0; i < 300; ++i) ctrl('Y');
    EXPECT_EQ(e().getText(), lines);

    // Level 2 starts with the text carried over: its own, empty journal.
    const std::string levelOneText = e().getText();
    e().useHistoryOf(2);
    ctrl('Z');
    EXPECT_EQ(e().getText(), levelOneText);
    type("x");
    // Back to level 1 with its saved code: its journal again.
    e().setText(levelOneText);
    e().useHistoryOf(1);
    ctrl('Z');
    EXPECT_EQ(e().lines.size(), 150u);
    // Level 2 with another text than its journal was recorded on: nothing to undo.
    e().setText("other");
    e().useHistoryOf(2);
    ctrl('Z');
    expectLines({"other"});
    e().useHistoryOf(2); // the same level again (every run sets it up): the journal stays
    type(" text");
    ctrl('Z');
    expectLines({"other"});
    // Lines written behind the journal's back: it ends rather than corrupt them.
    type(" more");
    e().lines = {"x"};
    ctrl('Z');
    ctrl('Y');
    expectLines({"x"});
}

TEST_F(EditorTest, GutterWidensAtElevenLines) {
    e().setText("l0\nl1\nl2\nl3\nl4\nl5\nl6\nl7\nl8\nl9");
    open(20, 12);
    e().setText("l0\nl1\nl2\nl3\nl4\nl5\nl6\nl7\nl8\nl9");
    EXPECT_EQ(e().gutterWidth(), 2);
    composeFrame();
    EXPECT_EQ(shownRow(9).substr(0, 5), "9|l9 ");
    caretAt(2, 9);
    type("\r");
    EXPECT_EQ(e().gutterWidth(), 3);
    composeFrame();
    EXPECT_EQ(shownRow(0).substr(0, 5), "0 |l0");
    EXPECT_EQ(shownRow(9).substr(0, 5), "9 |l9");
    EXPECT_EQ(shownRow(10).substr(0, 5), "10|  ");
}

TEST_F(EditorTest, GutterPressTogglesABreakpointOncePerPress) {
    e().setText("a\nb\nc\nd\ne");
    const int ex = static_cast<int>(e().x), ey = static_cast<int>(e().y);
    const auto pressAt = [&](int px, int py) {
        composeFrame(mouseAt(px, py));
        composeFrame(mouseAt(px, py, left));
    };
    pressAt(ex, ey + 4);
    EXPECT_EQ(e().breakpoints, std::vector<std::int64_t>{4});
    EXPECT_EQ(shownRow(4).substr(0, 3), "4|e");
    EXPECT_EQ(shownAttribute(0, 4), 0xCF);
    EXPECT_EQ(shownAttribute(1, 4), 15);
    composeFrame(mouseAt(ex, ey + 3, left));
    composeFrame(mouseAt(ex + 1, ey + 2, left));
    EXPECT_EQ(e().breakpoints, std::vector<std::int64_t>{4});
    // Only a row showing a line toggles: not the left border, the header and
    // separator rows, the bottom border or the rows below the last line.
    for (const auto& [px, py] : {std::pair{ex - 1, ey + 2}, {ex, ey - 1}, {ex, ey - 2}, {ex + 1, ey - 3},
                                 {ex, ey + 5}, {ex, ey + 6}})
        pressAt(px, py);
    EXPECT_EQ(e().breakpoints, std::vector<std::int64_t>{4});
    pressAt(ex + 1, ey + 2); // the '|' column belongs to the gutter
    EXPECT_EQ(e().breakpoints, (std::vector<std::int64_t>{4, 2}));
    pressAt(ex, ey + 4);
    EXPECT_EQ(e().breakpoints, std::vector<std::int64_t>{2});
    EXPECT_EQ(shownAttribute(0, 4), 15);
    pressAt(ex + 5, ey + 1); // the text area places the caret instead
    EXPECT_EQ(e().breakpoints, std::vector<std::int64_t>{2});
}

TEST_F(EditorTest, ClickPlacesTheCaretDragSelectsAndHomeEndDeleteEdit) {
    e().setText("add r3 r1 r2\n关卡 ab\nhlt");
    const int tx = static_cast<int>(e().x) + 2, ty = static_cast<int>(e().y); // text origin after the gutter
    composeFrame(mouseAt(tx + 4, ty));
    composeFrame(mouseAt(tx + 4, ty, left));
    composeFrame(mouseAt(tx + 4, ty));
    expectCaret(4, 0);
    EXPECT_EQ(fakeConsole().cursor.X, tx + 4);
    composeFrame(mouseAt(tx + 3, ty + 1, left)); // on the second half of 卡: before it
    expectCaret(2, 1);
    composeFrame(mouseAt(tx + 3, ty + 1));
    composeFrame(mouseAt(tx + 15, ty + 3, left)); // past the end of the text: its end
    expectCaret(3, 2);
    // Press, drag up and right, release: the selection runs from the drag point to the press point.
    composeFrame(mouseAt(tx + 15, ty + 3));
    composeFrame(mouseAt(tx + 1, ty + 1, left));
    composeFrame(mouseAt(tx + 5, ty + 1, left));
    composeFrame(mouseAt(tx + 9, ty, left));
    composeFrame(mouseAt(tx + 9, ty));
    EXPECT_EQ(e().selStart, (TextPosition{9, 0}));
    EXPECT_EQ(e().selEnd, (TextPosition{0, 1}));
    EXPECT_FALSE(fakeConsole().cursorVisible);
    ctrl('C');
    EXPECT_EQ(e().clipboard, " r2\n");
    composeFrame(mouseAt(tx + 3, ty + 2)); // moving without the button selects nothing more
    EXPECT_EQ(e().selEnd, (TextPosition{0, 1}));
    EXPECT_FALSE(e().modified);

    caretAt(4, 0);
    press(VK_END);
    expectCaret(12, 0);
    press(VK_DELETE); // at a line end: the next line joins
    expectLines({"add r3 r1 r2关卡 ab", "hlt"});
    EXPECT_TRUE(e().modified);
    press(VK_DELETE); // a whole character
    expectLines({"add r3 r1 r2卡 ab", "hlt"});
    press(VK_HOME);
    expectCaret(0, 0);
    press(VK_END, SHIFT_PRESSED);
    EXPECT_EQ(e().selEnd, (TextPosition{17, 0}));
    press(VK_DELETE);
    expectLines({"", "hlt"});
    caretAt(3, 1);
    press(VK_DELETE); // at the end of the text: nothing
    expectLines({"", "hlt"});
}

TEST_F(EditorTest, DoubleByteCharactersMoveDeleteAndScrollWhole) {
    e().setText("a关卡b\n关关");
    caretAt(1, 0);
    press(VK_RIGHT);
    expectCaret(3, 0);
    press(VK_RIGHT);
    expectCaret(5, 0);
    press(VK_LEFT);
    expectCaret(3, 0);
    press(VK_DOWN); // column 3 is inside the second 关 below: before it
    expectCaret(2, 1);
    press(VK_RIGHT);
    expectCaret(4, 1);
    press(VK_UP);
    expectCaret(3, 0);
    shift(VK_RIGHT);
    EXPECT_EQ(e().selEnd, (TextPosition{5, 0}));
    press(VK_RIGHT);
    type("\b"); // both bytes of 卡
    expectLines({"a关b", "关关"});
    expectCaret(3, 0);
    press(VK_LEFT);
    press(VK_DELETE);
    expectLines({"ab", "关关"});
    expectCaret(1, 0);
    // A trail byte that looks like a lead is not taken for one: D8 of 关 then B9 of the next.
    e().setText("关关关");
    caretAt(6, 0);
    type("\b\b");
    expectLines({"关"});

    // Scrolled sideways, a character cut by either edge shows as a blank, never half a character.
    open(8, 3);
    type("a关卡关卡关x");
    composeFrame();
    EXPECT_EQ(e().scrollX, 8 - 1 - 2 - 12);
    EXPECT_EQ(shownRow(0), "0|卡关x ");
    caretAt(0, 0);
    composeFrame();
    EXPECT_EQ(shownRow(0), "0|a关卡 "); // 关 cut by the right edge
    caretAt(11, 0);
    composeFrame();
    EXPECT_EQ(e().scrollX, -6);
    EXPECT_EQ(shownRow(0), "0| 卡关x"); // 关 cut by the left edge
}

TEST_F(EditorTest, CaretLeavingTheBottomScrollsByTheGutterWidth) {
    open(80, 24);
    std::string text;
    for (int i = 0; i < 40; ++i) text += "line" + std::to_string(i) + "\n";
    e().setText(text);
    for (int i = 0; i < 23; ++i) press(VK_DOWN);
    composeFrame();
    EXPECT_EQ(e().scrollY, 0);
    EXPECT_EQ(fakeConsole().cursor.Y, e().y + 23);
    press(VK_DOWN);
    composeFrame();
    EXPECT_EQ(e().scrollY, -4);
    EXPECT_EQ(fakeConsole().cursor.Y, e().y + 20);
    EXPECT_EQ(shownRow(0).substr(0, 8), "4 |line4");
    EXPECT_EQ(shownRow(20).substr(0, 9), "24|line24");
    for (int i = 0; i < 24; ++i) press(VK_UP);
    composeFrame();
    EXPECT_EQ(e().scrollY, 0);
}

TEST_F(EditorTest, LongLinesScrollSideways) {
    open(10, 3);
    type(std::string(30, 'a') + "bc");
    composeFrame();
    EXPECT_EQ(e().scrollX, 10 - 1 - 2 - 32);
    EXPECT_EQ(shownRow(0), "0|aaaaabc ");
    EXPECT_EQ(fakeConsole().cursor.X, e().x + 9);
    caretAt(0, 0);
    composeFrame();
    EXPECT_EQ(e().scrollX, 0);
    EXPECT_EQ(shownRow(0), "0|aaaaaaaa");
}

TEST_F(EditorTest, LineColoursPaintWholeLinesUnderTheSelection) {
    e().setText("ab\ncd");
    e().lineColours[1] = 0x9F;
    e().selStart = {0, 1};
    e().selEnd = {1, 1};
    composeFrame();
    EXPECT_EQ(shownAttribute(2, 1), 0xF0);
    EXPECT_EQ(shownAttribute(3, 1), 0x9F);
    EXPECT_EQ(shownAttribute(4, 1), 0x9F); // the blank after the line
    EXPECT_EQ(shownAttribute(0, 1), 15);
    EXPECT_EQ(shownAttribute(2, 0), 15);
}

TEST_F(EditorTest, SetTextDropsEmptyLinesAndZeroBytesGetTextJoins) {
    e().setText(std::string("a\n\nb", 4));
    expectLines({"a", "b"});
    EXPECT_EQ(e().getText(), "a\nb");
    e().setText(std::string("x\0y\n", 4));
    expectLines({"xy"});
    e().setText("a\x01" "b\x1a\x13\tc\x7f\r\nd"); // control bytes saved by an older game
    expectLines({"ab\tc", "d"});
    caretAt(2, 0);
    e().setText("long line\nsecond");
    e().selStart = e().selEnd = {6, 1};
    e().setText("q");
    expectValidSelection();
    e().setText("\n\n");
    EXPECT_TRUE(e().lines.empty());
    EXPECT_EQ(e().getText(), "");
    composeFrame();
    EXPECT_EQ(shownRow(0), std::string(20, ' '));
    type("k");
    expectLines({"k"});
}

TEST_F(EditorTest, NoLinesNeverCrashes) {
    e().lines.clear();
    e().copy();
    e().paste();
    e().lines.clear();
    e().deleteSelection();
    e().moveCaret({5, 5}, true);
    composeFrame();
    composeFrame(mouseAt(static_cast<int>(e().x) + 3, static_cast<int>(e().y) + 1)); // leaves the header
    e().lines.clear();
    composeFrame(mouseAt(static_cast<int>(e().x) + 3, static_cast<int>(e().y) + 1));
    EXPECT_EQ(e().lines.size(), 1u);
    e().lines.clear();
    composeFrame(keyDown(VK_LEFT));
    EXPECT_EQ(e().lines.size(), 1u);
}

TEST_F(EditorTest, RandomKeysKeepTheCaretInsideTheText) {
    std::mt19937 random(12345);
    const std::uint16_t keys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_HOME, VK_END, VK_DELETE, VK_SHIFT,
                                  'C',     'V',      'X',   'A',     VK_RETURN, 'Z', 'Y'};
    const char chars[] = {0, 0, 0, 0, 'a', '\r', '\b', '\b', 'z', '\n', '\t', static_cast<char>(0xB9),
                          static_cast<char>(0xD8), 0x16, 0x03, 0x1A, 0x19, ' '};
    const std::uint32_t controls[] = {0, 0, SHIFT_PRESSED, LEFT_CTRL_PRESSED, RIGHT_CTRL_PRESSED,
                                      SHIFT_PRESSED | LEFT_CTRL_PRESSED};
    for (int i = 0; i < 20000; ++i) {
        const std::uint16_t vk = keys[random() % std::size(keys)];
        const char ch = chars[random() % std::size(chars)];
        const std::uint32_t control = controls[random() % std::size(controls)];
        e().handleINPUT(keyDown(vk, ch, control));
        if (i % 50 == 0) composeFrame();
        // Every end is inside the text, even when the two ends cross.
        expectValidSelection();
        if (HasFatalFailure()) return;
    }
    for (const std::string& line : e().lines)
        for (char b : line) ASSERT_FALSE(static_cast<std::uint8_t>(b) < 0x20 || b == 0x7F) << "control byte in the text";
    // The journal matches the text it ends in: back and forth again gives it unchanged.
    const std::string text = e().getText();
    for (int i = 0; i < 300; ++i) ctrl('Z');
    EXPECT_NE(e().getText(), text);
    for (int i = 0; i < 300; ++i) ctrl('Y');
    EXPECT_EQ(e().getText(), text);
}

TEST(EditorScroll, TheCaretNearTheRightEdgeStaysInsideTheInterior) {
    windowList.clear();
    Editor editor("e", 1, 4, 20, 5);
    editor.lines = {std::string(30, 'a')};
    for (std::int64_t column = 0; column <= 30; ++column) {
        editor.selStart = editor.selEnd = TextPosition{column, 0};
        editor.updateGrid();
        EXPECT_LT(editor.cursorX, editor.width()) << "column " << column;
        EXPECT_GE(editor.cursorX, editor.gutterWidth());
    }
}
