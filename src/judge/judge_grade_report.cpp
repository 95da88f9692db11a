// The teacher's reports of a graded class: CSV for spreadsheets, and one
// HTML page with no external files (styles inline, the chart in inline SVG).
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

std::string escaped(const std::string& text) { return htmlEscaped(text); }
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

namespace {
std::string span(const char* kind, const std::string& text) {
    return std::string("<span class=\"") + kind + "\">" + escaped(text) + "</span>";
}

constexpr const char* STYLE = R"(
body{font-family:sans-serif;margin:1em;color:#222}
table{border-collapse:collapse}
th,td{border:1px solid #aaa;padding:2px 4px;font-size:12px;vertical-align:top}
td span{display:block}
td.completed{background:#bfe8bf}
td.failed,td.unassembled{background:#f4c0c0}
td.missing{background:#ddd}
svg text{font-size:10px;text-anchor:middle}
figure{display:inline-block;margin:4px 12px 4px 0}
figcaption{font-size:12px}
)";
} // namespace

std::string levelLabel(const GradeClass& graded, std::size_t column) {
    return graded.levelFile.empty() ? std::to_string(graded.firstLevel + column) : graded.levelFile;
}

CellSummary summarise(const Json& verdict) {
    CellSummary cell;
    cell.passes = verdict.value("passes", 0u);
    const Json& failure = verdict.at("failure");
    if (failure.is_null()) {
        cell.result = verdict.value("completed", false) ? "completed" : "failed";
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
    if (failure.contains("errors")) {
        cell.result = "does not assemble";
        for (const auto& [line, messages] : failure.at("errors").items()) {
            std::string message = messages.empty() ? std::string() : messages.front().get<std::string>();
            while (!message.empty() && message.back() == '\n') message.pop_back();
            cell.detail = "line " + line + ": " + message;
            break;
        }
        return cell;
    }
    cell.result = "failed";
    const Json& mismatches = failure.at("mismatches");
    if (!mismatches.empty()) {
        const Json& m = mismatches.front();
        cell.firstMismatch = m.at("where").get<std::string>() + " expected " + m.at("expected").get<std::string>() +
                             " actual " + m.at("actual").get<std::string>();
        cell.detail = cell.firstMismatch;
    } else {
        cell.detail = failure.value("reason", std::string());
    }
    return cell;
}

// UTF-8 with a byte order mark: without one, Excel on a Chinese Windows reads GBK.
std::string gradeCsv(const GradeClass& graded) {
    std::string csv = "\xEF\xBB\xBFstudent,level,result,passes,failed_run,first_mismatch,instructions,steps_mean,steps_max\n";
    for (std::size_t s = 0; s < graded.students.size(); ++s)
        for (std::size_t l = 0; l < graded.cells[s].size(); ++l) {
            const GradeCell& cell = graded.cells[s][l];
            if (!cell.judged) continue;
            const CellSummary summary = summarise(cell.verdict);
            csv += csvField(graded.students[s]) + ',' + csvField(levelLabel(graded, l)) + ',' + summary.result +
                   ',' + std::to_string(summary.passes) + ',' + summary.failedRun + ',' +
                   csvField(summary.firstMismatch) + ',' + summary.instructions + ',' + summary.stepsMean + ',' +
                   summary.stepsMax + '\n';
        }
    return csv;
}

std::string gradeHtml(const GradeClass& graded, const std::string& date) {
    const std::size_t levels = static_cast<std::size_t>(graded.lastLevel - graded.firstLevel + 1);
    std::vector<std::size_t> completions(levels, 0);
    for (const auto& row : graded.cells)
        for (std::size_t l = 0; l < levels; ++l)
            if (row[l].judged && summarise(row[l].verdict).result == "completed") ++completions[l];

    std::string page = "<!DOCTYPE html>\n<html lang=\"zh\"><head><meta charset=\"utf-8\">"
                       "<title>asmquest-judge grade</title><style>";
    page += STYLE;
    page += "</style></head><body>\n<h1>asmquest-judge grade</h1>\n<p id=\"meta\">" +
            (graded.levelFile.empty()
                 ? "levels " + std::to_string(graded.firstLevel) + "-" + std::to_string(graded.lastLevel)
                 : "level file " + escaped(graded.levelFile)) +
            ", " +
            std::to_string(graded.students.size()) + " students, seed <span id=\"seed\">" +
            std::to_string(graded.seed) + "</span>, date <span id=\"date\">" + escaped(date) + "</span></p>\n";

    // Completions per level: one bar per level, scaled to the class size.
    constexpr int barWidth = 22, chartHeight = 100, top = 14, bottom = 14;
    const std::size_t students = std::max<std::size_t>(graded.students.size(), 1);
    page += "<h2>Completed per level</h2>\n<svg id=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
            std::to_string(levels * barWidth + 8) + "\" height=\"" + std::to_string(top + chartHeight + bottom) +
            "\" role=\"img\">\n";
    for (std::size_t l = 0; l < levels; ++l) {
        const std::size_t height = completions[l] * chartHeight / students;
        const std::size_t x = 4 + l * barWidth;
        const std::string centre = std::to_string(x + barWidth / 2);
        page += "<g class=\"bar\" data-level=\"" + std::to_string(graded.firstLevel + l) + "\" data-count=\"" +
                std::to_string(completions[l]) + "\"><rect x=\"" + std::to_string(x + 2) + "\" y=\"" +
                std::to_string(top + chartHeight - height) + "\" width=\"" + std::to_string(barWidth - 4) +
                "\" height=\"" + std::to_string(height) + "\" fill=\"#4a4\"/><text x=\"" + centre + "\" y=\"" +
                std::to_string(top + chartHeight - height - 2) + "\">" + std::to_string(completions[l]) +
                "</text><text x=\"" + centre + "\" y=\"" + std::to_string(top + chartHeight + bottom - 2) + "\">" +
                std::to_string(graded.firstLevel + l) + "</text></g>\n";
    }
    page += "</svg>\n";

    page += "<h2>Students and levels</h2>\n<table id=\"grades\"><thead><tr><th>student</th>";
    for (std::size_t l = 0; l < levels; ++l) page += "<th>" + escaped(levelLabel(graded, l)) + "</th>";
    page += "</tr></thead>\n<tbody>\n";
    for (std::size_t s = 0; s < graded.students.size(); ++s) {
        page += "<tr><th>" + escaped(graded.students[s]) + "</th>";
        for (std::size_t l = 0; l < levels; ++l) {
            const GradeCell& cell = graded.cells[s][l];
            const std::string level = std::to_string(graded.firstLevel + l);
            if (!cell.judged) {
                page += "<td class=\"missing\" data-level=\"" + level + "\"></td>";
                continue;
            }
            const CellSummary summary = summarise(cell.verdict);
            const char* kind = summary.result == "completed"           ? "completed"
                               : summary.result == "does not assemble" ? "unassembled"
                                                                       : "failed";
            page += std::string("<td class=\"") + kind + "\" data-level=\"" + level + "\">" +
                    span("result", summary.result) + span("passes", std::to_string(summary.passes) + " passes");
            if (!summary.failedRun.empty()) page += span("run", "run " + summary.failedRun);
            if (!summary.detail.empty()) page += span("detail", summary.detail);
            page += "</td>";
        }
        page += "</tr>\n";
    }
    page += "</tbody>\n<tfoot><tr><th>completed</th>";
    for (std::size_t l = 0; l < levels; ++l) page += "<td>" + std::to_string(completions[l]) + "</td>";
    page += "</tr></tfoot></table>\n";
    page += sizeAndStepsHistograms(graded);

    // Groups of students whose programs for a level are the same; what that
    // means is the teacher's call.
    page += "<h2>Identical work</h2>\n<ul id=\"identical\">\n";
    bool any = false;
    for (std::size_t l = 0; l < levels; ++l) {
        std::vector<std::string> keys;
        std::vector<std::size_t> who;
        for (std::size_t s = 0; s < graded.students.size(); ++s)
            if (graded.cells[s][l].judged && !graded.cells[s][l].program.empty()) {
                keys.push_back(graded.cells[s][l].program);
                who.push_back(s);
            }
        for (const auto& group : identicalGroups(keys)) {
            page += "<li>level " + std::to_string(graded.firstLevel + l) + ": ";
            for (std::size_t i = 0; i < group.size(); ++i)
                page += (i ? ", " : "") + escaped(graded.students[who[group[i]]]);
            page += "</li>\n";
            any = true;
        }
    }
    if (!any) page += "<li>none</li>\n";
    page += "</ul>\n</body></html>\n";
    return page;
}
