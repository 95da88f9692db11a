// asmquest-judge grade DIR: judges a whole class. DIR holds one folder per
// student (the folder's name is the student's), with the game's code files
// (第N关代码.txt) in it or in its levels subfolder. Every level in range with
// a file is judged exactly as `level` judges it, with one seed for everyone;
// the work is shared among worker processes (the judge itself, run as
// `grade-worker`), one student at a time, and reported in the same order
// whatever the number of workers.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <time.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "levels/levels.h"
#include "judge/judge_cli.h"
#include "judge/judge_code_files.h"
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
    std::FILE* out = openFile(path, "wb");
    int error = out ? 0 : errno;
    if (out) {
        if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) error = errno ? errno : EIO;
        if (std::fclose(out) != 0 && !error) error = errno ? errno : EIO;
    }
    if (!error) return true;
    std::string message = "asmquest-judge: cannot write " + displayName(path) + ": " + std::strerror(error);
    // Excel keeps a CSV it has open locked against writing; Windows reports a permission error.
    if (error == EACCES || error == EBUSY) message += " (is it open in another program, such as Excel? close it and run again)";
    writeText(stderr, message + "\n");
    return false;
}

bool reportWritable(const std::string& path, const char* option) {
    std::error_code error;
    const fs::path file = filePath(path);
    const bool existed = fs::exists(file, error);
    std::FILE* out = openFile(path, existed ? "r+b" : "wb"); // never truncates what is there
    if (!out) {
        std::string message = std::string("asmquest-judge: ") + option + " " + displayName(path) +
                              " cannot be written: " + std::strerror(errno);
        if (errno == EACCES || errno == EBUSY) message += " (is it open in another program, such as Excel?)";
        writeText(stderr, message + "; nothing graded\n");
        return false;
    }
    std::fclose(out);
    if (!existed) fs::remove(file, error);
    return true;
}

