// The message channels into the game's panels.
#include <gtest/gtest.h>

#include "game/game.h"
#include "game/panels.h"
#include "shell/messages.h"
#include "ui/window_order.h"
#include "test_support.h"

namespace {
std::string gridRow(const window& w, std::int64_t row) {
    std::string text;
    for (const auto& column : w.grid) text += static_cast<char>(column[static_cast<std::size_t>(row)].character);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

std::size_t indexOf(const window* w) {
    return static_cast<std::size_t>(std::find(windowList.begin(), windowList.end(), w) - windowList.begin());
}
} // namespace

TEST(ConsoleMessages, PrintRaisesTheConsoleAndKeepsItsVisibility) {
    freshProgram();
    consolePanel.clearText();
    editorPanel.raise();
    consolePrintf("第%llu行：\n", 3ull);
    // Beside the editor, nothing covers it: the editor keeps the keys.
    EXPECT_EQ(windowList.front(), &editorPanel);
    EXPECT_EQ(windowList[1], &consolePanel);
    stackPanel.raise(); // moved over the console
    moveWindow(stackPanel, 20, 0);
    editorPanel.raise();
    consolePrintf("%s", "缺少操作数\n");
    EXPECT_EQ(windowList.front(), &editorPanel);
    EXPECT_EQ(windowList[1], &consolePanel);
    consolePanel.x -= 60, consolePanel.right -= 60; // now over the editor
    consolePrintf("%s", "");
    consolePanel.x += 60, consolePanel.right += 60;
    EXPECT_EQ(windowList.front(), &consolePanel);
    EXPECT_TRUE(consolePanel.visible);
    EXPECT_EQ(gridRow(consolePanel, 0), "第3行：");
    EXPECT_EQ(gridRow(consolePanel, 1), "缺少操作数");

    consolePanel.hide();
    consolePrintf("异常：读取到0x%08X！已停机。\n", 0u);
    EXPECT_EQ(windowList.front(), &consolePanel);
    EXPECT_FALSE(consolePanel.visible);
    EXPECT_EQ(gridRow(consolePanel, 2), "异常：读取到0x00000000！已停机。");
}

TEST(ConsoleMessages, LongMessagesWrapAtThirtySixColumnsAndScrollAtElevenRows) {
    fakeConsole().resize(161, 33); // the console panel of the smallest layout
    freshProgram();
    consolePanel.clearText();
    consolePrintf("%s\n", std::string(40, 'w').c_str());
    EXPECT_EQ(gridRow(consolePanel, 0), std::string(36, 'w'));
    EXPECT_EQ(gridRow(consolePanel, 1), "wwww");
    for (int i = 0; i < 11; ++i) consolePrintf("m%d\n", i);
    consolePrintf("end");
    EXPECT_EQ(gridRow(consolePanel, 0), "m1");
    EXPECT_EQ(gridRow(consolePanel, 9), "m10");
    EXPECT_EQ(gridRow(consolePanel, 10), "end");
    fakeConsole().resize(170, 45);
}

TEST(PanelMessages, FixedPanelsAndAnyPanel) {
    freshProgram();
    for (window* w : {&registerPanel, &interruptPanel, &stackPanel, &memoryPanel, &levelPanel}) w->clearText();
    const std::size_t registerIndex = indexOf(&registerPanel);
    registerPrintf("R%X=%02X", 1, 0xAB);
    interruptPrintf("int");
    stackPrintf("stack");
    memoryPrintf("%04X", 0xFC00);
    panelPrintf(&levelPanel, "level %d", 30);
    panelPrintf(nullptr, "nowhere");
    EXPECT_EQ(gridRow(registerPanel, 0), "R1=AB");
    EXPECT_EQ(gridRow(interruptPanel, 0), "int");
    EXPECT_EQ(gridRow(stackPanel, 0), "stack");
    EXPECT_EQ(gridRow(memoryPanel, 0), "FC00");
    EXPECT_EQ(gridRow(levelPanel, 0), "level 30");
    EXPECT_EQ(indexOf(&registerPanel), registerIndex); // only the console comes forward
}

TEST(ConsoleMessages, CompileErrorsAreListedPerLineWithTheConsoleUncovered) {
    freshProgram();
    consolePanel.clearText();
    editorPanel.setText("add r3 r1\nhlt\nfoo r1");
    editorPanel.raise();
    compileProgram();
    EXPECT_EQ(windowList.front(), &editorPanel); // the player goes on typing
    EXPECT_EQ(windowList[1], &consolePanel);
    EXPECT_EQ(gridRow(consolePanel, 0), "第0行：");
    std::int64_t secondHeader = -1;
    for (std::int64_t row = 1; row < consolePanel.height(); ++row)
        if (gridRow(consolePanel, row) == "第2行：") secondHeader = row;
    ASSERT_GT(secondHeader, 1); // line 0's own messages come between the headers
    EXPECT_NE(gridRow(consolePanel, secondHeader + 1), "");
    for (std::int64_t row = 1; row < secondHeader; ++row) EXPECT_NE(gridRow(consolePanel, row), "第1行：");
}
