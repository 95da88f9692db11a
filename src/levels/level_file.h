// A teacher's own level, written by hand in TOML: its text, how its inputs are
// drawn, fixed boundary runs, which registers and memory are compared, and a
// reference program whose results are the expected values.
//
//   LevelFile file = readLevelFile("custom-levels/相等.toml");
//   if (!file.errors.empty()) ...          // "相等.toml:12:7: ..." one per problem
//   const CustomLevel& level = *file.level;
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "levels/boundary_runs.h"

// How one input byte is drawn: any byte, one of a range, or one of a list.
struct InputDraw {
    enum class Kind : std::uint8_t { anyByte, range, values } kind = Kind::anyByte;
    std::uint8_t min = 0, max = 0xFF;
    std::vector<std::uint8_t> values;
};

struct RegisterInput {
    std::uint8_t index = 1;
    InputDraw draw;
};

struct MemoryInput {
    std::uint16_t address = 0;
    std::uint32_t count = 1;
    InputDraw draw;
};


struct CustomLevel {
    std::string fileName;       // as given on the command line or found in custom-levels (UTF-8)
    std::string title;          // GBK, as the game shows it
    std::string text;           // GBK
    unsigned passes = 257;      // random passes in a row, then the boundary runs
    std::uint64_t maxSteps = 0; // 0: the judge's own limit
    std::string reference;      // GBK source
    std::vector<RegisterInput> registers; // in the order the file lists them
    std::vector<MemoryInput> memory;
    std::vector<BoundaryRun> boundary;    // fixed runs after the random ones: what they name, everything else 0
    std::uint16_t checkedRegisters = 0; // bit r: Rr
    std::vector<std::pair<std::uint16_t, std::uint16_t>> checkedMemory; // inclusive ranges
};

struct LevelFile {
    std::optional<CustomLevel> level;
    std::vector<std::string> errors; // UTF-8, each naming the line or the key
};

// Reads and checks the file's form; the reference is not run here (the judge's
// check-level plays it through the level).
LevelFile readLevelFile(const std::string& path);
// The same from the file's text; `name` stands in messages for the path.
LevelFile parseLevelFile(const std::string& text, const std::string& name);

// UTF-8 to the game's GBK, line ends as "\n"; characters GBK lacks become '?'.
std::string gbkFromUtf8Text(const std::string& utf8);
