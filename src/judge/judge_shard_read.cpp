#include "judge/judge_shard_read.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>

#include "judge/judge_cli.h"
#include "judge/judge_json_lines.h"
#include "judge/judge_shard.h"
#include "judge/judge_verdict_form.h"
#include "levels/levels.h"

namespace {
void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A shard file as UTF-8: PowerShell 5.1's `>` saves UTF-16 with a byte order
// mark, Notepad may add a UTF-8 one.
std::string shardText(const std::string& bytes) {
    const bool little = bytes.starts_with("\xFF\xFE"), big = bytes.starts_with("\xFE\xFF");
    if (!little && !big) return bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
    std::string out;
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<std::uint32_t>(little ? a | b << 8 : a << 8 | b);
    };
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        std::uint32_t code = unit(i);
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
        }
        appendUtf8(out, code);
    }
    return out;
}

// "A-B" with 1 <= A <= B <= 30, as headers of earlier versions name their levels.
bool levelRange(const Json& value, unsigned& first, unsigned& last) {
    if (!value.is_string()) return false;
    const std::string& text = value.get_ref<const std::string&>();
    const std::size_t dash = text.find('-');
    if (dash == std::string::npos || dash == 0 || dash + 1 == text.size() || dash > 2 || text.size() - dash - 1 > 2 ||
        text.find_first_not_of("0123456789-") != std::string::npos)
        return false;
    first = static_cast<unsigned>(std::stoul(text.substr(0, dash)));
    last = static_cast<unsigned>(std::stoul(text.substr(dash + 1)));
    return first >= 1 && first <= last && last <= LAST_CORE_LEVEL;
}

std::string headerProblem(const Json& header) {
    if (!header.contains("shard") || !header.at("shard").is_string()) return "not the output of grade --shard K/N";
    try {
        requireShard(header.at("shard").get<std::string>());
    } catch (const UsageError& error) {
        return "not the output of grade --shard K/N (" + error.message + ")";
    }
    if (!header.contains("seed") || !header.at("seed").is_number_unsigned() || header.at("seed").get<std::uint64_t>() > UINT32_MAX)
        return "seed: missing or not a seed";
    const bool levels = header.contains("levels"), levelFile = header.contains("levelFile");
    if (levels == levelFile) return "give either levels or levelFile";
    if (levelFile && (!header.at("levelFile").is_string() || header.at("levelFile").get_ref<const std::string&>().empty()))
        return "levelFile: not a file name";
    if (levels) {
        const Json& listed = header.at("levels");
        unsigned first = 0, last = 0;
        if (listed.is_string() && !levelRange(listed, first, last)) return "levels: not A-B within 1-30";
        if (!listed.is_string() && !listed.is_array()) return "levels: not a list of levels";
        if (listed.is_array())
            for (const Json& level : listed)
                if (!(level.is_string() || (level.is_number_unsigned() && level.get<std::uint64_t>() >= 1 &&
                                            level.get<std::uint64_t>() <= LAST_CORE_LEVEL)))
                    return "levels: not a list of levels";
    }
    if (!header.contains("students") || !header.at("students").is_array()) return "students: missing or not a list";
    for (const Json& student : header.at("students"))
        if (!student.is_string()) return "students: not a list of names";
    return {};
}

// The levels a header promises, as the keys its verdict lines name.
std::vector<Json> promisedLevels(const Json& header) {
    if (header.contains("levelFile")) return {header.at("levelFile")};
    const Json& listed = header.at("levels");
    if (listed.is_array()) return std::vector<Json>(listed.begin(), listed.end());
    unsigned first = 0, last = 0;
    levelRange(listed, first, last);
    std::vector<Json> levels;
    for (unsigned level = first; level <= last; ++level) levels.push_back(level);
    return levels;
}
} // namespace

bool readShard(const std::string& bytes, const std::string& name, Shard& shard, std::string& problem) {
    shard.path = name;
    const auto refuse = [&problem](std::string message) {
        problem = std::move(message);
        return false;
    };
    const std::string text = shardText(bytes);
    std::vector<Json> levels;
    std::size_t cells = 0; // verdict lines the header allows: one per student and level
    std::size_t number = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1); // saved on Windows
        if (line.empty()) continue;
        const std::string where = shard.path + ":" + std::to_string(number) + ": ";
        if (shard.finished) return refuse(where + "a line after the shard's last line");
        if (line.size() > JSON_LINE_LIMIT) return refuse(where + "a line longer than " + std::to_string(JSON_LINE_LIMIT >> 20) + " MB");
        std::string why;
        std::optional<Json> parsed = parseJsonLine(line, why);
        if (!parsed) return refuse(where + why);
        if (!parsed->is_object()) return refuse(where + "not a JSON object (cut short?)");
        Json value = std::move(*parsed);
        if (shard.header.is_null()) {
            if (const std::string bad = headerProblem(value); !bad.empty()) return refuse(where + bad);
            shard.header = std::move(value);
            levels = promisedLevels(shard.header);
            cells = shard.header.at("students").size() * levels.size();
        } else if (value.contains("shardEnd")) {
            if (value.at("shardEnd") != shard.header.at("shard") || !value.contains("lines") ||
                !value.at("lines").is_number_unsigned() || value.at("lines").get<std::size_t>() != shard.lines.size())
                return refuse(where + "the shard's last line does not match its verdict lines");
            shard.finished = true;
        } else if (!value.contains("student") || !value.at("student").is_string() || !value.contains("level")) {
            return refuse(where + "not a verdict line");
        } else {
            if (std::find(levels.begin(), levels.end(), value.at("level")) == levels.end())
                return refuse(where + "level: not a level of " +
                              (shard.header.contains("levels") && shard.header.at("levels").is_string()
                                   ? shard.header.at("levels").get<std::string>()
                                   : std::string("the shard")));
            // A judged level carries the verdict the reports read; one not handed in only its reason.
            if (value.contains("file") || value.contains("passes") || value.contains("failure"))
                if (const std::string form = verdictProblem(value); !form.empty())
                    return refuse(where + "not a verdict line (" + form + ")");
            if (shard.lines.size() == cells) return refuse(where + "more verdict lines than its students and levels");
            shard.lines.push_back(std::move(value));
        }
    }
    if (shard.header.is_null()) return refuse(shard.path + " is empty");
    if (!shard.finished)
        return refuse("shard " + shard.header.at("shard").get<std::string>() + " (" + shard.path +
                      ") did not finish: its last line is missing; grade it again");
    return true;
}
