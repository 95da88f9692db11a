// The renderer at the level of console calls: what present() sends for a
// frame, checked against the recording fake console.
#include <memory>

#include "ui_support.h"

namespace {
std::vector<FakeConsole::Call> outputCalls() {
    std::vector<FakeConsole::Call> out;
    for (const auto& c : fakeConsole().calls)
        if (c.name == "WriteConsoleOutputCharacterA" || c.name == "FillConsoleOutputAttribute") out.push_back(c);
    return out;
}

void expectWrite(const FakeConsole::Call& call, const std::string& text, int x, int y) {
    EXPECT_EQ(call.name, "WriteConsoleOutputCharacterA");
    EXPECT_EQ(call.text, text);
    EXPECT_EQ(call.length, text.size());
    EXPECT_EQ(call.at.X, x);
    EXPECT_EQ(call.at.Y, y);
}

void expectFill(const FakeConsole::Call& call, std::uint16_t attribute, std::uint32_t length, int x, int y) {
    EXPECT_EQ(call.name, "FillConsoleOutputAttribute");
    EXPECT_EQ(call.value, attribute);
    EXPECT_EQ(call.length, length);
    EXPECT_EQ(call.at.X, x);
    EXPECT_EQ(call.at.Y, y);
}

void blankFrame() { clearFrame(fakeConsole().width, fakeConsole().height); }

// Presents one frame so the back buffer knows the screen, then forgets the calls.
void settle() {
    screen.present();
    fakeConsole().calls.clear();
}

void putText(int x, int y, const std::string& gbk, std::uint16_t attribute) {
    for (std::size_t i = 0; i < gbk.size(); ++i)
        putCell(x + static_cast<int>(i), y, static_cast<std::uint8_t>(gbk[i]), attribute);
}
} // namespace

TEST(ScreenPresent, FirstFrameSendsEmptyCellsAsBlanksOnBlack) {
    freshToolkit(20, 3);
    putText(2, 1, "ab", 15);
    screen.present();
    // Rows 0 and 2 are one run of blanks in attribute 0; row 1 is cut in three runs.
    auto calls = outputCalls();
    ASSERT_EQ(calls.size(), 10u);
    expectWrite(calls[0], std::string(20, ' '), 0, 0);
    expectFill(calls[1], 0, 20, 0, 0);
    expectWrite(calls[2], "  ", 0, 1);
    expectFill(calls[3], 0, 2, 0, 1);
    expectWrite(calls[4], "ab", 2, 1);
    expectFill(calls[5], 15, 2, 2, 1);
    expectWrite(calls[6], std::string(16, ' '), 4, 1);
    expectFill(calls[7], 0, 16, 4, 1);
    EXPECT_EQ(screen.frontBuffer[0][0].character, ' ');
    EXPECT_EQ(fakeConsole().row(1), "  ab                ");
    EXPECT_EQ(attributeAt(0, 1), 0);
    EXPECT_EQ(attributeAt(3, 1), 15);
}

TEST(ScreenPresent, UnchangedFrameMakesNoOutputCall) {
    freshToolkit(20, 3);
    putText(0, 0, std::string("关卡"), 15);
    settle();
    blankFrame();
    putText(0, 0, std::string("关卡"), 15);
    screen.present();
    EXPECT_TRUE(outputCalls().empty());
    EXPECT_EQ(fakeConsole().calls.size(), 1u); // the size query only
}

TEST(ScreenPresent, OneChangedCellIsOneRunPlusEveryDoubleByteCharacter) {
    freshToolkit(20, 4);
    const std::string guan = std::string("关");
    putText(10, 3, guan, 15);
    putText(0, 1, guan, 0x1F);
    settle();

    blankFrame();
    putText(10, 3, guan, 15);
    putText(0, 1, guan, 0x1F);
    putCell(5, 2, 'B', 15);
    screen.present();
    auto calls = outputCalls();
    ASSERT_EQ(calls.size(), 6u);
    expectWrite(calls[0], guan, 0, 1);
    expectFill(calls[1], 0x1F, 2, 0, 1);
    expectWrite(calls[2], "B", 5, 2);
    expectFill(calls[3], 15, 1, 5, 2);
    expectWrite(calls[4], guan, 10, 3);
    expectFill(calls[5], 15, 2, 10, 3);
    EXPECT_EQ(fakeConsole().row(3).substr(10, 2), "关");
}

