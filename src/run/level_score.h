// What players compare once a level is done: the program's size and the steps
// its passed runs took, counted from the level's first run (a reload starts over).
//
//   levelScore.add(stepHistory.steps);   // each passed run, before the next set-up
//   levelScore.meanSteps();              // one decimal, as the judge reports it
#pragma once
#include <cstdint>

struct LevelScore {
    std::uint64_t runs = 0;
    std::uint64_t stepsTotal = 0;
    std::uint64_t stepsMax = 0;
    bool completed = false; // the last run completed the level

    void add(std::uint64_t steps) {
        ++runs;
        stepsTotal += steps;
        if (steps > stepsMax) stepsMax = steps;
    }
    // Rounded to one decimal; 0 before any run passed.
    double meanSteps() const;
};

extern LevelScore levelScore;
