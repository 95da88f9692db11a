// The frame loop: judging halts, counting passes, completing levels,
// breakpoints, and the buttons driven by real mouse records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "game/function_keys.h"
#include "levels/game_random.h"
#include "game/game.h"
#include "game/level_play.h"
#include "game/memory_view.h"
#include "game/panel_marks.h"
#include "game/panels.h"
#include "run/run_replay.h"
#include "run/run_steps.h"
#include "run/reverse_run.h"
#include "run/step_history.h"
#include "run/watches.h"
#include "levels/boundary_runs.h"
#include "levels/custom_level.h"
#include "shell/host_files.h"
#include "shell/manual_guide.h"
#include "shell/messages.h"
#include "text/gbk_wide.h"
#include "ui/window_order.h"
#include "game_support.h"
#include "ui_support.h"

namespace {

void compile(const std::string& text) {
    editorPanel.setText(text);
    compileProgram();
}

// Runs the machine fast until it halts, then lets the next frame judge it.
void runToHaltAndJudge() {
    game.running = 1;
    while (game.running && !cpu.halted) game.updateVM();
    game.updateLEVEL();
}

// Every row of the console panel, one line each.
std::string consoleText() {
    std::string text;
    for (std::size_t row = 0; row < consolePanel.grid.front().size(); ++row)
        text += panelRow(consolePanel, static_cast<int>(row)) + "\n";
    return text;
}

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

std::string hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

// Runs level `level` with `source` fast, frame by frame, until a run fails.
void playUntilAFailure(std::uint16_t level, const std::string& source) {
    game.setLEVEL(level);
    runFrame();
    compile(source);
    runFrame();
    game.fast = 1;
    game.running = 1;
    for (int frame = 0; frame < 20000 && !game.judged; ++frame) runFrame();
    ASSERT_TRUE(game.judged) << "no run failed";
}

} // namespace

TEST(Judging, EveryHaltPassesInAnOpenLevel) {
    freshProgram();
    game.level = 31;
    compile("hlt");
    game.updateLEVEL();
    for (int i = 0; i < 5; ++i) runToHaltAndJudge();
    EXPECT_EQ(game.passCount, 5);
    EXPECT_EQ(game.level, 31);
}

TEST(Judging, TwoHundredFiftySevenPassesCompleteALevel) {
    freshProgram();
    game.level = 1;
    compile("add r3 r1 r2\nhlt");
    game.updateLEVEL();
    for (int i = 0; i < 256; ++i) runToHaltAndJudge();
    EXPECT_EQ(game.passCount, 256);
    EXPECT_EQ(game.level, 1);
    // The 257th pass starts the boundary runs; the last of them completes the level.
    const std::size_t boundary = boundaryRuns(1).size();
    ASSERT_GT(boundary, 0u);
    for (std::size_t i = 0; i < boundary; ++i) runToHaltAndJudge();
    EXPECT_EQ(game.level, 1);
    runToHaltAndJudge();
    EXPECT_EQ(game.level, 2);
    EXPECT_NE(consoleText().find("恭喜通过第1关！\n你的程序：2条指令，平均每次检验2步。\n接下来：第2关。请阅读关卡说明，\n修改代码后重新编译。\n"), std::string::npos) << consoleText();
    EXPECT_EQ(game.running, 0);
    EXPECT_TRUE(game.program.empty()); // the player compiles again for the new level
    EXPECT_EQ(editorPanel.getText(), "add r3 r1 r2\nhlt");
    game.updateLEVEL();
    EXPECT_EQ(game.passCount, 0);
    EXPECT_EQ(levelPanel.title, "关卡说明-第2关");
}

TEST(Judging, AFailureResetsTheCountAndStopsTheMachine) {
    freshProgram();
    game.level = 1;
    compile("add r3 r1 r1\nhlt"); // wrong unless R1 == R2
    game.updateLEVEL();
    game.fast = 1;
    bool failed = false;
    for (int i = 0; i < 20 && !failed; ++i) {
        runToHaltAndJudge();
        failed = game.judged != 0;
    }
    ASSERT_TRUE(failed);
    EXPECT_EQ(game.passCount, 0);
    EXPECT_EQ(game.running, 0);
    EXPECT_EQ(game.fast, 0);
    // Judged once: the halted machine stays as it is.
    const std::uint8_t r3 = cpu.registers[3];
    game.updateLEVEL();
    EXPECT_EQ(cpu.registers[3], r3);
    EXPECT_TRUE(cpu.halted);
}

TEST(Judging, HighByteOfAnExpectedValueMeansNotCompared) {
    freshProgram();
    game.level = 31;
    compile("hlt");
    game.updateLEVEL();
    game.registerCheck = [](std::uint16_t i) -> std::uint16_t { return i == 3 ? 0x01FF : NOT_CHECKED; };
    cpu.registers[3] = 0x12;
    EXPECT_TRUE(game.runPasses());
    game.registerCheck = [](std::uint16_t i) -> std::uint16_t { return i == 3 ? 0x00FF : NOT_CHECKED; };
    EXPECT_FALSE(game.runPasses());
}

TEST(Judging, TheLevelAfter65535IsZero) {
    freshProgram();
    game.level = 65535;
    compile("hlt");
    game.updateLEVEL();
    game.passCount = 256;
    runToHaltAndJudge();
    EXPECT_EQ(game.level, 0);
}

TEST(Breakpoints, AStartOnTheLineRunsItAndTheReturnStops) {
    freshProgram();
    game.level = 31;
    compile("addi r1 r1 1\njmp r0 r0 -4");
    game.updateLEVEL();
    editorPanel.breakpoints = {0};
    game.running = 1;
    game.fast = 1;
    game.updateVM();
    EXPECT_EQ(game.running, 0);
    EXPECT_EQ(cpu.pc, 0);
    EXPECT_EQ(cpu.registers[1], 1);
    game.running = 1;
    game.updateVM();
    EXPECT_EQ(cpu.registers[1], 2);
}

TEST(Breakpoints, AMarkOnALineWithoutAnInstructionStopsBeforeTheNextInstruction) {
    freshProgram();
    game.level = 31;
    compile("addi r1 r1 1\n; count\nlabel L\n\naddi r2 r2 1\njmp r0 r0 L\nhlt");
    game.updateLEVEL();
    for (const std::int64_t mark : {1, 2, 3}) {
        cpu.pc = 0;
        cpu.registers[2] = 0;
        editorPanel.breakpoints = {mark};
        game.running = 1;
        game.fast = 1;
        game.updateVM();
        EXPECT_EQ(game.running, 0) << "mark on line " << mark;
        EXPECT_EQ(cpu.pc, 4) << "mark on line " << mark;
        EXPECT_EQ(cpu.registers[2], 0) << "mark on line " << mark;
    }
    // A mark past the last instruction, or at an index no line has, never stops a
    // run, even one whose PC maps to no line.
    editorPanel.breakpoints = {7, -1};
    compile("addi r1 r1 1\njmp r0 r0 0200");
    game.updateLEVEL();
    game.running = 1;
    game.fast = 1;
    game.updateVM();
    EXPECT_EQ(game.running, 1);
}

TEST(Breakpoints, TheBarButtonTogglesTheCaretLine) {
    freshProgram();
    runFrame();
    editorPanel.setText("addi r1 r1 1\nhlt");
    editorPanel.moveCaret({2, 1}, false);
    const CellPosition button = barButton("断点");
    fakeConsole().pushMouse(button.x, button.y, FROM_LEFT_1ST_BUTTON_PRESSED);
    fakeConsole().pushMouse(button.x + 1, button.y, FROM_LEFT_1ST_BUTTON_PRESSED, MOUSE_MOVED);
    fakeConsole().pushMouse(button.x + 1, button.y, 0);
    runFrames(4);
    EXPECT_EQ(editorPanel.breakpoints, std::vector<std::int64_t>{1}); // once per press, not per held move
    click(button.x, button.y);
    EXPECT_TRUE(editorPanel.breakpoints.empty());
}

TEST(Frame, TheCaretFollowsTheSteppedPcButNotAnIdleOne) {
    freshProgram();
    runFrame();
    compile("addi r1 r1 1\naddi r1 r1 1\nhlt\n; three lines above");
    runFrame();
    const CellPosition bar = barButton("CPU控制");
    click(bar.x, bar.y);
    const CellPosition step = controlButton("步进");
    click(step.x, step.y);
    runFrame();
    EXPECT_EQ(editorPanel.selEnd, (TextPosition{0, 1}));
    // A click into the text on a halted machine puts the caret there, and there it stays.
    click(60, static_cast<int>(editorPanel.y) + 3); // past the end of line 3
    runFrames(3);
    EXPECT_EQ(editorPanel.selEnd, (TextPosition{19, 3}));
    EXPECT_EQ(editorPanel.lineColours.size(), 0u);
    // The PC moving again takes it along.
    click(bar.x, bar.y);
    click(step.x, step.y);
    runFrame();
    EXPECT_EQ(editorPanel.selEnd, (TextPosition{0, 2}));
}

TEST(Frame, AFrameTakesEveryQueuedKeyForTheEditorButOneForTheCpu) {
    freshProgram();
    runFrame();
    editorPanel.raise();
    std::string pasted;
    for (int i = 0; i < 2000; ++i) pasted += static_cast<char>('a' + i % 26);
    fakeConsole().pushText(pasted);
    fakeConsole().pushMouse(3, 40, 0);
    fakeConsole().pushText("z");
    runFrame();
    EXPECT_EQ(editorPanel.getText(), pasted); // the mouse record waits for the next frame, and so does what follows it
    EXPECT_EQ(fakeConsole().input.size(), 2u);
    runFrames(2);
    EXPECT_EQ(editorPanel.getText(), pasted + "z");

    keyboardPanel.raise();
    fakeConsole().pushKey('7', '7');
    fakeConsole().pushKey('8', '8');
    runFrame();
    EXPECT_EQ(cpu.pendingKey, '7');
    runFrame();
    EXPECT_EQ(cpu.pendingKey, '8');
}

TEST(Frame, EditsResetTheMachineAndSaveNothingHeadless) {
    freshProgram();
    runFrame();
    compile("add r3 r1 r2\nhlt");
    runFrame();
    EXPECT_FALSE(game.program.empty());
    typeIntoEditor("x");
    EXPECT_TRUE(game.program.empty());
    EXPECT_EQ(game.passCount, 0);
}

TEST(Frame, StartsAtLevelOneWithTheBarOnTop) {
    freshProgram();
    runFrame();
    EXPECT_EQ(game.level, 1);
    const std::string row0 = fakeConsole().row(0);
    EXPECT_EQ(row0.substr(0, 14), "汇编代码编辑器");
    EXPECT_EQ(row0.substr(54, 7), "CPU控制");
    EXPECT_EQ(row0.substr(87, 4), "断点");
    EXPECT_EQ(row0.substr(93, 6), "说明书");
}

TEST(Buttons, CompileRunAndResetThroughTheMouse) {
    freshProgram();
    runFrame();
    game.setLEVEL(1);
    typeIntoEditor("add r3 r1 r2\rhlt");
    EXPECT_EQ(editorPanel.getText(), "add r3 r1 r2\nhlt");
    const CellPosition bar = barButton("CPU控制");
    click(bar.x, bar.y);
    EXPECT_EQ(windowList.front(), &cpuControlPanel);
    const CellPosition compileButton = controlButton("编译");
    click(compileButton.x, compileButton.y);
    EXPECT_EQ(game.program.size(), 8u);
    const CellPosition runButton = controlButton("运行");
    click(runButton.x, runButton.y);
    runFrames(10);
    EXPECT_GT(game.passCount, 0);
    EXPECT_NE(panelRow(registerPanel, 5).find("已通过:"), std::string::npos);

    const CellPosition resetButton = controlButton("重置");
    click(resetButton.x, resetButton.y);
    runFrame();
    EXPECT_EQ(game.passCount, 0);
    EXPECT_EQ(game.running, 0);
    EXPECT_TRUE(game.program.empty());
    EXPECT_EQ(cpu.memory[0], 0);
    EXPECT_EQ(panelRow(registerPanel, 5).substr(14), "已通过:00");
}

