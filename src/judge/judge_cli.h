// What the judge's subcommands share: exit statuses, usage errors, strict
// number parsing and the way each subcommand registers itself.
//
//   JudgeCommand addAsmCommand(CLI::App& judge);   // one per subcommand file
//   ... judge.parse(argc, argv); return command.run();
#pragma once
#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "judge/judge_json.h"

inline constexpr int EXIT_DONE = 0;
inline constexpr int EXIT_ERRORS = 1; // assembly errors, or a file that did not complete its level
inline constexpr int EXIT_USAGE = 2;  // bad command line, unreadable file, no such level

// Thrown for a command line the parser accepted but the values do not make sense.
struct UsageError {
    std::string message;
};

struct JudgeCommand {
    CLI::App* app = nullptr;
    std::function<int()> run; // called after a successful parse when app was chosen
};

JudgeCommand addAsmCommand(CLI::App& judge);
JudgeCommand addRunCommand(CLI::App& judge);
JudgeCommand addLevelCommand(CLI::App& judge);
JudgeCommand addGradeCommand(CLI::App& judge);
JudgeCommand addGradeWorkerCommand(CLI::App& judge);
JudgeCommand addMergeCommand(CLI::App& judge);
JudgeCommand addCheckLevelCommand(CLI::App& judge);
JudgeCommand addDescribeCommand(CLI::App& judge);
JudgeCommand addManualCommand(CLI::App& judge);

// All digits in `base`, at most maxDigits of them, at most max; else UsageError
// naming `what`.
std::uint64_t requireNumber(std::string_view text, int base, std::size_t maxDigits, std::uint64_t max,
                            const char* what);
// A level the game judges: 1 to 30.
std::uint16_t requireJudgedLevel(std::string_view text);

// The assembler's errors after a compile: {"line":["message",...]} in line order, UTF-8.
Json assemblyErrorsJson();
// What asm prints for the last compile: image, line addresses, errors.
Json assemblyJson(const std::vector<std::uint8_t>& image);
