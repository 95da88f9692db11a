// Which checks a halted run fails: the one answer the game's judging, its
// failure report and the judge tool all read, so they never disagree.
//
//   std::vector<RunMismatch> wrong = findRunMismatches(currentRun, cpu);
//   if (wrong.empty()) ...            // the run passes
#pragma once
#include <cstdint>
#include <vector>

struct RunState;
struct Cpu;

struct RunMismatch {
    bool isRegister = false;
    std::uint16_t index = 0; // register number 0..15 or memory address
    std::uint8_t expected = 0;
    std::uint8_t actual = 0;
};

// Every position whose check expects a byte the machine does not hold:
// registers R0..Rf first, then memory upward. The register check is called
// for every register, the memory check for every address of the level's
// checked range (levels.h), outside which it never compares.
std::vector<RunMismatch> findRunMismatches(const RunState& run, const Cpu& cpu);