namespace {
// The console's rows joined: messages as printed, wherever the panel wrapped them.
std::string consoleMessages() {
    std::string text;
    for (int row = 0; row < consolePanel.height(); ++row) text += panelRow(consolePanel, row);
    return text;
}

void press(const char* button) {
    cpuControlPanel.raise();
    const CellPosition at = controlButton(button);
    click(at.x, at.y);
}
} // namespace

// Every compile says how it went; 运行 and 步进 run nothing until the text compiles.
TEST(Buttons, CompileFeedbackAndRefusals) {
    freshProgram();
    runFrame();
    press("运行");
    EXPECT_EQ(consoleMessages(), "请先编译。");
    EXPECT_EQ(game.running, 0);

    typeIntoEditor("add r3 r1 r9 r4\rhlx");
    press("编译");
    const std::string warning = "第0行：警告：指令到\"r9\"就完整了，后面的\"r4\"被忽略。注释要以;开头。";
    EXPECT_EQ(consoleMessages(), "第1行：不存在的指令：\"HLX\"" + warning + "编译失败：1行有错误，程序没有载入。");
    // The errors stay in sight: the console beside the control panel is not covered.
    runFrame();
    EXPECT_NE(fakeConsole().row(static_cast<int>(consolePanel.y) - 2).find("|控制台"), std::string::npos);
    EXPECT_NE(fakeConsole().row(static_cast<int>(consolePanel.y)).find("|第1行："), std::string::npos);
    const std::uint16_t pc = cpu.pc;
    press("运行");
    press("步进");
    runFrames(2);
    EXPECT_TRUE(consoleMessages().ends_with("没有载入。请先修正编译错误。请先修正编译错误。"));
    EXPECT_EQ(game.running, 0);
    EXPECT_EQ(cpu.pc, pc);
    // The line in error stays marked across frames, until the next edit.
    editorPanel.raise();
    runFrames(2);
    EXPECT_EQ(attributeAt(static_cast<int>(editorPanel.x) + 3, static_cast<int>(editorPanel.y) + 1), 0xCF);
    EXPECT_NE(attributeAt(static_cast<int>(editorPanel.x) + 3, static_cast<int>(editorPanel.y)), 0xCF);
    fakeConsole().pushKey(VK_BACK, 8);
    runFrames(3);
    EXPECT_NE(attributeAt(static_cast<int>(editorPanel.x) + 3, static_cast<int>(editorPanel.y) + 1), 0xCF);
    press("运行");
    EXPECT_TRUE(consoleMessages().ends_with("请先编译。"));

    typeIntoEditor("t");
    press("编译"); // the console starts afresh and the control panel stays in front
    EXPECT_EQ(consoleMessages(), warning + "编译成功：2条指令，共8字节。");
    EXPECT_EQ(windowList.front(), &cpuControlPanel);
    press("步进");
    EXPECT_EQ(cpu.pc, 4);
    press("重置");
    runFrame();
    press("步进");
    EXPECT_TRUE(consoleMessages().ends_with("请先编译。"));
    EXPECT_EQ(cpu.pc, 0);

    editorPanel.setText("dta 41\nhlt");
    press("编译");
    EXPECT_EQ(consoleMessages(), "编译成功：1条指令，1个数据字节，共5字节。");
}

TEST(Buttons, UndoOutlastsACompileAndEachLevelUndoesItsOwnEdits) {
    freshProgram();
    runFrame();
    typeIntoEditor("add r3 r1 r2\rhlt");
    press("编译");
    const auto undo = [] {
        editorPanel.raise();
        fakeConsole().pushKey('Z', 0x1A, LEFT_CTRL_PRESSED);
        runFrames(2);
    };
    undo();
    EXPECT_EQ(editorPanel.getText(), "add r3 r1 r2\n");
    game.setLEVEL(2); // the level passed: level 2 starts with the same text and nothing to undo
    undo();
    EXPECT_EQ(editorPanel.getText(), "add r3 r1 r2\n");
    game.setLEVEL(1); // back to level 1 with the text it was left with: its edits again
    undo();
    EXPECT_EQ(editorPanel.getText(), "add r3 r1 r2");
}

TEST(Buttons, TheBarTogglesAPanel) {
    freshProgram();
    runFrame();
    const CellPosition bar = barButton("CPU控制");
    click(bar.x, bar.y);
    EXPECT_EQ(windowList.front(), &cpuControlPanel);
    click(bar.x, bar.y);
    EXPECT_FALSE(cpuControlPanel.visible);
    click(bar.x, bar.y);
    EXPECT_TRUE(cpuControlPanel.visible);
    EXPECT_EQ(windowList.front(), &cpuControlPanel);
}

TEST(Buttons, StepWhileHaltedOnlyStopsTheRun) {
    freshProgram();
    runFrame();
    compile("nop\nhlt");
    cpuControlPanel.buttons[3].action();
    cpuControlPanel.buttons[3].action();
    ASSERT_EQ(cpu.halted, 1);
    game.running = 1;
    const std::uint16_t pc = cpu.pc;
    const std::uint64_t steps = stepHistory.steps;
    cpuControlPanel.buttons[3].action();
    EXPECT_EQ(game.running, 0);
    // Neither the button nor F7 moves the machine, the step counter or the history.
    fakeConsole().pushKey(VK_F1 + 6, 0);
    cpuControlPanel.raise();
    game.handleINPUTandDRAW();
    EXPECT_EQ(steps, 2u);
    EXPECT_EQ(stepHistory.steps, steps);
    EXPECT_EQ(cpu.pc, pc);
    EXPECT_EQ(cpu.halted, 1);
}

TEST(KeyboardPanel, KeysReachTheCpuOnlyWhenItIsInFront) {
    freshProgram();
    runFrame();
    editorPanel.raise();
    fakeConsole().pushKey('A', 'a');
    runFrame();
    EXPECT_EQ(cpu.pendingKey, 0);
    keyboardPanel.raise();
    fakeConsole().pushKey('A', 'a');
    fakeConsole().pushKey('B', 'b');
    runFrames(2);
    EXPECT_EQ(cpu.pendingKey, 'B');
    INPUT_RECORD repeated{};
    repeated.EventType = KEY_EVENT;
    repeated.Event.KeyEvent.bKeyDown = 1;
    repeated.Event.KeyEvent.wRepeatCount = 2;
    repeated.Event.KeyEvent.wVirtualKeyCode = 'C';
    fakeConsole().input.push_back(repeated);
    runFrame();
    EXPECT_EQ(cpu.pendingKey, 'B');
}

// Level 20 types its digits again every 256 steps: in a fast run a key the
// player types is delivered and typed over within the frame, in a slow run
// it stays. The game says so, once, and leaves the 键盘 panel in front.
TEST(KeyboardPanel, OnALevelThatTypesItsOwnKeysThePlayerIsTold) {
    freshProgram();
    runFrame();
    game.setLEVEL(20);
    for (const bool fast : {true, false}) {
        SCOPED_TRACE(fast ? "fast" : "slow");
        compile("iset 1 key\nlabel wait\njmp r0 r0 wait\nlabel key\npop r1\nstore r1 r0 r0 1f\niret");
        runFrame(); // the level's set-up
        game.running = 1;
        game.fast = fast;
        runFrames(30);
        keyboardPanel.raise();
        fakeConsole().pushKey('7', '7');
        runFrames(3);
        EXPECT_EQ(cpu.pendingKey, 0); // the CPU took the key
        if (fast) EXPECT_EQ(cpu.memory[0x1F], '0' + game.scratch[2]); // the level's second digit again
        else EXPECT_EQ(cpu.memory[0x1F], '7');
        EXPECT_EQ(windowList.front(), &keyboardPanel);
        // Said after the first key only (the second compile cleared the console).
        EXPECT_EQ(consoleText().find("第20关会自己按键") != std::string::npos, fast);
    }
    // A level whose feeder types nothing says nothing.
    game.setLEVEL(18);
    consolePanel.clearText();
    keyboardPanel.raise();
    fakeConsole().pushKey('7', '7');
    runFrame();
    EXPECT_EQ(panelRow(consolePanel, 0), "");
}

TEST(StatusPanels, ShowTheMachine) {
    freshProgram();
    runFrame();
    cpu.memory[0xFE00] = 0x12;
    cpu.memory[0xFE01] = 0x34;
    cpu.memory[0xFC11] = 'A';
    std::fill(std::begin(cpu.registers), std::end(cpu.registers), std::uint8_t{0});
    cpu.registers[1] = 0x3C;
    cpu.flags = FLAG_I;
    game.updateMEM();
    game.updateREG();
    EXPECT_EQ(panelRow(interruptPanel, 1).substr(0, 9), "FE00 3412");
    EXPECT_EQ(screenPanel.grid[1][1].character, 'A');
    EXPECT_EQ(screenPanel.grid[0][0].character, ' ');
    EXPECT_EQ(panelRow(registerPanel, 0), "R0=00 R1=3C R2=00 R3=00");
    EXPECT_EQ(panelRow(registerPanel, 5).substr(0, 13), "Z=0 C=0 S=0  ");
    EXPECT_EQ(panelRow(memoryPanel, 0).substr(0, 9), "     0  1");
    EXPECT_EQ(panelRow(memoryPanel, 1).substr(0, 4), "0000");
    EXPECT_EQ(panelRow(memoryPanel, 24).substr(0, 4), "0170");
    game.totalSleepMicros = 1500000;
    game.updateREG();
    EXPECT_EQ(panelRow(perfPanel, 1), "总睡眠：1.500s");
    game.totalSleepMicros = 1052000; // the milliseconds keep their leading zero
    game.updateREG();
    EXPECT_EQ(panelRow(perfPanel, 1), "总睡眠：1.052s");
}

TEST(StatusPanels, TheMemoryPanelScrollsOverTheWholeMemory) {
    freshProgram();
    runFrame();
    memoryPanel.toggle(); // brought forward, as its bar button does
    cpu.memory[0x0185] = 0xAB;
    cpu.memory[0xFFFF] = 0xCD;
    const int inside = static_cast<int>(memoryPanel.x) + 10, row = static_cast<int>(memoryPanel.y) + 3;
    const std::int64_t rows = memoryPanel.height() - 1;
    for (int notch = 0; notch < 4; ++notch) fakeConsole().pushMouse(inside, row, 0xFF880000u, MOUSE_WHEELED);
    runFrames(5);
    EXPECT_EQ(panelRow(memoryPanel, 1).substr(0, 4), "00C0"); // four notches toward the player: 12 rows down
    std::int64_t column = 0, shownRow = 0;
    ASSERT_TRUE(memoryCellPosition(0x0185, column, shownRow));
    EXPECT_EQ(panelRow(memoryPanel, static_cast<int>(shownRow)).substr(0, 4), "0180");
    EXPECT_EQ(panelRow(memoryPanel, static_cast<int>(shownRow)).substr(static_cast<std::size_t>(column), 2), "AB");
    fakeConsole().pushKey(VK_NEXT, 0);
    runFrames(2);
    EXPECT_EQ(memoryViewBase(), 0x00C0 + (rows - 1) * 16);
    fakeConsole().pushKey(VK_END, 0);
    runFrames(2);
    EXPECT_EQ(panelRow(memoryPanel, static_cast<int>(rows)).substr(0, 4), "FFF0");
    EXPECT_EQ(panelRow(memoryPanel, static_cast<int>(rows)).substr(50, 2), "CD");
    EXPECT_FALSE(memoryCellPosition(0x0185, column, shownRow));
    fakeConsole().pushKey(VK_NEXT, 0);
    fakeConsole().pushMouse(inside, row, 0x00780000u, MOUSE_WHEELED);
    runFrames(3);
    EXPECT_EQ(panelRow(memoryPanel, static_cast<int>(rows)).substr(0, 4), "FFC0"); // no further down, then 3 rows up
}

namespace {
// A row of the fake console in the game's GBK, trailing blanks kept.
bool rowHas(int row, const std::string& text, int column) { return fakeConsole().row(row).find(text) == static_cast<std::size_t>(column); }
} // namespace

