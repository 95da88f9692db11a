// asmquest-judge grade DIR: judges a whole class. DIR holds one folder per
// student (the folder's name is the student's), with the game's code files
// (第N关代码.txt) in it or in its levels subfolder. Every level in range with
// a file is judged exactly as `level` judges it, with one seed for everyone;
// the work is shared among worker processes (the judge itself, run as
// `grade-worker`), one student at a time, and reported in the same order
// whatever the number of workers.
#include <cstdio>
#include <ctime>
#include <time.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "levels/levels.h"
#include "judge/judge_cli.h"
#include "judge/judge_files.h"
#include "judge/judge_grade.h"
#include "judge/judge_identical.h"
#include "levels/custom_level.h"
#include "judge/judge_level.h"
#include "judge/judge_level_file.h"
#include "judge/judge_shard.h"
#include "judge/judge_source.h"
#include "judge/judge_workers.h"

namespace fs = std::filesystem;

std::string reportDate() {
    const std::time_t now = std::time(nullptr);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", std::localtime(&now));
    return text;
}

bool writeReportFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(filePath(path), std::ios::binary);
    out << bytes;
    out.close();
    if (!out) writeText(stderr, "asmquest-judge: cannot write " + displayName(path) + "\n");
    return static_cast<bool>(out);
}

namespace {
struct GradeOptions {
    std::string directory;
    std::string levels = "1-" + std::to_string(LAST_CORE_LEVEL);
    std::string seed;
    std::string jobs;
    std::string csv;
    std::string html;
    std::string maxSteps = "10000000";
    std::string shard;
    std::string levelFile;
};

struct Task {
    std::uint16_t level;
    std::string path;
};

// The code file of `level` in a student's folder: levels/ first, then the
// folder itself; the name as the game writes it (UTF-8) or as a Windows
// archive may bring it (GBK; on Windows the same name).
// A level file's code is saved under the file's own name: X.toml, X代码.txt.
std::string codeFile(const fs::path& student, unsigned level, const std::string& levelFile) {
    const std::string stem = pathText(filePath(levelFile).stem());
    const std::string utf8Name = levelFile.empty() ? reinterpret_cast<const char*>(u8"第") + std::to_string(level) +
                                                         reinterpret_cast<const char*>(u8"关代码.txt")
                                                   : stem + reinterpret_cast<const char*>(u8"代码.txt");
    const std::string gbkName = levelFile.empty() ? "第" + std::to_string(level) + "关代码.txt" // GBK literal
                                                  : utf8ToGbk(stem) + "代码.txt";
    for (const fs::path& folder : {student / "levels", student})
        for (const std::string& name : {utf8Name, gbkName}) {
            std::error_code error;
            const fs::path candidate = folder / filePath(name);
            if (fs::is_regular_file(candidate, error)) return pathText(candidate);
        }
    return {};
}

// The judge's own JSON for one task: the `level` object, or null when the
// file could not be read.
Json judgeTask(const Task& task, const LevelSettings& common) {
    LevelSettings settings = common;
    settings.level = task.level;
    LevelResult result = judgeLevelFile(task.path, settings);
    return result.readable ? std::move(result.json) : Json(nullptr);
}

// "students 3/30, levels 90/900, about 12 s left", rewritten in place with a
// carriage return and blanks over a longer line before it: no escape codes,
// which a Windows console without VT processing would print.
class Progress {
public:
    Progress(std::size_t students, std::size_t levels)
        : shown(isInteractive(stderr)), students(students), levels(levels), start(secondsNow()) {}

    void update(std::size_t studentsDone, std::size_t levelsDone) {
        if (!shown) return;
        const double elapsed = secondsNow() - start;
        const double left = levelsDone ? elapsed * static_cast<double>(levels - levelsDone) / static_cast<double>(levelsDone) : 0;
        char line[128];
        const int n = std::snprintf(line, sizeof line, "grading: students %zu/%zu, levels %zu/%zu, about %.0f s left",
                                    studentsDone, students, levelsDone, levels, left);
        show(std::string(line, static_cast<std::size_t>(std::max(n, 0))));
    }

