// The 编译 button: assemble the editor's text, load it, report how it went.
#include <algorithm>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "game/game.h"
#include "game/panels.h"
#include "game/run_log.h"

void compileProgram() {
    const bool fromControlPanel = !windowList.empty() && windowList.front() == &cpuControlPanel;
    resetMachine();
    game.errorLines.clear();
    const std::string source = editorPanel.getText();
    game.program = assembler.complie(source);
    loadProgram(game.program);
    game.lineAddress = assembler.lineAddress;
    game.compileErrors = assembler.errors;
    cpu.halted = 0;

    for (const auto& entry : game.compileErrors) game.errorLines.push_back(entry.first);
    std::sort(game.errorLines.begin(), game.errorLines.end());
    reportCompile(source);
    logCompile();
    if (!game.compileErrors.empty()) resetMachine();
    game.compileState = game.errorLines.empty() ? CompileState::Compiled : CompileState::Failed;
    // The report brought the console forward over the control panel; after a
    // compile that worked, 运行 and 步进 are what the player wants next.
    if (game.compileState == CompileState::Compiled && fromControlPanel) cpuControlPanel.raise();
}

void sourceEdited() {
    resetMachine();
    game.errorLines.clear();
    releaseUnreadableCode();
}
