// Boundary runs: fixed inputs a level is tested with after its random runs,
// for the cases random data rarely reach (r1 = r2 on a comparison level, a
// result area that does not start at zero, a late key). A run is plain data,
// so a level from any source can hand its own list to the same set-up.
// They draw nothing from rand(): the random runs before them stay as they are.
//
//   BoundaryRun equal{"r1与r2相等", {{1, 0x37}, {2, 0x37}}};
//   setUpRunFrom(run, level, equal);   // instead of the level's random draws
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct LevelRun;

struct PresetRegister {
    std::uint8_t index = 0;
    std::uint8_t value = 0;
};

struct MemoryBlock {
    std::uint16_t address = 0;
    std::vector<std::uint8_t> bytes;
};

struct BoundaryRun {
    std::string note;                     // what the run tests, shown when it fails
    std::vector<PresetRegister> registers; // in place of the drawn register values
    std::vector<MemoryBlock> memory;       // written after the program is loaded
    std::vector<std::uint8_t> keys;        // the keys the level's feeder types, in order
    std::uint16_t keyDelay = 0;            // steps before the first key
};

// The level's boundary runs, in the order they are played (none for most levels).
const std::vector<BoundaryRun>& boundaryRuns(std::uint16_t level);

// Sets one run of `level` up from `run`: the level's own set-up with every
// draw given as 0 (so checks, feeders and fixed presets are as usual), then
// the given registers and memory; the keys go to the level's feeder when the
// level takes given keys, else to a plain feeder that types them one at a
// time whenever no key is pending (its state is kept in LevelRun::scratch[0..2]).
void setUpRunFrom(LevelRun& run, std::uint16_t level, const BoundaryRun& boundary);

// The plain feeder alone, for levels that bring their own checks.
void installKeyFeeder(LevelRun& run, const BoundaryRun& boundary);