    void finish() {
        if (!shown) return;
        show("");
        writeText(stderr, "\r");
    }

private:
    bool shown;
    std::size_t students, levels;
    double start;
    std::size_t width = 0; // of the longest line shown

    void show(std::string text) {
        width = std::max(width, text.size());
        text.resize(width, ' ');
        writeText(stderr, "\r" + text);
        std::fflush(stderr);
    }

    // <chrono> cannot be compiled with GBK literals (its "µs"), so the C clock.
    static double secondsNow() {
        timespec now{}; // clock_gettime: mingw's C library has no timespec_get
        clock_gettime(CLOCK_REALTIME, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    }
};

std::pair<std::uint16_t, std::uint16_t> requireLevelRange(const std::string& text) {
    const std::size_t dash = text.find('-');
    const std::string first = dash == std::string::npos ? text : text.substr(0, dash);
    const std::string last = dash == std::string::npos ? text : text.substr(dash + 1);
    const std::uint16_t a = requireJudgedLevel(first);
    const std::uint16_t b = requireJudgedLevel(last);
    if (a > b) throw UsageError{"bad level range '" + text + "'"};
    return {a, b};
}


// Runs every student's tasks, in `jobs` worker processes (or here, with one
// job or when a worker cannot be started), and hands each student's results
// to `done` in student order.
template <typename Done>
void judgeStudents(const std::vector<std::vector<Task>>& tasks, const LevelSettings& settings, unsigned jobs,
                   const std::string& levelFile, Done done) {
    std::vector<std::vector<Json>> results(tasks.size());
    std::vector<bool> finished(tasks.size(), false);
    std::size_t reported = 0;
    const auto finish = [&](std::size_t student) {
        finished[student] = true;
        while (reported < tasks.size() && finished[reported]) {
            done(reported, results[reported]);
            ++reported;
        }
    };
    const auto judgeHere = [&](std::size_t student) {
        for (const Task& task : tasks[student]) results[student].push_back(judgeTask(task, settings));
        finish(student);
    };
    if (jobs <= 1) {
        for (std::size_t s = 0; s < tasks.size(); ++s) judgeHere(s);
        return;
    }

    std::error_code error;
    const fs::path scratch = fs::temp_directory_path(error) /
                             ("asmquest-grade-" + std::to_string(processId()) + "-" + std::to_string(std::time(nullptr)));
    if (error || !fs::create_directories(scratch, error)) {
        for (std::size_t s = 0; s < tasks.size(); ++s) judgeHere(s);
        return;
    }
    std::vector<Worker> running;
    std::vector<std::size_t> studentOf;
    const auto collect = [&](std::size_t student, bool succeeded) {
        std::ifstream in(scratch / (std::to_string(student) + ".out"), std::ios::binary);
        std::string line;
        while (succeeded && std::getline(in, line))
            results[student].push_back(Json::parse(line, nullptr, false));
        if (!succeeded || results[student].size() != tasks[student].size()) {
            results[student].clear(); // a worker that died: judge the student here
            judgeHere(student);
            return;
        }
        finish(student);
    };
    // Waits for whichever worker ends first and takes in its student.
    auto collectOne = [&] {
        const std::size_t i = waitForAnyWorker(running);
        const std::size_t student = studentOf[i];
        const bool succeeded = running[i].succeeded;
        running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
        studentOf.erase(studentOf.begin() + static_cast<std::ptrdiff_t>(i));
        collect(student, succeeded);
    };
    for (std::size_t s = 0; s < tasks.size(); ++s) {
        if (running.size() == jobs) collectOne();
        const fs::path taskFile = scratch / (std::to_string(s) + ".tasks");
        std::string list;
        for (const Task& task : tasks[s]) list += std::to_string(task.level) + '\t' + task.path + '\n';
        std::optional<Worker> worker;
        std::vector<std::string> arguments = {"grade-worker", pathText(taskFile),
                                              pathText(scratch / (std::to_string(s) + ".out")), "--seed",
                                              std::to_string(settings.seed), "--max-steps", std::to_string(settings.maxSteps)};
        if (!levelFile.empty()) arguments.insert(arguments.end(), {"--level-file", levelFile});
        if (writeReportFile(pathText(taskFile), list)) worker = startWorker(arguments);
        if (!worker) {
            judgeHere(s);
            continue;
        }
        running.push_back(*worker);
        studentOf.push_back(s);
    }
    while (!running.empty()) collectOne();
    fs::remove_all(scratch, error);
}

int grade(const GradeOptions& options) {
    GradeClass graded;
    std::tie(graded.firstLevel, graded.lastLevel) = requireLevelRange(options.levels);
    LevelSettings settings;
    settings.seed = options.seed.empty() ? static_cast<unsigned>(std::time(nullptr))
                                         : static_cast<unsigned>(requireNumber(options.seed, 10, 10, UINT32_MAX, "seed"));
    settings.maxSteps = requireNumber(options.maxSteps, 10, 19, UINT64_MAX, "step limit");
    if (!options.levelFile.empty()) {
        if (!useLevelFile(options.levelFile, settings)) return EXIT_USAGE;
        settings.runs = randomRuns(settings.level);
        graded.levelFile = settings.levelName;
        graded.firstLevel = graded.lastLevel = 1; // one column
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned jobs =
        options.jobs.empty() ? cores : static_cast<unsigned>(requireNumber(options.jobs, 10, 3, 256, "job count"));
    if (jobs == 0) throw UsageError{"bad job count '0'"};
    graded.seed = settings.seed;

    std::error_code error;
    std::vector<fs::path> folders;
    for (fs::directory_iterator it(filePath(options.directory), error), end; !error && it != end; it.increment(error))
        if (it->is_directory(error)) folders.push_back(it->path());
    if (error) {
        writeText(stderr, "asmquest-judge: cannot read " + displayName(options.directory) + ": " + error.message() + "\n");
        return EXIT_USAGE;
    }
    // By the names' UTF-8 bytes, on every system.
    std::sort(folders.begin(), folders.end(),
              [](const fs::path& a, const fs::path& b) { return pathText(a) < pathText(b); });
    unsigned shard = 0, shards = 0;
    if (!options.shard.empty()) {
        std::tie(shard, shards) = requireShard(options.shard);
        folders = std::vector<fs::path>(folders.begin() + static_cast<std::ptrdiff_t>(shardBegin(shard, shards, folders.size())),
                                        folders.begin() + static_cast<std::ptrdiff_t>(shardBegin(shard + 1, shards, folders.size())));
    }

    const std::size_t levelCount = static_cast<std::size_t>(graded.lastLevel - graded.firstLevel + 1);
    std::vector<std::vector<Task>> tasks;
    std::size_t taskCount = 0;
    for (const fs::path& folder : folders) {
        graded.students.push_back(displayName(pathText(folder.filename())));
        graded.cells.emplace_back(levelCount);
        tasks.emplace_back();
        for (unsigned level = graded.firstLevel; level <= graded.lastLevel; ++level) {
            const std::string path = codeFile(folder, level, options.levelFile);
            if (path.empty()) continue;
            const auto source = readSource(path);
            if (!source) continue;
            graded.cells.back()[level - graded.firstLevel].program = normalisedProgram(*source);
            tasks.back().push_back({options.levelFile.empty() ? static_cast<std::uint16_t>(level) : CUSTOM_LEVEL, path});
            ++taskCount;
        }
    }
    writeText(stderr, "asmquest-judge: grading " + std::to_string(graded.students.size()) + " students, " +
                          std::to_string(taskCount) + " files, seed " + std::to_string(settings.seed) + "\n");

    if (shard) printJsonLine(shardHeader(graded, shard, shards));

    Progress progress(graded.students.size(), taskCount);
    std::size_t levelsDone = 0;
    progress.update(0, 0);
    judgeStudents(tasks, settings, jobs, options.levelFile, [&](std::size_t student, const std::vector<Json>& results) {
        for (std::size_t i = 0; i < results.size(); ++i) {
            if (results[i].is_null() || results[i].is_discarded()) continue;
            const std::uint16_t level = options.levelFile.empty() ? tasks[student][i].level : graded.firstLevel;
            GradeCell& cell = graded.cells[student][level - graded.firstLevel];
            cell.judged = true;
            cell.verdict = results[i];
            Json line;
            line["student"] = graded.students[student];
            for (const auto& [key, value] : results[i].items()) line[key] = value;
            if (shard) line["program"] = programKey(cell.program);
            printJsonLine(line);
        }
        std::fflush(stdout);
        levelsDone += tasks[student].size();
        progress.update(student + 1, levelsDone);
    });
    progress.finish();

    bool written = true;
    if (!options.csv.empty()) written = writeReportFile(options.csv, gradeCsv(graded)) && written;
    if (!options.html.empty()) written = writeReportFile(options.html, gradeHtml(graded, reportDate())) && written;
    return written ? EXIT_DONE : EXIT_USAGE;
}

// Judges the tasks listed in TASKS ("LEVEL<tab>PATH" lines) and writes one
// JSON line per task to OUT.
int gradeWorker(const std::string& taskFile, const std::string& outFile, const LevelSettings& settings) {
    std::ifstream in(filePath(taskFile), std::ios::binary);
    std::string lines;
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) return EXIT_USAGE;
        const Task task{static_cast<std::uint16_t>(requireNumber(line.substr(0, tab), 10, 5, 0xFFFF, "level")),
                        line.substr(tab + 1)};
        lines += jsonText(judgeTask(task, settings));
        lines += '\n';
    }
    return writeReportFile(outFile, lines) ? EXIT_DONE : EXIT_USAGE;
}
} // namespace

