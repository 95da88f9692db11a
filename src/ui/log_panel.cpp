#include "ui/log_panel.h"

#include <algorithm>
#include <cstdio>

#include "ui/panel_scroll.h"

LogPanel::LogPanel(std::string title_, std::int64_t x_, std::int64_t y_, std::int64_t width_, std::int64_t height_)
    : window(std::move(title_), x_, y_, width_, height_) {
    drawHooks.emplace_back([this] { drawView(); });
    inputHandlers.emplace_back([this](INPUT_RECORD record) { scroll(record); });
}

void LogPanel::printLogged(const char* format, va_list args) {
    static char text[0x10000];
    std::vsnprintf(text, sizeof text, format, args);
    printf("%s", text);
    for (const char* p = text; *p; ++p) {
        if (*p != '\n') {
            lines.back() += *p;
            continue;
        }
        lines.emplace_back();
        ++linesEnded;
        if (lines.size() > keptLines + 1) lines.pop_front(); // the open line besides
    }
    laidOutStale = true;
    following = true;
}

void LogPanel::clearText() {
    window::clearText();
    lines.assign(1, std::string());
    laidOutStale = true;
    following = true;
    top = 0;
}

const std::vector<std::string>& LogPanel::rows() {
    if (laidOutStale || laidOutWidth != width()) {
        laidOut.clear();
        // The open last line is a row only once something is written on it.
        const std::size_t count = lines.size() - (lines.back().empty() ? 1 : 0);
        for (std::size_t i = 0; i < count; ++i)
            for (std::string& row : layOut(lines[i], width())) laidOut.push_back(std::move(row));
        laidOutWidth = width();
        laidOutStale = false;
    }
    return laidOut;
}

// Scrolled back, the log's rows are painted over the interior before the grid
// is drawn, so they take its cells and the grid keeps the newest rows.
void LogPanel::drawView() {
    const std::vector<std::string>& all = rows();
    const auto total = static_cast<std::int64_t>(all.size());
    const std::int64_t last = std::max<std::int64_t>(total - height(), 0);
    top = following ? last : std::clamp<std::int64_t>(top, 0, last);
    following = top == last;
    if (!following) {
        for (std::int64_t r = 0; r < height(); ++r) {
            const std::string& row = all[static_cast<std::size_t>(top + r)];
            drawText(row, x, y + r, width(), 1, colour);
            for (std::int64_t c = static_cast<std::int64_t>(row.size()); c < width(); ++c)
                putCell(x + c, y + r, ' ', colour);
        }
    }
    drawScrollPosition(*this, top, total);
}

void LogPanel::scroll(const INPUT_RECORD& record) {
    const std::int64_t by = scrollRows(record, height());
    if (by == 0) return;
    if (following) top = std::max<std::int64_t>(static_cast<std::int64_t>(rows().size()) - height(), 0);
    top += by; // clamped when drawn, which also notices the end
    following = false;
}
