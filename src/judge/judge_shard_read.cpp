#include "judge/judge_shard_read.h"

#include <optional>

#include "judge/judge_json_lines.h"
#include "judge/judge_verdict_form.h"
#include "levels/levels.h"

namespace {
// "A-B" (or "K/N") with 1 <= A <= B <= max, digits only.
std::optional<std::pair<unsigned, unsigned>> numberPair(const Json& value, char separator, unsigned max) {
    if (!value.is_string()) return std::nullopt;
    const std::string& text = value.get_ref<const std::string&>();
    const std::size_t at = text.find(separator);
    if (at == std::string::npos) return std::nullopt;
    const auto number = [max](std::string_view digits) -> std::optional<unsigned> {
        if (digits.empty() || digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        const unsigned n = static_cast<unsigned>(std::stoul(std::string(digits)));
        if (n < 1 || n > max) return std::nullopt;
        return n;
    };
    const auto a = number(std::string_view(text).substr(0, at));
    const auto b = number(std::string_view(text).substr(at + 1));
    if (!a || !b || *a > *b) return std::nullopt;
    return std::pair{*a, *b};
}

std::string headerProblem(const Json& header) {
    if (!header.is_object() || !numberPair(header.value("shard", Json()), '/', 999999))
        return "not the output of grade --shard K/N (no \"shard\":\"K/N\")";
    if (!header.contains("seed") || !header.at("seed").is_number_unsigned() ||
        header.at("seed").get<std::uint64_t>() > UINT32_MAX)
        return "seed: missing or not a seed";
    const bool levels = header.contains("levels"), levelFile = header.contains("levelFile");
    if (levels == levelFile) return "give either levels or levelFile";
    if (levels && !numberPair(header.at("levels"), '-', LAST_CORE_LEVEL)) return "levels: not A-B within 1-30";
    if (levelFile && (!header.at("levelFile").is_string() || header.at("levelFile").get_ref<const std::string&>().empty()))
        return "levelFile: not a file name";
    if (!header.contains("students") || !header.at("students").is_array()) return "students: missing or not a list";
    for (const Json& student : header.at("students"))
        if (!student.is_string()) return "students: not a list of names";
    return {};
}

std::string lineProblem(const Json& header, const Json& line) {
    if (!line.is_object()) return "not a verdict line";
    if (!line.contains("student") || !line.at("student").is_string()) return "not a verdict line (student: missing or not a name)";
    if (!line.contains("level")) return "not a verdict line (level: missing)";
    const Json& level = line.at("level");
    if (header.contains("levels")) {
        const auto range = numberPair(header.at("levels"), '-', LAST_CORE_LEVEL);
        if (!level.is_number_unsigned() || level.get<std::uint64_t>() < range->first ||
            level.get<std::uint64_t>() > range->second)
            return "level: not a level of " + header.at("levels").get<std::string>();
    } else if (!level.is_string()) {
        return "level: not the level file's name";
    }
    const std::string problem = verdictProblem(line);
    return problem.empty() ? problem : "not a verdict line (" + problem + ")";
}
} // namespace

bool readShard(std::FILE* file, const std::string& name, Shard& shard, std::string& problem) {
    JsonLines lines(file);
    std::size_t cells = 0; // verdicts the header allows: one per student and level
    while (std::optional<JsonLine> line = lines.next()) {
        const std::string where = name + ":" + std::to_string(line->number) + ": ";
        if (line->blank) continue;
        if (!line->problem.empty()) {
            problem = where + line->problem;
            return false;
        }
        if (shard.header.is_null()) {
            if (const std::string why = headerProblem(line->value); !why.empty()) {
                problem = where + why;
                return false;
            }
            shard.header = std::move(line->value);
            const auto range = shard.header.contains("levels") ? numberPair(shard.header.at("levels"), '-', LAST_CORE_LEVEL)
                                                               : std::pair{1u, 1u};
            cells = shard.header.at("students").size() * (range->second - range->first + 1);
            continue;
        }
        if (const std::string why = lineProblem(shard.header, line->value); !why.empty()) {
            problem = where + why;
            return false;
        }
        if (shard.lines.size() == cells) {
            problem = where + "more verdict lines than its students and levels";
            return false;
        }
        shard.lines.push_back(std::move(line->value));
    }
    if (lines.failed()) {
        problem = name + ": cannot be read";
        return false;
    }
    if (shard.header.is_null()) {
        problem = name + " is empty";
        return false;
    }
    return true;
}