JudgeCommand addGradeCommand(CLI::App& judge) {
    auto options = std::make_shared<GradeOptions>();
    CLI::App* app = judge.add_subcommand("grade", "Judge every student's code files in DIR (one folder per student)");
    app->add_option("DIR", options->directory, "One folder per student, code files in it or in its levels folder")
        ->required();
    app->add_option("--levels", options->levels, "Levels to judge, A-B within 1-30 (default 1-30)");
    app->add_option("--seed", options->seed, "Seed of the test data for everyone (decimal; default: the time)");
    app->add_option("--jobs", options->jobs, "Worker processes (default: the number of cores)");
    app->add_option("--csv", options->csv,
                    "Also write student,level,result,passes,failed_run,first_mismatch,instructions,steps_mean,steps_max "
                    "to FILE");
    app->add_option("--html", options->html, "Also write a self-contained HTML report to FILE");
    app->add_option("--max-steps", options->maxSteps, "Steps a run may take before it fails (default 10000000)");
    app->add_option("--level-file", options->levelFile,
                    reinterpret_cast<const char*>(u8"Judge every student's code for a teacher's level file instead of "
                                                  u8"levels (for X.toml the code files X代码.txt)"));
    app->add_option("--shard", options->shard,
                    "Judge only the K-th of N equal parts of the students (sorted by name), for merge");
    return {app, [options] { return grade(*options); }};
}

JudgeCommand addGradeWorkerCommand(CLI::App& judge) {
    struct WorkerOptions {
        std::string tasks, out, seed, maxSteps, levelFile;
    };
    auto options = std::make_shared<WorkerOptions>();
    CLI::App* app = judge.add_subcommand("grade-worker", "Internal: one worker process of grade");
    app->group(""); // not listed in --help
    app->add_option("TASKS", options->tasks)->required();
    app->add_option("OUT", options->out)->required();
    app->add_option("--seed", options->seed)->required();
    app->add_option("--max-steps", options->maxSteps)->required();
    app->add_option("--level-file", options->levelFile);
    return {app, [options] {
                LevelSettings settings;
                settings.seed = static_cast<unsigned>(requireNumber(options->seed, 10, 10, UINT32_MAX, "seed"));
                settings.maxSteps = requireNumber(options->maxSteps, 10, 19, UINT64_MAX, "step limit");
                // The parent checked the file; a worker only reads it.
                if (!options->levelFile.empty()) {
                    if (!useLevelFile(options->levelFile, settings, false)) return EXIT_USAGE;
                    settings.runs = randomRuns(settings.level);
                }
                return gradeWorker(options->tasks, options->out, settings);
            }};
}
