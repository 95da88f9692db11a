#include "game/level_play.h"

#include <cstdio>
#include <cstdlib>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "game/game.h"
#include "levels/game_random.h"
#include "game/panels.h"
#include "run/run_mismatches.h"
#include "run/run_replay.h"
#include "run/step_history.h"
#include "levels/custom_level.h"

namespace {

// The judge names registers "R%X" (its JSON has always done so).
std::vector<Mismatch> findMismatches() {
    std::vector<Mismatch> found;
    char where[8];
    for (const RunMismatch& m : findRunMismatches(game, cpu)) {
        if (found.size() == maxReportedMismatches) break;
        std::snprintf(where, sizeof where, m.isRegister ? "R%X" : "%04X", m.index);
        found.push_back({where, m.expected, m.actual});
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

// The failed run's inputs in the words of the game's own report.
void recordInputs(LevelVerdict& verdict) {
    char text[16];
    const std::uint16_t preset = presetRegisterMask(game.level);
    for (unsigned r = 0; r < 16; ++r)
        if (preset >> r & 1) {
            std::snprintf(text, sizeof text, "%sR%x=%02X", verdict.inputs.empty() ? "" : " ", r, game.presetRegisters[r]);
            verdict.inputs += text;
        }
    if (!feederTypesKeys(game.level) || !runReplay.levelKeysKnown) return;
    for (std::uint8_t key : runReplay.levelKeys) {
        if (key > 0x20 && key < 0x7F) std::snprintf(text, sizeof text, "%s%c", verdict.keys.empty() ? "" : " ", key);
        else std::snprintf(text, sizeof text, "%s%02X", verdict.keys.empty() ? "" : " ", key);
        verdict.keys += text;
    }
    if (runReplay.levelKeysCut) verdict.keys += " ...";
}

} // namespace

LevelVerdict playLevel(std::uint16_t level, const std::string& source, unsigned seed, unsigned runs,
                       std::uint64_t maxSteps) {
    LevelVerdict verdict;
    restartGlobals();
    stepHistory.enabled = false; // nobody steps back in the judge
    editorPanel.lines = sourceLines(source);
    game.level = level;
    compileProgram();
    if (!assembler.errors.empty()) {
        verdict.failed = true;
        verdict.failedRun = 1;
        verdict.reason = "the program does not assemble";
        return verdict;
    }
    verdict.size = programSize(game.program, game.lineAddress);

    gameSrand(seed);
    game.fast = 1;
    game.updateLEVEL(); // the reload the compile requested: the first run's set-up
    game.running = 1;
    // Below the level's random runs (257, or a teacher's level's own number)
    // the boundary runs are never reached; from there on only the game's
    // completion (or a failure) ends the play.
    const unsigned randomPasses = randomRuns(level);
    while (verdict.passes < runs || runs >= randomPasses) {
        std::uint64_t steps = 0;
        while (!cpu.halted && steps < maxSteps && game.running) {
            game.updateVM();
            steps += 4096;
        }
        if (!cpu.halted) {
            verdict.failed = true;
            verdict.failedRun = verdict.passes + 1;
            verdict.failedBoundary = game.boundaryRun;
            verdict.reason = "the program did not halt within " + std::to_string(maxSteps) + " steps";
            recordInputs(verdict);
            return verdict;
        }
        game.updateLEVEL();
        if (levelScore.completed || !game.judged) {
            ++verdict.passes;
            if (levelScore.completed) break;
            continue;
        }
        verdict.failed = true;
        verdict.failedRun = verdict.passes + 1;
        verdict.failedBoundary = game.boundaryRun;
        recordInputs(verdict);
        if (cpu.haltedOnInvalidWord) {
            verdict.reason = "halted without hlt";
            return verdict;
        }
        verdict.reason = "wrong result";
        verdict.mismatches = findMismatches();
        return verdict;
    }
    // Only the game decides that a level is done: its own pass threshold, not
    // the number of runs asked for here.
    verdict.completed = levelScore.completed;
    verdict.score = levelScore;
    return verdict;
}
