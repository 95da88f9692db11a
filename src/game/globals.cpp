// Every program-wide object, defined here in construction order: the screen
// first (windows draw into it from their constructors), then the window list,
// the panels and the machine, and the Game last, whose constructor wires them.
// Destruction runs in reverse; the screen then restores the console.
#include <new>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "game/game.h"
#include "run/failure_report.h"
#include "game/panels.h"
#include "shell/messages.h"
#include "run/run_replay.h"
#include "run/step_changes.h"
#include "run/step_history.h"
#include "run/watches.h"
#include "shell/logger.h"
#include "shell/manual.h"
#include "console/console_screen.h"
#include "ui/editor.h"
#include "ui/window.h"

namespace {
// Title, interior origin and interior size of each panel. The default layout
// fits a 161 x 33 window: the editor on the left, the level text beside it,
// registers, CPU control and console on the right, none of their titles
// covered; memory, stack, interrupt table and screen wait behind the level
// text until their bar buttons bring them forward (panel_layout.cpp orders them).
struct PanelPlace {
    const char* title;
    std::int64_t x, y, width, height;
};
constexpr PanelPlace consolePanelPlace{"控制台", 119, 15, 36, 11};
constexpr PanelPlace editorPanelPlace{"汇编代码编辑器", 1, 4, 62, 28};
constexpr PanelPlace registerPanelPlace{"寄存器", 119, 4, 24, 6};
constexpr PanelPlace memoryPanelPlace{"内存", 65, 4, 52, 28};
constexpr PanelPlace stackPanelPlace{"栈", 65, 6, 52, 17};
constexpr PanelPlace interruptPanelPlace{"中断表", 65, 10, 52, 17};
constexpr PanelPlace screenPanelPlace{"屏幕", 100, 6, 16, 16};
constexpr PanelPlace keyboardPanelPlace{"键盘", 50, 10, 4, 2};
constexpr PanelPlace levelPanelPlace{"关卡说明", 65, 4, 52, 28};
constexpr PanelPlace guidePanelPlace{"指南", 1, 4, 80, 25};
constexpr PanelPlace cpuControlPanelPlace{"CPU控制", 145, 4, 14, 7};
constexpr PanelPlace perfPanelPlace{"性能", 119, 30, 18, 2};
constexpr PanelPlace choicePanelPlace{"null", 10, 10, 36, 12};
constexpr PanelPlace levelListPanelPlace{"选关", 66, 6, 24, 20};
} // namespace
#define PLACE(p) p.title, p.x, p.y, p.width, p.height

ConsoleScreen screen;
std::vector<window*> windowList;
LogPanel consolePanel(PLACE(consolePanelPlace));
ManualNode manualRoot = buildManual();
Cpu cpu;
Asm assembler;
Logger logger;
std::vector<Button> buttonBar;
Editor editorPanel(PLACE(editorPanelPlace));
window registerPanel(PLACE(registerPanelPlace));
window memoryPanel(PLACE(memoryPanelPlace));
window stackPanel(PLACE(stackPanelPlace));
window interruptPanel(PLACE(interruptPanelPlace));
window screenPanel(PLACE(screenPanelPlace));
window keyboardPanel(PLACE(keyboardPanelPlace));
window levelPanel(PLACE(levelPanelPlace));
window guidePanel(PLACE(guidePanelPlace));
window cpuControlPanel(PLACE(cpuControlPanelPlace));
window perfPanel(PLACE(perfPanelPlace));
window choicePanel(PLACE(choicePanelPlace));
window levelListPanel(PLACE(levelListPanelPlace));
// The message channels print into these (constant-initialised: usable from the start).
MessagePanels messagePanels{&consolePanel, &registerPanel, &interruptPanel, &stackPanel, &memoryPanel};
StepHistory stepHistory;
RunReplay runReplay;
StepChanges stepChanges;
FailureMarks failureMarks;
Watches watches;
Game game;
RunState& currentRun = game;

void restartGlobals() {
    game.~Game();
    watches.~Watches();
    failureMarks.~FailureMarks();
    stepChanges.~StepChanges();
    runReplay.~RunReplay();
    stepHistory.~StepHistory();
    levelListPanel.~window();
    choicePanel.~window();
    perfPanel.~window();
    cpuControlPanel.~window();
    guidePanel.~window();
    levelPanel.~window();
    keyboardPanel.~window();
    screenPanel.~window();
    interruptPanel.~window();
    stackPanel.~window();
    memoryPanel.~window();
    registerPanel.~window();
    editorPanel.~Editor();
    buttonBar.clear();
    logger.~Logger();
    assembler.~Asm();
    cpu.~Cpu();
    manualRoot.~ManualNode();
    consolePanel.~LogPanel();
    windowList.clear();
    screen.~ConsoleScreen();

    levelReloadRequested = 1;
    lastMouse = MOUSE_EVENT_RECORD{};
    inputConsumed = false;

    new (&screen) ConsoleScreen();
    new (&consolePanel) LogPanel(PLACE(consolePanelPlace));
    new (&manualRoot) ManualNode(buildManual());
    new (&cpu) Cpu();
    new (&assembler) Asm();
    new (&logger) Logger();
    new (&editorPanel) Editor(PLACE(editorPanelPlace));
    new (&registerPanel) window(PLACE(registerPanelPlace));
    new (&memoryPanel) window(PLACE(memoryPanelPlace));
    new (&stackPanel) window(PLACE(stackPanelPlace));
    new (&interruptPanel) window(PLACE(interruptPanelPlace));
    new (&screenPanel) window(PLACE(screenPanelPlace));
    new (&keyboardPanel) window(PLACE(keyboardPanelPlace));
    new (&levelPanel) window(PLACE(levelPanelPlace));
    new (&guidePanel) window(PLACE(guidePanelPlace));
    new (&cpuControlPanel) window(PLACE(cpuControlPanelPlace));
    new (&perfPanel) window(PLACE(perfPanelPlace));
    new (&choicePanel) window(PLACE(choicePanelPlace));
    new (&levelListPanel) window(PLACE(levelListPanelPlace));
    new (&stepHistory) StepHistory();
    new (&runReplay) RunReplay();
    new (&stepChanges) StepChanges();
    new (&failureMarks) FailureMarks();
    new (&watches) Watches();
    new (&game) Game();
}
