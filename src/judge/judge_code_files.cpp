#include "judge/judge_code_files.h"

#include <algorithm>
#include <tuple>

#include "judge/judge_files.h"
#include "judge/judge_source.h"

namespace fs = std::filesystem;

namespace {
std::string cf(const char8_t* text) { return reinterpret_cast<const char*>(text); }

bool asciiEqualFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string expectedName(const WantedCode& wanted) {
    return wanted.level ? cf(u8"第") + std::to_string(wanted.level) + cf(u8"关代码.txt") : wanted.stem + cf(u8"代码.txt");
}

struct Candidate {
    std::size_t rank;  // 0: levels/, 1: the student's folder, 2 and more: deeper
    std::string shown; // the path under the student's folder, UTF-8
    std::string path;  // as the judge opens it
    bool exact;        // named as the game names it
};

// The column a file name belongs to (or wanted.size()), and whether it is the game's own name for it.
std::pair<std::size_t, bool> columnOf(const std::string& name, const std::vector<WantedCode>& wanted) {
    const std::size_t none = wanted.size();
    if (name.size() < 4 || !asciiEqualFolded(name.substr(name.size() - 4), ".txt")) return {none, false};
    const bool txt = name.ends_with(".txt");
    const std::string stem = name.substr(0, name.size() - 4);
    const std::string first = cf(u8"第"), last = cf(u8"关代码"), code = cf(u8"代码");
    if (stem.starts_with(first) && stem.ends_with(last) && stem.size() > first.size() + last.size()) {
        const std::string digits = stem.substr(first.size(), stem.size() - first.size() - last.size());
        if (digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return {none, false};
        const unsigned level = static_cast<unsigned>(std::stoul(digits));
        for (std::size_t c = 0; c < wanted.size(); ++c)
            if (wanted[c].level && wanted[c].level == level) return {c, txt && digits == std::to_string(level)};
        return {none, false};
    }
    if (!stem.ends_with(code)) return {none, false};
    const std::string base = stem.substr(0, stem.size() - code.size());
    for (std::size_t c = 0; c < wanted.size(); ++c)
        if (!wanted[c].level && asciiEqualFolded(base, wanted[c].stem)) return {c, txt && base == wanted[c].stem};
    return {none, false};
}
} // namespace

StudentFiles findCodeFiles(const fs::path& student, const std::vector<WantedCode>& wanted) {
    StudentFiles found;
    found.paths.resize(wanted.size());
    found.notes.resize(wanted.size());
    std::vector<std::vector<Candidate>> candidates(wanted.size());
    std::error_code error;
    for (fs::recursive_directory_iterator it(student, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (!it->is_regular_file(ignored)) continue;
        const std::string name = displayName(pathText(it->path().filename()));
        const auto [column, exact] = columnOf(name, wanted);
        if (column == wanted.size()) continue;
        std::string shown = pathText(it->path().lexically_relative(student));
#ifdef _WIN32
        std::replace(shown.begin(), shown.end(), '\\', '/'); // on POSIX it may be a GBK trail byte
#endif
        shown = displayName(shown);
        const std::size_t depth = static_cast<std::size_t>(it.depth());
        const bool inLevels = depth == 1 && pathText(it->path().parent_path().filename()) == "levels";
        candidates[column].push_back({inLevels ? 0 : depth + 1, shown, pathText(it->path()), exact});
    }
    for (std::size_t c = 0; c < wanted.size(); ++c) {
        auto& list = candidates[c];
        std::sort(list.begin(), list.end(), [](const Candidate& a, const Candidate& b) {
            return std::tie(a.rank, a.shown) < std::tie(b.rank, b.shown);
        });
        const auto chosen = std::find_if(list.begin(), list.end(), [](const Candidate& k) { return k.exact; });
        if (chosen != list.end()) found.paths[c] = chosen->path;
        for (auto k = list.begin(); k != list.end(); ++k) {
            if (k == chosen) continue;
            if (!k->exact)
                found.notes[c].push_back(k->shown + cf(u8"：文件名应为") + expectedName(wanted[c]) + cf(u8"，本文件未评分"));
            else
                found.notes[c].push_back(k->shown + cf(u8"：另有") + chosen->shown + cf(u8"，本文件未评分"));
        }
    }
    return found;
}
