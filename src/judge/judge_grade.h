// A class's results as `grade` collects them, and the reports made from them:
// every report is a view of one table of cells, a row per student and a
// column per level of the run (built-in levels first, then teachers' level
// files in the order given).
//
//   GradeClass graded = ...;              // filled by the grade subcommand or merge
//   std::string csv = gradeCsv(graded);
//   std::string html = gradeHtml(graded, "2026-12-07 10:00");
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "judge/judge_json.h"

// One column of the run.
struct GradeLevel {
    std::uint16_t number = 0;        // a built-in level; 0 for a teacher's level file
    std::string file;                // a teacher's level: its file name (UTF-8), the verdicts' "level"
    std::string title;               // a teacher's level: its title (UTF-8)
    std::size_t referenceLines = 0;  // statements of the level's reference, for identical work
};

struct GradeCell {
    bool judged = false;            // a code file was found, read and judged
    Json verdict;                   // the object `level` prints for it
    std::string program;            // normalised (or, after merge, its key), for finding identical work
    std::size_t programLines = 0;   // statements of the normalised program
    std::vector<std::string> notes; // files seen for this level but not used, and why (UTF-8)
};

struct GradeClass {
    std::vector<std::string> students; // folder names as UTF-8, in the order reported
    std::vector<GradeLevel> levels;
    unsigned seed = 0;
    std::vector<std::vector<GradeCell>> cells; // [student][column]
};

// Text for an HTML page: & < > " ' as entities.
std::string htmlEscaped(const std::string& text);
// The page's date: local time as "2026-12-07 10:00".
std::string reportDate();
// Writes a report (or a worker's file) whole; false after a message on standard error.
bool writeReportFile(const std::string& path, const std::string& bytes);
// Whether a report can be written at `path` (checked before grading starts);
// false after a message on standard error.
bool reportWritable(const std::string& path, const char* option);
// The verdicts' "level": the number, or the level file's name.
Json levelKey(const GradeLevel& level);
// A column's name for people: "第3关", or the teacher's level's title.
std::string levelTitle(const GradeLevel& level);
// The CSV's level column: its number, or the level file's name.
std::string levelLabel(const GradeClass& graded, std::size_t column);
// The page's section of per-level histograms of completed programs' size and mean steps.
std::string sizeAndStepsHistograms(const GradeClass& graded);

// One cell as the CSV and the page show it.
struct CellSummary {
    std::string result;        // "completed", "failed", "does not assemble", "not handed in"
    std::string reason;        // completed, wrong result, halted without hlt, did not halt, does not assemble, not handed in
    unsigned passes = 0;
    std::string failedRun;     // empty when nothing failed
    std::string firstMismatch; // "R3 expected 0B actual 74", or empty
    std::string inputs;        // the failed run's inputs, "R1=3A R2=D1"
    std::string detail;        // for the page: the first mismatch, the reason or the first assembler error
    // A completed level's size and steps ("12", "34.5", "40"); empty otherwise.
    std::string instructions, stepsMean, stepsMax;
};
CellSummary summarise(const GradeCell& cell);
// The reason in Chinese, for the page and the feedback.
std::string reasonText(const std::string& reason);
// "R3：应为0B，实际为74" lines of a failure, one per mismatch.
std::vector<std::string> mismatchTexts(const Json& verdict);
// "第N次检验" or "边界检验K".
std::string runText(const std::string& failedRun);

// student,level,result,reason,passes,failed_run,first_mismatch,instructions,steps_mean,steps_max,inputs:
// a header and one row per student and level.
std::string gradeCsv(const GradeClass& graded);
// For a course's grade book (Moodle, Canvas): a row per student, a column per level (1 or 0), the total.
std::string gradebookCsv(const GradeClass& graded);
// One self-contained page: the table, a bar chart of completions per level,
// identical work, the seed and the date.
std::string gradeHtml(const GradeClass& graded, const std::string& date);
// A student's own page: each level's verdict, the failing run, compile errors.
std::string feedbackHtml(const GradeClass& graded, std::size_t student, const std::string& date);
// The feedback page's file name for a student: the name with characters no file system takes replaced.
std::string feedbackFileName(const std::string& student);
// Reference statements of built-in level n (its catalogue solution), 0 when unknown.
std::size_t builtinReferenceLines(std::uint16_t level);
// The verdict line `grade` prints for a cell.
Json verdictLine(const GradeClass& graded, std::size_t student, std::size_t column);
