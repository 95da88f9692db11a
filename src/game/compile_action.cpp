// The 编译 button: assemble the editor's text, load it, list the errors.
#include <algorithm>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "game/game.h"
#include "game/panels.h"
#include "shell/messages.h"

void compileProgram() {
    resetMachine();
    game.program = assembler.complie(editorPanel.getText());
    loadProgram(game.program);
    game.lineAddress = assembler.lineAddress;
    game.compileErrors = assembler.errors;
    cpu.halted = 0;

    // Listed in line order, which reads better than the map's order.
    std::vector<std::uint64_t> errorLines;
    for (const auto& entry : game.compileErrors) errorLines.push_back(entry.first);
    std::sort(errorLines.begin(), errorLines.end());
    for (std::uint64_t line : errorLines) {
        consolePrintf("第%llu行：\n", static_cast<unsigned long long>(line));
        for (const std::string& message : game.compileErrors[line]) consolePrintf("%s", message.c_str());
    }
    if (!game.compileErrors.empty()) resetMachine();
}