TEST(Layout, AtTheSmallestWindowTheEditorTakesTheKeysAndNoTitleIsCovered) {
    fakeConsole().resize(161, 33);
    freshProgram();
    runFrames(2);
    EXPECT_TRUE(rowHas(2, "|汇编代码编辑器", 0));
    EXPECT_TRUE(rowHas(2, "|关卡说明-第1关", 64));
    EXPECT_TRUE(rowHas(2, "|寄存器", 118));
    EXPECT_TRUE(rowHas(2, "|CPU控制", 144));
    EXPECT_TRUE(rowHas(13, "|控制台", 118));
    // Level 1's whole text shows: its last line is on the panel's last rows, inside the window.
    const std::string text = game.levelText;
    const std::string lastLine = text.substr(text.find_last_of('\n') + 1);
    bool shown = false;
    for (int row = 4; row < 32; ++row) shown = shown || fakeConsole().row(row).find(lastLine) != std::string::npos;
    EXPECT_TRUE(shown);
    fakeConsole().pushText("hlt");
    runFrames(2);
    EXPECT_EQ(editorPanel.getText(), "hlt");
    fakeConsole().resize(170, 45);
}

TEST(Layout, TheLevelTextScrollsWhenTallerThanItsPanel) {
    fakeConsole().resize(161, 33); // the level panel of the smallest layout: 28 rows
    freshProgram();
    runFrame();
    std::string longText;
    for (int i = 0; i < 40; ++i) longText += "line " + std::to_string(i) + "\n";
    game.levelText = longText + "end";
    levelPanel.raise();
    runFrame();
    EXPECT_EQ(panelRow(levelPanel, 0), "line 0");
    const int bottom = static_cast<int>(levelPanel.bottom);
    EXPECT_NE(fakeConsole().row(bottom).find("第1-28行/共41行"), std::string::npos);
    fakeConsole().pushKey(VK_NEXT, 0);
    fakeConsole().pushKey(VK_NEXT, 0);
    runFrames(3);
    EXPECT_EQ(panelRow(levelPanel, 27), "end"); // no further than the end
    EXPECT_EQ(panelRow(levelPanel, 0), "line 13");
    EXPECT_NE(fakeConsole().row(bottom).find("第14-41行/共41行"), std::string::npos);
    fakeConsole().pushMouse(static_cast<int>(levelPanel.x) + 3, static_cast<int>(levelPanel.y) + 3, 0x00780000u,
                            MOUSE_WHEELED);
    fakeConsole().pushKey(VK_PRIOR, 0);
    runFrames(3);
    EXPECT_EQ(panelRow(levelPanel, 0), "line 0");
    game.setLEVEL(2); // a new text starts at its top
    runFrame();
    EXPECT_EQ(panelRow(levelPanel, 0), game.levelText.substr(0, game.levelText.find('\n')).erase(
                                           game.levelText.substr(0, game.levelText.find('\n')).find_last_not_of(' ') + 1));
    fakeConsole().resize(170, 45);
}

TEST(Layout, TheConsoleKeepsEveryCompileMessageAndScrollsBack) {
    fakeConsole().resize(161, 33); // the console panel of the smallest layout: 12 rows
    freshProgram();
    runFrame();
    // Line 0 has two messages, the first without a line break of its own.
    std::string source = "add r3 r123456789 r1\r";
    for (int i = 0; i < 300; ++i) source += "foo\r";
    typeIntoEditor(source);
    press("编译");
    const std::vector<std::string>& rows = consolePanel.rows();
    const auto total = static_cast<int>(rows.size());
    ASSERT_GT(total, 600);
    EXPECT_EQ(rows[0], "第0行：");
    EXPECT_EQ(rows[1] + rows[2], "长度过长，字符数不能大于8，即位数不能大于32");
    EXPECT_EQ(rows[3], "没有寄存器\"123456789\"");
    EXPECT_EQ(rows[4], "第1行：");

    const int top = static_cast<int>(consolePanel.y), bottom = static_cast<int>(consolePanel.bottom);
    const int visible = static_cast<int>(consolePanel.height()); // 11 rows at 161x33
    const auto shownRow = [&](int row) {
        std::string text = fakeConsole().row(top + row).substr(static_cast<std::size_t>(consolePanel.x), 36);
        return text.erase(text.find_last_not_of(' ') + 1);
    };
    const auto border = [&](int first, int count) {
        return "第" + std::to_string(first) + "-" + std::to_string(first + visible - 1) + "行/共" + std::to_string(count) + "行";
    };
    runFrame();
    EXPECT_EQ(shownRow(visible - 1), rows.back()); // the newest rows
    EXPECT_NE(fakeConsole().row(bottom).find(border(total - visible + 1, total)), std::string::npos);

    click(static_cast<int>(consolePanel.x) + 2, top + 2); // the console in front takes the keys
    fakeConsole().pushKey(VK_HOME, 0);
    runFrames(2);
    for (int row = 0; row < visible; ++row) EXPECT_EQ(shownRow(row), rows[static_cast<std::size_t>(row)]);
    EXPECT_NE(fakeConsole().row(bottom).find(border(1, total)), std::string::npos);
    fakeConsole().pushKey(VK_NEXT, 0);
    fakeConsole().pushMouse(static_cast<int>(consolePanel.x) + 3, top + 3, 0xFF880000u, MOUSE_WHEELED); // down
    runFrames(3);
    EXPECT_EQ(shownRow(0), rows[13]); // a page (one row less than the panel) and a wheel turn (3 rows)
    EXPECT_NE(fakeConsole().row(bottom).find(border(14, total)), std::string::npos);
    fakeConsole().pushKey(VK_PRIOR, 0);
    runFrames(2);
    EXPECT_EQ(shownRow(0), rows[3]);

    consolePrintf("新消息\n"); // new output jumps to the end
    runFrame();
    EXPECT_EQ(shownRow(visible - 1), "新消息");
    EXPECT_NE(fakeConsole().row(bottom).find(border(total - visible + 2, total + 1)), std::string::npos);
    fakeConsole().pushKey(VK_PRIOR, 0);
    fakeConsole().pushKey(VK_END, 0);
    runFrames(3);
    EXPECT_EQ(shownRow(visible - 1), "新消息");

    // Only the last thousand lines are kept.
    for (int i = 0; i < 1200; ++i) consolePrintf("m%d\n", i);
    EXPECT_EQ(consolePanel.rows().size(), 1000u);
    EXPECT_EQ(consolePanel.rows().front(), "m200");
    fakeConsole().resize(170, 45);
}

TEST(Layout, PanelsComeBackWhereTheyWereLeftAndADamagedFileMeansTheDefault) {
    TempDirectory directory;
    testKeepsFiles = true;
    freshProgram();
    runFrame();
    typeIntoEditor("hlt"); // progress to continue at the next start
    const std::int64_t x = registerPanel.x, y = registerPanel.y;
    // Dragged by its title row two columns left and one row down, then let go.
    const int titleX = static_cast<int>(x) + 10, titleY = static_cast<int>(y) - 2;
    fakeConsole().pushMouse(titleX, titleY, 0, MOUSE_MOVED);
    fakeConsole().pushMouse(titleX, titleY, FROM_LEFT_1ST_BUTTON_PRESSED);
    fakeConsole().pushMouse(titleX - 2, titleY + 1, FROM_LEFT_1ST_BUTTON_PRESSED, MOUSE_MOVED);
    fakeConsole().pushMouse(titleX - 2, titleY + 1, 0);
    const CellPosition memoryButton = barButton("内存");
    fakeConsole().pushMouse(memoryButton.x, memoryButton.y, 0, MOUSE_MOVED);
    runFrames(5);
    click(memoryButton.x, memoryButton.y);
    ASSERT_EQ(registerPanel.x, x - 2);
    runFrame();
    freshProgram(); // the next start
    runFrame();
    EXPECT_EQ(registerPanel.x, x - 2);
    EXPECT_EQ(registerPanel.y, y + 1);
    EXPECT_EQ(registerPanel.closeBox.offsetX, registerPanel.right);
    EXPECT_TRUE(memoryPanel.visible);
    ASSERT_EQ(windowList.front(), &choicePanel); // asking whether to continue, in front of the layout
    EXPECT_EQ(windowList[1], &memoryPanel);
    const std::string path = layoutPath();
    for (const std::string& damaged : {std::string("registers 1 2 1\n"), std::string("garbage"), std::string(),
                                      std::string(5000, 'x')}) {
        ASSERT_TRUE(hostReplaceFile(path, damaged, HostFileMode::binary));
        freshProgram();
        runFrame();
        EXPECT_EQ(registerPanel.x, x);
        EXPECT_EQ(windowList[1], &editorPanel);
        EXPECT_EQ(panelRow(consolePanel, 0), "");
    }
    testKeepsFiles = false;
}

// The default layout gives a larger window's extra columns to the editor and
// the level text and its extra rows to them and the console, and follows a
// resize, until a panel is dragged; the speed is kept with the layout.
TEST(Layout, TheDefaultLayoutFollowsTheWindowUntilAPanelIsDragged) {
    TempDirectory directory;
    testKeepsFiles = true;
    fakeConsole().resize(161, 33);
    freshProgram();
    runFrame();
    EXPECT_EQ(editorPanel.width(), 62);
    EXPECT_EQ(editorPanel.height(), 28);
    for (int i = 0; i < 15; ++i) consolePrintf("c%d\n", i);
    fakeConsole().resize(201, 53);
    runFrames(2);
    // The taller console shows its whole log again, the newest row last.
    const std::vector<std::string>& logged = consolePanel.rows();
    ASSERT_LT(logged.size(), 32u);
    for (std::size_t row = 0; row < logged.size(); ++row) EXPECT_EQ(panelRow(consolePanel, static_cast<int>(row)), logged[row]);
    EXPECT_EQ(logged.back(), "c14");
    EXPECT_EQ(editorPanel.width(), 82);
    EXPECT_EQ(editorPanel.height(), 48);
    EXPECT_EQ(levelPanel.x, 85);
    EXPECT_EQ(levelPanel.width(), 72);
    EXPECT_EQ(levelPanel.bottom, 52);
    EXPECT_EQ(consolePanel.height(), 31);
    EXPECT_EQ(cpuControlPanel.right, 199);
    EXPECT_TRUE(rowHas(2, "|关卡说明-第1关", 84));
    EXPECT_TRUE(rowHas(52, "+----", 0)); // the editor's bottom border on the last row
    game.fast = 1;
    runFrame();

    // The next start at another size: still the default layout, for that size, at 快速.
    fakeConsole().resize(170, 45);
    freshProgram();
    runFrame();
    EXPECT_EQ(editorPanel.height(), 40);
    EXPECT_EQ(levelPanel.x, 69);
    EXPECT_TRUE(game.fast);
    EXPECT_EQ(panelRow(cpuControlPanel, 3), "速度：快速");

    // Dragged: the panels stay as left, through a resize and the next start.
    const int titleX = static_cast<int>(levelPanel.x) + 20, titleY = static_cast<int>(levelPanel.y) - 2;
    fakeConsole().pushMouse(titleX, titleY, 0, MOUSE_MOVED);
    fakeConsole().pushMouse(titleX, titleY, FROM_LEFT_1ST_BUTTON_PRESSED);
    fakeConsole().pushMouse(titleX + 3, titleY, FROM_LEFT_1ST_BUTTON_PRESSED, MOUSE_MOVED);
    fakeConsole().pushMouse(titleX + 3, titleY, 0);
    runFrames(5);
    ASSERT_EQ(levelPanel.x, 72);
    fakeConsole().resize(190, 50);
    runFrames(2);
    EXPECT_EQ(levelPanel.x, 72);
    EXPECT_EQ(editorPanel.height(), 40);
    freshProgram();
    runFrame();
    EXPECT_EQ(levelPanel.x, 72);
    EXPECT_EQ(registerPanel.x, 128);
    testKeepsFiles = false;
    fakeConsole().resize(170, 45);
}

