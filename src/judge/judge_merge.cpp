// asmquest-judge merge FILE.jsonl...: joins the output of `grade --shard K/N`
// runs into the class one whole run grades, and writes the same CSV and page
// (and prints the same verdict lines) as that run.
#include "judge/judge_shard.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>

#include "judge/judge_cli.h"

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
    if (graded.levelFile.empty())
        header["levels"] = std::to_string(graded.firstLevel) + "-" + std::to_string(graded.lastLevel);
    else
        header["levelFile"] = graded.levelFile;
    header["students"] = graded.students;
    return header;
}

std::string programKey(const std::string& normalised) {
    if (normalised.empty()) return {};
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (unsigned char c : normalised) hash = (hash ^ c) * 1099511628211ull;
    char text[24];
    std::snprintf(text, sizeof text, "%016llx:%zu", static_cast<unsigned long long>(hash), normalised.size());
    return text;
}

namespace {
struct MergeOptions {
    std::vector<std::string> files;
    std::string csv;
    std::string html;
};

struct Shard {
    Json header;
    std::vector<Json> lines;
};


bool fail(const std::string& message) {
    std::fprintf(stderr, "asmquest-judge: %s\n", message.c_str());
    return false;
}

bool readShard(const std::string& path, Shard& shard) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail("cannot read " + path);
    std::string line;
    std::size_t number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty()) continue;
        Json value = Json::parse(line, nullptr, false);
        if (value.is_discarded() || !value.is_object())
            return fail(path + ":" + std::to_string(number) + ": not a JSON object");
        if (shard.header.is_null()) {
            if (!value.contains("shard") || !value.at("shard").is_string() || !value.contains("students") ||
                !value.contains("seed"))
                return fail(path + ":1: not the output of grade --shard K/N");
            requireShard(value.at("shard").get<std::string>());
            shard.header = std::move(value);
        } else if (!value.contains("student") || !value.contains("level")) {
            return fail(path + ":" + std::to_string(number) + ": not a verdict line");
        } else {
            shard.lines.push_back(std::move(value));
        }
    }
    if (shard.header.is_null()) return fail(path + " is empty");
    return true;
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
            shard.header.value("levels", Json()) != first.value("levels", Json()) ||
            shard.header.value("levelFile", Json()) != first.value("levelFile", Json())) {
            fail("shard " + name + " is not of the same grading as shard " + first.at("shard").get<std::string>());
            return std::nullopt;
        }
        if (!byNumber.emplace(static_cast<unsigned>(std::stoul(name.substr(0, slash))), &shard).second) {
            fail("shard " + name + " given twice");
            return std::nullopt;
        }
    }
    const unsigned count = static_cast<unsigned>(std::stoul(total.substr(1)));
    if (byNumber.size() != count || byNumber.begin()->first != 1 || byNumber.rbegin()->first != count) {
        fail("shards missing: " + std::to_string(byNumber.size()) + " of " + std::to_string(count) + " given");
        return std::nullopt;
    }

    GradeClass graded;
    graded.seed = first.at("seed").get<unsigned>();
    if (first.contains("levelFile")) {
        graded.levelFile = first.at("levelFile").get<std::string>();
    } else {
        const std::string range = first.at("levels").get<std::string>();
        graded.firstLevel = static_cast<std::uint16_t>(std::stoul(range));
        graded.lastLevel = static_cast<std::uint16_t>(std::stoul(range.substr(range.find('-') + 1)));
    }
    const std::size_t columns = graded.levelFile.empty() ? graded.lastLevel - graded.firstLevel + 1u : 1u;
    std::map<std::string, std::size_t> row;
    for (auto& [number, shard] : byNumber) {
        for (const Json& student : shard->header.at("students")) {
            row[student.get<std::string>()] = graded.students.size();
            graded.students.push_back(student.get<std::string>());
            graded.cells.emplace_back(columns);
        }
        for (Json& line : shard->lines) {
            const auto who = row.find(line.at("student").get<std::string>());
            const Json& level = line.at("level");
            const std::size_t column = graded.levelFile.empty() && level.is_number_unsigned()
                                           ? level.get<std::size_t>() - graded.firstLevel
                                           : 0;
            if (who == row.end() || column >= columns) {
                fail("a verdict line names a student or level its shard does not hold");
                return std::nullopt;
            }
            GradeCell& cell = graded.cells[who->second][column];
            cell.judged = true;
            cell.program = line.value("program", std::string());
            line.erase("program");
            lines.push_back(line);
            line.erase("student");
            cell.verdict = std::move(line);
        }
    }
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
        fail("the shards are not the output of grade --shard K/N");
    }
    if (!graded) return EXIT_USAGE;
    for (const Json& line : lines) printJsonLine(line);
    bool written = true;
    if (!options.csv.empty()) written = writeReportFile(options.csv, gradeCsv(*graded)) && written;
    if (!options.html.empty()) written = writeReportFile(options.html, gradeHtml(*graded, reportDate())) && written;
    return written ? EXIT_DONE : EXIT_USAGE;
}
} // namespace

JudgeCommand addMergeCommand(CLI::App& judge) {
    auto options = std::make_shared<MergeOptions>();
    CLI::App* app = judge.add_subcommand("merge", "Join the output of grade --shard K/N runs into one class's reports");
    app->add_option("FILE", options->files, "The standard output of each shard (any order)")->required();
    app->add_option("--csv", options->csv, "Write the CSV one whole grade run writes to FILE");
    app->add_option("--html", options->html, "Write the page one whole grade run writes to FILE");
    return {app, [options] { return merge(*options); }};
}
