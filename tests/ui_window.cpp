// Panels and input routing, checked on whole screens of a small fake console.
#include "ui_support.h"
#include "ui/panel_scroll.h"

namespace {
constexpr std::uint32_t left = FROM_LEFT_1ST_BUTTON_PRESSED;

void frames(std::initializer_list<INPUT_RECORD> records) {
    for (const INPUT_RECORD& r : records) composeFrame(r);
}

std::string gridRow(const window& w, std::int64_t row) {
    std::string text;
    for (const auto& column : w.grid) text += static_cast<char>(column[static_cast<std::size_t>(row)].character);
    return text;
}
} // namespace

TEST(WindowFrame, FrameTitleAndCloseBox) {
    freshToolkit(20, 8);
    window w(std::string("控制台"), 2, 3, 10, 3);
    w.printf("hi%s", std::string("汉字").c_str());
    composeFrame();
    EXPECT_EQ(screenText(), screenOf({
                                " +----------x",
                                " |控制台    |",
                                " +----------+",
                                " |hi汉字    |",
                                " |          |",
                                " |          |",
                                " +----------+",
                            }));
    EXPECT_EQ(attributeAt(1, 0), 15);
    EXPECT_EQ(attributeAt(12, 0), 15);
    EXPECT_EQ(attributeAt(0, 0), 0);
}

TEST(WindowFrame, WindowAtColumnZeroHasNoLeftBorder) {
    freshToolkit(20, 8);
    window w("t", 0, 3, 6, 1);
    composeFrame();
    EXPECT_EQ(screenText(), screenOf({"------x", "t     |", "------+", "      |", "------+"}));
}

TEST(WindowFrame, TitleLongerThanTheWindowIsClipped) {
    freshToolkit(20, 8);
    window w(std::string("汇编代码"), 1, 3, 5, 1);
    composeFrame();
    EXPECT_EQ(screenText()[1], "|汇编 |");
}

TEST(WindowFrame, FrontWindowCoversTheOneBehindIncludingItsText) {
    freshToolkit(24, 10);
    window front("A", 2, 3, 6, 3);
    window back("B", 6, 5, 8, 3);
    back.printf("bbbbbbbb\nbbbbbbbb\nbbbbbbbb");
    composeFrame();
    EXPECT_EQ(screenText(), screenOf({
                                " +------x",
                                " |A     |",
                                " +------+-----x",
                                " |      |     |",
                                " |      |-----+",
                                " |      |bbbbb|",
                                " +------+bbbbb|",
                                "     |bbbbbbbb|",
                                "     +--------+",
                            }));
}

TEST(WindowFrame, PrintingTabsWrapsAndScrolls) {
    freshToolkit();
    window w("t", 1, 3, 6, 4);
    w.printf("ab\tc");
    EXPECT_EQ(gridRow(w, 0), "ab  c ");
    w.printf("\n123456789");
    EXPECT_EQ(gridRow(w, 1), "123456");
    EXPECT_EQ(gridRow(w, 2), "789   ");
    w.printf("\nline4\nline5");
    EXPECT_EQ(gridRow(w, 0), "123456");
    EXPECT_EQ(gridRow(w, 3), "line5 ");
    w.printf("\nx");
    EXPECT_EQ(gridRow(w, 2), "line5 ");
    EXPECT_EQ(gridRow(w, 3), std::string("x") + std::string(5, ' '));
    EXPECT_EQ(w.grid[1][3].attribute, 0); // scrolled-in blanks are black until written
    EXPECT_EQ(w.grid[0][3].attribute, 15);
}

TEST(WindowFrame, PrintingWrapsBeforeADoubleByteCharacterThatDoesNotFit) {
    freshToolkit(20, 9);
    window w("t", 1, 3, 5, 3);
    w.printf("%s", std::string("abcd长度").c_str());
    EXPECT_EQ(gridRow(w, 0), "abcd ");
    EXPECT_EQ(gridRow(w, 1), std::string("长度 "));
    // Trail bytes that look like leads (D8 B9: the seam of 关关) do not start a character.
    w.clearText();
    w.printf("%s", std::string("a关关关").c_str());
    EXPECT_EQ(gridRow(w, 0), std::string("a关关"));
    EXPECT_EQ(gridRow(w, 1), std::string("关   "));
    composeFrame();
    EXPECT_EQ(screenText()[3], std::string("|a关关|"));
    EXPECT_EQ(screenText()[4], std::string("|关   |"));
    window narrow("n", 10, 3, 1, 2); // a character wider than the grid is placed as before
    narrow.printf("%s", std::string("关").c_str());
    EXPECT_EQ(narrow.cursorY, 1);
}