TEST(LevelPlay, ReferenceAdditionCompletesAndAWrongOneFails) {
    LevelVerdict ok = playLevel(1, "add r3 r1 r2\nhlt", 11, 257, 1000000);
    EXPECT_TRUE(ok.completed);
    EXPECT_EQ(ok.passes, 257u + boundaryRuns(1).size());
    LevelVerdict wrong = playLevel(1, "add r3 r1 r1\nhlt", 11, 257, 1000000);
    EXPECT_FALSE(wrong.completed);
    ASSERT_FALSE(wrong.mismatches.empty());
    EXPECT_EQ(wrong.mismatches[0].where, "R3");
    LevelVerdict loop = playLevel(1, "jmp r0 r0 0", 11, 257, 100000);
    EXPECT_TRUE(loop.failed);
    EXPECT_NE(loop.reason.find("halt"), std::string::npos);
}

TEST(Frame, AnIdleFrameWritesNothing) {
    freshProgram();
    runFrames(3);
    fakeConsole().calls.clear();
    runFrame();
    EXPECT_EQ(fakeConsole().count("WriteConsoleOutputCharacterA"), 0u);
    EXPECT_EQ(fakeConsole().count("FillConsoleOutputAttribute"), 0u);
    EXPECT_EQ(fakeConsole().count("ReadConsoleInputA"), 0u);
}

TEST(Frame, AForcedRedrawReadsOneRecordEvenWithNothingQueued) {
    freshProgram();
    EXPECT_EQ(game.redrawAll, 1);
    runFrame();
    EXPECT_EQ(fakeConsole().count("ReadConsoleInputA"), 1u);
    EXPECT_EQ(game.redrawAll, 0);
}

TEST(Frame, AFailedReadIsNotActedOn) {
    freshProgram();
    runFrame();
    // The console reports an event, the read fails and leaves a press on the
    // CPU控制 bar button in the record; a record that was not read does nothing.
    const CellPosition bar = barButton("CPU控制");
    fakeConsole().unreadable.push_back(makeMouseRecord(bar.x, bar.y, FROM_LEFT_1ST_BUTTON_PRESSED));
    runFrame();
    EXPECT_NE(windowList.front(), &cpuControlPanel);
    EXPECT_EQ(fakeConsole().row(0).substr(0, 14), "汇编代码编辑器"); // the frame is still drawn
    // A forced redraw whose read fails draws the frame and clears the request.
    game.redrawAll = 1;
    fakeConsole().unreadable.push_back(makeMouseRecord(bar.x, bar.y, FROM_LEFT_1ST_BUTTON_PRESSED));
    runFrame();
    EXPECT_NE(windowList.front(), &cpuControlPanel);
    EXPECT_EQ(game.redrawAll, 0);
}

TEST(Frame, OddInputIsHarmless) {
    freshProgram();
    runFrame();
    // Every panel closed: typed text opens the editor rather than vanish.
    for (window* panel : std::vector<window*>(windowList)) panel->visible = false;
    fakeConsole().pushText("add r1 r1 r1\r");
    fakeConsole().pushKey(VK_F10, 0);
    runFrames(20);
    EXPECT_TRUE(editorPanel.visible);
    EXPECT_EQ(editorPanel.getText(), "add r1 r1 r1\n");
    EXPECT_EQ(cpu.pendingKey, 0);
    // A window shrunk below the minimum in mid-game, then grown again.
    fakeConsole().resize(100, 20);
    runFrames(3);
    fakeConsole().resize(170, 45);
    editorPanel.visible = true;
    editorPanel.raise();
    runFrames(3);
    EXPECT_EQ(fakeConsole().row(0).substr(0, 14), "汇编代码编辑器");
    // A flood of mouse moves, off-screen positions and all buttons at once.
    for (int i = 0; i < 500; ++i) fakeConsole().pushMouse((i * 37) % 300 - 50, (i * 11) % 80 - 10, i % 8, MOUSE_MOVED);
    while (!fakeConsole().input.empty()) runFrame();
    runFrames(2);
    EXPECT_EQ(game.level, 1);
}

// Level 2 with a bare hlt: the report names R3 with R1 x R2 as expected,
// lists the run's inputs, marks R3 red; 重放 sets the same inputs up again and
// the replayed run is judged (and reported) as usual.
TEST(FailureReport, NamesTheCheckTheInputsAndReplaysTheRun) {
    freshProgram();
    runFrame();
    playUntilAFailure(2, "hlt");
    const std::uint8_t r1 = cpu.registers[1], r2 = cpu.registers[2];
    runFrame();
    const std::string report = "第1次检验未通过：\n  R3：应为" + hex2(r1 * r2) + "，实际为00\n本次输入：R1=" + hex2(r1) +
                               " R2=" + hex2(r2) + "\n";
    EXPECT_NE(consoleText().find(report), std::string::npos) << consoleText();
    EXPECT_EQ(registerPanel.grid[18][0].attribute, MISMATCH_ATTRIBUTE); // "R3=00"
    EXPECT_EQ(registerPanel.grid[22][0].attribute, MISMATCH_ATTRIBUTE);
    EXPECT_EQ(registerPanel.grid[6][0].attribute, registerPanel.colour); // R1 is fine

    // Other draws and set-ups of the level in between do not matter.
    gameSrand(4242);
    game.setLEVEL(2);
    gameSrand(77);
    cpuControlPanel.raise(); // the report brought the console to the front
    runFrame();
    const CellPosition replay = controlButton("重放");
    click(replay.x, replay.y);
    EXPECT_EQ(cpu.registers[1], r1);
    EXPECT_EQ(cpu.registers[2], r2);
    EXPECT_EQ(registerPanel.grid[18][0].attribute, registerPanel.colour); // marks end with the set-up

    // A compile keeps the failed run: 重放 still sets its input up.
    compile("hlt");
    runFrame();
    cpu.registers[1] = static_cast<std::uint8_t>(r1 + 1);
    cpuControlPanel.raise();
    click(replay.x, replay.y);
    EXPECT_EQ(cpu.registers[1], r1);
    // Before any failure (none since the level was set up), 重放 restarts the current run.
    forgetFailedRun();
    game.setLEVEL(2);
    runFrame();
    const std::uint8_t fresh1 = cpu.registers[1];
    cpu.registers[1] = static_cast<std::uint8_t>(fresh1 + 1);
    cpuControlPanel.raise();
    click(replay.x, replay.y);
    EXPECT_EQ(cpu.registers[1], fresh1);

    playUntilAFailure(2, "hlt");
    const std::uint8_t f1 = cpu.registers[1], f2 = cpu.registers[2];
    runFrame();
    cpu.registers[1] = cpu.registers[2] = 0;
    gameSrand(99);
    cpuControlPanel.raise();
    click(replay.x, replay.y);
    EXPECT_EQ(cpu.registers[1], f1);
    EXPECT_EQ(cpu.registers[2], f2);
    EXPECT_EQ(cpu.halted, 0);
    EXPECT_EQ(cpu.pc, 0);
    EXPECT_EQ(game.judged, 0);
    consolePanel.clearText();
    const CellPosition step = controlButton("步进");
    click(step.x, step.y);
    runFrame();
    EXPECT_EQ(game.judged, 1);
    EXPECT_NE(consoleText().find("第1次检验未通过"), std::string::npos) << consoleText();
}

// The verdicts a crash and a boundary earn: a halt on the zero word fails
// after the exception's own lines; a level 7 program with jgt passes the 257
// random runs, is told the boundary runs follow and fails the first with r1 = r2,
// reported with what it tests and its inputs; 重放 sets it up again, and a
// keyboard level lists the keys it typed.
TEST(FailureReport, AHaltWithoutHltAndABoundaryRunFail) {
    freshProgram();
    runFrame();
    playUntilAFailure(1, "add r3 r1 r2");
    runFrame();
    // Long lines wrap in the console panel: compared without the line breaks.
    const auto flat = [] {
        std::string text = consoleText();
        text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
        return text;
    };
    EXPECT_NE(flat().find("是不是写错了地址？第1次检验未通过：程序没有执行hlt就停机了。本次输入：R1="), std::string::npos)
        << consoleText();
    EXPECT_EQ(game.passCount, 0);

    gameSrand(1); // a seed on which no random run of level 7 has r1 = r2
    consolePanel.clearText();
    playUntilAFailure(7, "sub r0 r1 r2\njgt r0 r0 yes\nhlt\nlabel yes\naddi r3 r0 1\nhlt");
    runFrame();
    EXPECT_NE(flat().find("随机检验全部通过，接下来是30次边界检验。边界检验未通过：  R3：应为01，实际为00"
                          "本次边界：r1=00，r2=00（相等）。本次输入：R1=00 R2=00"),
              std::string::npos)
        << consoleText();
    EXPECT_EQ(game.passCount, 0);
    EXPECT_EQ(panelRow(registerPanel, 5).substr(14), "边界:13/30") << panelRow(registerPanel, 5); // all of "已通过:00" covered
    cpu.registers[1] = 0x55;
    cpu.registers[2] = 0x66;
    cpuControlPanel.raise();
    runFrame();
    const CellPosition replay = controlButton("重放");
    click(replay.x, replay.y);
    EXPECT_EQ(cpu.registers[1], 0x00);
    EXPECT_EQ(cpu.registers[2], 0x00);
    consolePanel.clearText();
    runToHaltAndJudge();
    EXPECT_NE(consoleText().find("边界检验未通过：\n  R3：应为01"), std::string::npos) << consoleText();

    // Level 22, the key shown one cell too far: the report lists the key.
    consolePanel.clearText();
    playUntilAFailure(22, "iset 1 key\nlabel idle\njmp r0 r0 0\nlabel key\npop r1\nstore r1 r0 r0 fc01\nhlt");
    runFrame();
    const std::string key(1, static_cast<char>(cpu.memory[0xFC01]));
    EXPECT_NE(flat().find("FC00：应为" + hex2(cpu.memory[0xFC01]) + "，实际为00本次按键：" + key), std::string::npos)
        << consoleText();
}

// A teacher's level (数1: 100 random passes, then 4 derived and 3 own boundary
// runs): its own pass count, its boundary runs, its title in the panel and the
// console, and its max_steps (1000): a run stops and fails on its 1000th step.
TEST(Judging, ATeachersLevelCountsItsOwnPassesThenItsBoundaryRuns) {
    std::string bytes;
    // The host's paths are the game's GBK on Windows, the file system's bytes (here UTF-8) elsewhere.
#ifdef _WIN32
    const std::string name = "/custom-levels/数1.toml";
#else
    const std::string name = reinterpret_cast<const char*>(u8"/custom-levels/数1.toml");
#endif
    ASSERT_EQ(hostReadFile(ASMQUEST_SOURCE_DIR + name, bytes, HostFileMode::binary), HostRead::read);
    LevelFile file = parseLevelFile(bytes, "count.toml");
    ASSERT_TRUE(file.level) << file.errors.front();
    useCustomLevel(std::make_shared<CustomLevel>(*file.level));
    const auto flat = [] {
        std::string text = consoleText();
        text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
        return text;
    };

    freshProgram();
    game.level = CUSTOM_LEVEL;
    compile("label n\nshri r3 r1 1\nandi r4 r1 1\nadd r2 r2 r4\nadd r1 r3 r0\njne r0 r0 n\nhlt");
    game.updateLEVEL();
    EXPECT_EQ(levelPanel.title, "关卡说明-数1");
    EXPECT_NE(panelRow(levelPanel, 1).find("数出r1的二进制表示中有几位是1"), std::string::npos) << panelRow(levelPanel, 1);
    // 100 random runs, 4 derived from r1's range 01..7F, then the file's 3.
    for (int i = 0; i < 106; ++i) runToHaltAndJudge();
    EXPECT_EQ(game.passCount, 106);
    EXPECT_EQ(game.boundaryRun, 7); // the last one set up
    runToHaltAndJudge();
    EXPECT_NE(flat().find("随机检验全部通过，接下来是7次边界检验。恭喜通过「数1」！你的程序：6条指令，平均每次检验"),
              std::string::npos)
        << consoleText();
    EXPECT_EQ(game.level, CUSTOM_LEVEL); // no next level: it starts over
    game.updateLEVEL();
    EXPECT_EQ(game.passCount, 0);

    // Seven bits looked at: every random input (01..7F) passes, r1 = FF does not.
    consolePanel.clearText();
    compile("addi r5 r0 7\nlabel n\nandi r3 r1 1\nadd r2 r2 r3\nshri r1 r1 1\naddi r5 r5 ff\njne r0 r0 n\nhlt");
    game.updateLEVEL();
    for (int i = 0; i < 110 && game.judged == 0; ++i) runToHaltAndJudge();
    EXPECT_NE(flat().find("边界检验未通过：  R2：应为08，实际为07"), std::string::npos) << consoleText();

    consolePanel.clearText();
    compile("label spin\njmp r0 r0 spin");
    game.updateLEVEL();
    game.running = 1;
    game.fast = 1;
    for (int frame = 0; frame < 10 && game.running; ++frame) game.updateVM();
    EXPECT_EQ(stepHistory.steps, 1000u);
    EXPECT_EQ(game.running, 0);
    EXPECT_EQ(game.passCount, 0);
    EXPECT_NE(flat().find("第1次检验执行了1000步仍未停机，超过本关的步数上限，未通过。"), std::string::npos) << consoleText();
    useCustomLevel(nullptr);
}

