// What a compile tells the player: the console is cleared so that only this
// compile's messages show; then the errors per line, the warnings, and one
// line that says whether it compiled and what it produced.
#include "asm/asm.h"
#include "asm/asm_warnings.h"
#include "game/game.h"
#include "game/panels.h"
#include "shell/messages.h"

namespace {

// DTA lines give one byte each; every other line that assembles, a 4-byte word.
std::size_t dataLines(const std::string& source) {
    std::size_t count = 0;
    for (const std::string& line : Asm::split(source, '\n', true)) {
        std::vector<std::string> tokens = Asm::split(line, ' ', false);
        if (tokens.empty() || tokens[0].size() != 3) continue;
        for (char& c : tokens[0])
            if (c >= 'a' && c <= 'z') c = char(c & ~0x20);
        if (tokens[0] == "DTA") ++count;
    }
    return count;
}

// Every message on a row of its own, also one the assembler wrote without a
// line break at its end.
void printMessage(const std::string& message) {
    consolePrintf("%s", message.c_str());
    if (message.empty() || message.back() != '\n') consolePrintf("\n");
}

} // namespace

void reportCompile(const std::string& source) {
    consolePanel.clearText();
    for (std::uint64_t line : game.errorLines) {
        consolePrintf("第%llu行：\n", static_cast<unsigned long long>(line));
        for (const std::string& message : game.compileErrors[line]) printMessage(message);
    }
    for (const AsmWarning& warning : findAsmWarnings(source)) {
        consolePrintf("第%llu行：警告：", static_cast<unsigned long long>(warning.line));
        printMessage(warning.message);
    }
    if (!game.errorLines.empty()) {
        consolePrintf("编译失败：%zu行有错误，程序没有载入。\n", game.errorLines.size());
        return;
    }
    const std::size_t bytes = game.program.size();
    const std::size_t data = dataLines(source);
    if (data)
        consolePrintf("编译成功：%zu条指令，%zu个数据字节，共%zu字节。\n", (bytes - data) / 4, data, bytes);
    else
        consolePrintf("编译成功：%zu条指令，共%zu字节。\n", bytes / 4, bytes);
}

bool refuseUncompiledRun() {
    switch (game.compileState) {
    case CompileState::Compiled: return false;
    case CompileState::Failed: consolePrintf("请先修正编译错误。\n"); return true;
    case CompileState::NotCompiled: break;
    }
    consolePrintf("请先编译。\n");
    return true;
}
