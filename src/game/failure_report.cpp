#include "game/failure_report.h"

#include "game/game.h"
#include "game/levels.h"
#include "shell/messages.h"

namespace {

// Registers as the register panel writes them: R0..R9, Ra..Rf.
void printMismatch(const RunMismatch& m) {
    if (m.isRegister) consolePrintf("  R%x：应为%02X，实际为%02X\n", m.index, m.expected, m.actual);
    else consolePrintf("  %04X：应为%02X，实际为%02X\n", m.index, m.expected, m.actual);
}

} // namespace

void reportFailedRun(unsigned runNumber, const std::vector<RunMismatch>& mismatches) {
    consolePrintf("第%u次检验未通过：\n", runNumber);
    for (std::size_t i = 0; i < mismatches.size() && i < REPORTED_MISMATCH_LINES; ++i) printMismatch(mismatches[i]);
    if (mismatches.size() > REPORTED_MISMATCH_LINES)
        consolePrintf("  ……另有%zu处不符\n", mismatches.size() - REPORTED_MISMATCH_LINES);

    const std::uint16_t preset = presetRegisterMask(game.level);
    if (preset) {
        consolePrintf("本次输入：");
        const char* separator = "";
        for (unsigned r = 0; r < 16; ++r)
            if (preset >> r & 1) {
                consolePrintf("%sR%x=%02X", separator, r, game.presetRegisters[r]);
                separator = " ";
            }
        consolePrintf("\n");
    }

    clearFailureMarks();
    for (const RunMismatch& m : mismatches) {
        if (m.isRegister) failureMarks.registers |= static_cast<std::uint16_t>(1u << m.index);
        else failureMarks.memory.set(m.index);
    }
    failureMarks.any = !mismatches.empty();
}

void clearFailureMarks() {
    if (!failureMarks.any) return;
    failureMarks.registers = 0;
    failureMarks.memory.reset();
    failureMarks.any = false;
}
