// Judging a halted run: a halt that is not HLT fails, so does any check that
// finds the wrong byte. Passes count up to the level's random runs (257, or a
// teacher's level's own number), then its boundary runs follow; the last of
// them completes the level. The judging says what comes next; the game sets
// that up (Game::judgeRun).
//
//   RunJudgement j = judgeHaltedRun();
//   if (j.next == NextRun::Boundary) game.setUpBoundaryRun(j.boundaryRun);
#pragma once
#include <cstdint>
#include <vector>

#include "run/run_mismatches.h"

struct Cpu;
struct RunState;

enum class NextRun : std::uint8_t {
    None,      // the run failed: reported, kept for 重放, the count back at 0
    Random,    // a pass: the next random run
    Boundary,  // a pass: boundary run `boundaryRun` next
    Completed, // the level is done (announced in the console)
    Replayed,  // a replay of the failed run's input passed: not counted, a new random run next
};

struct RunJudgement {
    NextRun next = NextRun::None;
    unsigned boundaryRun = 0;
    // A failed run: what it got wrong (nothing for a halt without hlt).
    std::vector<RunMismatch> mismatches;
    bool withoutHlt = false;
};

// Whether the halted machine passes the run's checks.
bool haltedRunPasses(const RunState& run, const Cpu& machine);
// Judges currentRun's halted machine: reports a failure, counts a pass's steps,
// announces the boundary runs and a completed level.
RunJudgement judgeHaltedRun();
// A run that reached its level's step limit without halting fails as a
// halted one does (the report is the caller's): kept for 重放, the count back at 0.
void failRunOverStepLimit();
