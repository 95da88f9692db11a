// asmquest-judge level N FILE...: plays level N with each file exactly as the
// game would (compile, set-up, fast runs, judging) and prints one line per file.
#include "judge/judge_level.h"

#include <cstdio>
#include <ctime>
#include <memory>

#include "asm/asm.h"
#include "game/level_play.h"
#include "levels/custom_level.h"
#include "judge/judge_cli.h"
#include "judge/judge_level_file.h"
#include "judge/judge_level_messages.h"
#include "judge/judge_source.h"

namespace {
Json failureJson(const LevelVerdict& verdict, bool assembled) {
    if (!verdict.failed) return nullptr;
    Json mismatches = Json::array();
    for (const Mismatch& m : verdict.mismatches) {
        Json mismatch;
        mismatch["where"] = m.where;
        mismatch["expected"] = hexBytes(&m.expected, 1);
        mismatch["actual"] = hexBytes(&m.actual, 1);
        mismatches.push_back(std::move(mismatch));
    }
    Json failure;
    if (verdict.failedBoundary) failure["run"] = "boundary " + std::to_string(verdict.failedBoundary);
    else failure["run"] = verdict.failedRun;
    failure["reason"] = verdict.reason;
    failure["mismatches"] = std::move(mismatches);
    if (!verdict.inputs.empty()) failure["inputs"] = verdict.inputs;
    if (!verdict.keys.empty()) failure["keys"] = verdict.keys;
    if (!assembled) failure["errors"] = assemblyErrorsJson();
    return failure;
}

struct LevelOptions {
    std::string level;
    std::vector<std::string> files;
    std::string seed;
    std::string runs; // default: every run of the level
    std::string maxSteps = "10000000";
};

int judgeFiles(const LevelOptions& options) {
    LevelSettings settings;
    settings.seed = options.seed.empty() ? static_cast<unsigned>(std::time(nullptr))
                                         : static_cast<unsigned>(requireNumber(options.seed, 10, 10, UINT32_MAX, "seed"));
    settings.maxSteps = requireNumber(options.maxSteps, 10, 19, UINT64_MAX, "step limit");
    if (isLevelFileName(options.level)) {
        if (!useLevelFile(options.level, settings)) return EXIT_USAGE;
    } else {
        settings.level = requireJudgedLevel(options.level);
    }
    settings.runs = options.runs.empty()
                        ? randomRuns(settings.level)
                        : static_cast<unsigned>(requireNumber(options.runs, 10, 9, 100000000, "run count"));
    bool allSucceeded = true;
    for (const std::string& file : options.files) {
        const LevelResult result = judgeLevelFile(file, settings);
        if (!result.readable) return EXIT_USAGE;
        allSucceeded = allSucceeded && levelSucceeded(result, settings);
        printJsonLine(result.json);
        std::fflush(stdout);
    }
    return allSucceeded ? EXIT_DONE : EXIT_ERRORS;
}
} // namespace

LevelResult judgeLevelFile(const std::string& path, const LevelSettings& settings) {
    LevelResult result;
    const auto source = readSource(path);
    if (!source) return result;
    result.readable = true;
    const LevelVerdict verdict = playLevel(settings.level, *source, settings.seed, settings.runs, settings.maxSteps);
    const bool assembled = assembler.errors.empty(); // the compile playLevel did
    result.completed = verdict.completed;
    result.failed = verdict.failed;
    result.json["file"] = displayName(path);
    if (settings.levelName.empty()) result.json["level"] = settings.level;
    else result.json["level"] = settings.levelName;
    result.json["seed"] = settings.seed;
    result.json["passes"] = verdict.passes;
    if (settings.runs >= randomRuns(settings.level)) result.json["completed"] = verdict.completed;
    if (verdict.completed) {
        result.json["size"] = {{"instructions", verdict.size.instructions}, {"bytes", verdict.size.bytes}};
        result.json["steps"] = {{"mean", verdict.score.meanSteps()}, {"max", verdict.score.stepsMax}};
    }
    result.json["failure"] = failureJson(verdict, assembled);
    // A teacher's input block written over a longer program than the
    // reference: the halt without hlt is the level file's doing.
    if (verdict.failed && verdict.reason == "halted without hlt")
        if (const CustomLevel* custom = customLevelFor(settings.level)) {
            const std::vector<std::string> overlaps = inputOverlaps(*custom, verdict.size.bytes, false);
            if (!overlaps.empty()) result.json["failure"]["overlap"] = overlaps.front();
        }
    static bool faultTold = false; // once: it is the level file's fault, not each student's
    if (!customLevelFault().empty() && !faultTold && (faultTold = true))
        std::fprintf(stderr, "asmquest-judge: %s: %s (seed %u)\n", settings.levelName.c_str(), customLevelFault().c_str(),
                     settings.seed);
    return result;
}

bool levelSucceeded(const LevelResult& result, const LevelSettings& settings) {
    return !result.failed && (settings.runs < randomRuns(settings.level) || result.completed);
}

JudgeCommand addLevelCommand(CLI::App& judge) {
    auto options = std::make_shared<LevelOptions>();
    CLI::App* app = judge.add_subcommand("level", "Play level N (1-30) or a level file with each FILE as the game would");
    app->add_option("N", options->level, "The level, 1-30, or a teacher's level file LEVEL.toml")->required();
    app->add_option("FILE", options->files, "GBK or UTF-8 assembly sources, one verdict line each")->required();
    app->add_option("--seed", options->seed, "Seed of the test data (decimal; default: the time)");
    app->add_option("--runs", options->runs,
                    "Stop after K passed runs (default: all of the level's runs); below the random passes "
                    "(257) only \"passes\" is reported");
    app->add_option("--max-steps", options->maxSteps, "Steps a run may take before it fails (default 10000000)");
    return {app, [options] { return judgeFiles(*options); }};
}