// More than eight mismatches: registers first, then memory, then the rest as a
// count; memory marks in the memory panel; an open level presets no register.
TEST(FailureReport, ListsEightMismatchesThenCountsTheRest) {
    // Mismatches in all (Ra and the memory from 0100 on), and the closing line.
    const struct { unsigned mismatches; const char* rest; } rows[] = {
        {8, nullptr}, {9, "  ……另有1处不符\n"}, {12, "  ……另有4处不符\n"}};
    for (const auto& row : rows) {
        freshProgram();
        runFrame();
        game.setLEVEL(31);
        compile("hlt");
        runFrame();
        static unsigned memoryEnd;
        memoryEnd = 0x100 + row.mismatches - 1;
        game.registerCheck = [](std::uint16_t i) -> std::uint16_t { return i == 10 ? 0x05 : NOT_CHECKED; };
        game.memoryCheck = [](std::uint16_t a) -> std::uint16_t { return a >= 0x100 && a < memoryEnd ? 0x01 : NOT_CHECKED; };
        consolePanel.clearText();
        game.running = 1;
        runFrames(3);
        const std::string text = consoleText();
        EXPECT_NE(text.find("第1次检验未通过：\n  Ra：应为05，实际为00\n  0100：应为01，实际为00\n"), std::string::npos) << text;
        EXPECT_NE(text.find("  0106：应为01，实际为00\n"), std::string::npos) << text;
        EXPECT_EQ(text.find("  0107："), std::string::npos) << text;
        if (row.rest) EXPECT_NE(text.find(std::string("  0106：应为01，实际为00\n") + row.rest), std::string::npos) << text;
        else EXPECT_EQ(text.find("另有"), std::string::npos) << text;
        EXPECT_EQ(text.find("本次输入"), std::string::npos);
        EXPECT_EQ(memoryPanel.grid[5][17].attribute, MISMATCH_ATTRIBUTE); // 0100
    }
    EXPECT_EQ(memoryPanel.grid[35][17].attribute, MISMATCH_ATTRIBUTE); // 010A
    EXPECT_EQ(memoryPanel.grid[38][17].attribute, memoryPanel.colour); // 010B
}

// A feeder that draws rand() while the run goes on (level 24's wrong keys):
// the replay plays the failing run's draws back, so the same keys arrive at
// the same steps and the run ends exactly as it did.
TEST(FailureReport, ReplayRepeatsTheFeedersDraws) {
    freshProgram();
    runFrame();
    // Level 24's solution, writing one cell too far right; a seed whose
    // failing run has the feeder draw a few wrong keys.
    for (unsigned seed = 1; seed < 100 && stepHistory.drawCursor < 12; ++seed) {
    gameSrand(seed);
    playUntilAFailure(24, "iset 1 key\nlabel idle\njmp r0 r0 0\nlabel key\npop r1\naddi r0 r1 f3\njeq r0 r0 done\n"
                          "load r2 r0 r0 300\naddi r0 r1 f8\njeq r0 r0 back\nstore r1 r0 r2 fc01\naddi r2 r2 1\n"
                          "store r2 r0 r0 300\niret\nlabel back\naddi r2 r2 0\njeq r0 r0 ignore\naddi r2 r2 ff\n"
                          "store r0 r0 r2 fc01\nstore r2 r0 r0 300\nlabel ignore\niret\nlabel done\nhlt");
    }
    const std::vector<std::uint8_t> screen(cpu.memory + 0xFC00, cpu.memory + 0xFC10);
    const std::uint64_t steps = stepHistory.steps;
    ASSERT_GE(stepHistory.drawCursor, 12u);
    gameSrand(6);
    const CellPosition replay = controlButton("重放");
    cpuControlPanel.raise();
    click(replay.x, replay.y);
    EXPECT_EQ(stepHistory.steps, 0u);
    game.running = 1;
    while (!cpu.halted) game.updateVM();
    EXPECT_EQ(std::vector<std::uint8_t>(cpu.memory + 0xFC00, cpu.memory + 0xFC10), screen);
    EXPECT_EQ(stepHistory.steps, steps);
}

// A run that never halts is reported once, after a million steps, and goes on.
TEST(StepCounter, CountsTheRunAndReportsOneThatDoesNotHalt) {
    freshProgram();
    runFrame();
    game.setLEVEL(1);
    compile("label L\njmp r0 r0 L");
    runFrame();
    consolePanel.clearText();
    game.fast = 1;
    game.running = 1;
    for (int frame = 0; frame < 260; ++frame) game.updateVM();
    game.updateREG();
    EXPECT_EQ(panelRow(cpuControlPanel, STEP_COUNTER_ROW), "步数:1064960");
    EXPECT_EQ(occurrences(consoleText(), "仍未停机"), 1u);
    EXPECT_NE(consoleText().find("第1次检验已执行1000000步仍未停机"), std::string::npos) << consoleText();
    for (int frame = 0; frame < 260; ++frame) game.updateVM();
    EXPECT_EQ(occurrences(consoleText(), "仍未停机"), 1u);
    EXPECT_EQ(game.running, 1);
}

namespace {

std::uint64_t machineHash() {
    std::uint64_t h = 1469598103934665603ull;
    auto mix = [&h](std::uint64_t v) { h = (h ^ v) * 1099511628211ull; };
    for (unsigned a = 0; a < 65536; a += 8) {
        std::uint64_t word;
        std::memcpy(&word, cpu.memory + a, 8);
        mix(word);
    }
    for (std::uint8_t r : cpu.registers) mix(r);
    for (std::uint8_t s : game.scratch) mix(s);
    mix(cpu.flags), mix(cpu.pc), mix(cpu.sp), mix(cpu.clk), mix(cpu.halted), mix(cpu.pendingKey);
    return h;
}

// A random program: handlers for the timer, keys, division, stack overflow
// and underflow; a body of ALU work, stores, swaps, pushes and pops that
// fault, CALL/RET, SLD/SST blocks and timer re-arms, looping for ever.
std::string randomProgram(std::mt19937& rng) {
    auto pick = [&rng](unsigned n) { return static_cast<unsigned>(rng() % n); };
    auto reg = [&] { return "r" + std::string(1, "123456789abcdef"[pick(15)]); };
    auto byte = [&] { return hex2(pick(256)); };
    std::string s = "iset 0 h0\niset 1 h1\niset 2 h2\niset 3 h3\niset 4 h4\nsck r0 r0 " + hex2(pick(40)) + "\nlabel top\n";
    const char* alu[] = {"add", "sub", "mul", "div", "mod", "shl", "xor", "nand"};
    const char* alui[] = {"addi", "muli", "divi", "modi", "shri", "ori"};
    const unsigned body = 10 + pick(25);
    for (unsigned i = 0; i < body; ++i) {
        switch (pick(11)) {
        case 0: case 1: s += std::string(alu[pick(8)]) + " " + reg() + " " + reg() + " " + reg() + "\n"; break;
        case 2: s += std::string(alui[pick(6)]) + " " + reg() + " " + reg() + " " + byte() + "\n"; break;
        case 3: s += "store " + reg() + " r0 " + reg() + " " + (pick(2) ? "02" : "fc") + byte() + "\n"; break;
        case 4: s += "swap " + reg() + " r0 " + reg() + " 03" + byte() + "\n"; break;
        case 5: s += "load " + reg() + " r0 " + reg() + " fd" + byte() + "\n"; break;
        case 6: s += "push " + reg() + "\n"; break;
        case 7: s += "pop " + reg() + "\n"; break;
        case 8: s += "call r0 r0 sub\n"; break;
        case 9: s += pick(2) ? "sld r0 r0 0300\n" : "sst r0 r0 0500\n"; break;
        default: s += "sck r0 r0 " + hex2(pick(30)) + "\n"; break;
        }
    }
    s += "jmp r0 r0 top\nlabel sub\nadd r5 r5 r6\npush r5\npop r6\nret\n";
    s += "label h0\naddi r7 r7 1\nsck r0 r0 " + hex2(5 + pick(20)) + "\niret\n";
    s += "label h1\npop r1\nstore r1 r0 r8 fc00\naddi r8 r8 1\niret\n";
    s += "label h2\niret\nlabel h3\nnop\niret\nlabel h4\naddi r9 r9 1\niret\n";
    return s;
}

// Steps run through the game's own paths: fast frames while a whole frame
// fits, then 步进.
void stepTo(std::uint64_t target) {
    game.fast = 1;
    while (!cpu.halted && stepHistory.steps + 4096 <= target) {
        game.running = 1;
        game.updateVM();
    }
    game.running = 0;
    while (!cpu.halted && stepHistory.steps < target) stepForwardOnce();
}

} // namespace

