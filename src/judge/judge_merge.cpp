// asmquest-judge merge FILE.jsonl...: joins the output of `grade --shard K/N`
// runs into the class one whole run grades, and writes the same CSV and page
// (and prints the same verdict lines) as that run.
#include "judge/judge_shard.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

#include "judge/judge_cli.h"
#include "judge/judge_files.h"
#include "judge/judge_source.h"

namespace fs = std::filesystem;

std::pair<unsigned, unsigned> requireShard(const std::string& text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) throw UsageError{"bad shard '" + text + "' (K/N)"};
    const auto k = static_cast<unsigned>(requireNumber(text.substr(0, slash), 10, 6, 999999, "shard"));
    const auto n = static_cast<unsigned>(requireNumber(text.substr(slash + 1), 10, 6, 999999, "shard"));
    if (k < 1 || k > n) throw UsageError{"bad shard '" + text + "' (K/N with 1 <= K <= N)"};
    return {k, n};
}

std::size_t shardBegin(unsigned k, unsigned n, std::size_t students) {
    return static_cast<std::size_t>(static_cast<unsigned long long>(k - 1) * students / n);
}

Json shardHeader(const GradeClass& graded, unsigned k, unsigned n) {
    Json header;
    header["shard"] = std::to_string(k) + "/" + std::to_string(n);
    header["seed"] = graded.seed;
    header["levels"] = Json::array();
    Json files = Json::array();
    for (const GradeLevel& level : graded.levels) {
        header["levels"].push_back(levelKey(level));
        if (!level.number)
            files.push_back({{"file", level.file}, {"title", level.title}, {"referenceLines", level.referenceLines}});
    }
    if (!files.empty()) header["levelFiles"] = std::move(files);
    header["students"] = graded.students;
    return header;
}

Json shardEnd(unsigned k, unsigned n, std::size_t lines) {
    Json end;
    end["shardEnd"] = std::to_string(k) + "/" + std::to_string(n);
    end["lines"] = lines;
    return end;
}

std::string programKey(const std::string& normalised) {
    if (normalised.empty()) return {};
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (unsigned char c : normalised) hash = (hash ^ c) * 1099511628211ull;
    char text[64];
    const auto statements = static_cast<std::size_t>(std::count(normalised.begin(), normalised.end(), '\n'));
    std::snprintf(text, sizeof text, "%016llx:%zu:%zu", static_cast<unsigned long long>(hash), normalised.size(), statements);
    return text;
}

namespace {
struct MergeOptions {
    std::vector<std::string> files;
    std::string csv;
    std::string html;
    std::string gradebook;
    std::string feedback;
};

struct Shard {
    std::string path; // UTF-8, for messages
    Json header;
    std::vector<Json> lines;
    bool finished = false;
};

bool mergeFailed(const std::string& message) {
    writeText(stderr, "asmquest-judge: " + message + "\n");
    return false;
}

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

bool readShard(const std::string& path, Shard& shard) {
    shard.path = displayName(path);
    std::string bytes;
    std::FILE* file = openFile(path, "rb");
    if (!file) return mergeFailed("cannot read " + shard.path + ": " + std::strerror(errno));
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
    std::fclose(file);
    const std::string text = shardText(bytes);
    std::size_t number = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back(); // saved on Windows
        if (line.empty()) continue;
        const std::string where = shard.path + ":" + std::to_string(number);
        if (shard.finished) return mergeFailed(where + ": a line after the shard's last line");
        Json value = Json::parse(line, nullptr, false);
        if (value.is_discarded() || !value.is_object()) return mergeFailed(where + ": not a JSON object (cut short?)");
        if (shard.header.is_null()) {
            if (!value.contains("shard") || !value.at("shard").is_string() || !value.contains("students") ||
                !value.at("students").is_array() || !value.contains("seed") || !value.contains("levels"))
                return mergeFailed(where + ": not the output of grade --shard K/N");
            requireShard(value.at("shard").get<std::string>());
            shard.header = std::move(value);
        } else if (value.contains("shardEnd")) {
            if (value.at("shardEnd") != shard.header.at("shard") || value.value("lines", std::size_t{0}) != shard.lines.size())
                return mergeFailed(where + ": the shard's last line does not match its verdict lines");
            shard.finished = true;
        } else if (!value.contains("student") || !value.at("student").is_string() || !value.contains("level")) {
            return mergeFailed(where + ": not a verdict line");
        } else {
            shard.lines.push_back(std::move(value));
        }
    }
    if (shard.header.is_null()) return mergeFailed(shard.path + " is empty");
    if (!shard.finished)
        return mergeFailed("shard " + shard.header.at("shard").get<std::string>() + " (" + shard.path +
                           ") did not finish: its last line is missing; grade it again");
    return true;
}

