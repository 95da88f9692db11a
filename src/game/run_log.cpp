#include "game/run_log.h"

#include <algorithm>

#include "asm/asm.h"
#include "game/game.h"
#include "levels/custom_level.h"
#include "shell/logger.h"

std::string levelNameForLog(unsigned level) {
    if (const CustomLevel* custom = customLevelFor(static_cast<std::uint16_t>(level))) return "「" + custom->title + "」";
    return "第" + std::to_string(level) + "关";
}

void logLevelStart(unsigned level) { logger.note("%s：开始", levelNameForLog(level).c_str()); }

void logCompile() {
    const std::string name = levelNameForLog(game.level);
    if (game.compileErrors.empty()) {
        logger.note("%s：编译成功，%zu条指令", name.c_str(), programSize(game.program, game.lineAddress).instructions);
        return;
    }
    const auto first = std::min_element(game.compileErrors.begin(), game.compileErrors.end(),
                                        [](const auto& a, const auto& b) { return a.first < b.first; });
    logger.note("%s：编译失败，%zu行有错，第一处在第%llu行：%s", name.c_str(), game.compileErrors.size(),
                static_cast<unsigned long long>(first->first), first->second.empty() ? "" : first->second.front().c_str());
}

// The first wrong byte tells a helper where to look; the console has the rest.
void logFailedRun(const std::vector<RunMismatch>& mismatches, bool withoutHlt) {
    const std::string name = levelNameForLog(game.level);
    const unsigned run = game.passCount + 1u;
    if (withoutHlt || mismatches.empty()) {
        logger.note("%s：第%u次检验失败，程序没有停在hlt", name.c_str(), run);
        return;
    }
    const RunMismatch& m = mismatches.front();
    if (m.isRegister)
        logger.note("%s：第%u次检验失败，R%x应为%02X，实际为%02X（共%zu处不对）", name.c_str(), run, m.index, m.expected,
                    m.actual, mismatches.size());
    else
        logger.note("%s：第%u次检验失败，%04X应为%02X，实际为%02X（共%zu处不对）", name.c_str(), run, m.index, m.expected,
                    m.actual, mismatches.size());
}

void logLevelCompleted(std::size_t instructions, double meanSteps) {
    logger.note("%s：通过，%zu条指令，平均每次检验%.1f步", levelNameForLog(game.level).c_str(), instructions, meanSteps);
}