// A closing punctuation mark never starts a row alone: the character before
// it goes along; the log panel's layout (layOut) wraps the same way.
TEST(WindowFrame, PunctuationWrapsWithTheCharacterBeforeIt) {
    freshToolkit(20, 9);
    const struct {
        std::string text;
        std::int64_t width;
        std::vector<std::string> rows;
    } cases[] = {
        {"abcd长。x", 6, {"abcd", "长。x"}},
        {"abcdef.", 6, {"abcde", "f."}},
        {"编译成功：0条指令。", 8, {"编译成", "功：0条", "指令。"}},
        {"长。", 2, {"长", "。"}}, // a row's only character stays
        {"ab,cd", 2, {"a", "b,", "cd"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(layOut(c.text, c.width), c.rows);
        window w("t", 1, 3, c.width, 4);
        w.printf("%s", c.text.c_str());
        for (std::size_t row = 0; row < c.rows.size(); ++row) {
            std::string shown = gridRow(w, static_cast<std::int64_t>(row));
            shown.erase(shown.find_last_not_of(' ') + 1);
            EXPECT_EQ(shown, c.rows[row]) << row;
        }
    }
}

TEST(WindowFrame, PrintingNeverLeavesTheGrid) {
    freshToolkit();
    window w("t", 1, 3, 3, 2);
    w.setCursor(-5, -5);
    w.printf("abc");
    w.setCursor(100, 100);
    w.printf("\tq\tq");
    window empty("e", 1, 3, 0, 0);
    empty.printf("abc\n\tdef");
    std::string big(70000, 'z');
    w.printf("%s", big.c_str());
    EXPECT_EQ(w.cursorY, 1);
}

TEST(WindowInput, PressInUncoveredPartOfBackWindowRaisesItAndOnlyItHearsIt) {
    freshToolkit(30, 12);
    window front("F", 2, 3, 8, 4);
    window back("B", 6, 5, 10, 4);
    int frontHeard = 0, backHeard = 0;
    front.inputHandlers.push_back([&](INPUT_RECORD) { ++frontHeard; });
    back.inputHandlers.push_back([&](INPUT_RECORD) { ++backHeard; });
    frames({mouseAt(14, 7), mouseAt(14, 7, left)});
    EXPECT_EQ(windowList.front(), &back);
    EXPECT_EQ(frontHeard, 0);
    EXPECT_EQ(backHeard, 2);
    // The back window now shows over the former front one.
    EXPECT_EQ(screenText()[3], " |   |B         |");
    EXPECT_EQ(screenText()[4], " |   +----------+");
}

TEST(WindowInput, MovesReachEveryWindowUnderThePointerButtonsLightUp) {
    freshToolkit(30, 12);
    window front("F", 2, 3, 8, 4);
    window back("B", 2, 3, 8, 4);
    front.buttons.emplace_back(1, 1, 2, 1, "ok", front.x, front.y);
    back.buttons.emplace_back(1, 1, 2, 1, "no", back.x, back.y);
    int frontHeard = 0, backHeard = 0;
    front.inputHandlers.push_back([&](INPUT_RECORD) { ++frontHeard; });
    back.inputHandlers.push_back([&](INPUT_RECORD) { ++backHeard; });
    composeFrame(mouseAt(4, 4));
    EXPECT_EQ(front.buttons[0].colour, 0xF0);
    EXPECT_EQ(back.buttons[0].colour, 0xF0);
    EXPECT_EQ(frontHeard, 1);
    EXPECT_EQ(backHeard, 1);
    EXPECT_EQ(attributeAt(3, 4), 0xF0);
    EXPECT_EQ(screenText()[4], " | ok     |");
    composeFrame(mouseAt(8, 5));
    EXPECT_EQ(front.buttons[0].colour, 15);
    EXPECT_EQ(attributeAt(3, 4), 15);
}

TEST(WindowInput, HeldButtonRunsItsActionOncePerRecord) {
    freshToolkit(30, 12);
    window w("W", 2, 3, 10, 4);
    int runs = 0;
    w.buttons.emplace_back(0, 0, 4, 1, "step", w.x, w.y);
    w.buttons.back().action = [&] { ++runs; };
    frames({mouseAt(3, 3), mouseAt(3, 3, left), mouseAt(4, 3, left), mouseAt(5, 3, left), mouseAt(5, 3)});
    EXPECT_EQ(runs, 3);
    composeFrame(mouseAt(9, 5, left)); // held outside the button
    EXPECT_EQ(runs, 3);
}

TEST(WindowInput, ActionThatGrowsItsOwnButtonListIsSafe) {
    freshToolkit(30, 12);
    window w("W", 2, 3, 10, 4);
    w.buttons.emplace_back(0, 0, 4, 1, "more", w.x, w.y);
    w.buttons.back().action = [&] {
        for (int i = 0; i < 20; ++i) w.buttons.emplace_back(0, 2, 1, 1, "+", w.x, w.y);
    };
    frames({mouseAt(3, 3), mouseAt(3, 3, left)});
    EXPECT_EQ(w.buttons.size(), 21u);
}

TEST(WindowInput, DraggingTheHeaderMovesFrameButtonsAndCloseBoxInOneFrame) {
    freshToolkit(24, 10);
    window w("W", 2, 3, 6, 2);
    w.buttons.emplace_back(0, 0, 2, 1, "ok", w.x, w.y);
    frames({mouseAt(4, 1), mouseAt(4, 1, left), mouseAt(6, 1, left)});
    EXPECT_EQ(w.x, 4);
    EXPECT_EQ(w.right, 10);
    EXPECT_EQ(screenText(), screenOf({
                                "   +------x",
                                "   |W     |",
                                "   +------+",
                                "   |ok    |",
                                "   |      |",
                                "   +------+",
                            }));
    frames({mouseAt(6, 2, left), mouseAt(6, 2)}); // one row down, then release
    EXPECT_EQ(w.y, 4);
    composeFrame(mouseAt(12, 8));
    EXPECT_EQ(w.y, 4);
    EXPECT_EQ(w.x, 4);
    EXPECT_EQ(screenText()[4], "   |ok    |");
}

TEST(WindowInput, CloseBoxHidesAndToggleBringsItAllBack) {
    freshToolkit(24, 10);
    window w("W", 2, 3, 6, 2);
    window other("O", 12, 5, 6, 2);
    w.buttons.emplace_back(0, 0, 2, 1, "ok", w.x, w.y);
    frames({mouseAt(8, 0), mouseAt(8, 0, left)});
    EXPECT_FALSE(w.visible);
    // Closed windows go to the back, so the visible one is in front.
    EXPECT_EQ(windowList.back(), &w);
    EXPECT_EQ(windowList.front(), &other);
    EXPECT_FALSE(w.closeBox.visible);
    EXPECT_FALSE(w.buttons[0].visible);
    composeFrame(mouseAt(8, 0));
    EXPECT_EQ(screenText()[0], "");
    EXPECT_EQ(screenText()[3], "           |O     |");

    composeFrame(mouseAt(20, 9));
    const ConsoleSize size = visibleConsoleSize();
    clearFrame(size.width, size.height);
    w.toggle(); // what the bar button does
    drawAllWindows();
    screen.present();
    EXPECT_TRUE(w.visible);
    EXPECT_EQ(windowList.front(), &w);
    EXPECT_EQ(screenText()[0], " +------x");
    EXPECT_TRUE(w.buttons[0].visible);
    composeFrame(); // the grid took the button's cells in the frame of opening
    EXPECT_EQ(screenText()[3], " |ok    |  |O     |");
    w.toggle(); // in front: closes
    EXPECT_FALSE(w.visible);
    EXPECT_EQ(windowList.back(), &w);
    other.raise();
    w.toggle(); // hidden: opens
    other.toggle(); // visible, not in front: raised
    EXPECT_EQ(windowList.front(), &other);
    EXPECT_TRUE(other.visible);
}

TEST(WindowInput, KeysGoToTheFrontVisibleWindowOnly) {
    freshToolkit();
    window a("A", 2, 3, 4, 2);
    window b("B", 10, 3, 4, 2);
    int aHeard = 0, bHeard = 0;
    a.inputHandlers.push_back([&](INPUT_RECORD) { ++aHeard; });
    b.inputHandlers.push_back([&](INPUT_RECORD) { ++bHeard; });
    a.hide();
    composeFrame(keyDown('Q', 'q'));
    EXPECT_EQ(bHeard, 1);
    EXPECT_EQ(aHeard, 0);
    b.hide();
    composeFrame(keyDown('Q', 'q'));
    EXPECT_EQ(aHeard + bHeard, 1);
    EXPECT_TRUE(inputConsumed == false);
}

TEST(WindowInput, AnyMouseRecordRoutesByPositionAndLeftButton) {
    freshToolkit();
    window w("W", 2, 3, 6, 2);
    window back("B", 20, 3, 6, 2);
    composeFrame(mouseAt(21, 4, RIGHTMOST_BUTTON_PRESSED));
    EXPECT_EQ(windowList.front(), &w);
    composeFrame(mouseAt(21, 4, left, DOUBLE_CLICK));
    EXPECT_EQ(windowList.front(), &back);
    composeFrame(mouseAt(3, 4, left, MOUSE_WHEELED));
    EXPECT_EQ(windowList.front(), &w);
}

TEST(WindowCursor, ShownOnlyForAVisibleFrontWindowThatAsks) {
    freshToolkit();
    window w("W", 2, 3, 6, 2);
    w.showCursor = true;
    w.setCursor(3, 1);
    composeFrame();
    EXPECT_EQ(fakeConsole().cursor.X, 5);
    EXPECT_EQ(fakeConsole().cursor.Y, 4);
    EXPECT_EQ(fakeConsole().count("SetConsoleCursorInfo"), 0u); // shown from the start
    w.showCursor = false;
    composeFrame();
    composeFrame();
    EXPECT_FALSE(fakeConsole().cursorVisible);
    EXPECT_EQ(fakeConsole().count("SetConsoleCursorInfo"), 1u);
    w.setCursor(100, 0); // off the console: not moved
    w.showCursor = true;
    composeFrame();
    EXPECT_TRUE(fakeConsole().cursorVisible);
    EXPECT_EQ(fakeConsole().cursor.X, 5);
}

TEST(ButtonBar, AddButtonLaysButtonsSideBySide) {
    freshToolkit();
    std::vector<Button> bar;
    addButton(bar, nullptr, "abcdefghijklmn");
    addButton(bar, nullptr, std::string("寄存器"));
    EXPECT_EQ(bar[0].offsetX, 0);
    EXPECT_EQ(bar[1].offsetX, 16);
    EXPECT_EQ(bar[1].width, 6);
    screen.present();
    EXPECT_EQ(screenText()[0], "abcdefghijklmn  寄存器");
    int pressed = 0;
    bar[0].action = [&] { ++pressed; };
    hoverBarButtons(bar, mouseAt(17, 0).Event.MouseEvent);
    EXPECT_EQ(bar[1].colour, 0xF0);
    hoverBarButtons(bar, mouseAt(2, 0, left).Event.MouseEvent);
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(bar[1].colour, 15);
}

TEST(ButtonText, WrapsBreaksAndCutsAtItsArea) {
    freshToolkit();
    Button b(0, 0, 4, 2, "abcdef\nxyz", 3, 2);
    screen.present();
    EXPECT_EQ(screenText()[2], "   abcd");
    EXPECT_EQ(screenText()[3], "   ef");
    EXPECT_EQ(screenText()[4], "");
    clearFrame(40, 12);
    b.text = std::string("一二三");
    b.draw();
    screen.present();
    EXPECT_EQ(screenText()[2], "   一二");
    EXPECT_EQ(screenText()[3], "   三");
}

TEST(WindowFrame, CoveredHalfOfAChineseCharacterLeavesABlank) {
    freshToolkit(20, 9);
    window front("A", 2, 3, 4, 2);
    window back("B", 6, 4, 6, 3);
    back.printf("汉字");
    composeFrame();
    EXPECT_EQ(screenText()[4], " |    | 字  |");
    EXPECT_EQ(attributeAt(7, 4), 15);
    // Bytes of one character in two colours are never joined into a pair.
    front.grid[0][0] = ScreenCell{0xBA, 15};
    front.grid[1][0] = ScreenCell{0xBA, 0x1F};
    front.grid[2][0] = ScreenCell{0xBA, 15};
    front.grid[3][0] = ScreenCell{0xBA, 15};
    clearFrame(20, 9);
    drawAllWindows();
    EXPECT_EQ(screen.frontBuffer[3][3].attribute, 0x1F);
    EXPECT_EQ(screen.frontBuffer[4][3].character, 0xBA);
    EXPECT_EQ(screen.frontBuffer[5][3].attribute, 15);
}
