// The game's panels, defined with every other global in globals.cpp in their
// construction order.
#pragma once
#include "ui/editor.h"
#include "ui/log_panel.h"
#include "ui/window.h"

extern LogPanel consolePanel;
extern Editor editorPanel;
extern window registerPanel;
extern window memoryPanel;
extern window stackPanel;
extern window interruptPanel;
extern window screenPanel;
extern window keyboardPanel;
extern window levelPanel;
extern window guidePanel;
extern window cpuControlPanel;
extern window perfPanel;
extern window choicePanel;
extern window levelListPanel; // 选关 (level_select.cpp)

// Destroys every global in reverse order and constructs them again in order,
// as a fresh program start would (tests and the judge start from it).
void restartGlobals();
