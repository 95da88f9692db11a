// Lines of JSON the judge reads back (shards for merge, a worker's results),
// bounded whatever the file holds: a line longer than JSON_LINE_LIMIT or
// nested deeper than JSON_DEPTH_LIMIT is refused with a message, never parsed.
//
//   JsonLines lines(file);
//   while (auto line = lines.next())
//       if (!line->problem.empty()) fail(path + ":" + std::to_string(line->number) + ": " + line->problem);
#pragma once
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "judge/judge_json.h"

// Above the longest verdict line the grader writes: a code file of at most
// CODE_FILE_LIMIT bytes gives at most about 25 times as much JSON (one short
// assembler message per two-byte line).
inline constexpr std::size_t JSON_LINE_LIMIT = std::size_t{64} << 20;
// The judge's own lines nest four deep ({"failure":{"errors":{"3":["..."]}}}).
inline constexpr std::size_t JSON_DEPTH_LIMIT = 16;

// One value, or why the text is not one: "not JSON (...)", "nested deeper than
// 16". Objects keep their keys in the order written; a repeated key is refused.
// Time is linear in the text's length.
std::optional<Json> parseJsonLine(std::string_view text, std::string& problem);

struct JsonLine {
    std::size_t number = 0; // 1-based
    Json value;             // null when `problem` is set or the line is blank
    std::string problem;    // empty: `value` is the line's value
    bool blank = false;
};

// Reads a stream line by line; a line end is "\n" or "\r\n".
class JsonLines {
public:
    explicit JsonLines(std::FILE* file, std::size_t limit = JSON_LINE_LIMIT) : file(file), limit(limit) {}
    // The next line, or nullopt at the end of the stream. A line that is too
    // long is skipped to its end and reported as such.
    std::optional<JsonLine> next();
    // Whether reading stopped on an error rather than at the end.
    bool failed() const;

private:
    std::FILE* file;
    std::size_t limit;
    std::size_t number = 0;
};
