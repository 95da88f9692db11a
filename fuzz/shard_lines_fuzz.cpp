// Any bytes as a shard file for merge (grade --shard K/N's output): read as
// merge reads it, joined as merge joins shards, and when accepted made into
// the class's CSV, grade book and page, which use every verdict's keys. A
// line too long, too deep or of the wrong form must be refused with its line
// number; nothing may crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "judge/judge_grade.h"
#include "judge/judge_shard_read.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<Shard> shards(1);
    std::string problem;
    const bool read = readShard(bytes, "fuzz.jsonl", shards[0], problem);
    if (read != problem.empty() || (!read && problem.find("fuzz.jsonl") == std::string::npos)) std::abort();
    if (!read) return 0;

    // One shard as the whole class, as merge joins them (a shard K/N with N > 1 is refused there).
    std::vector<Json> lines;
    std::optional<GradeClass> graded;
    try {
        graded = joinShards(shards, lines);
    } catch (const std::exception&) { // merge refuses a value of the wrong type the same way
        return 0;
    }
    if (!graded) return 0;
    const std::string csv = gradeCsv(*graded);
    const std::string book = gradebookCsv(*graded);
    const std::string page = gradeHtml(*graded, "2026-12-07 10:00");
    // Every field a spreadsheet would evaluate is written as text.
    for (const std::string* table : {&csv, &book})
        for (std::size_t at = table->find('\n'); at != std::string::npos && at + 1 < table->size(); at = table->find('\n', at + 1))
            for (char c : {'=', '+', '-', '@'})
                if ((*table)[at + 1] == c) std::abort();
    return 0;
}
