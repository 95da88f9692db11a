// A student's own page (grade --feedback DIR): in Chinese, each level of the
// run with its verdict, the failing run as the game would report it (which
// run, the inputs, expected against actual) and every compile error under the
// line number the game's editor shows, so the student can find it.
#include "judge/judge_grade.h"

namespace {
std::string fb(const char8_t* text) { return reinterpret_cast<const char*>(text); }

constexpr const char* FEEDBACK_STYLE = R"(
body{font-family:sans-serif;margin:1em;color:#222;max-width:60em}
table{border-collapse:collapse}
th,td{border:1px solid #aaa;padding:4px 6px;vertical-align:top}
.completed{background:#bfe8bf}
.failed{background:#f4c0c0}
.unassembled{background:#f6d8a8}
.missing{background:#ddd}
ul{margin:2px 0;padding-left:1.2em}
code{font-family:monospace;white-space:pre-wrap}
)";

std::string item(const std::string& text) { return "<li>" + htmlEscaped(text) + "</li>"; }

// What went wrong, as lines of the game's own failure report.
std::string failureDetails(const GradeCell& cell, const CellSummary& summary) {
    std::string html;
    if (!summary.failedRun.empty() && summary.result != "does not assemble")
        html += item(runText(summary.failedRun) + fb(u8"未通过：") + reasonText(summary.reason));
    if (!summary.inputs.empty()) html += item(fb(u8"本次输入：") + summary.inputs);
    for (const std::string& mismatch : mismatchTexts(cell.verdict)) html += item(mismatch);
    const Json failure = cell.verdict.is_object() ? cell.verdict.value("failure", Json()) : Json();
    if (failure.is_object() && failure.contains("overlap")) html += item(failure.value("overlap", std::string()));
    if (failure.is_object() && failure.contains("errors"))
        for (const auto& [line, messages] : failure.at("errors").items())
            for (const Json& message : messages) {
                std::string text = message.get<std::string>();
                while (!text.empty() && text.back() == '\n') text.pop_back();
                html += "<li>" + fb(u8"第") + htmlEscaped(line) + fb(u8"行：") + "<code>" + htmlEscaped(text) + "</code></li>";
            }
    for (const std::string& note : cell.notes) html += item(note);
    return html.empty() ? std::string() : "<ul>" + html + "</ul>";
}
} // namespace

std::string feedbackHtml(const GradeClass& graded, std::size_t student, const std::string& date) {
    const std::string name = htmlEscaped(graded.students[student]);
    std::size_t completed = 0;
    std::string rows;
    for (std::size_t l = 0; l < graded.levels.size(); ++l) {
        const GradeCell& cell = graded.cells[student][l];
        const CellSummary summary = summarise(cell);
        completed += summary.result == "completed";
        const char* kind = summary.result == "completed"           ? "completed"
                           : summary.result == "does not assemble" ? "unassembled"
                           : summary.result == "not handed in"     ? "missing"
                                                                   : "failed";
        std::string verdict = reasonText(summary.reason);
        if (cell.judged) verdict += fb(u8"（通过") + std::to_string(summary.passes) + fb(u8"次）");
        rows += std::string("<tr class=\"") + kind + "\" data-reason=\"" + summary.reason + "\"><th>" +
                htmlEscaped(levelTitle(graded.levels[l])) + "</th><td>" + htmlEscaped(verdict) + "</td><td>" +
                failureDetails(cell, summary) + "</td></tr>\n";
    }
    return "<!DOCTYPE html>\n<html lang=\"zh\"><head><meta charset=\"utf-8\"><title>" + fb(u8"汇编闯关 评语：") + name +
           "</title><style>" + FEEDBACK_STYLE + "</style></head><body>\n<h1>" + fb(u8"汇编闯关 评语：") + name +
           "</h1>\n<p id=\"summary\">" + fb(u8"完成 ") + std::to_string(completed) + " / " +
           std::to_string(graded.levels.size()) + fb(u8" 关；检验数据的种子 ") + std::to_string(graded.seed) +
           fb(u8"；日期 ") + htmlEscaped(date) + "</p>\n<p>" +
           fb(u8"行号与游戏编辑器左边的行号相同（从0开始）。") + "</p>\n<table id=\"levels\"><thead><tr><th>" +
           fb(u8"关卡") + "</th><th>" + fb(u8"结果") + "</th><th>" + fb(u8"说明") + "</th></tr></thead>\n<tbody>\n" + rows +
           "</tbody></table>\n</body></html>\n";
}