namespace {
struct GradeOptions {
    std::string directory;
    std::string levels; // default: 1-30, unless only level files are given
    std::string seed;
    std::string jobs;
    std::string csv;
    std::string html;
    std::string gradebook;
    std::string feedback;
    std::string maxSteps = "10000000";
    std::string shard;
    std::vector<std::string> levelFiles;
    std::string levelDir;
};

// One code file to judge: a built-in level, or teacher's level `file` (an
// index into the run's level files).
struct Task {
    std::size_t column;
    std::uint16_t level;     // 0 for a teacher's level
    std::size_t file = 0;
    std::string path;
};

// The judge's own JSON for one task: the `level` object, or null when the
// file could not be read.
Json judgeTask(const Task& task, const LevelSettings& common, const std::vector<TeacherLevel>& teacherLevels) {
    LevelSettings settings = common;
    if (task.level) settings.level = task.level;
    else selectTeacherLevel(teacherLevels.at(task.file), settings);
    settings.runs = randomRuns(settings.level);
    LevelResult result = judgeLevelFile(task.path, settings);
    return result.readable ? std::move(result.json) : Json(nullptr);
}

// "students 3/30, levels 90/900, about 12 s left", rewritten in place with a
// carriage return and blanks over a longer line before it: no escape codes,
// which a Windows console without VT processing would print.
class Progress {
public:
    // Only when the verdict lines go elsewhere: on a console they would run
    // into the progress line.
    Progress(std::size_t students, std::size_t levels)
        : shown(isInteractive(stderr) && !isInteractive(stdout)), students(students), levels(levels), start(secondsNow()) {}

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
        std::fflush(stderr);
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


// The level files of --level-dir: its *.toml files by name; hidden ones
// (".x.toml", as archives and editors leave behind) are named and left out.
bool levelDirFiles(const std::string& directory, std::vector<std::string>& files) {
    std::error_code error;
    std::vector<std::string> found;
    for (fs::directory_iterator it(filePath(directory), error), end; !error && it != end; it.increment(error)) {
        const std::string name = pathText(it->path().filename());
        std::error_code ignored;
        if (!it->is_regular_file(ignored) || !isLevelFileName(name)) continue;
        if (name.starts_with(".")) {
            writeText(stderr, "asmquest-judge: " + displayName(pathText(it->path())) + ": a hidden file, not graded\n");
            continue;
        }
        found.push_back(pathText(it->path()));
    }
    if (error) {
        writeText(stderr, "asmquest-judge: cannot read " + displayName(directory) + ": " + error.message() + "\n");
        return false;
    }
    if (found.empty()) writeText(stderr, "asmquest-judge: " + displayName(directory) + " holds no level file (*.toml)\n");
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
    return true;
}

bool feedbackFolderUsable(const std::string& folder) {
    std::error_code error;
    fs::create_directories(filePath(folder), error);
    if (!fs::is_directory(filePath(folder), error)) {
        writeText(stderr, "asmquest-judge: --feedback " + displayName(folder) + " is not a folder that can be made; nothing graded\n");
        return false;
    }
    return reportWritable(pathText(filePath(folder) / ".asmquest-check"), "--feedback");
}
// Runs every student's tasks, in `jobs` worker processes (or here, with one
// job or when a worker cannot be started), and hands each student's results
// to `done` in student order.
template <typename Done>
void judgeStudents(const std::vector<std::vector<Task>>& tasks, const LevelSettings& settings, unsigned jobs,
                   const std::vector<TeacherLevel>& teacherLevels, Done done) {
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
        for (const Task& task : tasks[student]) results[student].push_back(judgeTask(task, settings, teacherLevels));
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
        for (const Task& task : tasks[s])
            list += (task.level ? std::to_string(task.level) : "F" + std::to_string(task.file)) + '\t' + task.path + '\n';
        std::optional<Worker> worker;
        std::vector<std::string> arguments = {"grade-worker", pathText(taskFile),
                                              pathText(scratch / (std::to_string(s) + ".out")), "--seed",
                                              std::to_string(settings.seed), "--max-steps", std::to_string(settings.maxSteps)};
        for (const TeacherLevel& level : teacherLevels) arguments.insert(arguments.end(), {"--level-file", level.path});
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
    LevelSettings settings;
    settings.seed = options.seed.empty() ? static_cast<unsigned>(std::time(nullptr))
                                         : static_cast<unsigned>(requireNumber(options.seed, 10, 10, UINT32_MAX, "seed"));
    settings.maxSteps = requireNumber(options.maxSteps, 10, 19, UINT64_MAX, "step limit");
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned jobs =
        options.jobs.empty() ? cores : static_cast<unsigned>(requireNumber(options.jobs, 10, 3, 256, "job count"));
    if (jobs == 0) throw UsageError{"bad job count '0'"};
    unsigned shard = 0, shards = 0;
    if (!options.shard.empty()) std::tie(shard, shards) = requireShard(options.shard);
    graded.seed = settings.seed;

    // Built-in levels when asked for, or when no level file is given; then the level files.
    std::vector<std::string> levelPaths = options.levelFiles;
    if (!options.levelDir.empty() && !levelDirFiles(options.levelDir, levelPaths)) return EXIT_USAGE;
    if (!options.levels.empty() || (options.levelFiles.empty() && options.levelDir.empty())) {
        const auto [first, last] = requireLevelRange(options.levels.empty() ? "1-" + std::to_string(LAST_CORE_LEVEL)
                                                                            : options.levels);
        for (unsigned level = first; level <= last; ++level)
            graded.levels.push_back({static_cast<std::uint16_t>(level), {}, {}, 0});
    }
    // Nothing is graded into a report that cannot be written.
    if ((!options.csv.empty() && !reportWritable(options.csv, "--csv")) ||
        (!options.html.empty() && !reportWritable(options.html, "--html")) ||
        (!options.gradebook.empty() && !reportWritable(options.gradebook, "--gradebook")) ||
        (!options.feedback.empty() && !feedbackFolderUsable(options.feedback)))
        return EXIT_USAGE;

    std::vector<TeacherLevel> teacherLevels;
    std::vector<WantedCode> wanted;
    for (const GradeLevel& level : graded.levels) wanted.push_back({level.number, {}});
    for (const std::string& path : levelPaths) {
        std::optional<TeacherLevel> level = loadTeacherLevel(path, settings.maxSteps);
        if (!level) return EXIT_USAGE;
        for (const TeacherLevel& other : teacherLevels)
            if (other.name == level->name)
                throw UsageError{"two level files named " + level->name + " (their code files would have one name)"};
        graded.levels.push_back({0, level->name, level->title, level->referenceLines});
        wanted.push_back({0, pathText(filePath(level->name).stem())});
        teacherLevels.push_back(std::move(*level));
    }
    useCustomLevel(nullptr);

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
    if (shard)
        folders = std::vector<fs::path>(folders.begin() + static_cast<std::ptrdiff_t>(shardBegin(shard, shards, folders.size())),
                                        folders.begin() + static_cast<std::ptrdiff_t>(shardBegin(shard + 1, shards, folders.size())));

    std::vector<std::vector<Task>> tasks;
    std::size_t taskCount = 0, empty = 0;
    for (const fs::path& folder : folders) {
        graded.students.push_back(displayName(pathText(folder.filename())));
        graded.cells.emplace_back(graded.levels.size());
        tasks.emplace_back();
        StudentFiles found = findCodeFiles(folder, wanted);
        bool any = false;
        for (std::size_t c = 0; c < graded.levels.size(); ++c) {
            GradeCell& cell = graded.cells.back()[c];
            cell.notes = std::move(found.notes[c]);
            for (const std::string& note : cell.notes)
                writeText(stderr, "asmquest-judge: " + graded.students.back() + "/" + note + "\n");
            if (found.paths[c].empty()) continue;
            const auto source = readSource(found.paths[c]);
            if (!source) {
                cell.notes.push_back(displayName(found.paths[c]) + reinterpret_cast<const char*>(u8"：无法读取，未评分"));
                continue;
            }
            any = true;
            cell.program = normalisedProgram(*source);
            cell.programLines = static_cast<std::size_t>(std::count(cell.program.begin(), cell.program.end(), '\n'));
            const std::size_t file = c >= graded.levels.size() - teacherLevels.size() ? c - (graded.levels.size() - teacherLevels.size()) : 0;
            tasks.back().push_back({c, graded.levels[c].number, file, found.paths[c]});
            ++taskCount;
        }
        empty += !any;
    }
    writeText(stderr, "asmquest-judge: grading " + std::to_string(graded.students.size()) + " students, " +
                          std::to_string(graded.levels.size()) + " levels, " + std::to_string(taskCount) +
                          " files, seed " + std::to_string(settings.seed) + "\n");
    if (empty)
        writeText(stderr, "asmquest-judge: " + std::to_string(empty) +
                              " students handed in no code file for these levels (marked \"not handed in\")\n");

    if (shard) printJsonLine(shardHeader(graded, shard, shards));

    Progress progress(graded.students.size(), taskCount);
    std::size_t levelsDone = 0, linesPrinted = 0;
    progress.update(0, 0);
    judgeStudents(tasks, settings, jobs, teacherLevels, [&](std::size_t student, const std::vector<Json>& results) {
        for (std::size_t i = 0; i < results.size(); ++i) {
            if (results[i].is_null() || results[i].is_discarded()) continue;
            GradeCell& cell = graded.cells[student][tasks[student][i].column];
            cell.judged = true;
            cell.verdict = results[i];
        }
        // A line for every level of the run, handed in or not.
        for (std::size_t c = 0; c < graded.levels.size(); ++c) {
            Json line = verdictLine(graded, student, c);
            if (shard && graded.cells[student][c].judged) line["program"] = programKey(graded.cells[student][c].program);
            printJsonLine(line);
            ++linesPrinted;
        }
        std::fflush(stdout);
        levelsDone += tasks[student].size();
        progress.update(student + 1, levelsDone);
    });
    progress.finish();
    // The last line of a shard says it finished: merge refuses a shard without it.
    if (shard) printJsonLine(shardEnd(shard, shards, linesPrinted));
    std::fflush(stdout);

    std::vector<std::string> written, failed;
    const auto report = [&](const std::string& path, const std::string& bytes) {
        if (path.empty()) return;
        (writeReportFile(path, bytes) ? written : failed).push_back(displayName(path));
    };
    report(options.csv, gradeCsv(graded));
    report(options.gradebook, gradebookCsv(graded));
    const std::string date = reportDate();
    report(options.html, gradeHtml(graded, date));
    if (!options.feedback.empty()) {
        const std::size_t before = failed.size();
        for (std::size_t s = 0; s < graded.students.size(); ++s)
            if (!writeReportFile(pathText(filePath(options.feedback) / filePath(feedbackFileName(graded.students[s]))),
                                 feedbackHtml(graded, s, date)))
                failed.push_back(displayName(options.feedback));
        if (failed.size() == before) written.push_back(displayName(options.feedback));
    }
    if (!failed.empty()) {
        std::string where = "asmquest-judge: the verdict lines went to standard output";
        for (const std::string& path : written) where += ", " + path + " was written";
        writeText(stderr, where + "\n");
    }
    return failed.empty() ? EXIT_DONE : EXIT_USAGE;
}

// Judges the tasks listed in TASKS ("LEVEL<tab>PATH" lines, LEVEL a number
// or F and the index of a --level-file) and writes one JSON line per task to OUT.
int gradeWorker(const std::string& taskFile, const std::string& outFile, const LevelSettings& settings,
                const std::vector<TeacherLevel>& teacherLevels) {
    std::ifstream in(filePath(taskFile), std::ios::binary);
    std::string lines;
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) return EXIT_USAGE;
        Task task{0, 0, 0, line.substr(tab + 1)};
        if (line[0] == 'F') {
            task.file = static_cast<std::size_t>(requireNumber(line.substr(1, tab - 1), 10, 5, 99999, "level file"));
            if (task.file >= teacherLevels.size()) return EXIT_USAGE;
        } else {
            task.level = static_cast<std::uint16_t>(requireNumber(line.substr(0, tab), 10, 5, 0xFFFF, "level"));
        }
        lines += jsonText(judgeTask(task, settings, teacherLevels));
        lines += '\n';
    }
    return writeReportFile(outFile, lines) ? EXIT_DONE : EXIT_USAGE;
}
} // namespace

