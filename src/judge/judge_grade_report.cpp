// The teacher's reports of a graded class: the CSV of every verdict, the
// grade book for a course's learning platform, and one HTML page in Chinese
// with no external files (styles inline, charts in inline SVG).
#include <algorithm>
#include <cstdio>

#include "judge/judge_grade.h"
#include "judge/judge_identical.h"

namespace {
std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string u8s(const char8_t* text) { return reinterpret_cast<const char*>(text); }

std::string reportSpan(const char* kind, const std::string& text) {
    return std::string("<span class=\"") + kind + "\">" + htmlEscaped(text) + "</span>";
}

// A long text cut to its first line and 60 bytes (at a character's start);
// the whole of it in the title, which a browser shows on hover.
std::string oneLineSpan(const char* kind, const std::string& text) {
    std::string shown = text.substr(0, text.find('\n'));
    if (shown.size() > 60) {
        std::size_t cut = 60;
        while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80) --cut;
        shown = shown.substr(0, cut) + u8s(u8"…");
    }
    if (shown == text) return reportSpan(kind, text);
    return std::string("<span class=\"") + kind + "\" title=\"" + htmlEscaped(text) + "\">" + htmlEscaped(shown) +
           "</span>";
}

constexpr const char* REPORT_STYLE = R"(
body{font-family:sans-serif;margin:1em;color:#222}
table{border-collapse:collapse}
th,td{border:1px solid #aaa;padding:2px 4px;font-size:12px;vertical-align:top}
td span{display:block}
td span.detail{max-width:18em;white-space:nowrap;overflow:hidden;text-overflow:ellipsis}
.completed{background:#bfe8bf}
.failed{background:#f4c0c0}
.unassembled{background:#f6d8a8}
.missing{background:#ddd}
td.total{font-weight:bold;text-align:right}
#legend span{display:inline-block;padding:2px 8px;margin-right:6px;border:1px solid #aaa;font-size:12px}
svg text{font-size:11px}
figure{display:inline-block;margin:4px 12px 4px 0}
figcaption{font-size:12px}
ul.notes{font-size:12px;color:#a40}
)";

const char* cellClass(const CellSummary& summary) {
    if (summary.result == "completed") return "completed";
    if (summary.result == "does not assemble") return "unassembled";
    if (summary.result == "not handed in") return "missing";
    return "failed";
}

std::string columnAttribute(const GradeLevel& level) {
    return level.number ? std::to_string(level.number) : htmlEscaped(level.file);
}
} // namespace

std::string htmlEscaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

Json levelKey(const GradeLevel& level) { return level.number ? Json(level.number) : Json(level.file); }

std::string levelTitle(const GradeLevel& level) {
    if (level.number) return u8s(u8"第") + std::to_string(level.number) + u8s(u8"关");
    return level.title.empty() ? level.file : level.title;
}

std::string levelLabel(const GradeClass& graded, std::size_t column) {
    const GradeLevel& level = graded.levels[column];
    return level.number ? std::to_string(level.number) : level.file;
}

std::size_t builtinReferenceLines(std::uint16_t level) {
    // Statements (labels included) of tests/levels/levelNN.asm, the catalogue's solutions.
    static constexpr std::uint8_t lines[31] = {0,  2, 2, 2,  2,  5, 6, 6,  6, 2,  5,  2, 2, 5,  14, 2,
                                               2, 17, 5, 9, 18, 27, 7, 14, 24, 53, 42, 2, 2, 7, 32};
    return level < 31 ? lines[level] : 0;
}

std::string reasonText(const std::string& reason) {
    if (reason == "completed") return u8s(u8"完成");
    if (reason == "wrong result") return u8s(u8"结果错误");
    if (reason == "halted without hlt") return u8s(u8"没有执行hlt就停机");
    if (reason == "did not halt") return u8s(u8"在步数上限内没有停机");
    if (reason == "does not assemble") return u8s(u8"不能汇编");
    if (reason == "not handed in") return u8s(u8"未交");
    return reason;
}

std::string runText(const std::string& failedRun) {
    if (failedRun.rfind("boundary ", 0) == 0) return u8s(u8"边界检验") + failedRun.substr(9);
    return u8s(u8"第") + failedRun + u8s(u8"次检验");
}

std::vector<std::string> mismatchTexts(const Json& verdict) {
    std::vector<std::string> texts;
    if (!verdict.is_object()) return texts;
    const Json failure = verdict.value("failure", Json());
    if (!failure.is_object() || !failure.contains("mismatches")) return texts;
    for (const Json& m : failure.at("mismatches"))
        texts.push_back(m.value("where", std::string()) + u8s(u8"：应为") + m.value("expected", std::string()) +
                        u8s(u8"，实际为") + m.value("actual", std::string()));
    return texts;
}

CellSummary summarise(const GradeCell& graded) {
    CellSummary cell;
    if (!graded.judged) {
        cell.result = cell.reason = "not handed in";
        return cell;
    }
    const Json& verdict = graded.verdict;
    cell.passes = verdict.value("passes", 0u);
    const Json& failure = verdict.at("failure");
    if (failure.is_null()) {
        const bool completed = verdict.value("completed", false);
        cell.result = completed ? "completed" : "failed";
        cell.reason = completed ? "completed" : "wrong result";
        if (verdict.contains("size") && verdict.contains("steps")) {
            char mean[32];
            std::snprintf(mean, sizeof mean, "%.1f", verdict["steps"].value("mean", 0.0));
            cell.instructions = std::to_string(verdict["size"].value("instructions", 0u));
            cell.stepsMean = mean;
            cell.stepsMax = std::to_string(verdict["steps"].value("max", std::uint64_t{0}));
        }
        return cell;
    }
    const Json& run = failure.at("run");
    cell.failedRun = run.is_string() ? run.get<std::string>() : std::to_string(run.get<unsigned>());
    cell.inputs = failure.value("inputs", std::string());
    if (failure.contains("keys")) cell.inputs += (cell.inputs.empty() ? "" : " ") + u8s(u8"按键：") + failure.value("keys", std::string());
    if (failure.contains("errors")) {
        cell.result = cell.reason = "does not assemble";
        for (const auto& [line, messages] : failure.at("errors").items()) {
            std::string message = messages.empty() ? std::string() : messages.front().get<std::string>();
            while (!message.empty() && message.back() == '\n') message.pop_back();
            cell.detail = u8s(u8"第") + line + u8s(u8"行：") + message;
            break;
        }
        return cell;
    }
    cell.result = "failed";
    const std::string reason = failure.value("reason", std::string());
    cell.reason = reason.rfind("the program did not halt", 0) == 0 ? "did not halt" : reason;
    const Json& mismatches = failure.at("mismatches");
    if (!mismatches.empty()) {
        const Json& m = mismatches.front();
        cell.firstMismatch = m.at("where").get<std::string>() + " expected " + m.at("expected").get<std::string>() +
                             " actual " + m.at("actual").get<std::string>();
        const std::vector<std::string> texts = mismatchTexts(verdict);
        for (const std::string& text : texts) cell.detail += (cell.detail.empty() ? "" : "\n") + text;
    } else {
        cell.detail = failure.value("overlap", reasonText(cell.reason));
    }
    return cell;
}

Json verdictLine(const GradeClass& graded, std::size_t student, std::size_t column) {
    const GradeCell& cell = graded.cells[student][column];
    Json line;
    line["student"] = graded.students[student];
    if (cell.judged) {
        for (const auto& [key, value] : cell.verdict.items()) line[key] = value;
    } else {
        line["level"] = levelKey(graded.levels[column]);
    }
    line["reason"] = summarise(cell).reason;
    if (!cell.notes.empty()) line["notes"] = cell.notes;
    return line;
}

// UTF-8 with a byte order mark: without one, Excel on a Chinese Windows reads GBK.
std::string gradeCsv(const GradeClass& graded) {
    std::string csv = "\xEF\xBB\xBFstudent,level,result,reason,passes,failed_run,first_mismatch,instructions,steps_mean,"
                      "steps_max,inputs\n";
    for (std::size_t s = 0; s < graded.students.size(); ++s)
        for (std::size_t l = 0; l < graded.cells[s].size(); ++l) {
            const CellSummary summary = summarise(graded.cells[s][l]);
            csv += csvField(graded.students[s]) + ',' + csvField(levelLabel(graded, l)) + ',' + summary.result + ',' +
                   summary.reason + ',' + std::to_string(summary.passes) + ',' + summary.failedRun + ',' +
                   csvField(summary.firstMismatch) + ',' + summary.instructions + ',' + summary.stepsMean + ',' +
                   summary.stepsMax + ',' + csvField(summary.inputs) + '\n';
        }
    return csv;
}

// Canvas reads its five identity columns by these names (Student, ID, SIS
// User ID, SIS Login ID, Section) and ignores "Final Points", which it
// computes itself; Moodle maps any column to a user field or grade item.
std::string gradebookCsv(const GradeClass& graded) {
    std::string csv = "\xEF\xBB\xBFStudent,ID,SIS User ID,SIS Login ID,Section";
    for (const GradeLevel& level : graded.levels) csv += ',' + csvField(levelTitle(level));
    csv += ",Final Points\n";
    for (std::size_t s = 0; s < graded.students.size(); ++s) {
        const std::string name = csvField(graded.students[s]);
        csv += name + ",," + name + ',' + name + ',';
        unsigned total = 0;
        for (const GradeCell& cell : graded.cells[s]) {
            const bool completed = summarise(cell).result == "completed";
            total += completed;
            csv += completed ? ",1" : ",0";
        }
        csv += ',' + std::to_string(total) + '\n';
    }
    return csv;
}

std::string feedbackFileName(const std::string& student) {
    std::string name;
    for (char c : student) name += std::string("/\\:*?\"<>|").find(c) == std::string::npos && c >= ' ' ? c : '_';
    if (name.empty() || name[0] == '.') name.insert(0, "_");
    return name + ".html";
}

std::string gradeHtml(const GradeClass& graded, const std::string& date) {
    const std::size_t levels = graded.levels.size();
    std::vector<std::size_t> completions(levels, 0);
    std::vector<std::vector<CellSummary>> summaries;
    for (const auto& row : graded.cells) {
        summaries.emplace_back();
        for (std::size_t l = 0; l < levels; ++l) {
            summaries.back().push_back(summarise(row[l]));
            if (summaries.back().back().result == "completed") ++completions[l];
        }
    }

    std::string levelList;
    for (std::size_t l = 0; l < levels; ++l) levelList += (l ? u8s(u8"、") : "") + htmlEscaped(levelTitle(graded.levels[l]));
    std::string page = "<!DOCTYPE html>\n<html lang=\"zh\"><head><meta charset=\"utf-8\"><title>" +
                       u8s(u8"汇编闯关 成绩") + "</title><style>";
    page += REPORT_STYLE;
    page += "</style></head><body>\n<h1>" + u8s(u8"汇编闯关 成绩") + "</h1>\n<p id=\"meta\">" + u8s(u8"关卡：") +
            levelList + u8s(u8"；学生") + std::to_string(graded.students.size()) + u8s(u8"名；种子 ") +
            "<span id=\"seed\">" + std::to_string(graded.seed) + "</span>" + u8s(u8"；日期 ") + "<span id=\"date\">" +
            htmlEscaped(date) + "</span></p>\n";

    // Completions per level: one horizontal bar per level, the label on the
    // left wide enough for the longest title, the count after the bar.
    std::size_t labelWidth = 40;
    for (const GradeLevel& level : graded.levels)
        labelWidth = std::max(labelWidth, 12 * (levelTitle(level).size() / 3 + 1) + 8);
    constexpr std::size_t barLength = 300, rowHeight = 18;
    const std::size_t students = std::max<std::size_t>(graded.students.size(), 1);
    page += "<h2>" + u8s(u8"每关完成人数") + "</h2>\n<svg id=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
            std::to_string(labelWidth + barLength + 60) + "\" height=\"" + std::to_string(levels * rowHeight + 4) +
            "\" role=\"img\">\n";
    for (std::size_t l = 0; l < levels; ++l) {
        const std::size_t length = completions[l] * barLength / students;
        const std::string y = std::to_string(l * rowHeight + 2);
        const std::string baseline = std::to_string(l * rowHeight + 14);
        page += "<g class=\"bar\" data-level=\"" + columnAttribute(graded.levels[l]) + "\" data-count=\"" +
                std::to_string(completions[l]) + "\"><text x=\"" + std::to_string(labelWidth - 6) + "\" y=\"" + baseline +
                "\" text-anchor=\"end\">" + htmlEscaped(levelTitle(graded.levels[l])) + "</text><rect x=\"" +
                std::to_string(labelWidth) + "\" y=\"" + y + "\" width=\"" + std::to_string(length) +
                "\" height=\"14\" fill=\"#4a4\"/><text x=\"" + std::to_string(labelWidth + length + 4) + "\" y=\"" +
                baseline + "\">" + std::to_string(completions[l]) + "</text></g>\n";
    }
    page += "</svg>\n";

    page += "<h2>" + u8s(u8"学生与关卡") + "</h2>\n<p id=\"legend\"><span class=\"completed\">" + u8s(u8"完成") +
            "</span><span class=\"failed\">" + u8s(u8"未通过") + "</span><span class=\"unassembled\">" +
            u8s(u8"不能汇编") + "</span><span class=\"missing\">" + u8s(u8"未交") + "</span></p>\n" +
            "<table id=\"grades\"><thead><tr><th>" + u8s(u8"学生") + "</th>";
    for (std::size_t l = 0; l < levels; ++l) page += "<th>" + htmlEscaped(levelTitle(graded.levels[l])) + "</th>";
    page += "<th>" + u8s(u8"完成数") + "</th></tr></thead>\n<tbody>\n";
    for (std::size_t s = 0; s < graded.students.size(); ++s) {
        page += "<tr><th>" + htmlEscaped(graded.students[s]) + "</th>";
        std::size_t total = 0;
        for (std::size_t l = 0; l < levels; ++l) {
            const CellSummary& summary = summaries[s][l];
            const GradeCell& cell = graded.cells[s][l];
            total += summary.result == "completed";
            page += std::string("<td class=\"") + cellClass(summary) + "\" data-level=\"" +
                    columnAttribute(graded.levels[l]) + "\" data-reason=\"" + summary.reason + "\">" +
                    reportSpan("result", reasonText(summary.reason));
            if (cell.judged) page += reportSpan("passes", u8s(u8"通过") + std::to_string(summary.passes) + u8s(u8"次"));
            if (!summary.failedRun.empty()) page += reportSpan("run", runText(summary.failedRun));
            if (!summary.detail.empty()) page += oneLineSpan("detail", summary.detail);
            if (!summary.inputs.empty()) page += oneLineSpan("inputs", u8s(u8"本次输入：") + summary.inputs);
            for (const std::string& note : cell.notes) page += oneLineSpan("note", note);
            page += "</td>";
        }
        page += "<td class=\"total\">" + std::to_string(total) + "</td></tr>\n";
    }
    page += "</tbody>\n<tfoot><tr><th>" + u8s(u8"完成人数") + "</th>";
    for (std::size_t l = 0; l < levels; ++l) page += "<td>" + std::to_string(completions[l]) + "</td>";
    page += "<td></td></tr></tfoot></table>\n";
    page += sizeAndStepsHistograms(graded);

    // Groups of students whose programs for a level are the same. Programs no
    // longer than the level's reference are left out (on a two-line level
    // everyone writes the same two lines), and a failed program is never put
    // with passed ones; what a group means is the teacher's call.
    page += "<h2>" + u8s(u8"相同的作业") + "</h2>\n<ul id=\"identical\">\n";
    bool any = false;
    for (std::size_t l = 0; l < levels; ++l) {
        const GradeLevel& level = graded.levels[l];
        const std::size_t shortest = level.number ? builtinReferenceLines(level.number) : level.referenceLines;
        std::vector<std::string> keys;
        std::vector<std::size_t> who;
        for (std::size_t s = 0; s < graded.students.size(); ++s) {
            const GradeCell& cell = graded.cells[s][l];
            if (!cell.judged || cell.program.empty() || cell.programLines <= shortest) continue;
            keys.push_back((summaries[s][l].result == "completed" ? "1" : "0") + cell.program);
            who.push_back(s);
        }
        for (const auto& group : identicalGroups(keys)) {
            page += "<li>" + htmlEscaped(levelTitle(level)) + u8s(u8"：");
            for (std::size_t i = 0; i < group.size(); ++i) {
                const std::size_t s = who[group[i]];
                page += (i ? u8s(u8"、") : "") + htmlEscaped(graded.students[s]) + u8s(u8"（") +
                        reasonText(summaries[s][l].reason) + u8s(u8"）");
            }
            page += "</li>\n";
            any = true;
        }
    }
    if (!any) page += "<li>" + u8s(u8"没有") + "</li>\n";
    page += "</ul>\n</body></html>\n";
    return page;
}