// Random programs with interrupts, the timer, the key feeders (levels 18, 22,
// 24 and 25 draw rand() while the run goes on), SLD/SST, CALL/RET and stack
// faults: N steps, K steps back, and the machine equals a fresh run of N - K
// steps; stepping forward again passes through the same states as before.
// With a register or a byte watched (and, in some trials, 中断处停), 反向运行
// lands on the state of the fresh run just before the last step that changed
// it (or entered an interrupt), and a run forward stops after the next one.
TEST(StepHistory, SteppingBackEqualsAShorterRunAndForwardRepeatsTheRun) {
    std::mt19937 rng(2026);
    const std::uint16_t levels[] = {18, 22, 24, 25, 31};
    for (int trial = 0; trial < 12; ++trial) {
        const std::string source = randomProgram(rng);
        const std::uint16_t level = levels[trial % 5];
        const unsigned seed = static_cast<unsigned>(rng());
        const std::uint64_t n = 1 + rng() % 14000;

        // The fresh runs: every state's hash, and the whole machine after N - K steps.
        freshProgram();
        game.setLEVEL(level);
        compile(source);
        ASSERT_TRUE(game.compileErrors.empty()) << source;
        gameSrand(seed);
        game.updateLEVEL();
        const std::uint16_t bytes[] = {0x0200, 0x0300, 0xFC00, 0xFD00};
        const Watch watch = rng() % 2 ? Watch{WatchKind::Register, static_cast<std::uint16_t>(1 + rng() % 15)}
                                      : Watch{WatchKind::Memory, static_cast<std::uint16_t>(bytes[rng() % 4] + rng() % 8)};
        const bool atInterrupts = trial % 3 == 0;
        const auto watched = [&watch] {
            return watch.kind == WatchKind::Register ? cpu.registers[watch.index] : cpu.memory[watch.index];
        };
        std::vector<std::uint64_t> hashes{machineHash()};
        std::vector<bool> stopsAfter{false}; // step i changed the watched place (or entered an interrupt)
        for (std::uint64_t i = 0; i < n && !cpu.halted; ++i) {
            const std::uint8_t value = watched();
            const std::uint8_t entries = cpu.interruptEntries;
            cpu.step();
            hashes.push_back(machineHash());
            stopsAfter.push_back(watched() != value || (atInterrupts && cpu.interruptEntries != entries));
        }
        const std::uint64_t ran = hashes.size() - 1;
        const std::uint64_t k = 1 + rng() % ran;
        gameSrand(seed);
        game.setLEVEL(level);
        for (std::uint64_t i = 0; i < ran - k; ++i) cpu.step();
        const MachineState shorter = captureMachineState();
        const std::vector<std::uint8_t> shorterMemory(cpu.memory, cpu.memory + 65536);

        // The same run with its history, then K times 回退; short epochs so
        // that the runs cross many of them.
        gameSrand(seed);
        game.setLEVEL(level);
        stepHistory.epochSteps = 1000 + rng() % 4000;
        stepTo(ran);
        ASSERT_EQ(stepHistory.steps, ran);
        ASSERT_EQ(machineHash(), hashes[ran]) << "trial " << trial;
        for (std::uint64_t i = 0; i < k; ++i) stepBackOnce();
        EXPECT_EQ(stepHistory.steps, ran - k);
        const MachineState back = captureMachineState();
        EXPECT_EQ(std::memcmp(&back, &shorter, sizeof back), 0) << "trial " << trial << " n " << ran << " k " << k;
        EXPECT_TRUE(std::equal(shorterMemory.begin(), shorterMemory.end(), cpu.memory)) << "trial " << trial;
        EXPECT_EQ(machineHash(), hashes[ran - k]);

        gameSrand(seed + 1); // new draws would show
        for (std::uint64_t i = ran - k; i < ran; ++i) {
            stepForwardOnce();
            ASSERT_EQ(machineHash(), hashes[i + 1]) << "trial " << trial << " step " << i + 1;
        }

        toggleWatch(watch);
        watches.stopAtInterrupts = atInterrupts;
        std::uint64_t before = ran;
        while (before > 0 && !stopsAfter[before]) --before;
        const std::uint64_t landing = before > 0 ? before - 1 : 0;
        runBackwards();
        ASSERT_EQ(stepHistory.steps, landing) << "trial " << trial << " " << watchName(watch);
        EXPECT_EQ(machineHash(), hashes[landing]) << "trial " << trial;
        EXPECT_EQ(stepHistory.furthest, ran);
        std::uint64_t next = landing + 1;
        while (next <= ran && !stopsAfter[next]) ++next;
        game.fast = 1;
        game.running = 1;
        game.updateVM();
        if (next <= ran) {
            EXPECT_EQ(stepHistory.steps, next) << "trial " << trial << " " << watchName(watch);
            EXPECT_EQ(machineHash(), hashes[next]) << "trial " << trial;
            EXPECT_EQ(game.running, 0);
        }
        toggleWatch(watch);
    }
}

// F7 and Shift+F7 in the CPU control panel: what a step changes is
// highlighted until the next step, forward or back; the counter follows.
TEST(StepHistory, KeysStepBothWaysAndHighlightTheChanges) {
    freshProgram();
    runFrame();
    game.setLEVEL(31);
    compile("addi r1 r0 5\nstore r1 r0 r0 0105\npush r1\nhlt");
    runFrame();
    cpuControlPanel.raise();
    const auto attribute = [](const window& panel, int column, int row) { return panel.grid[column][row].attribute; };
    fakeConsole().pushKey(VK_F1 + 6, 0);
    runFrames(2);
    EXPECT_EQ(cpu.registers[1], 5);
    EXPECT_EQ(attribute(registerPanel, 6, 0), CHANGED_ATTRIBUTE);  // R1=05
    EXPECT_EQ(attribute(registerPanel, 0, 4), CHANGED_ATTRIBUTE);  // PC
    EXPECT_EQ(attribute(registerPanel, 8, 4), registerPanel.colour); // SP
    EXPECT_EQ(panelRow(cpuControlPanel, STEP_COUNTER_ROW), "步数:1");

    fakeConsole().pushKey(VK_F1 + 6, 0);
    fakeConsole().pushKey(VK_F1 + 6, 0);
    runFrames(3);
    EXPECT_EQ(cpu.memory[0x105], 5);
    EXPECT_EQ(attribute(registerPanel, 6, 0), registerPanel.colour); // R1 did not change
    EXPECT_EQ(attribute(registerPanel, 8, 4), CHANGED_ATTRIBUTE);    // SP
    EXPECT_EQ(attribute(stackPanel, 5, 1), CHANGED_ATTRIBUTE);       // FD00
    EXPECT_EQ(attribute(memoryPanel, 20, 17), memoryPanel.colour);    // 0105, two steps ago

    fakeConsole().pushKey(VK_F1 + 6, 0, SHIFT_PRESSED);
    fakeConsole().pushKey(VK_F1 + 6, 0, SHIFT_PRESSED);
    runFrames(3);
    EXPECT_EQ(cpu.memory[0x105], 0);
    EXPECT_EQ(cpu.memory[0xFD00], 0);
    EXPECT_EQ(cpu.pc, 4);
    EXPECT_EQ(attribute(memoryPanel, 20, 17), CHANGED_ATTRIBUTE); // undone by the last step back
    EXPECT_EQ(attribute(stackPanel, 5, 1), stackPanel.colour);
    EXPECT_EQ(panelRow(cpuControlPanel, STEP_COUNTER_ROW), "步数:1/3");

    // Stepping back to the start, and no further.
    for (int i = 0; i < 3; ++i) fakeConsole().pushKey(VK_F1 + 6, 0, SHIFT_PRESSED);
    runFrames(4);
    EXPECT_EQ(cpu.pc, 0);
    EXPECT_EQ(cpu.registers[1], 0);
    EXPECT_EQ(panelRow(cpuControlPanel, STEP_COUNTER_ROW), "步数:0/3");

    // Running slowly, each frame's step is highlighted too.
    game.running = 1;
    runFrame();
    game.running = 0;
    runFrame();
    EXPECT_EQ(cpu.pc, 4);
    EXPECT_EQ(attribute(registerPanel, 6, 0), CHANGED_ATTRIBUTE);
}

// Watches and 反向运行 through clicks and keys: a watched byte stops the run
// after the step that changed it; with 中断处停 the run stops after the step
// that entered the timer's interrupt; Shift+F5 goes back to before it, then
// before the byte's change, then to a breakpoint line, then to the start; a
// run from there replays the logged steps and stops at the byte again.
TEST(ReverseRun, StopsBeforeChangesInterruptsBreakpointsAndAtTheStart) {
    freshProgram();
    runFrame();
    game.setLEVEL(31);
    compile("iset 0 tick\naddi r2 r0 3\nstore r2 r0 r0 0105\nsck r0 r0 2\nlabel L\naddi r1 r1 1\njmp r0 r0 L\n"
            "label tick\niret");
    runFrame();
    const CellPosition memory = barButton("内存");
    click(memory.x, memory.y);
    std::int64_t column = 0, row = 0;
    ASSERT_TRUE(memoryCellPosition(0x0105, column, row));
    click(static_cast<int>(memoryPanel.x + column), static_cast<int>(memoryPanel.y + row));
    EXPECT_EQ(memoryPanel.grid[column][row].attribute, WATCH_ATTRIBUTE);
    const CellPosition control = barButton("CPU控制");
    click(control.x, control.y);
    consolePanel.clearText();
    const auto run = [] {
        const CellPosition at = controlButton("运行");
        click(at.x, at.y);
        for (int frame = 0; frame < 50 && game.running; ++frame) runFrame();
    };
    run();
    EXPECT_EQ(stepHistory.steps, 3u);
    EXPECT_NE(consoleText().find("观察：0105由00变为03（第3步）"), std::string::npos) << consoleText();

    const CellPosition toggle = controlButton("中断处停:关");
    click(toggle.x, toggle.y);
    EXPECT_EQ(controlButton("中断处停:开").x, toggle.x);
    run();
    EXPECT_EQ(stepHistory.steps, 7u); // SCK 2 lets two instructions run first
    EXPECT_NE(consoleText().find("进入中断0（定时器）"), std::string::npos) << consoleText();

    const std::pair<const char*, std::uint64_t> backwards[] = {
        {"反向运行停在第6步：下一步进入中断0（定时器）。", 6},
        {"反向运行停在第2步：下一步改变0105。", 2},
        {"反向运行停在第1步：下一步执行断点行。", 1},
        {"反向运行停在第0步：运行的开始。", 0},
        {"已在运行的开始，无法再反向运行。", 0},
    };
    for (const auto& [message, step] : backwards) {
        if (step == 2) editorPanel.toggleBreakpoint(1);
        consolePanel.clearText();
        fakeConsole().pushKey(VK_F1 + 4, 0, SHIFT_PRESSED);
        runFrames(2);
        EXPECT_EQ(stepHistory.steps, step) << message;
        std::string flat = consoleText(); // a long line wraps in the console
        flat.erase(std::remove(flat.begin(), flat.end(), '\n'), flat.end());
        EXPECT_NE(flat.find(message), std::string::npos) << step << consoleText();
    }
    EXPECT_EQ(panelRow(cpuControlPanel, STEP_COUNTER_ROW), "步数:0/7");
    EXPECT_EQ(cpu.memory[0x0105], 0);
    editorPanel.toggleBreakpoint(1);
    run();
    runFrame();
    EXPECT_EQ(stepHistory.steps, 3u);
    EXPECT_EQ(cpu.memory[0x0105], 3);
    EXPECT_EQ(panelRow(cpuControlPanel, STEP_COUNTER_ROW), "步数:3/7");
}

// Every instruction that can change a watched place stops a run right after
// it and 反向运行 just before it: POP into a watched register, PUSH and CALL
// onto a watched stack byte, as a STORE does. On a level without a feeder the
// CPU checks only after the instructions that can touch the place; a level
// whose feeder types keys checks after every step.
TEST(ReverseRun, EveryWayOfChangingAWatchedPlaceStopsBothWays) {
    struct Case {
        const char* name;
        const char* source; // changes the watched place from 00 at step 3, then loops
        Watch watch;
        std::uint8_t after;
    } cases[] = {
        {"pop into a watched register", "addi r1 r0 7\npush r1\npop r2\nlabel L\njmp r0 r0 L", {WatchKind::Register, 2}, 7},
        {"push onto a watched stack byte", "addi r1 r0 7\nnop\npush r1\nlabel L\njmp r0 r0 L", {WatchKind::Memory, STACK_BASE}, 7},
        {"call's return address on a watched stack byte", "addi r1 r0 7\nnop\ncall r0 r0 sub\nlabel sub\njmp r0 r0 sub",
         {WatchKind::Memory, STACK_BASE}, 0x0C},
        {"store to a watched stack byte", "addi r1 r0 7\nnop\nstore r1 r0 r0 fd00\nlabel L\njmp r0 r0 L",
         {WatchKind::Memory, STACK_BASE}, 7},
    };
    const auto watched = [](Watch w) { return w.kind == WatchKind::Register ? cpu.registers[w.index] : cpu.memory[w.index]; };
    for (const std::uint16_t level : {31, 22}) // the open level; a key feeder's level
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " on level " + std::to_string(level));
            freshProgram();
            runFrame();
            game.setLEVEL(level);
            compile(c.source);
            ASSERT_TRUE(game.compileErrors.empty());
            runFrame();
            toggleWatch(c.watch);
            game.fast = 1;
            game.running = 1;
            game.updateVM();
            EXPECT_EQ(game.running, 0);
            EXPECT_EQ(stepHistory.steps, 3u);
            EXPECT_EQ(watched(c.watch), c.after);
            for (int i = 0; i < 5; ++i) stepForwardOnce();
            runBackwards();
            EXPECT_EQ(stepHistory.steps, 2u);
            EXPECT_EQ(watched(c.watch), 0);
            toggleWatch(c.watch);
        }
}