// The columns a header promises: built-in levels, then level files. Headers
// of earlier versions name a range ("levels":"A-B") or one "levelFile".
std::vector<GradeLevel> headerLevels(const Json& header) {
    std::vector<GradeLevel> levels;
    const Json& listed = header.at("levels");
    if (header.contains("levelFile")) {
        levels.push_back({0, header.at("levelFile").get<std::string>(), {}, 0});
    } else if (listed.is_string()) {
        const std::string range = listed.get<std::string>();
        const unsigned first = static_cast<unsigned>(std::stoul(range));
        const unsigned last = static_cast<unsigned>(std::stoul(range.substr(range.find('-') + 1)));
        for (unsigned level = first; level <= last && level <= 0xFFFF; ++level)
            levels.push_back({static_cast<std::uint16_t>(level), {}, {}, 0});
    } else {
        for (const Json& level : listed) {
            if (level.is_number_unsigned()) {
                levels.push_back({level.get<std::uint16_t>(), {}, {}, 0});
                continue;
            }
            GradeLevel file{0, level.get<std::string>(), {}, 0};
            for (const Json& described : header.value("levelFiles", Json::array()))
                if (described.value("file", std::string()) == file.file) {
                    file.title = described.value("title", std::string());
                    file.referenceLines = described.value("referenceLines", std::size_t{0});
                }
            levels.push_back(std::move(file));
        }
    }
    return levels;
}

// The class of all shards, or nullopt with a message.
std::optional<GradeClass> joinShards(std::vector<Shard>& shards, std::vector<Json>& lines) {
    const Json& first = shards.front().header;
    const std::string total = first.at("shard").get<std::string>().substr(first.at("shard").get<std::string>().find('/'));
    std::map<unsigned, Shard*> byNumber;
    for (Shard& shard : shards) {
        const std::string name = shard.header.at("shard").get<std::string>();
        const std::size_t slash = name.find('/');
        if (slash == std::string::npos || name.substr(slash) != total || shard.header.at("seed") != first.at("seed") ||
            shard.header.at("levels") != first.at("levels") ||
            shard.header.value("levelFile", Json()) != first.value("levelFile", Json())) {
            mergeFailed("shard " + name + " is not of the same grading as shard " + first.at("shard").get<std::string>());
            return std::nullopt;
        }
        if (!byNumber.emplace(static_cast<unsigned>(std::stoul(name.substr(0, slash))), &shard).second) {
            mergeFailed("shard " + name + " given twice");
            return std::nullopt;
        }
    }
    const unsigned count = static_cast<unsigned>(std::stoul(total.substr(1)));
    if (byNumber.size() != count || byNumber.begin()->first != 1 || byNumber.rbegin()->first != count) {
        std::string missing;
        for (unsigned k = 1; k <= count; ++k)
            if (!byNumber.count(k)) missing += (missing.empty() ? "" : ", ") + std::to_string(k) + total;
        mergeFailed("shards missing: " + missing + " (" + std::to_string(byNumber.size()) + " of " +
                    std::to_string(count) + " given)");
        return std::nullopt;
    }

    GradeClass graded;
    graded.seed = first.at("seed").get<unsigned>();
    graded.levels = headerLevels(first);
    const std::size_t columns = graded.levels.size();
    std::map<Json, std::size_t> columnOf;
    for (std::size_t c = 0; c < columns; ++c) columnOf[levelKey(graded.levels[c])] = c;
    bool complete = true;
    for (auto& [number, shard] : byNumber) {
        std::map<std::string, std::size_t> row;
        const std::size_t firstRow = graded.students.size();
        for (const Json& student : shard->header.at("students")) {
            if (!row.emplace(student.get<std::string>(), graded.students.size()).second) {
                mergeFailed("shard " + shard->header.at("shard").get<std::string>() + " lists " +
                            student.get<std::string>() + " twice");
                return std::nullopt;
            }
            graded.students.push_back(student.get<std::string>());
            graded.cells.emplace_back(columns);
        }
        std::vector<std::vector<bool>> seen(graded.students.size() - firstRow, std::vector<bool>(columns, false));
        for (Json& line : shard->lines) {
            const auto who = row.find(line.at("student").get<std::string>());
            const auto column = columnOf.find(line.at("level"));
            if (who == row.end() || column == columnOf.end() || seen[who->second - firstRow][column->second]) {
                mergeFailed(shard->path + ": a verdict line names a student or level its shard does not hold, or "
                            "one it already gave");
                return std::nullopt;
            }
            seen[who->second - firstRow][column->second] = true;
            GradeCell& cell = graded.cells[who->second][column->second];
            const std::string key = line.value("program", std::string());
            cell.program = key;
            const std::size_t statements = key.rfind(':');
            if (statements != std::string::npos) cell.programLines = std::stoul(key.substr(statements + 1));
            line.erase("program");
            lines.push_back(line);
            cell.judged = line.contains("file");
            if (line.contains("notes")) cell.notes = line.at("notes").get<std::vector<std::string>>();
            line.erase("student");
            line.erase("reason");
            line.erase("notes");
            if (cell.judged) cell.verdict = std::move(line);
        }
        // Every student and level the header promised, or the shard lost some.
        std::string missing;
        for (std::size_t r = 0; r < seen.size(); ++r) {
            std::string levels;
            std::size_t absent = 0;
            for (std::size_t c = 0; c < columns; ++c)
                if (!seen[r][c]) {
                    ++absent;
                    levels += (levels.empty() ? "" : ", ") + levelLabel(graded, c);
                }
            if (absent)
                missing += (missing.empty() ? "" : "; ") + graded.students[firstRow + r] +
                           (absent == columns ? std::string(" (all levels)") : " (levels " + levels + ")");
        }
        if (!missing.empty()) {
            mergeFailed("shard " + shard->header.at("shard").get<std::string>() + " (" + shard->path +
                        ") lacks verdicts for: " + missing);
            complete = false;
        }
    }
    if (!complete) return std::nullopt;
    return graded;
}


