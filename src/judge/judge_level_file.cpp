// asmquest-judge check-level FILE.toml, and the level files behind `level`
// and `grade --level-file`.
#include "judge/judge_level_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "asm/asm.h"
#include "game/level_play.h"
#include "levels/custom_level.h"
#include "judge/judge_cli.h"
#include "judge/judge_files.h"
#include "judge/judge_identical.h"
#include "judge/judge_level_messages.h"
#include "judge/judge_source.h"

bool isLevelFileName(std::string_view argument) { return argument.ends_with(".toml"); }

std::vector<std::string> levelProblems(const CustomLevel& level, std::uint64_t defaultMaxSteps) {
    std::vector<std::string> problems;
    const std::string& name = level.fileName;
    const std::size_t programBytes = assembler.complie(level.reference).size();
    if (!assembler.errors.empty()) {
        const Json errors = assemblyErrorsJson();
        for (const auto& [line, messages] : errors.items())
            for (const Json& message : messages) {
                std::string text = message.get<std::string>();
                while (!text.empty() && text.back() == '\n') text.pop_back();
                problems.push_back(name + ": reference line " + std::to_string(std::stoul(line) + 1) + ": " + text +
                                   invisibleCharacters(level, std::stoul(line)));
            }
        return problems;
    }
    // Said before the reference is played, which would only halt without hlt.
    problems = inputOverlaps(level, programBytes);
    if (!problems.empty()) return problems;
    useCustomLevel(std::make_shared<CustomLevel>(level));
    const std::uint64_t maxSteps = level.maxSteps ? level.maxSteps : defaultMaxSteps;
    const LevelVerdict verdict = playLevel(CUSTOM_LEVEL, level.reference, 1, randomRuns(CUSTOM_LEVEL), maxSteps);
    if (!customLevelFault().empty()) problems.push_back(name + ": reference: " + customLevelFault());
    else if (!verdict.completed) {
        std::string run = verdict.failedRun > level.passes ? "boundary run " + std::to_string(verdict.failedRun - level.passes)
                                                           : "run " + std::to_string(verdict.failedRun);
        problems.push_back(name + ": reference: " + verdict.reason + " on " + run + " (seed 1)");
    }
    useCustomLevel(nullptr);
    return problems;
}

// Read through the judge's own file seam: on Windows its paths are UTF-8 and
// open through the wide API, which the game's GBK host paths do not.
namespace {
LevelFile readJudgeLevelFile(const std::string& path) {
    std::string bytes;
    if (std::FILE* f = openFile(path, "rb")) {
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
        const bool failed = std::ferror(f) != 0;
        std::fclose(f);
        if (!failed) {
            LevelFile file;
            if (const auto message = notUtf8Message(bytes, displayName(path))) {
                file.errors.push_back(*message);
                return file;
            }
            file = parseLevelFile(bytes, path);
            for (std::string& error : file.errors) error = inChinese(error);
            return file;
        }
    }
    LevelFile file;
    file.errors.push_back(path + ": cannot be read");
    return file;
}
} // namespace

std::optional<TeacherLevel> loadTeacherLevel(const std::string& path, std::uint64_t maxSteps, bool checkReference) {
    LevelFile file = readJudgeLevelFile(path);
    if (file.errors.empty() && checkReference) file.errors = levelProblems(*file.level, maxSteps);
    if (!file.errors.empty()) {
        for (const std::string& error : file.errors) writeText(stderr, "asmquest-judge: " + error + "\n");
        return std::nullopt;
    }
    CustomLevel& level = *file.level;
    level.fileName = displayName(pathText(filePath(path).filename()));
    if (checkReference)
        for (const std::string& warning : referenceWarnings(level)) writeText(stderr, "asmquest-judge: " + warning + "\n");
    TeacherLevel loaded;
    loaded.path = path;
    loaded.name = level.fileName;
    loaded.title = gbkToUtf8(level.title);
    const std::string reference = normalisedProgram(level.reference);
    loaded.referenceLines = static_cast<std::size_t>(std::count(reference.begin(), reference.end(), '\n'));
    loaded.level = std::make_shared<CustomLevel>(std::move(level));
    return loaded;
}

void selectTeacherLevel(const TeacherLevel& level, LevelSettings& settings) {
    settings.level = CUSTOM_LEVEL;
    settings.levelName = level.name;
    if (level.level->maxSteps) settings.maxSteps = level.level->maxSteps;
    useCustomLevel(level.level);
}

bool useLevelFile(const std::string& path, LevelSettings& settings, bool checkReference) {
    const std::optional<TeacherLevel> level = loadTeacherLevel(path, settings.maxSteps, checkReference);
    if (!level) return false;
    selectTeacherLevel(*level, settings);
    return true;
}

JudgeCommand addCheckLevelCommand(CLI::App& judge) {
    auto path = std::make_shared<std::string>();
    CLI::App* app = judge.add_subcommand("check-level", "Check a teacher's level file: its form and its reference");
    app->add_option("FILE", *path, "The level file, LEVEL.toml")->required();
    return {app, [path] {
                LevelSettings settings;
                if (!useLevelFile(*path, settings)) return EXIT_USAGE;
                const CustomLevel& level = *customLevelFor(CUSTOM_LEVEL);
                Json out;
                out["file"] = displayName(*path);
                out["title"] = gbkToUtf8(level.title);
                out["passes"] = level.passes;
                out["boundary"] = level.boundary.size();
                printJsonLine(out);
                return EXIT_DONE;
            }};
}