// Keys typed into the 键盘 panel during a run: after 反向运行 to the start, a
// run forward replays them at the steps they were typed at, up to the
// furthest step ("步数:n/30" on the way), and a key typed after going back
// makes a new future.
TEST(ReverseRun, RunningForwardReplaysTheTypedKeys) {
    freshProgram();
    runFrame();
    game.setLEVEL(31);
    compile("iset 1 key\nlabel L\njmp r0 r0 L\nlabel key\npop r1\nload r8 r0 r0 0300\nstore r1 r0 r8 0200\n"
            "addi r8 r8 1\nstore r8 r0 r0 0300\niret");
    runFrame();
    const auto stepAndType = [](int steps, std::uint16_t key) {
        for (int i = 0; i < steps; ++i) stepForwardOnce();
        keyboardPanel.raise();
        fakeConsole().pushKey(key, static_cast<char>(key));
        runFrame();
    };
    stepAndType(7, 'A');
    stepAndType(9, 'B');
    for (int i = 0; i < 14; ++i) stepForwardOnce();
    ASSERT_EQ(stepHistory.steps, 30u);
    ASSERT_EQ(cpu.memory[0x0200], 'A');
    ASSERT_EQ(cpu.memory[0x0201], 'B');
    const std::uint64_t bStored = [] {
        std::uint64_t s = stepHistory.steps;
        while (cpu.memory[0x0201] == 'B') stepBackOnce(), --s;
        return s + 1;
    }();
    toggleWatch({WatchKind::Memory, 0x0201});
    runBackwards();
    runBackwards(); // past the change of 0201 to the start
    EXPECT_EQ(stepHistory.steps, 0u);
    EXPECT_EQ(cpu.memory[0x0200], 0);
    game.fast = 1;
    game.running = 1;
    while (game.running) runFrame();
    runFrame(); // the panels show the stop
    EXPECT_EQ(stepHistory.steps, bStored);
    EXPECT_EQ(cpu.memory[0x0200], 'A');
    EXPECT_EQ(cpu.memory[0x0201], 'B');
    EXPECT_EQ(panelRow(cpuControlPanel, STEP_COUNTER_ROW), "步数:" + std::to_string(bStored) + "/30");

    // A new key typed back at the start: the logged future is gone, A and B are not replayed.
    runBackwards();
    runBackwards();
    ASSERT_EQ(stepHistory.steps, 0u);
    stepAndType(3, 'C');
    EXPECT_EQ(stepHistory.furthest, stepHistory.steps);
    for (int i = 0; i < 40; ++i) stepForwardOnce();
    EXPECT_EQ(cpu.memory[0x0200], 'C');
    EXPECT_EQ(cpu.memory[0x0201], 0);
}

// Stepping back over a judged halt un-halts the machine without judging it
// again or touching the pass count; a run not yet judged is judged as usual.
TEST(StepHistory, AJudgedHaltIsNotJudgedAgain) {
    freshProgram();
    runFrame();
    playUntilAFailure(1, "add r3 r1 r1\nhlt");
    runFrame();
    consolePanel.clearText();
    stepBackOnce();
    EXPECT_EQ(cpu.halted, 0);
    EXPECT_EQ(cpu.pc, 4);
    stepForwardOnce();
    runFrames(2);
    EXPECT_EQ(cpu.halted, 1);
    EXPECT_EQ(consoleText().find("未通过"), std::string::npos) << consoleText();
    EXPECT_EQ(game.passCount, 0);

    compile("add r3 r1 r2\nhlt");
    runFrame();
    stepForwardOnce();
    stepForwardOnce();
    stepBackOnce();
    stepForwardOnce();
    runFrame();
    EXPECT_EQ(game.passCount, 1);
}

// A program that writes into every page of memory all the time: the history
// stays under 64 MiB (the oldest epochs go) and still reaches at least a
// million steps back.
TEST(StepHistory, StaysBoundedAndCoversAMillionSteps) {
    freshProgram();
    runFrame();
    game.setLEVEL(31);
    compile("label top\naddi r1 r1 1\nstore r1 r0 r1 0200\nstore r1 r1 r0 0280\njmp r0 r0 top");
    runFrame();
    stepHistory.epochSteps = 16384;
    game.fast = 1;
    game.running = 1;
    while (stepHistory.steps < 12000000) game.updateVM();
    EXPECT_LT(stepHistory.bytesHeld(), 64u << 20);
    EXPECT_GT(stepHistory.bytesHeld(), 32u << 20); // the oldest epochs really were dropped
    EXPECT_LE(stepHistory.epochs.front().firstStep, stepHistory.steps - 1000000);
    const std::uint64_t before = stepHistory.steps;
    stepBackOnce();
    EXPECT_EQ(stepHistory.steps, before - 1);
}

// Level 18's feeder draws rand() at every step: a long run drops the oldest
// draws with the oldest epochs and can still step back a million steps;
// stepping forward again takes the logged draws.
TEST(StepHistory, ALongRunOfDrawsKeepsAMillionStepsOfThem) {
    freshProgram();
    runFrame();
    game.setLEVEL(18);
    compile("label L\njmp r0 r0 L");
    runFrame();
    game.fast = 1;
    game.running = 1;
    while (stepHistory.steps < HISTORY_MAX_DRAWS + 1500000) game.updateVM();
    EXPECT_GT(stepHistory.drawBase, 0u);
    EXPECT_LE(stepHistory.draws.size(), HISTORY_MAX_DRAWS);
    EXPECT_LE(stepHistory.epochs.front().firstStep, stepHistory.steps - 1000000);
    EXPECT_LT(stepHistory.bytesHeld(), 64u << 20);
    const std::uint64_t now = machineHash();
    const std::uint8_t fed = game.scratch[1];
    const std::size_t cursor = stepHistory.drawCursor;
    for (int i = 0; i < 5; ++i) stepBackOnce();
    EXPECT_EQ(static_cast<std::uint8_t>(game.scratch[1] + 5), fed);
    EXPECT_LT(stepHistory.drawCursor, cursor);
    gameSrand(1); // fresh draws would show
    for (int i = 0; i < 5; ++i) stepForwardOnce();
    EXPECT_EQ(stepHistory.drawCursor, cursor);
    EXPECT_EQ(machineHash(), now);
}

namespace {
// One key-down record and its release, as a terminal delivers a function key.
void pressKey(std::uint16_t key, std::uint32_t control = 0) {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = 1;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = key;
    record.Event.KeyEvent.dwControlKeyState = control;
    fakeConsole().input.push_back(record);
    record.Event.KeyEvent.bKeyDown = 0;
    fakeConsole().input.push_back(record);
    runFrames(3);
}
constexpr std::uint16_t F(int n) { return static_cast<std::uint16_t>(VK_F1 + n - 1); }

window* frontPanel() {
    for (window* w : windowList)
        if (w->visible) return w;
    return nullptr;
}

// UTF-8 text (the README) as GBK bytes, as the game's literals are.
std::string gbkFromUtf8(const std::string& utf8) {
    std::string gbk;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const int length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? c : c & (0x3F >> (length - 1));
        for (int k = 1; k < length && i + k < utf8.size(); ++k) code = (code << 6) | (utf8[i + k] & 0x3F);
        i += length;
        std::uint8_t out[2];
        const int n = code < 0x10000 ? gbkFromWide(static_cast<char16_t>(code), out) : 0;
        gbk.append(reinterpret_cast<const char*>(out), static_cast<std::size_t>(n));
    }
    return gbk;
}
} // namespace

// Every function key works whichever panel is in front, 键盘 included, and
// no key of the table reaches that panel (the CPU's key slot, the editor's
// text); an open dialog owns the keys.
TEST(FunctionKeys, ActWhicheverPanelIsInFront) {
    const std::string program = "label l\naddi r1 r1 1\njmp r0 r0 l";
    const std::vector<window*> fronts = {&editorPanel, &keyboardPanel, &levelPanel, &cpuControlPanel, &consolePanel, &memoryPanel};
    for (window* front : fronts) {
        SCOPED_TRACE(front->title);
        freshProgram();
        runFrame();
        game.setLEVEL(31);
        editorPanel.setText(program);
        runFrame();
        front->raise();
        ASSERT_EQ(frontPanel(), front);
        EXPECT_EQ(panelRow(cpuControlPanel, 3), "速度：慢速");

        pressKey(F(9));
        EXPECT_EQ(game.compileState, CompileState::Compiled);
        pressKey(F(5));
        EXPECT_TRUE(game.running);
        runFrames(3);
        pressKey(F(6));
        EXPECT_FALSE(game.running);
        const std::uint16_t pausedAt = cpu.pc;
        const std::uint64_t stepsPaused = stepHistory.steps;
        EXPECT_GT(stepsPaused, 2u);
        runFrames(3);
        EXPECT_EQ(cpu.pc, pausedAt); // the run stays where it was paused
        pressKey(F(5));
        EXPECT_GT(stepHistory.steps, stepsPaused + 1); // and goes on from there
        pressKey(F(6));
        const std::uint64_t steps = stepHistory.steps;
        pressKey(F(7));
        EXPECT_EQ(stepHistory.steps, steps + 1);
        pressKey(F(7), SHIFT_PRESSED);
        EXPECT_EQ(stepHistory.steps, steps);
        pressKey(F(8));
        EXPECT_EQ(stepHistory.steps, 0u);

        pressKey(F(4));
        EXPECT_TRUE(game.fast);
        EXPECT_EQ(panelRow(cpuControlPanel, 3), "速度：快速");
        pressKey(F(4));
        EXPECT_FALSE(game.fast);
        EXPECT_EQ(panelRow(cpuControlPanel, 3), "速度：慢速");

        // F2 from any other panel brings the editor back first (the round is
        // F2GoesRoundThePanelsOnScreen's).
        if (front != &editorPanel) pressKey(F(2));
        EXPECT_EQ(frontPanel(), &editorPanel);
        pressKey(F(1));
        EXPECT_EQ(frontPanel(), &guidePanel);
        pressKey(F(1));
        EXPECT_FALSE(guidePanel.visible);
        pressKey(F(3));
        EXPECT_EQ(frontPanel(), &levelListPanel);
        pressKey(VK_ESCAPE);
        EXPECT_FALSE(levelListPanel.visible);
        EXPECT_EQ(game.level, 31);

        EXPECT_EQ(cpu.pendingKey, 0);
        EXPECT_EQ(editorPanel.getText(), program);
    }

    // While a question is open, it owns the keys.
    freshProgram();
    runFrame();
    editorPanel.setText("hlt");
    runFrame();
    game.Choose("选择", "?", {{"是", [] {}}, {"否", [] {}}});
    pressKey(F(9));
    pressKey(F(4));
    EXPECT_EQ(game.compileState, CompileState::NotCompiled);
    EXPECT_FALSE(game.fast);
    EXPECT_TRUE(choicePanel.visible);
}

