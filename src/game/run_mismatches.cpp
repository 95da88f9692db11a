#include "game/run_mismatches.h"

#include "cpu/cpu.h"
#include "game/game.h"
#include "levels/levels.h"

std::vector<RunMismatch> findRunMismatches(const Game& game, const Cpu& cpu) {
    std::vector<RunMismatch> found;
    if (game.registerCheck)
        for (std::uint16_t i = 0; i < 16; ++i) {
            const std::uint16_t expected = game.registerCheck(i);
            if ((expected >> 8) == 0 && (expected & 0xFF) != cpu.registers[i])
                found.push_back({true, i, static_cast<std::uint8_t>(expected), cpu.registers[i]});
        }
    // Only where the level's check can compare anything (the level table says where).
    const MemoryRange checked = checkedMemory(game.level);
    if (game.memoryCheck)
        for (unsigned a = checked.first; a <= checked.last; ++a) {
            const std::uint16_t expected = game.memoryCheck(static_cast<std::uint16_t>(a));
            if ((expected >> 8) == 0 && (expected & 0xFF) != cpu.memory[a])
                found.push_back({false, static_cast<std::uint16_t>(a), static_cast<std::uint8_t>(expected), cpu.memory[a]});
        }
    if (game.expectedSp != SP_NOT_CHECKED && game.expectedSp != cpu.sp) {
        RunMismatch sp;
        sp.isStackPointer = true;
        sp.expectedSp = static_cast<std::uint16_t>(game.expectedSp);
        sp.actualSp = cpu.sp;
        sp.expected = static_cast<std::uint8_t>(game.expectedSp);
        sp.actual = static_cast<std::uint8_t>(cpu.sp);
        found.push_back(sp);
    }
    return found;
}
