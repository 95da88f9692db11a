// What the player is told when a run fails: the report in the console panel
// (a halt without HLT, or expected against actual; then what the boundary run
// tests, the run's register inputs and the keys the level typed) and the red
// marks on the mismatched registers and memory cells, kept until the next set-up.
//
//   std::vector<RunMismatch> wrong = findRunMismatches(currentRun, cpu);
//   if (!wrong.empty()) reportFailedRun(wrong, false);
#pragma once
#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "run/run_mismatches.h"

inline constexpr std::size_t REPORTED_MISMATCH_LINES = 8;

struct FailureMarks {
    std::uint16_t registers = 0; // bit i: Ri
    std::bitset<65536> memory;
    bool any = false;
};

extern FailureMarks failureMarks;

// Names the run by currentRun.passCount (random runs) or currentRun.boundaryRun.
void reportFailedRun(const std::vector<RunMismatch>& mismatches, bool haltedWithoutHlt);
void clearFailureMarks();
// The level's register inputs as the report lists them ("R1=FF R2=00"), empty
// for a level that presets no register.
std::string registerInputsText(std::uint16_t level, const std::uint8_t (&presets)[16]);
