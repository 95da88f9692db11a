#include "run/run_mismatches.h"

#include "cpu/cpu.h"
#include "run/run_state.h"
#include "levels/levels.h"

std::vector<RunMismatch> findRunMismatches(const RunState& run, const Cpu& cpu) {
    std::vector<RunMismatch> found;
    if (run.registerCheck)
        for (std::uint16_t i = 0; i < 16; ++i) {
            const std::uint16_t expected = run.registerCheck(i);
            if ((expected >> 8) == 0 && (expected & 0xFF) != cpu.registers[i])
                found.push_back({true, i, static_cast<std::uint8_t>(expected), cpu.registers[i]});
        }
    // Only where the level's check can compare anything (the level table says where).
    const MemoryRange checked = checkedMemory(run.level);
    if (run.memoryCheck)
        for (unsigned a = checked.first; a <= checked.last; ++a) {
            const std::uint16_t expected = run.memoryCheck(static_cast<std::uint16_t>(a));
            if ((expected >> 8) == 0 && (expected & 0xFF) != cpu.memory[a])
                found.push_back({false, static_cast<std::uint16_t>(a), static_cast<std::uint8_t>(expected), cpu.memory[a]});
        }
    return found;
}