TEST(ScreenPresent, LeadByteInLastColumnIsSentAlone) {
    freshToolkit(20, 3);
    settle();
    blankFrame();
    putCell(19, 2, 0xB9, 15);
    screen.present();
    auto calls = outputCalls();
    ASSERT_EQ(calls.size(), 2u);
    expectWrite(calls[0], "\xB9", 19, 2);
    expectFill(calls[1], 15, 1, 19, 2);
}

TEST(ScreenPresent, HighAttributeBitsNeverJoinARun) {
    freshToolkit(20, 3);
    settle();
    blankFrame();
    putCell(3, 0, 'a', 15);
    putCell(4, 0, 'b', 0x0F0F);
    putCell(5, 0, 'c', 0x0F0F);
    screen.present();
    auto calls = outputCalls();
    ASSERT_EQ(calls.size(), 6u);
    expectWrite(calls[0], "a", 3, 0);
    expectFill(calls[1], 15, 1, 3, 0);
    expectWrite(calls[2], "b", 4, 0);
    expectFill(calls[3], 0x0F, 1, 4, 0);
    expectWrite(calls[4], "c", 5, 0);
    expectFill(calls[5], 0x0F, 1, 5, 0);
}

TEST(ScreenPresent, RunsFollowAttributeChangesAndNeverCrossRows) {
    freshToolkit(6, 3);
    settle();
    blankFrame();
    putText(0, 0, "abcdef", 15);
    putText(0, 1, "gh", 0x1F);
    putText(2, 1, "ij", 15);
    screen.present();
    auto calls = outputCalls();
    ASSERT_EQ(calls.size(), 6u);
    expectWrite(calls[0], "abcdef", 0, 0);
    expectWrite(calls[2], "gh", 0, 1);
    expectFill(calls[3], 0x1F, 2, 0, 1);
    expectWrite(calls[4], "ij", 2, 1);
    expectFill(calls[5], 15, 2, 2, 1);

    fakeConsole().calls.clear();
    blankFrame();
    putText(0, 0, "abXdeY", 15);
    screen.present();
    calls = outputCalls();
    ASSERT_EQ(calls.size(), 6u); // X and Y are separate runs; row 1 returns to blank on black
    expectWrite(calls[0], "X", 2, 0);
    expectWrite(calls[2], "Y", 5, 0);
    expectWrite(calls[4], "    ", 0, 1);
    expectFill(calls[5], 0, 4, 0, 1);
}

TEST(ScreenPresent, InvalidOutputHandleOrEmptyWindowDoesNothing) {
    freshToolkit(20, 3);
    putCell(0, 0, 'a', 15);
    fakeConsole().outputValid = false;
    screen.present();
    EXPECT_TRUE(fakeConsole().calls.empty());
    fakeConsole().outputValid = true;
    screen.present();
    EXPECT_EQ(fakeConsole().row(0).substr(0, 1), "a");
}

TEST(ScreenWriters, PutPairNeedsBothCells) {
    freshToolkit();
    putCell(11, 0, 'Z', 0x1F);
    putPair(10, 0, 0xB9, 0xD8, 0x2F);
    EXPECT_EQ(screen.frontBuffer[10][0].character, ' ');
    EXPECT_EQ(screen.frontBuffer[10][0].attribute, 15);
    EXPECT_EQ(screen.frontBuffer[11][0].character, 'Z');
    EXPECT_EQ(screen.frontBuffer[11][0].attribute, 0x1F);

    putCell(20, 0, 'Y', 0x1F);
    putPair(20, 0, 0xB9, 0xD8, 0x2F);
    EXPECT_EQ(screen.frontBuffer[20][0].character, 'Y');
    EXPECT_EQ(screen.frontBuffer[21][0].character, ' ');
    EXPECT_EQ(screen.frontBuffer[21][0].attribute, 15);

    putPair(30, 0, 0xB9, 0xD8, 0x2F);
    putPair(30, 0, 0xC1, 0xC1, 0x3F); // both taken: first writer wins
    EXPECT_EQ(screen.frontBuffer[30][0].character, 0xB9);
    EXPECT_EQ(screen.frontBuffer[31][0].character, 0xD8);
    EXPECT_EQ(screen.frontBuffer[31][0].attribute, 0x2F);

    putPair(1023, 5, 0xB9, 0xD8, 0x2F); // the trail would leave the model
    EXPECT_EQ(screen.frontBuffer[1023][5].character, ' ');
}