// A key and its listing cannot disagree: the guide, the README and the
// Windows package's 使用说明 name every key of the table with its action.
TEST(FunctionKeys, TheGuideAndTheReadmeListEveryKey) {
    const std::string guide = manualGuideText();
    std::ifstream in(ASMQUEST_SOURCE_DIR "/README.md", std::ios::binary);
    const std::string readme = gbkFromUtf8({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
    ASSERT_FALSE(readme.empty());
    std::ifstream noteIn(std::filesystem::path(ASMQUEST_SOURCE_DIR) / std::filesystem::path(u8"dist-files/使用说明.txt"),
                         std::ios::binary);
    const std::string note = gbkFromUtf8({std::istreambuf_iterator<char>(noteIn), std::istreambuf_iterator<char>()});
    ASSERT_FALSE(note.empty());
    for (const FunctionKey& key : functionKeys()) {
        const std::string entry = std::string(key.name) + " " + key.label;
        EXPECT_NE(guide.find(entry), std::string::npos) << key.name;
        EXPECT_NE(readme.find(entry), std::string::npos) << key.name;
        EXPECT_NE(note.find(entry), std::string::npos) << key.name;
    }
    EXPECT_NE(note.find("F10 退出"), std::string::npos);
}

namespace {
void typeKeys(const std::string& gbk) {
    fakeConsole().pushText(gbk);
    while (!fakeConsole().input.empty()) runFrame();
}
std::uint16_t titleAttribute(const window& w) { return screen.backBuffer[w.x][w.y - 2].attribute & 0xFF; }
} // namespace

// Typed text never vanishes: in front of a panel that takes no text (CPU控制
// after a click on 编译, 寄存器, 内存, the guide for letters), the editor comes
// forward and takes it; 键盘 keeps its keys for the CPU, the guide its Enter.
// The panel in front, and only that one, shows its title bar highlighted.
TEST(Focus, TypedTextReachesTheEditorFromPanelsThatTakeNoText) {
    freshProgram();
    runFrame();
    editorPanel.setText("");
    runFrame();
    cpuControlPanel.raise();
    runFrame();
    const CellPosition compileButton = controlButton("编译");
    click(compileButton.x, compileButton.y);
    EXPECT_EQ(frontPanel(), &cpuControlPanel);
    EXPECT_EQ(titleAttribute(cpuControlPanel), focusTitleColour);
    EXPECT_NE(titleAttribute(editorPanel), focusTitleColour);
    typeKeys("hlt\rnop");
    EXPECT_EQ(editorPanel.getText(), "hlt\nnop");
    EXPECT_EQ(frontPanel(), &editorPanel);
    runFrame();
    EXPECT_EQ(titleAttribute(editorPanel), focusTitleColour);
    EXPECT_NE(titleAttribute(cpuControlPanel), focusTitleColour);

    for (window* panel : std::vector<window*>{&registerPanel, &memoryPanel, &consolePanel, &levelPanel}) {
        SCOPED_TRACE(panel->title);
        panel->raise();
        runFrame();
        fakeConsole().pushKey(VK_BACK, '\b');
        typeKeys("p");
        EXPECT_EQ(editorPanel.getText(), "hlt\nnop");
        EXPECT_EQ(frontPanel(), &editorPanel);
    }
    // A closed editor opens for typed text.
    editorPanel.hide();
    cpuControlPanel.raise();
    typeKeys(" ");
    EXPECT_TRUE(editorPanel.visible);
    EXPECT_EQ(editorPanel.getText(), "hlt\nnop ");

    // 键盘 takes every key for the CPU.
    keyboardPanel.raise();
    typeKeys("a");
    EXPECT_EQ(frontPanel(), &keyboardPanel);
    EXPECT_EQ(editorPanel.getText(), "hlt\nnop ");
    EXPECT_NE(cpu.pendingKey, 0);

    // Esc goes back to the editor from any panel that does not use it.
    memoryPanel.raise();
    pressKey(VK_ESCAPE);
    EXPECT_EQ(frontPanel(), &editorPanel);
    EXPECT_EQ(editorPanel.getText(), "hlt\nnop ");
}

// F2 brings the panels on screen to the front in turn, starting from the
// editor, and back to it; a panel wholly covered (memory behind the level
// text) is never one of them; Shift+F2 goes the other way; from any other
// panel F2 first brings the editor back.
TEST(FunctionKeys, F2GoesRoundThePanelsOnScreen) {
    freshProgram();
    runFrame();
    const ConsoleSize size = visibleConsoleSize();
    const std::vector<window*> onScreen = windowsOnScreen(size.width, size.height);
    ASSERT_EQ(onScreen.front(), &editorPanel);
    EXPECT_EQ(std::find(onScreen.begin(), onScreen.end(), &memoryPanel), onScreen.end());
    EXPECT_EQ(std::find(onScreen.begin(), onScreen.end(), &guidePanel), onScreen.end());
    std::vector<window*> seen;
    for (std::size_t i = 0; i < onScreen.size(); ++i) {
        seen.push_back(frontPanel());
        pressKey(F(2));
    }
    EXPECT_EQ(frontPanel(), &editorPanel);
    std::vector<window*> sortedSeen = seen, sortedOnScreen = onScreen;
    std::sort(sortedSeen.begin(), sortedSeen.end());
    std::sort(sortedOnScreen.begin(), sortedOnScreen.end());
    EXPECT_EQ(sortedSeen, sortedOnScreen);
    // Backwards: the same round in the other order.
    for (std::size_t i = seen.size(); i-- > 1;) {
        pressKey(F(2), SHIFT_PRESSED);
        EXPECT_EQ(frontPanel(), seen[i]);
    }
    cpuControlPanel.raise();
    pressKey(F(2));
    EXPECT_EQ(frontPanel(), &editorPanel);
    editorPanel.hide();
    pressKey(F(2));
    EXPECT_TRUE(editorPanel.visible);
    EXPECT_EQ(frontPanel(), &editorPanel);
}

// 重置, 断点 on the caret's line, 观察 of what the caret names and 中断处停
// have keys; a run stopped forward at a breakpoint says so like a reverse
// one; PageDown and PageUp move the editor a page.
TEST(FunctionKeys, ResetBreakpointWatchAndInterruptStopFromTheKeyboard) {
    freshProgram();
    runFrame();
    game.setLEVEL(31);
    runFrame();
    editorPanel.setText("label l\naddi r1 r1 1\naddi r3 r3 2\njmp r0 r0 l");
    editorPanel.moveCaret({5, 2}, false); // on "r3"
    runFrame();
    pressKey(F(9));
    ASSERT_EQ(game.compileState, CompileState::Compiled);
    pressKey(F(9), SHIFT_PRESSED);
    EXPECT_EQ(editorPanel.breakpoints, std::vector<std::int64_t>{2});
    consolePanel.clearText();
    pressKey(F(5));
    runFrames(5);
    EXPECT_FALSE(game.running);
    EXPECT_NE(consoleText().find("运行停在第1步：断点行。"), std::string::npos) << consoleText();
    pressKey(F(9), SHIFT_PRESSED);
    EXPECT_TRUE(editorPanel.breakpoints.empty());

    editorPanel.moveCaret({6, 2}, false); // after "r3" (the caret followed the PC to the line's start)
    pressKey(F(8), SHIFT_PRESSED);
    EXPECT_TRUE(isWatched({WatchKind::Register, 3}));
    EXPECT_NE(consoleText().find("观察R3"), std::string::npos) << consoleText();
    pressKey(F(8), SHIFT_PRESSED);
    EXPECT_FALSE(isWatched({WatchKind::Register, 3}));
    editorPanel.moveCaret({1, 0}, false); // "label": names nothing
    pressKey(F(8), SHIFT_PRESSED);
    EXPECT_NE(consoleText().find("光标处没有可观察的"), std::string::npos) << consoleText();

    const bool stopAtInterrupts = watches.stopAtInterrupts;
    pressKey(F(4), SHIFT_PRESSED);
    EXPECT_NE(watches.stopAtInterrupts, stopAtInterrupts);
    pressKey(F(4), SHIFT_PRESSED);
    EXPECT_EQ(watches.stopAtInterrupts, stopAtInterrupts);

    pressKey(F(6), SHIFT_PRESSED);
    EXPECT_EQ(game.compileState, CompileState::NotCompiled);
    EXPECT_TRUE(game.program.empty());

    std::string longText;
    for (int i = 0; i < 100; ++i) longText += "nop\n";
    editorPanel.setText(longText);
    editorPanel.raise();
    const std::int64_t page = editorPanel.height() - 1;
    pressKey(VK_NEXT);
    EXPECT_EQ(editorPanel.caretLine(), page);
    EXPECT_EQ(editorPanel.scrollY, -page);
    pressKey(VK_NEXT);
    pressKey(VK_PRIOR);
    EXPECT_EQ(editorPanel.caretLine(), page);
    pressKey(VK_PRIOR);
    EXPECT_EQ(editorPanel.caretLine(), 0);
    EXPECT_EQ(editorPanel.scrollY, 0);
    // Paging past the end keeps the last page full of text.
    for (int i = 0; i < 6; ++i) pressKey(VK_NEXT);
    EXPECT_EQ(editorPanel.caretLine(), 99);
    EXPECT_NE(panelRow(editorPanel, static_cast<int>(editorPanel.height()) - 5), "");
    EXPECT_EQ(panelRow(editorPanel, 0).substr(0, 3), std::to_string(100 - editorPanel.height() + 1) + "|");
}

// After a failed check the failing input stays until a run passes: F8 after
// a fix (another program, edited and compiled) runs it on exactly that input
// and says so; a pass of the replay does not count; F5 after the failure
// starts a fresh run on new data, and 快速 going back to 慢速 is said.
TEST(FailureReport, F8AfterAFixReplaysTheFailingInput) {
    freshProgram();
    runFrame();
    playUntilAFailure(2, "hlt");
    runFrame();
    EXPECT_NE(consoleText().find("已切回慢速，按F4切换。"), std::string::npos) << consoleText();
    EXPECT_FALSE(game.fast);

    // F5 after the judged halt: a fresh run on new data (which "hlt" fails too).
    gameSrand(12345);
    consolePanel.clearText();
    pressKey(F(5));
    EXPECT_NE(consoleText().find("第1次检验未通过"), std::string::npos) << consoleText();
    EXPECT_EQ(consoleText().find("已切回慢速"), std::string::npos) << consoleText(); // it was slow
    const std::uint8_t r1 = runReplay.failed.presetRegisters[1], r2 = runReplay.failed.presetRegisters[2];

    // Still wrong on the same input: replayed, failed again, reported as the same check.
    for (const char* wrong : {"add r3 r1 r2\nhlt", "nop\nsub r3 r1 r2\nhlt"}) {
        SCOPED_TRACE(wrong);
        editorPanel.setText(wrong);
        editorPanel.modified = true;
        runFrames(2);
        pressKey(F(9));
        consolePanel.clearText();
        pressKey(F(8));
        EXPECT_EQ(cpu.registers[1], r1);
        EXPECT_EQ(cpu.registers[2], r2);
        EXPECT_EQ(std::vector<std::uint8_t>(cpu.memory, cpu.memory + game.program.size()), game.program);
        EXPECT_NE(consoleText().find("重放第1次检验的输入（R1=" + hex2(r1) + " R2=" + hex2(r2) + "）。"), std::string::npos)
            << consoleText();
        runToHaltAndJudge();
        runFrame();
        if (cpu.registers[3] != static_cast<std::uint8_t>(r1 * r2)) {
            EXPECT_NE(consoleText().find("第1次检验未通过"), std::string::npos) << consoleText();
        }
    }
    // The fix passes on the input that failed; the pass counts for nothing.
    editorPanel.setText("mul r3 r1 r2\nhlt");
    editorPanel.modified = true;
    runFrames(2);
    pressKey(F(9));
    consolePanel.clearText();
    pressKey(F(8));
    EXPECT_EQ(cpu.registers[1], r1);
    EXPECT_EQ(cpu.registers[2], r2);
    runToHaltAndJudge();
    runFrame();
    EXPECT_EQ(game.passCount, 0);
    EXPECT_NE(consoleText().find("不计入"), std::string::npos) << consoleText();
    EXPECT_FALSE(runReplay.failed.valid);
    // Then the runs count again.
    runToHaltAndJudge();
    EXPECT_EQ(game.passCount, 1);
}

// A level switch shows the new code from line 0 with the caret there, and the
// console starts empty.
TEST(LevelSelect, ASwitchShowsTheCodeFromItsFirstLine) {
    freshProgram();
    runFrame();
    std::string longText;
    for (int i = 0; i < 41; ++i) longText += "nop\n";
    editorPanel.setText(longText);
    editorPanel.raise();
    pressKey(VK_NEXT);
    pressKey(VK_NEXT);
    ASSERT_LT(editorPanel.scrollY, 0);
    consolePrintf("旧的消息\n");
    game.highestLevel = 2;
    switchToLevel(2);
    editorPanel.setText("mul r3 r1 r2\nhlt");
    runFrame();
    EXPECT_EQ(editorPanel.scrollY, 0);
    EXPECT_EQ(editorPanel.caretLine(), 0);
    EXPECT_EQ(panelRow(editorPanel, 0).substr(0, 4), "0|mu");
    EXPECT_EQ(consoleText().find("旧的消息"), std::string::npos);
}
