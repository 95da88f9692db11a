#include "run/failure_report.h"

#include <cstdio>

#include "levels/boundary_runs.h"
#include "run/run_state.h"
#include "levels/levels.h"
#include "run/run_replay.h"
#include "shell/messages.h"

namespace {

// Registers as the register panel writes them: R0..R9, Ra..Rf.
void printMismatch(const RunMismatch& m) {
    if (m.isRegister) consolePrintf("  R%x：应为%02X，实际为%02X\n", m.index, m.expected, m.actual);
    else consolePrintf("  %04X：应为%02X，实际为%02X\n", m.index, m.expected, m.actual);
}

void printInputs() {
    const std::string inputs = registerInputsText(currentRun.level, currentRun.presetRegisters);
    if (!inputs.empty()) consolePrintf("本次输入：%s\n", inputs.c_str());
}

// Printable keys as themselves, the others (Enter is 0D) in hexadecimal.
void printKeys() {
    if (!feederTypesKeys(currentRun.level) || !runReplay.levelKeysKnown) return;
    consolePrintf("本次按键：");
    if (runReplay.levelKeys.empty()) consolePrintf("无");
    const char* separator = "";
    for (std::uint8_t key : runReplay.levelKeys) {
        if (key > 0x20 && key < 0x7F) consolePrintf("%s%c", separator, key);
        else consolePrintf("%s%02X", separator, key);
        separator = " ";
    }
    if (runReplay.levelKeysCut) consolePrintf(" ……");
    consolePrintf("\n");
}

} // namespace

void reportFailedRun(const std::vector<RunMismatch>& mismatches, bool haltedWithoutHlt) {
    if (currentRun.boundaryRun) consolePrintf("边界检验未通过：");
    else consolePrintf("第%u次检验未通过：", checkNumberOfRun());
    consolePrintf(haltedWithoutHlt ? "程序没有执行hlt就停机了。\n" : "\n");
    for (std::size_t i = 0; i < mismatches.size() && i < REPORTED_MISMATCH_LINES; ++i) printMismatch(mismatches[i]);
    if (mismatches.size() > REPORTED_MISMATCH_LINES)
        consolePrintf("  ……另有%zu处不符\n", mismatches.size() - REPORTED_MISMATCH_LINES);

    const std::vector<BoundaryRun>& boundary = boundaryRuns(currentRun.level);
    if (currentRun.boundaryRun && currentRun.boundaryRun <= boundary.size() && !boundary[currentRun.boundaryRun - 1].note.empty())
        consolePrintf("本次边界：%s。\n", boundary[currentRun.boundaryRun - 1].note.c_str());
    printInputs();
    printKeys();

    clearFailureMarks();
    for (const RunMismatch& m : mismatches) {
        if (m.isRegister) failureMarks.registers |= static_cast<std::uint16_t>(1u << m.index);
        else failureMarks.memory.set(m.index);
    }
    failureMarks.any = !mismatches.empty();
}

std::string registerInputsText(std::uint16_t level, const std::uint8_t (&presets)[16]) {
    const std::uint16_t preset = presetRegisterMask(level);
    std::string text;
    for (unsigned r = 0; r < 16; ++r)
        if (preset >> r & 1) {
            char one[12];
            std::snprintf(one, sizeof one, "%sR%x=%02X", text.empty() ? "" : " ", r, presets[r]);
            text += one;
        }
    return text;
}

void clearFailureMarks() {
    if (!failureMarks.any) return;
    failureMarks.registers = 0;
    failureMarks.memory.reset();
    failureMarks.any = false;
}
