// Plays a level headless exactly as the game does: the compile button's
// action, then the frame's level bookkeeping, judging and fast stepping, with
// no drawing. Used by the judge tool and by tests.
//
//   LevelVerdict v = playLevel(1, "add r3 r1 r2\nhlt", /*seed*/ 7, 257, 10000000);
//   if (v.completed) ...
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "asm/asm.h"
#include "run/level_score.h"

struct Mismatch {
    std::string where; // "R3" or "0200"
    std::uint8_t expected = 0;
    std::uint8_t actual = 0;
};

struct LevelVerdict {
    unsigned passes = 0;
    bool completed = false; // the game moved on to the next level, as its frame does
    bool failed = false;
    unsigned failedRun = 0; // 1-based
    unsigned failedBoundary = 0; // the failed run was boundary run K (1-based), not a random one
    std::string reason;
    std::vector<Mismatch> mismatches; // at most maxReportedMismatches
    // The failed run's register inputs and the keys the level typed, as the
    // game's failure report prints them: "R1=3A R2=D1", "A B 0D" (empty: none).
    std::string inputs;
    std::string keys;
    ProgramSize size;                 // of the compiled program
    LevelScore score;                 // the passed runs' steps
};

inline constexpr std::size_t maxReportedMismatches = 8;

// gameSrand(seed) is called right before the first run is set up, so a seed
// always reproduces the same test data. Plays until `runs` runs passed, one
// failed, or the game completed the level; with `runs` of 257 or more the
// level's boundary runs are played after the random ones, as the game does.
LevelVerdict playLevel(std::uint16_t level, const std::string& source, unsigned seed, unsigned runs,
                       std::uint64_t maxSteps);
