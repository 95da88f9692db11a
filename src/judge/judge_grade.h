// A class's results as `grade` collects them, and the reports made from them.
//
//   GradeClass graded = ...;              // filled by the grade subcommand
//   std::string csv = gradeCsv(graded);
//   std::string html = gradeHtml(graded, "2026-12-07 10:00");
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "judge/judge_json.h"

struct GradeCell {
    bool judged = false;      // a code file was found, read and judged
    Json verdict;             // the object `level` prints for it
    std::string program;      // normalised, for finding identical work
};

struct GradeClass {
    std::vector<std::string> students; // folder names as UTF-8, in the order reported
    std::uint16_t firstLevel = 1;
    std::uint16_t lastLevel = 30;
    unsigned seed = 0;
    std::vector<std::vector<GradeCell>> cells; // [student][level - firstLevel]
    std::string levelFile; // graded for a teacher's level file (its name): one column, firstLevel = lastLevel
};

// Text for an HTML page: & < > " ' as entities.
std::string htmlEscaped(const std::string& text);
// The page's date: local time as "2026-12-07 10:00".
std::string reportDate();
// Writes a report (or a worker's file) whole; false after a message on standard error.
bool writeReportFile(const std::string& path, const std::string& bytes);
// A level column's name: its number, or the level file's name.
std::string levelLabel(const GradeClass& graded, std::size_t column);
// The page's section of per-level histograms of completed programs' size and mean steps.
std::string sizeAndStepsHistograms(const GradeClass& graded);

// One cell as the CSV and the page show it.
struct CellSummary {
    std::string result;        // "completed", "failed", "does not assemble"
    unsigned passes = 0;
    std::string failedRun;     // empty when nothing failed
    std::string firstMismatch; // "R3 expected 0B actual 74", or empty
    std::string detail;        // for the page: the first mismatch, the reason or the first assembler error
    // A completed level's size and steps ("12", "34.5", "40"); empty otherwise.
    std::string instructions, stepsMean, stepsMax;
};
CellSummary summarise(const Json& verdict);

// student,level,result,passes,failed_run,first_mismatch,instructions,steps_mean,steps_max:
// a header and one row per judged cell.
std::string gradeCsv(const GradeClass& graded);
// One self-contained page: the table, a bar chart of completions per level,
// identical work, the seed and the date.
std::string gradeHtml(const GradeClass& graded, const std::string& date);
