#include "game/run_mismatches.h"

#include "cpu/cpu.h"
#include "game/game.h"

std::vector<RunMismatch> findRunMismatches(const Game& game, const Cpu& cpu) {
    std::vector<RunMismatch> found;
    if (game.registerCheck)
        for (std::uint16_t i = 0; i < 16; ++i) {
            const std::uint16_t expected = game.registerCheck(i);
            if ((expected >> 8) == 0 && (expected & 0xFF) != cpu.registers[i])
                found.push_back({true, i, static_cast<std::uint8_t>(expected), cpu.registers[i]});
        }
    if (game.memoryCheck)
        for (unsigned a = 0; a < 65536; ++a) {
            const std::uint16_t expected = game.memoryCheck(static_cast<std::uint16_t>(a));
            if ((expected >> 8) == 0 && (expected & 0xFF) != cpu.memory[a])
                found.push_back({false, static_cast<std::uint16_t>(a), static_cast<std::uint8_t>(expected), cpu.memory[a]});
        }
    return found;
}