JudgeCommand addGradeCommand(CLI::App& judge) {
    auto options = std::make_shared<GradeOptions>();
    CLI::App* app = judge.add_subcommand("grade", "Judge every student's code files in DIR (one folder per student)");
    app->add_option("DIR", options->directory, "One folder per student, code files anywhere in it")->required();
    app->add_option("--levels", options->levels,
                    "Built-in levels to judge, A-B within 1-30 (default 1-30, or none when level files are given)");
    app->add_option("--level-file", options->levelFiles,
                    reinterpret_cast<const char*>(u8"Also judge a teacher's level file (code files X代码.txt for "
                                                  u8"X.toml); repeatable"))
        ->allow_extra_args(false);
    app->add_option("--level-dir", options->levelDir, "Also judge every level file (*.toml) in this folder");
    app->add_option("--seed", options->seed, "Seed of the test data for everyone (decimal; default: the time)");
    app->add_option("--jobs", options->jobs, "Worker processes (default: the number of cores)");
    app->add_option("--csv", options->csv,
                    "Also write student,level,result,reason,passes,failed_run,first_mismatch,instructions,steps_mean,"
                    "steps_max,inputs to FILE: a row per student and level");
    app->add_option("--gradebook", options->gradebook,
                    "Also write a grade book to FILE.csv: a row per student, 1 or 0 per level, the total "
                    "(Moodle's and Canvas's CSV import)");
    app->add_option("--html", options->html, "Also write a self-contained HTML report (in Chinese) to FILE");
    app->add_option("--feedback", options->feedback, "Also write one page per student (in Chinese) into folder DIR");
    app->add_option("--max-steps", options->maxSteps, "Steps a run may take before it fails (default 10000000)");
    app->add_option("--shard", options->shard,
                    "Judge only the K-th of N equal parts of the students (sorted by name), for merge");
    return {app, [options] { return grade(*options); }};
}

