#include "game/level_play.h"

#include <cstdio>
#include <cstdlib>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "game/game.h"
#include "game/game_random.h"
#include "game/panels.h"

namespace {

std::vector<Mismatch> findMismatches() {
    std::vector<Mismatch> found;
    char where[8];
    if (game.registerCheck)
        for (std::uint16_t i = 0; i < 16 && found.size() < maxReportedMismatches; ++i) {
            const std::uint16_t expected = game.registerCheck(i);
            if ((expected >> 8) == 0 && (expected & 0xFF) != cpu.registers[i]) {
                std::snprintf(where, sizeof where, "R%X", i);
                found.push_back({where, static_cast<std::uint8_t>(expected), cpu.registers[i]});
            }
        }
    if (game.memoryCheck)
        for (unsigned a = 0; a < 65536 && found.size() < maxReportedMismatches; ++a) {
            const std::uint16_t expected = game.memoryCheck(static_cast<std::uint16_t>(a));
            if ((expected >> 8) == 0 && (expected & 0xFF) != cpu.memory[a]) {
                std::snprintf(where, sizeof where, "%04X", a);
                found.push_back({where, static_cast<std::uint8_t>(expected), cpu.memory[a]});
            }
        }
    return found;
}

// The editor's lines exactly as the file has them, empty lines included.
std::vector<std::string> sourceLines(const std::string& source) {
    std::vector<std::string> lines(1);
    for (char c : source) {
        if (c == '\n') lines.emplace_back();
        else lines.back() += c;
    }
    return lines;
}

} // namespace

LevelVerdict playLevel(std::uint16_t level, const std::string& source, unsigned seed, unsigned runs,
                       std::uint64_t maxSteps) {
    LevelVerdict verdict;
    restartGlobals();
    editorPanel.lines = sourceLines(source);
    game.level = level;
    compileProgram();
    if (!assembler.errors.empty()) {
        verdict.failed = true;
        verdict.failedRun = 1;
        verdict.reason = "the program does not assemble";
        return verdict;
    }

    gameSrand(seed);
    game.fast = 1;
    game.updateLEVEL(); // the reload the compile requested: the first run's set-up
    game.running = 1;
    while (verdict.passes < runs) {
        std::uint64_t steps = 0;
        while (!cpu.halted && steps < maxSteps && game.running) {
            game.updateVM();
            steps += 4096;
        }
        if (!cpu.halted) {
            verdict.failed = true;
            verdict.failedRun = verdict.passes + 1;
            verdict.reason = "the program did not halt within " + std::to_string(maxSteps) + " steps";
            return verdict;
        }
        const std::uint16_t levelBefore = game.level;
        game.updateLEVEL();
        if (game.level != levelBefore || !game.judged) {
            ++verdict.passes;
            if (game.level != levelBefore) break; // the level was completed
            continue;
        }
        verdict.failed = true;
        verdict.failedRun = verdict.passes + 1;
        verdict.reason = "wrong result";
        verdict.mismatches = findMismatches();
        return verdict;
    }
    verdict.completed = verdict.passes >= runs;
    return verdict;
}
