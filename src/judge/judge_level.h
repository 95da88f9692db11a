// Judging one source file on one level, as `level` and `grade` both do.
//
//   LevelSettings settings{.level = 3, .seed = 7};
//   LevelResult result = judgeLevelFile("第3关代码.txt", settings);
//   printJsonLine(result.json);
#pragma once
#include <cstdint>
#include <string>

#include "game/game.h"
#include "judge/judge_json.h"

struct LevelSettings {
    std::uint16_t level = 1;     // CUSTOM_LEVEL: the level file in use (levels/custom_level.h)
    unsigned seed = 0;
    unsigned runs = PASSES_TO_COMPLETE;
    std::uint64_t maxSteps = 10000000;
    std::string levelName;       // a level file's name, reported as "level"
};

struct LevelResult {
    bool readable = false; // false: nothing judged, a message went to standard error
    bool completed = false;
    bool failed = false;
    Json json; // {"file","level","seed","passes",["completed",]"failure"}
};

// "completed" is reported only when enough runs were asked for that the game
// could complete the level; with fewer, "passes" says how far it got.
LevelResult judgeLevelFile(const std::string& path, const LevelSettings& settings);

// The level's verdict counts as a success for the exit status.
bool levelSucceeded(const LevelResult& result, const LevelSettings& settings);