int merge(const MergeOptions& options) {
    std::vector<Shard> shards(options.files.size());
    for (std::size_t i = 0; i < options.files.size(); ++i)
        if (!readShard(options.files[i], shards[i])) return EXIT_USAGE;
    std::vector<Json> lines;
    std::optional<GradeClass> graded;
    try {
        graded = joinShards(shards, lines);
    } catch (const std::exception&) { // a value of the wrong type or form in a line
        mergeFailed("the shards are not the output of grade --shard K/N");
    }
    if (!graded) return EXIT_USAGE;
    for (const Json& line : lines) printJsonLine(line);
    bool written = true;
    const std::string date = reportDate();
    if (!options.csv.empty()) written = writeReportFile(options.csv, gradeCsv(*graded)) && written;
    if (!options.gradebook.empty()) written = writeReportFile(options.gradebook, gradebookCsv(*graded)) && written;
    if (!options.html.empty()) written = writeReportFile(options.html, gradeHtml(*graded, date)) && written;
    if (!options.feedback.empty()) {
        std::error_code error;
        fs::create_directories(filePath(options.feedback), error);
        for (std::size_t s = 0; s < graded->students.size(); ++s)
            written = writeReportFile(pathText(filePath(options.feedback) / filePath(feedbackFileName(graded->students[s]))),
                                      feedbackHtml(*graded, s, date)) &&
                      written;
    }
    return written ? EXIT_DONE : EXIT_USAGE;
}
} // namespace

JudgeCommand addMergeCommand(CLI::App& judge) {
    auto options = std::make_shared<MergeOptions>();
    CLI::App* app = judge.add_subcommand("merge", "Join the output of grade --shard K/N runs into one class's reports");
    app->add_option("FILE", options->files, "The standard output of each shard (any order)")->required();
    app->add_option("--csv", options->csv, "Write the CSV one whole grade run writes to FILE");
    app->add_option("--gradebook", options->gradebook, "Write the grade book one whole grade run writes to FILE");
    app->add_option("--html", options->html, "Write the page one whole grade run writes to FILE");
    app->add_option("--feedback", options->feedback, "Write the students' pages into folder DIR");
    return {app, [options] { return merge(*options); }};
}
