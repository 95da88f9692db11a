// Teachers' level files in the judge: loading one for `level`, `grade` and
// its workers, and `check-level`, which says whether a file can be used.
//
//   if (isLevelFileName(argument) && !useLevelFile(argument, settings)) return EXIT_USAGE;
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "levels/level_file.h"
#include "judge/judge_level.h"

bool isLevelFileName(std::string_view argument);

// What makes a well-formed level unusable: a reference that does not
// assemble, or that does not complete the level itself (it does not halt
// within max_steps, halts without HLT, or fails its own check).
std::vector<std::string> levelProblems(const CustomLevel& level, std::uint64_t defaultMaxSteps);

// Reads and checks the file and makes it the level CUSTOM_LEVEL plays, with
// its name, its runs and its step limit in `settings`; false after the
// errors went to standard error.
bool useLevelFile(const std::string& path, LevelSettings& settings, bool checkReference = true);

// A level file read and checked once, played many times (grade takes any
// number of them in one run).
struct TeacherLevel {
    std::string path;                // as given
    std::string name;                // its file name (UTF-8): the verdicts' "level"
    std::string title;               // UTF-8
    std::size_t referenceLines = 0;  // statements of its reference
    std::shared_ptr<const CustomLevel> level;
};
// nullopt after the errors went to standard error.
std::optional<TeacherLevel> loadTeacherLevel(const std::string& path, std::uint64_t maxSteps, bool checkReference = true);
// Makes it the level CUSTOM_LEVEL plays, with its name and step limit in `settings`.
void selectTeacherLevel(const TeacherLevel& level, LevelSettings& settings);
