// Any bytes as a shard file for merge (grade --shard K/N's output): read as
// merge reads it, and when it is accepted, made into the class's CSV and page,
// which use every verdict's keys. A line too long, too deep or of the wrong
// form must be refused with its line number; nothing may crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "judge/judge_grade.h"
#include "judge/judge_json_lines.h"
#include "judge/judge_shard_read.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0; // fmemopen refuses an empty buffer
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!file) std::abort();
    Shard shard;
    std::string problem;
    const bool read = readShard(file, "fuzz.jsonl", shard, problem);
    std::fclose(file);
    if (read != problem.empty() || (!read && problem.rfind("fuzz.jsonl", 0) != 0)) std::abort();
    if (!read) return 0;

    // One shard as the whole class, as merge joins them.
    GradeClass graded;
    graded.seed = shard.header.at("seed").get<unsigned>();
    if (shard.header.contains("levelFile")) {
        graded.levelFile = shard.header.at("levelFile").get<std::string>();
        graded.firstLevel = graded.lastLevel = 1;
    } else {
        const std::string range = shard.header.at("levels").get<std::string>();
        graded.firstLevel = static_cast<std::uint16_t>(std::stoul(range));
        graded.lastLevel = static_cast<std::uint16_t>(std::stoul(range.substr(range.find('-') + 1)));
    }
    const std::size_t columns = graded.levelFile.empty() ? graded.lastLevel - graded.firstLevel + 1u : 1u;
    std::map<std::string, std::size_t> row;
    for (const Json& student : shard.header.at("students")) {
        row[student.get<std::string>()] = graded.students.size();
        graded.students.push_back(student.get<std::string>());
        graded.cells.emplace_back(columns);
    }
    for (Json& line : shard.lines) {
        const auto who = row.find(line.at("student").get<std::string>());
        if (who == row.end()) continue;
        const Json& level = line.at("level");
        const std::size_t column = level.is_number_unsigned() ? level.get<std::size_t>() - graded.firstLevel : 0;
        GradeCell& cell = graded.cells[who->second][column];
        cell.judged = true;
        cell.program = line.value("program", std::string());
        cell.verdict = std::move(line);
    }
    const std::string csv = gradeCsv(graded);
    const std::string page = gradeHtml(graded, "2026-12-07 10:00");
    // Every field a spreadsheet would evaluate is written as text.
    for (std::size_t at = csv.find('\n'); at != std::string::npos && at + 1 < csv.size(); at = csv.find('\n', at + 1))
        for (char c : {'=', '+', '-', '@'})
            if (csv[at + 1] == c) std::abort();
    return 0;
}
