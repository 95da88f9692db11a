// The page's histograms: per level, how large the class's completed programs
// are and how many steps they take on average, each with its median marked.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "judge/judge_grade.h"

namespace {
constexpr int WIDTH = 240, HEIGHT = 60, TOP = 12, BOTTOM = 14, SIDE = 6;

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, value == std::floor(value) ? "%.0f" : "%.1f", value);
    return text;
}

double median(const std::vector<double>& sorted) {
    const std::size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

// Bars over [min, max] in up to ten equal bins (one per value when the values
// are whole numbers spanning fewer), the median as a red line.
std::string histogram(const std::string& level, const char* measure, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const double low = values.front(), high = values.back(), middle = median(values);
    const bool whole = std::all_of(values.begin(), values.end(), [](double v) { return v == std::floor(v); });
    const std::size_t bins =
        high == low ? 1 : whole ? std::min<std::size_t>(10, static_cast<std::size_t>(high - low) + 1) : 10;
    std::vector<std::size_t> counts(bins, 0);
    for (double v : values) {
        const std::size_t bin = high == low ? 0 : static_cast<std::size_t>((v - low) / (high - low) * static_cast<double>(bins));
        ++counts[std::min(bin, bins - 1)];
    }
    const std::size_t tallest = *std::max_element(counts.begin(), counts.end());
    const double binWidth = static_cast<double>(WIDTH) / static_cast<double>(bins);
    std::string svg = "<svg class=\"histogram\" data-level=\"" + htmlEscaped(level) + "\" data-measure=\"" + measure +
                      "\" data-count=\"" + std::to_string(values.size()) + "\" data-median=\"" + number(middle) +
                      "\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(WIDTH + 2 * SIDE) +
                      "\" height=\"" + std::to_string(TOP + HEIGHT + BOTTOM) + "\" role=\"img\">";
    for (std::size_t b = 0; b < bins; ++b) {
        const double height = static_cast<double>(counts[b]) * HEIGHT / static_cast<double>(tallest);
        svg += "<rect x=\"" + number(std::round(SIDE + static_cast<double>(b) * binWidth + 1)) + "\" y=\"" +
               number(std::round(TOP + HEIGHT - height)) + "\" width=\"" + number(std::max(1.0, std::floor(binWidth - 2))) +
               "\" height=\"" + number(std::round(height)) + "\" fill=\"#68a\"><title>" + std::to_string(counts[b]) +
               "</title></rect>";
        if (counts[b])
            svg += "<text class=\"count\" x=\"" + number(std::round(SIDE + (static_cast<double>(b) + 0.5) * binWidth)) +
                   "\" y=\"" + number(std::round(TOP + HEIGHT - height + 10)) +
                   "\" text-anchor=\"middle\" fill=\"#fff\">" + std::to_string(counts[b]) + "</text>";
    }
    // Whole-number bins are centred on their value; the median follows the same axis.
    const double span = whole && high != low ? high - low + 1 : high - low;
    const double offset = whole && high != low ? 0.5 : 0;
    const double x = span == 0 ? SIDE + WIDTH / 2.0 : SIDE + (middle - low + offset) / span * WIDTH;
    svg += "<line class=\"median\" x1=\"" + number(std::round(x)) + "\" x2=\"" + number(std::round(x)) + "\" y1=\"" +
           std::to_string(TOP - 2) + "\" y2=\"" + std::to_string(TOP + HEIGHT) +
           "\" stroke=\"#c00\" stroke-width=\"2\"/><text x=\"" + number(std::round(x)) + "\" y=\"" +
           std::to_string(TOP - 3) + "\" text-anchor=\"" + (x < SIDE + 40 ? "start" : x > SIDE + WIDTH - 40 ? "end" : "middle") +
           "\" fill=\"#c00\">" + reinterpret_cast<const char*>(u8"中位数 ") + number(middle) + "</text>";
    // The axis ends anchored inwards, so that long numbers are not cut at the edges.
    svg += "<text x=\"" + std::to_string(SIDE) + "\" y=\"" + std::to_string(TOP + HEIGHT + BOTTOM - 2) +
           "\" text-anchor=\"start\">" + number(low) + "</text><text x=\"" + std::to_string(SIDE + WIDTH) + "\" y=\"" +
           std::to_string(TOP + HEIGHT + BOTTOM - 2) + "\" text-anchor=\"end\">" + number(high) + "</text></svg>";
    return svg;
}
} // namespace

std::string sizeAndStepsHistograms(const GradeClass& graded) {
    std::string html = std::string("<h2>") + reinterpret_cast<const char*>(u8"完成的程序：指令数与平均步数") +
                       "</h2>\n<div id=\"histograms\">\n";
    const std::size_t levels = graded.cells.empty() ? 0 : graded.cells.front().size();
    bool any = false;
    for (std::size_t l = 0; l < levels; ++l) {
        std::vector<double> sizes, steps;
        for (const auto& row : graded.cells) {
            if (!row[l].judged) continue;
            const CellSummary summary = summarise(row[l]);
            if (summary.instructions.empty()) continue;
            sizes.push_back(std::stod(summary.instructions));
            steps.push_back(std::stod(summary.stepsMean));
        }
        if (sizes.empty()) continue;
        any = true;
        const std::string level = levelLabel(graded, l);
        html += "<figure data-level=\"" + htmlEscaped(level) + "\"><figcaption>" + htmlEscaped(levelTitle(graded.levels[l])) +
                reinterpret_cast<const char*>(u8"：左为指令数，右为每次检验的平均步数（柱上数字为人数）") + "</figcaption>" +
                histogram(level, "instructions", sizes) + histogram(level, "steps", steps) + "</figure>\n";
    }
    if (!any) html += std::string("<p>") + reinterpret_cast<const char*>(u8"没有人完成") + "</p>\n";
    return html + "</div>\n";
}
