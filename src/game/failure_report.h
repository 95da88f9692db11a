// What the player is told when a run fails: the report in the console panel
// (expected against actual, then the run's register inputs) and the red marks
// on the mismatched registers and memory cells, kept until the next set-up.
//
//   std::vector<RunMismatch> wrong = findRunMismatches(game, cpu);
//   if (!wrong.empty()) reportFailedRun(game.passCount + 1, wrong);
#pragma once
#include <bitset>
#include <cstdint>
#include <vector>

#include "game/run_mismatches.h"

inline constexpr std::size_t REPORTED_MISMATCH_LINES = 8;

struct FailureMarks {
    std::uint16_t registers = 0; // bit i: Ri
    std::bitset<65536> memory;
    bool any = false;
};

extern FailureMarks failureMarks;

void reportFailedRun(unsigned runNumber, const std::vector<RunMismatch>& mismatches);
void clearFailureMarks();