JudgeCommand addGradeWorkerCommand(CLI::App& judge) {
    struct WorkerOptions {
        std::string tasks, out, seed, maxSteps;
        std::vector<std::string> levelFiles;
    };
    auto options = std::make_shared<WorkerOptions>();
    CLI::App* app = judge.add_subcommand("grade-worker", "Internal: one worker process of grade");
    app->group(""); // not listed in --help
    app->add_option("TASKS", options->tasks)->required();
    app->add_option("OUT", options->out)->required();
    app->add_option("--seed", options->seed)->required();
    app->add_option("--max-steps", options->maxSteps)->required();
    app->add_option("--level-file", options->levelFiles)->allow_extra_args(false);
    return {app, [options] {
                LevelSettings settings;
                settings.seed = static_cast<unsigned>(requireNumber(options->seed, 10, 10, UINT32_MAX, "seed"));
                settings.maxSteps = requireNumber(options->maxSteps, 10, 19, UINT64_MAX, "step limit");
                // The parent checked the files; a worker only reads them.
                std::vector<TeacherLevel> teacherLevels;
                for (const std::string& path : options->levelFiles) {
                    std::optional<TeacherLevel> level = loadTeacherLevel(path, settings.maxSteps, false);
                    if (!level) return EXIT_USAGE;
                    teacherLevels.push_back(std::move(*level));
                }
                return gradeWorker(options->tasks, options->out, settings, teacherLevels);
            }};
}