TEST(ScreenWriters, OutOfModelWritesChangeNothing) {
    freshToolkit(20, 3);
    settle();
    blankFrame();
    putCell(-1, 5, 'a', 15);
    putCell(1024, 0, 'a', 15);
    putCell(0, 1024, 'a', 15);
    putCell(0, -1, 'a', 15);
    putPair(-2, 0, 0xB9, 0xD8, 15);
    screen.present();
    EXPECT_TRUE(outputCalls().empty());
}

TEST(ScreenWriters, ClearFrameEmptiesFourCellsBeyondTheWindow) {
    freshToolkit(20, 3);
    putCell(23, 6, 'a', 15);
    putCell(24, 0, 'b', 15);
    putCell(0, 7, 'c', 15);
    clearFrame(20, 3);
    EXPECT_EQ(screen.frontBuffer[23][6].character, 0);
    EXPECT_EQ(screen.frontBuffer[24][0].character, 'b');
    EXPECT_EQ(screen.frontBuffer[0][7].character, 'c');
}

TEST(ConsoleSetup, ConstructionIgnoresCtrlCAndRestoresTheInputModeOnce) {
    freshToolkit();
    ConsoleScreen::forgetProcessSetup();
    fakeConsole().mode = 0x1F7;
    auto first = std::make_unique<ConsoleScreen>();
    const auto& calls = fakeConsole().calls;
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].name, "SetConsoleCtrlHandler");
    EXPECT_EQ(calls[1].name, "SetConsoleCtrlHandler");
    EXPECT_EQ(calls[2].name, "GetConsoleMode");
    EXPECT_EQ(first->savedInputMode, 0x1F7u);
    EXPECT_TRUE(first->cursorShown);

    fakeConsole().mode = 0x1B0;
    auto second = std::make_unique<ConsoleScreen>();
    EXPECT_EQ(calls.size(), 3u); // once per process
    EXPECT_EQ(second->savedInputMode, 0x1F7u);
    second.reset();
    first.reset();
    EXPECT_EQ(fakeConsole().mode, 0x1F7u);
    EXPECT_EQ(calls.back().name, "SetConsoleMode");
}

TEST(ConsoleSetup, ReadingModeKeepsWindowInsertAndHighBits) {
    EXPECT_EQ(readingInputMode(0x1F7), 0x1B0u);
    EXPECT_EQ(readingInputMode(0), 0x90u);
    EXPECT_EQ(readingInputMode(0xFFFFFFFF), 0xFFFFFFB8u);
    EXPECT_EQ(ctrlHandler(CTRL_C_EVENT), 1);
    EXPECT_EQ(ctrlHandler(CTRL_BREAK_EVENT), 1);
    EXPECT_EQ(ctrlHandler(CTRL_CLOSE_EVENT), 0);
    EXPECT_EQ(ctrlHandler(5), 0);
}

TEST(ConsoleSetup, ClearConsoleBlanksTheWholeBufferAndHomesTheCursor) {
    freshToolkit(20, 3);
    fakeConsole().cell(4, 2).character = 'q';
    fakeConsole().cursor = {5, 1};
    clearConsole();
    const auto& calls = fakeConsole().calls;
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[1].name, "FillConsoleOutputCharacterA");
    EXPECT_EQ(calls[1].length, 60u);
    EXPECT_EQ(calls[3].name, "FillConsoleOutputAttribute");
    EXPECT_EQ(calls[3].value, 0x07);
    EXPECT_EQ(fakeConsole().cell(4, 2).character, ' ');
    EXPECT_EQ(fakeConsole().cursor.X, 0);
    EXPECT_EQ(fakeConsole().cursor.Y, 0);
    EXPECT_EQ(visibleConsoleSize().width, 20);
    EXPECT_EQ(visibleConsoleSize().height, 3);
}
