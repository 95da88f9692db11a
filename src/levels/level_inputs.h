// What a level's inputs can be, declared as data beside its set-up, and the
// boundary runs derived from it: every input at its edges and at the values
// where 8-bit arithmetic turns (00 01 7F 80 FE FF) as far as its domain
// allows, every pair the goal compares or combines equal, one apart and at
// opposite extremes, a zero (and an FF) byte at the first, a middle and the
// last place of every byte list, the shortest, longest and empty line, the
// earliest and latest arrival. The runs are derived, never listed by hand:
// a mistake nobody thought of still meets the edge it trips on.
//
//   LevelInputs inputs{{number("r1"), number("r2")}, {{0, 1}}, pinRegisters};
//   std::vector<BoundaryRun> runs = deriveBoundaryRuns(inputs);
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "levels/boundary_runs.h"

struct InputDomain {
    enum class Kind : std::uint8_t {
        number,  // one value, min..max
        bytes,   // a list of shortest..longest values, each min..max (memory, stack, keys)
        arrival, // the step a value arrives at, earliest..latest
    };
    std::string name; // as the level's text names it: "r1", "栈里的数", "一行字母"
    Kind kind = Kind::number;
    unsigned min = 0, max = 0xFF;           // each value (arrival: the steps)
    unsigned shortest = 1, longest = 1;     // bytes: the list's length
    std::vector<unsigned> typical;          // what the other runs keep; empty: a fixed generator's pick
    std::vector<unsigned> only;             // when not empty: the only values min..max can take (a list)
    std::vector<unsigned> edges;            // further values where the input changes form (9 and 10: one digit, two)
    enum class Shown : std::uint8_t { hex, decimal, letters } shown = Shown::hex; // in a run's note, as the text writes it
};

InputDomain number(const std::string& name, unsigned min = 0, unsigned max = 0xFF);
InputDomain byteList(const std::string& name, unsigned shortest, unsigned longest, unsigned min = 0, unsigned max = 0xFF);
InputDomain arrival(const std::string& name, unsigned earliest, unsigned latest);

// One derived case: a value per input (a number or an arrival is a list of one).
using InputValues = std::vector<std::vector<unsigned>>;

struct LevelInputs {
    std::vector<InputDomain> inputs;
    std::vector<std::pair<unsigned, unsigned>> compared; // inputs the goal compares or combines
    // Turns one case into a run: which registers, memory, scratch bytes and
    // keys stand for the values (the level's own set-up is done first).
    std::function<void(BoundaryRun& run, const InputValues& values)> pin;
};

// The derived runs, duplicates pruned, each with a note naming its values
// and the declaration it came from.
std::vector<BoundaryRun> deriveBoundaryRuns(const LevelInputs& inputs);

// The declaration of built-in level `level` (none for 0, 29, 30 and above).
const LevelInputs& levelInputs(std::uint16_t level);
